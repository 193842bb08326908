// FEMeshPartC: building faces from point lists, with merged vertices and paired, smooth or sharp edges.
#include "geometry/mesh/FEMeshPartC.h"

#include <cmath>

#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshFanIndexC.h"

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;

bool isFinitePoint(const Point3Df& p) { return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z()); }

// The two positions a pairing search looks for, as tolerance boxes: worked out once for the
// search rather than for every edge it looks at.
class PairBounds {
public:
    PairBounds(const Point3Df& pj, const Point3Df& pi, double t) : nearJ(pj, t), nearI(pi, t) {}
    // Whether the edge runs between the two positions, either way round (start and end of its
    // first half-edge, which must have its successor).
    bool joins(const FEMeshEdgeC* e) const
    {
        const FEMeshHalfEdgeC* h = e->getFirstHalfEdge();
        if (!h)
            return false;
        const FEMeshHalfEdgeC* next = h->getNext();
        if (!next)
            return false;
        const Point3Df& s = h->getVertex()->getPosition();
        const Point3Df& t = next->getVertex()->getPosition();
        return (nearJ.holds(s) && nearI.holds(t)) || (nearI.holds(s) && nearJ.holds(t));
    }

private:
    FEMeshToleranceBoxC nearJ;
    FEMeshToleranceBoxC nearI;
};

}  // namespace

void FEMeshPartC::narrow(const RWTValSlist<Point3D>& points, std::vector<Point3Df>& out)
{
    out.clear();
    // The iterator wants a modifiable list; it only reads it.
    RWTValSlistIterator<Point3D> it(const_cast<RWTValSlist<Point3D>&>(points));
    while (++it)
        out.push_back(Point3Df(it.key()));
}

FEMeshVertexC* FEMeshPartC::createVertex(const Point3Df& p, const FEMeshVertexHashC::Lookup* lookup)
{
    FEMeshVertexC* v = vertexHash().createVertex(p);
    v->setIndex(nextVertexNumber++);
    if (lookup)
        vertexHash().insert(v, *lookup);
    else
        vertexHash().insert(v);
    const double c[3] = {p.x(), p.y(), p.z()};
    for (int axis = 0; axis < 3; ++axis) {
        if (boxMax.component(axis) < c[axis])
            boxMax.component(axis) = c[axis];
        if (boxMin.component(axis) > c[axis])
            boxMin.component(axis) = c[axis];
    }
    return v;
}

FEMeshVertexC* FEMeshPartC::findOrCreateVertex(const Point3Df& p)
{
    if (FEMeshVertexC* v = vertexHash().find(p))
        return v;
    return createVertex(p);
}

FEMeshFaceC* FEMeshPartC::addFace(const RWTValSlist<Point3D>& points, const Point3D& normal, FEMeshFaceInfoI* faceInfo,
                                  const RWTValOrderedVector<FEMeshEdgeInfoC>&, float creaseAngle, int groupId)
{
    if (points.entries() < 3)
        return nullptr;
    narrow(points, scratchPoints());
    return addFaceFromPoints(scratchPoints().data(), scratchPoints().size(), normal, faceInfo, creaseAngle, groupId);
}

FEMeshFaceC* FEMeshPartC::addFace(const Point3D* points, size_t count, const Point3D& normal, FEMeshFaceInfoI* faceInfo,
                                  float creaseAngle, int groupId)
{
    if (!points || count < 3)
        return nullptr;
    scratchPoints().clear();
    for (size_t i = 0; i < count; ++i)
        scratchPoints().push_back(Point3Df(points[i]));
    return addFaceFromPoints(scratchPoints().data(), count, normal, faceInfo, creaseAngle, groupId);
}

FEMeshFaceC* FEMeshPartC::addFaceFromPoints(const Point3Df* points, size_t count, const Point3D& normal,
                                            FEMeshFaceInfoI* faceInfo, float creaseAngle, int groupId,
                                            const FEMeshVertexHashC::Lookup* lookups, FEMeshVertexC* const* known)
{
    if (count < 3)
        return nullptr;
    FEMeshFaceC* face = facePool().create(faceInfo);
    FEMeshLoopC* loop = loopPool().create();
    currentFace = face;
    loop->setFace(face);
    face->setFirstLoop(loop);
    face->setLastLoop(loop);

    // 1 - sin of the angle, compared with a cosine below: 15 degrees is smooth up to about
    // 42 degrees between the normals. Meshes and their users depend on exactly this value.
    if (!(creaseAngle == thresholdAngle)) {  // the sine once per angle, not once per face
        thresholdAngle = creaseAngle;
        thresholdOfAngle = float(1.0 - std::sin(double(creaseAngle) * kDegreesToRadians));
    }
    creaseThreshold = thresholdOfAngle;
    groupMode = groupId;
    face->setNormal(Point3Df(normal));
    face->setGroupId(groupId);

    if (!buildLoop(points, count, loop, lookups, known)) {
        loopPool().destroy(loop);
        facePool().destroy(face);
        currentFace = nullptr;
        return nullptr;
    }
    face->setIndex(nextFaceNumber++);
    appendFace(face);
    return face;
}

bool FEMeshPartC::addLoop(const RWTValSlist<Point3D>& points, const RWTValOrderedVector<FEMeshEdgeInfoC>&)
{
    if (points.entries() < 3 || !currentFace)
        return false;
    narrow(points, scratchPoints());
    return addLoopFromPoints(scratchPoints().data(), scratchPoints().size());
}

bool FEMeshPartC::addLoop(const Point3D* points, size_t count)
{
    if (!points || count < 3 || !currentFace)
        return false;
    scratchPoints().clear();
    for (size_t i = 0; i < count; ++i)
        scratchPoints().push_back(Point3Df(points[i]));
    return addLoopFromPoints(scratchPoints().data(), count);
}

bool FEMeshPartC::addLoopFromPoints(const Point3Df* points, size_t count)
{
    if (count < 3 || !currentFace)
        return false;
    FEMeshLoopC* loop = loopPool().create();
    attachLoop(loop, currentFace);
    buildLoop(points, count, loop);
    return true;
}

bool FEMeshPartC::endFace()
{
    currentFace = nullptr;
    return true;
}

bool FEMeshPartC::buildLoop(const RWTValSlist<Point3D>& points, FEMeshLoopC* loop)
{
    std::vector<Point3Df> narrowed;
    narrow(points, narrowed);
    return buildLoop(narrowed.data(), narrowed.size(), loop);
}

FEMeshEdgeC* FEMeshPartC::findPairEdge(FEMeshVertexC* at, const Point3Df& pj, const Point3Df& pi)
{
    const PairBounds ends(pj, pi, mergeTolerance);
    FEMeshFanIndexC* index = at->getIncidentEdgeCount() >= fanIndexThreshold ? fanIndexOf(at) : nullptr;
    if (!index || !isFinitePoint(pj) || !isFinitePoint(pi) || !std::isfinite(mergeTolerance) || mergeTolerance < 0.0) {
        // The last qualifying edge of the list: walking from its end, the first that qualifies.
        for (FEMeshIncidenceC* n = FEMeshIncidenceC::fromHandle(at->incidentTail); n; n = n->getPrevious())
            if (ends.joins(n->getEdge()))
                return n->getEdge();
        return nullptr;
    }

    // A filed edge joins `at` to its far end, so it can qualify only when `at` matches one of
    // the two positions and the far end the other; the latest qualifying entry wins.
    FEMeshEdgeC* match = nullptr;
    uint32_t matchOrdinal = 0;
    // Within one list the entries come latest first: the first that qualifies, or one no later
    // than the match so far, ends that list.
    auto visit = [&](const FEMeshFanIndexC::Entry& entry) {
        if (match && entry.ordinal <= matchOrdinal)
            return true;
        if (!ends.joins(entry.edge))
            return false;
        match = entry.edge;
        matchOrdinal = entry.ordinal;
        return true;
    };
    const Point3Df& here = at->getPosition();
    const bool towardsJ = compareWithinTolerance(here, pi, mergeTolerance) == 0;
    const bool towardsI = compareWithinTolerance(here, pj, mergeTolerance) == 0;
    // Pending entries are later than every filed one: one of them that qualifies wins outright.
    Point3Df farEnds[2];
    int farEndCount = 0;
    if (towardsJ)
        farEnds[farEndCount++] = pj;
    if (towardsI)
        farEnds[farEndCount++] = pi;
    index->forPending(farEnds, farEndCount, mergeTolerance, visit);
    if (match)
        return match;
    if (towardsJ)
        index->forCandidates(pj, mergeTolerance, visit);
    if (towardsI)
        index->forCandidates(pi, mergeTolerance, visit);
    index->forUnfiled(visit);
    return match;
}

bool FEMeshPartC::buildLoop(const Point3Df* points, size_t count, FEMeshLoopC* loop,
                            const FEMeshVertexHashC::Lookup* lookups, FEMeshVertexC* const* known)
{
    if (!points || count == 0 || !loop)
        return false;

    Records& r = made();
    // Every vertex is settled before any half-edge is made.
    r.scratchVertices.resize(count);
    r.scratchExisted.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const FEMeshVertexHashC::Lookup* lookup = lookups ? &lookups[i] : nullptr;
        FEMeshVertexC* v = known && known[i] ? known[i]
                           : lookup        ? r.vertexHash.find(points[i], *lookup)
                                           : r.vertexHash.find(points[i]);
        r.scratchExisted[i] = v != nullptr;
        r.scratchVertices[i] = v ? v : createVertex(points[i], lookup);
    }

    FEMeshFaceC* face = loop->getFace();
    FEMeshHalfEdgeC* first = nullptr;
    FEMeshHalfEdgeC* previous = nullptr;
    for (size_t i = 0; i < count; ++i) {
        const size_t j = i == 0 ? count - 1 : i - 1;
        FEMeshVertexC* vi = r.scratchVertices[i];
        FEMeshVertexC* vj = r.scratchVertices[j];

        FEMeshEdgeC* match = nullptr;
        if (r.scratchExisted[j] && r.scratchExisted[i])
            match = findPairEdge(vi, points[j], points[i]);

        FEMeshHalfEdgeC* h = r.halfEdgePool.create();
        h->setVertex(vj);
        vj->setOutgoingHalfEdge(h);
        h->setLoop(loop);
        h->setPrevious(previous);
        if (previous)
            previous->setNext(h);
        if (!first)
            first = h;

        if (match && !match->getSecondHalfEdge()) {
            match->setSecondHalfEdge(h);
            const FEMeshFaceC* other = match->getFirstHalfEdge()->getFace();
            bool smooth;
            if (groupMode != 0)
                smooth = other && face && other->getGroupId() == face->getGroupId();
            else
                smooth = other && face && dotProduct(other->getNormal(), face->getNormal()) > double(creaseThreshold);
            match->setSmooth(smooth);
            h->setEdge(match);
        } else {
            if (match)
                manifold = 0;  // a third face on this edge
            FEMeshEdgeC* e = r.edgePool.create();
            e->setIndex(nextEdgeNumber++);
            e->setFirstHalfEdge(h);
            appendIncidentEdge(vj, e, vi);
            appendIncidentEdge(vi, e, vj);
            appendEdge(e);
            h->setEdge(e);
        }
        previous = h;
    }
    first->setPrevious(previous);
    previous->setNext(first);
    loop->setFirstHalfEdge(first);
    return true;
}

void FEMeshPartC::beginImport(int) {}

Point3D FEMeshPartC::windingNormal(const Point3D& p1, const Point3D& p2, const Point3D& p3)
{
    return crossProduct(p2 - p1, p3 - p1).normalized();
}

bool FEMeshPartC::addTriangle(const Point3D& p1, const Point3D& p2, const Point3D& p3)
{
    const Point3Df points[3] = {Point3Df(p1), Point3Df(p2), Point3Df(p3)};
    addFaceFromPoints(points, 3, windingNormal(p1, p2, p3), nullptr, 15.0f, 0);
    endFace();
    return true;
}

void FEMeshPartC::endImport() {}
