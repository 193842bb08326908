// The records of the boundary mesh: the members that are not inline.
#include "geometry/mesh/FEMeshTopology.h"

#include "geometry/mesh/FEMeshFaceInfoI.h"

FEMeshFaceC::FEMeshFaceC(FEMeshFaceInfoI* info) : FEMeshPickableEntityC(FACE), faceInfo(info)
{
    if (info)
        infoSet.store(true, std::memory_order_relaxed);
}

FEMeshFaceC::~FEMeshFaceC()
{
    // The mark lives beside the slot, which a later face may take: that face starts unmarked.
    if (marksSet.load(std::memory_order_relaxed))
        setMark(0);
}

void FEMeshFaceC::setFaceInfo(FEMeshFaceInfoI* info)
{
    if (info)
        infoSet.store(true, std::memory_order_relaxed);
    faceInfo = info;
}

int FEMeshFaceC::getLoopCount() const
{
    int n = 0;
    for (const FEMeshLoopC* l = getFirstLoop(); l; l = l->getNext())
        ++n;
    return n;
}

int FEMeshLoopC::getHalfEdgeCount() const
{
    const FEMeshHalfEdgeC* start = getFirstHalfEdge();
    if (!start)
        return 0;
    int n = 0;
    const FEMeshHalfEdgeC* h = start;
    do {
        ++n;
        h = h->getNext();
    } while (h && h != start);
    return n;
}

Point3Df FEMeshEdgeC::getStartPoint() const
{
    const FEMeshHalfEdgeC* first = getFirstHalfEdge();
    const FEMeshHalfEdgeC* second = getSecondHalfEdge();
    if (first && first->getVertex())
        return first->getVertex()->getPosition();
    if (second && second->getNext() && second->getNext()->getVertex())
        return second->getNext()->getVertex()->getPosition();
    return Point3Df();
}

Point3Df FEMeshEdgeC::getEndPoint() const
{
    const FEMeshHalfEdgeC* first = getFirstHalfEdge();
    const FEMeshHalfEdgeC* second = getSecondHalfEdge();
    if (first && first->getNext() && first->getNext()->getVertex())
        return first->getNext()->getVertex()->getPosition();
    if (second && second->getVertex())
        return second->getVertex()->getPosition();
    return Point3Df();
}

bool FEMeshVertexC::hasIncidentEdge(const FEMeshEdgeC* e) const
{
    for (const FEMeshIncidenceC* n = getFirstIncidence(); n; n = n->getNext())
        if (n->getEdge() == e)
            return true;
    return false;
}
