// FEMeshPartC: construction, clearing, attributes, list operations and the incident-edge lists.
#include "geometry/mesh/FEMeshPartC.h"

#include <cmath>
#include <cstring>

#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshFanIndexC.h"
#include "platform/Parallel.h"

namespace {

void setIdentity(double* m)
{
    for (int i = 0; i < 16; ++i)
        m[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

}  // namespace

// The thread vector doubles when full: a few bytes of text make a thread, and growing by a fixed
// step would copy a list of millions once per step, a time that grows with the square of the count.
FEMeshPartC::FEMeshPartC()
    : boxMin(1e15, 1e15, 1e15),
      boxMax(-1e15, -1e15, -1e15),
      threads(1, true, 64)
{
}

FEMeshPartC::~FEMeshPartC() { clear(); }

FEMeshPartC::Records::Records() = default;
FEMeshPartC::Records::~Records() = default;

FEMeshPartC::Records& FEMeshPartC::made()
{
    if (!records) {
        records = std::make_unique<Records>();
        records->vertexHash.setTolerance(hashTolerance);
    }
    return *records;
}

const FEMeshPartC::Records& FEMeshPartC::made() const
{
    if (records)
        return *records;
    static const Records none;
    return none;
}

RWTValHashDictionary<RWCString, RWCString>& FEMeshPartC::getAttributes()
{
    if (!attributes)
        attributes = std::make_unique<RWTValHashDictionary<RWCString, RWCString>>(&RWCString::staticHash, 64);
    return *attributes;
}

void FEMeshPartC::destroyFace(FEMeshFaceC* face)
{
    FEMeshLoopC* loop = face->getFirstLoop();
    while (loop) {
        FEMeshLoopC* nextLoop = loop->getNext();
        FEMeshHalfEdgeC* first = loop->getFirstHalfEdge();
        if (first) {
            FEMeshHalfEdgeC* h = first;
            do {
                FEMeshHalfEdgeC* following = h->getNext();
                halfEdgePool().destroy(h);
                h = following;
            } while (h && h != first);
        }
        loopPool().destroy(loop);
        loop = nextLoop;
    }
    facePool().destroy(face);  // releases the face information
}

void FEMeshPartC::clear()
{
    for (size_t i = 0; i < threads.entries(); ++i)
        delete threads[i];
    threads.clear();
    clearRecords();
}

void FEMeshPartC::clearRecords()
{
    nextVertexNumber = nextEdgeNumber = nextFaceNumber = 1;
    currentFace = nullptr;
    creaseThreshold = 0.0f;
    groupMode = 0;
    manifold = 1;
    mergeAcrossGroups = 0;
    boxMin = Point3D(1e15, 1e15, 1e15);
    boxMax = Point3D(-1e15, -1e15, -1e15);
    if (!records)
        return;
    constexpr bool wholesale = FEMeshPoolC<FEMeshLoopC>::kDropsWholesale &&
                               FEMeshPoolC<FEMeshHalfEdgeC>::kDropsWholesale &&
                               FEMeshPoolC<FEMeshEdgeC>::kDropsWholesale;
    // Faces go with their pool's chunks too while none ever held information or a mark: their
    // destructors would change nothing, and reading every face would touch all of their pages.
    const bool facesWholesale = wholesale && !FEMeshFaceC::mayHoldAnything();
    for (FEMeshFaceC* f = facesWholesale ? nullptr : faceHead; f;) {
        FEMeshFaceC* following = f->getNext();
        if (wholesale)
            facePool().destroy(f);  // releases the face information; loops and half-edges go with their pools
        else
            destroyFace(f);
        f = following;
    }
    faceHead = faceTail = nullptr;
    dropFanIndexes();
    if (!wholesale) {
        for (FEMeshVertexC* v = vertexHash().first(); v; v = vertexHash().next())
            clearIncidentEdges(v);
        for (FEMeshEdgeC* e = edgeHead; e;) {
            FEMeshEdgeC* following = e->getNext();
            edgePool().destroy(e);
            e = following;
        }
    }
    edgeHead = edgeTail = nullptr;

    // Every record is gone; hand the chunks back, the pages of all of them together.
    FEMeshChunkReleaseC release;
    vertexHash().deleteAll(release);
    release.add(facePool());
    release.add(loopPool());
    release.add(halfEdgePool());
    release.add(edgePool());
    release.done();
}

void FEMeshPartC::getPlacement(double* m16) const { getPlacementAt(0, m16); }
void FEMeshPartC::setPlacement(const double* m16) { setPlacementAt(0, m16); }
void FEMeshPartC::getSecondPlacement(double* m16) const { getPlacementAt(16, m16); }
void FEMeshPartC::setSecondPlacement(const double* m16) { setPlacementAt(16, m16); }

void FEMeshPartC::getPlacementAt(size_t at, double* m16) const
{
    if (placements)
        std::memcpy(m16, placements.get() + at, 16 * sizeof(double));
    else
        setIdentity(m16);
}

void FEMeshPartC::setPlacementAt(size_t at, const double* m16)
{
    if (!placements) {
        placements = std::make_unique<double[]>(32);
        setIdentity(placements.get());
        setIdentity(placements.get() + 16);
    }
    std::memcpy(placements.get() + at, m16, 16 * sizeof(double));
}

void FEMeshPartC::resetPickState()
{
    pickEdge[0] = pickEdge[1] = nullptr;
    pickFace[0] = pickFace[1] = nullptr;
    pickVertex[0] = pickVertex[1] = nullptr;
    pickExtra = 0;
    pickPoint = Point3D();
    pickKind[0] = pickKind[1] = 0;
}

void FEMeshPartC::setTolerance(double t)
{
    mergeTolerance = t;
    hashTolerance = t;
    if (records)
        records->vertexHash.setTolerance(t);
}

// ---- Lists ----

void FEMeshPartC::appendFace(FEMeshFaceC* face)
{
    face->setNext(nullptr);
    face->setPrevious(faceTail);
    if (faceTail)
        faceTail->setNext(face);
    else
        faceHead = face;
    faceTail = face;
}

void FEMeshPartC::appendEdge(FEMeshEdgeC* edge)
{
    edge->setNext(nullptr);
    edge->setPrevious(edgeTail);
    if (edgeTail)
        edgeTail->setNext(edge);
    else
        edgeHead = edge;
    edgeTail = edge;
}

void FEMeshPartC::insertFaceBefore(FEMeshFaceC* face, FEMeshFaceC* before)
{
    if (!before || !faceHead) {
        appendFace(face);
        return;
    }
    FEMeshFaceC* previous = before->getPrevious();
    face->setPrevious(previous);
    face->setNext(before);
    before->setPrevious(face);
    if (previous)
        previous->setNext(face);
    else
        faceHead = face;
}

void FEMeshPartC::removeEdge(FEMeshEdgeC* edge)
{
    if (edgeCursor == edge)
        edgeCursor = edge->getNext();
    if (nextEdgeCursor == edge)
        nextEdgeCursor = edge->getNext();
    FEMeshEdgeC* previous = edge->getPrevious();
    FEMeshEdgeC* following = edge->getNext();
    if (previous)
        previous->setNext(following);
    else if (edgeHead == edge)
        edgeHead = following;
    if (following)
        following->setPrevious(previous);
    else if (edgeTail == edge)
        edgeTail = previous;
    edge->setNext(nullptr);
    edge->setPrevious(nullptr);
}

namespace {

// A list of `count` records from head on cut into pieces for parallel work (see facePieces).
template <class R>
std::vector<R*> listPieces(R* head, size_t count, size_t minPerPiece)
{
    const size_t wanted = platform::sys::piecesFor(count, minPerPiece);
    if (wanted <= 1)
        return {head};
    std::vector<R*> starts;
    const size_t perPiece = (count + wanted - 1) / wanted;
    size_t i = 0;
    for (R* r = head; r; r = r->getNext(), ++i)
        if (i == starts.size() * perPiece)  // a division a record would cost more than the walk
            starts.push_back(r);
    if (starts.empty())
        starts.push_back(nullptr);
    return starts;
}

}  // namespace

std::vector<FEMeshFaceC*> FEMeshPartC::facePieces(size_t minPerPiece) const
{
    return listPieces(faceHead, facePool().live(), minPerPiece);
}

std::vector<FEMeshEdgeC*> FEMeshPartC::edgePieces(size_t minPerPiece) const
{
    return listPieces(edgeHead, edgePool().live(), minPerPiece);
}

// ---- Incident-edge lists ----

namespace {

// The far end of e seen from v when v is known to be one of its ends; null otherwise.
const FEMeshVertexC* farEndOf(const FEMeshEdgeC* e, const FEMeshVertexC* v)
{
    const FEMeshHalfEdgeC* h = e->getFirstHalfEdge();
    if (!h || !h->getNext())
        return nullptr;
    const FEMeshVertexC* a = h->getVertex();
    const FEMeshVertexC* b = h->getNext()->getVertex();
    if (a == v)
        return b;
    if (b == v)
        return a;
    return nullptr;
}

}  // namespace

FEMeshFanIndexC* FEMeshPartC::fanIndexOf(FEMeshVertexC* v)
{
    if (!records || records->fanIndexes.empty())
        return nullptr;
    auto it = fanIndexes().find(v);
    return it == fanIndexes().end() ? nullptr : it->second.get();
}

void FEMeshPartC::dropFanIndexes()
{
    if (records)
        records->fanIndexes.clear();
}

void FEMeshPartC::appendIncidentEdge(FEMeshVertexC* v, FEMeshEdgeC* e) { appendIncidentEdge(v, e, farEndOf(e, v)); }

void FEMeshPartC::appendIncidentEdge(FEMeshVertexC* v, FEMeshEdgeC* e, const FEMeshVertexC* farEnd)
{
    // An edge has room in two lists, those of its ends; a further list is not joined.
    FEMeshIncidenceC* link = !e->link(0).inUse() ? &e->link(0) : (!e->link(1).inUse() ? &e->link(1) : nullptr);
    if (!link)
        return;
    const uint32_t linkHandle = FEMeshIncidenceC::handleOf(link);
    link->setHolder(FEMeshArenaC<FEMeshVertexC>::handleOf(v));
    link->next = 0;
    link->previous = v->incidentTail;
    if (v->incidentTail)
        FEMeshIncidenceC::fromHandle(v->incidentTail)->next = linkHandle;
    else
        v->incidentHead = linkHandle;
    v->incidentTail = linkHandle;
    ++v->incidentCount;

    // An index files every entry, also those appended while deletions kept the list short:
    // once the list is long again, searches trust it.
    if (FEMeshFanIndexC* index = fanIndexOf(v)) {
        index->append(e, farEnd);
        return;
    }
    if (v->incidentCount < fanIndexThreshold)
        return;
    if (!std::isfinite(mergeTolerance) || mergeTolerance < 0.0)
        return;
    // The list has grown large: file what it holds, in list order.
    auto index = std::make_unique<FEMeshFanIndexC>(mergeTolerance > 0.0 ? 64.0 * mergeTolerance : 1e-4);
    for (FEMeshIncidenceC* n = v->getFirstIncidence(); n; n = n->getNext())
        index->append(n->getEdge(), n == link ? farEnd : farEndOf(n->getEdge(), v));
    fanIndexes()[v] = std::move(index);
}

namespace {

// Which of two links of one list comes first, walking from both at once: the walk from the
// earlier one meets the later one, the walk from the later one the end of the list.
bool comesFirst(const FEMeshIncidenceC* a, const FEMeshIncidenceC* b)
{
    const FEMeshIncidenceC* fromA = a;
    const FEMeshIncidenceC* fromB = b;
    for (;;) {
        fromA = fromA->getNext();
        fromB = fromB->getNext();
        if (fromA == b || !fromB)
            return true;
        if (fromB == a || !fromA)
            return false;
    }
}

}  // namespace

bool FEMeshPartC::removeIncidentEdge(FEMeshVertexC* v, FEMeshEdgeC* e)
{
    const uint32_t holder = FEMeshArenaC<FEMeshVertexC>::handleOf(v);
    FEMeshIncidenceC* const first = &e->link(0);
    FEMeshIncidenceC* const second = &e->link(1);
    const bool inFirst = first->inUse() && first->holderHandle() == holder;
    const bool inSecond = second->inUse() && second->holderHandle() == holder;
    if (!inFirst && !inSecond)
        return false;
    // Both links in this list (an edge from the vertex to itself): the earlier one goes.
    FEMeshIncidenceC* n = inFirst && (!inSecond || comesFirst(first, second)) ? first : second;
    if (n->previous)
        FEMeshIncidenceC::fromHandle(n->previous)->next = n->next;
    else
        v->incidentHead = n->next;
    if (n->next)
        FEMeshIncidenceC::fromHandle(n->next)->previous = n->previous;
    else
        v->incidentTail = n->previous;
    n->next = n->previous = 0;
    n->setHolder(0);
    --v->incidentCount;
    if (FEMeshFanIndexC* index = fanIndexOf(v)) {
        if (!index->remove(e, farEndOf(e, v)) || v->incidentCount == 0)
            fanIndexes().erase(v);
    }
    return true;
}

void FEMeshPartC::clearIncidentEdges(FEMeshVertexC* v)
{
    emptyIncidentList(v);
    if (!fanIndexes().empty())
        fanIndexes().erase(v);
}

void FEMeshPartC::emptyIncidentList(FEMeshVertexC* v)
{
    FEMeshIncidenceC* n = v->getFirstIncidence();
    while (n) {
        FEMeshIncidenceC* following = n->getNext();
        n->next = n->previous = 0;
        n->setHolder(0);
        n = following;
    }
    v->incidentHead = v->incidentTail = 0;
    v->incidentCount = 0;
}

void FEMeshPartC::verticesMoved()
{
    dropFanIndexes();
    if (records)
        records->vertexHash.positionsChanged();
}

// ---- Loops of a face ----

void FEMeshPartC::attachLoop(FEMeshLoopC* loop, FEMeshFaceC* face)
{
    loop->setFace(face);
    loop->setNext(nullptr);
    FEMeshLoopC* last = face->getLastLoop();
    loop->setPrevious(last);
    if (last)
        last->setNext(loop);
    else
        face->setFirstLoop(loop);
    face->setLastLoop(loop);
}

void FEMeshPartC::detachLoop(FEMeshLoopC* loop)
{
    if (FEMeshFaceC* face = loop->getFace()) {
        FEMeshLoopC* previous = loop->getPrevious();
        FEMeshLoopC* next = loop->getNext();
        // A loop of the face that is not in its chain (yet) has nothing to leave.
        if (previous ? previous->getNext() == loop : face->getFirstLoop() == loop) {
            if (previous)
                previous->setNext(next);
            else
                face->setFirstLoop(next);
            if (next)
                next->setPrevious(previous);
            if (face->getLastLoop() == loop)
                face->setLastLoop(previous);
        }
    }
    loop->setNext(nullptr);
    loop->setPrevious(nullptr);
}
