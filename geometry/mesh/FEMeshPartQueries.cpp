// FEMeshPartC queries and whole-part operations: box, picking, triangulation, walks, transforms, copy.
#include <unordered_map>
#include <vector>

#include "geometry/display/FEFaceTriangulatorC.h"
#include "math/Geometry2D.h"
#include "math/TransformMatrix.h"
#include "math/VectorOps.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"

namespace {

// The point-in-polygon tolerance of a face's outline.
constexpr double kLoopTolerance = 1e-4;

// The projection that drops the normal's dominant axis (as projectToPlane2D), inline here
// because picking runs it for every corner of every face.
inline Point2D project(const Point3Df& p, int axis)
{
    if (axis == 1)
        return Point2D(p.y(), p.z());
    if (axis == 2)
        return Point2D(p.x(), p.z());
    return Point2D(p.x(), p.y());
}

// Where p lies against a loop in the plane of the normal: 0 inside, 1 on the boundary,
// 2 outside. A first walk over the corners takes only the outline's extent: a point beyond
// its x range, or wholly above or below it, is outside without more work. Otherwise the
// corners (closed by repeating the first) go into a scratch array reused from face to face.
int pointInLoopProjected(const Point3D& normal, const FEMeshLoopC* loop, const Point3Df& p,
                         std::vector<Point2D>& scratch)
{
    const FEMeshHalfEdgeC* first = loop ? loop->getFirstHalfEdge() : nullptr;
    if (!first)
        return 2;
    const int axis = dominantAxis(normal);
    const Point2D q = project(p, axis);
    double xmin = 1e300, xmax = -1e300, ymin = 1e300, ymax = -1e300;
    size_t corners = 0;
    for (const FEMeshHalfEdgeC* h = first; h;) {
        const Point2D c = project(h->getVertex()->getPosition(), axis);
        if (c.x() < xmin) xmin = c.x();
        if (c.x() > xmax) xmax = c.x();
        if (c.y() < ymin) ymin = c.y();
        if (c.y() > ymax) ymax = c.y();
        ++corners;
        h = h->getNext();
        if (h == first)
            break;
    }
    if (corners + 1 < 3 || q.x() > xmax || q.x() < xmin)
        return 2;
    // Every corner strictly above (or below) the band around the ray: no crossing is possible.
    if (ymin > q.y() + kLoopTolerance || ymax < q.y() - kLoopTolerance)
        return 2;
    scratch.clear();
    for (const FEMeshHalfEdgeC* h = first; h;) {
        scratch.push_back(project(h->getVertex()->getPosition(), axis));
        h = h->getNext();
        if (h == first)
            break;
    }
    scratch.push_back(scratch.front());
    return pointInPolygon(scratch.data(), int(scratch.size()), q, &xmin, &xmax, kLoopTolerance);
}

// One entry for a line test that gave one or two points: the nearer of two (the second on a tie).
void addNearerHit(RWTPtrSortedVector<FEMeshPickListEntryC>& list, FEMeshPickableEntityC* entity, int hits,
                  const Point3D& p1, const Point3D& a, const Point3D& b)
{
    if (hits <= 0)
        return;
    const double da = (a - p1).length();
    if (hits == 1) {
        list.insert(new FEMeshPickListEntryC(entity, a, da));
        return;
    }
    const double db = (b - p1).length();
    if (db <= da)
        list.insert(new FEMeshPickListEntryC(entity, b, db));
    else
        list.insert(new FEMeshPickListEntryC(entity, a, da));
}

}  // namespace

bool FEMeshPartC::getBoundingBox(Point3D& min, Point3D& max) const
{
    bool result = true;
    if (boxMin < Point3D(1e10, 1e10, 1e10)) {
        min = boxMin;
    } else {
        min = Point3D(-50.0, -50.0, -50.0);
        result = false;
    }
    if (boxMax > Point3D(-1e10, -1e10, -1e10)) {
        max = boxMax;
    } else {
        max = Point3D(50.0, 50.0, 50.0);
        result = false;
    }
    return result;
}

RWTPtrSortedVector<FEMeshPickListEntryC> FEMeshPartC::pick(const Point3D& p1, const Point3D& p2, double width,
                                                           int flags)
{
    RWTPtrSortedVector<FEMeshPickListEntryC> result(64);
    const double tolerance = width / 2.0;

    if (flags & FEMeshPickableEntityC::EDGE) {
        for (FEMeshEdgeC* e = edgeHead; e; e = e->getNext()) {
            double t1 = 0.0, t2 = 0.0;
            Point3D a, b;
            const int hits = lineCylinderIntersection(p1, p2, Point3D(e->getStartPoint()), Point3D(e->getEndPoint()),
                                                      tolerance, &t1, a, &t2, b);
            addNearerHit(result, e, hits, p1, a, b);
        }
    }

    if (flags & FEMeshPickableEntityC::FACE) {
        std::vector<Point2D> scratch;
        for (FEMeshFaceC* f = faceHead; f; f = f->getNext()) {
            const FEMeshLoopC* outer = f->getFirstLoop();
            if (!outer || !outer->getFirstHalfEdge())
                continue;
            const Point3D normal(f->getNormal());
            const Point3D onPlane(outer->getFirstHalfEdge()->getVertex()->getPosition());
            Point3D q;
            if (!linePlaneIntersection(p1, p2, normal, onPlane, q))
                continue;
            const Point3Df qf(q);
            if (pointInLoopProjected(normal, outer, qf, scratch) == 2)
                continue;
            bool inHole = false;
            for (const FEMeshLoopC* hole = outer->getNext(); hole && !inHole; hole = hole->getNext())
                inHole = pointInLoopProjected(normal, hole, qf, scratch) == 0;
            if (!inHole)
                result.insert(new FEMeshPickListEntryC(f, q, (q - p1).length()));
        }
    }

    if (flags & FEMeshPickableEntityC::VERTEX) {
        vertexHash().forEachVertex([&](FEMeshVertexC* v) {
            Point3D a, c;
            const int hits = lineSphereIntersection(p1, p2, Point3D(v->getPosition()), width, a, c);
            addNearerHit(result, v, hits, p1, a, c);
        });
    }
    return result;
}

void FEMeshPartC::triangulate(FETriangleCollectorC* collector)
{
    FEFaceTriangulatorC* triangulator = FEFaceTriangulatorC::instance();
    if (!triangulator)
        return;
    triangulator->triangulateFaces(faceHead, collector);
    FEFaceTriangulatorC::release();
}

void FEMeshPartC::triangulateInto(FEMeshPartC* target)
{
    FEFaceTriangulatorC* triangulator = FEFaceTriangulatorC::instance();
    if (!triangulator)
        return;
    triangulator->retriangulateInto(faceHead, target);
    FEFaceTriangulatorC::release();
}

void FEMeshPartC::forEachFace(void (*fn)(FEMeshFaceC*, void*), void* arg)
{
    for (FEMeshFaceC* f = faceHead; f;) {
        FEMeshFaceC* next = f->getNext();
        fn(f, arg);
        f = next;
    }
}

void FEMeshPartC::forEachEdge(void (*fn)(FEMeshEdgeC*, void*), void* arg)
{
    for (FEMeshEdgeC* e = edgeHead; e;) {
        FEMeshEdgeC* next = e->getNext();
        fn(e, arg);
        e = next;
    }
}

void FEMeshPartC::forEachVertex(void (*fn)(FEMeshVertexC*, void*), void* arg)
{
    vertexHash().forEachVertex([&](FEMeshVertexC* v) { fn(v, arg); });
}

void FEMeshPartC::transform(const double* m)
{
    vertexHash().forEachVertex(
        [&](FEMeshVertexC* v) { v->setPosition(Point3Df(transformPoint(m, Point3D(v->getPosition())))); });
    // Normals are directions: the translation is taken off again.
    const Point3D origin = transformPoint(m, Point3D());
    for (FEMeshFaceC* f = faceHead; f; f = f->getNext())
        f->setNormal(Point3Df(transformPoint(m, Point3D(f->getNormal())) - origin));
    for (FEMeshEdgeC* e = edgeHead; e; e = e->getNext()) {
        FEMeshHalfEdgeC* sides[2] = {e->getFirstHalfEdge(), e->getSecondHalfEdge()};
        for (FEMeshHalfEdgeC* h : sides)
            if (h)
                h->setNormal(Point3Df(transformPoint(m, Point3D(h->getNormal())) - origin));
    }
    verticesMoved();
}

void FEMeshPartC::scale(float factor)
{
    vertexHash().forEachVertex([&](FEMeshVertexC* v) { v->setPosition(v->getPosition() * factor); });
    verticesMoved();
}

void FEMeshPartC::recomputeBoundingBox()
{
    float lo[3] = {1e10f, 1e10f, 1e10f};
    float hi[3] = {-1e10f, -1e10f, -1e10f};
    vertexHash().forEachVertex([&](const FEMeshVertexC* v) {
        const Point3Df& p = v->getPosition();
        const float c[3] = {p.x(), p.y(), p.z()};
        for (int axis = 0; axis < 3; ++axis) {
            if (c[axis] < lo[axis])
                lo[axis] = c[axis];
            if (c[axis] > hi[axis])
                hi[axis] = c[axis];
        }
    });
    boxMin = Point3D(lo[0], lo[1], lo[2]);
    boxMax = Point3D(hi[0], hi[1], hi[2]);
}

void FEMeshPartC::renumber()
{
    int index = 0;
    vertexHash().forEachVertex([&](FEMeshVertexC* v) { v->setIndex(index++); });
    index = 0;
    for (FEMeshEdgeC* e = edgeHead; e; e = e->getNext())
        e->setIndex(index++);
    index = 0;
    for (FEMeshFaceC* f = faceHead; f; f = f->getNext())
        f->setIndex(index++);
}

void FEMeshPartC::copyFrom(const FEMeshPartC& source)
{
    if (&source == this) {
        // Copying a part into itself would walk the records it is adding: copy a copy.
        FEMeshPartC* copy = new FEMeshPartC();
        copy->copyFrom(source);
        copyFrom(*copy);
        delete copy;
        return;
    }

    // The new records of the source's edges and vertices. They are found by the source
    // record itself rather than by its number, so numbers that repeat (after edits or a
    // renumbering of another kind) cannot wire a half-edge to the wrong edge.
    std::unordered_map<const FEMeshEdgeC*, FEMeshEdgeC*> edgeMap;
    std::unordered_map<const FEMeshVertexC*, FEMeshVertexC*> vertexMap;
    edgeMap.reserve(source.getEdgeCount());
    vertexMap.reserve(source.getVertexCount());

    manifold = faceHead ? 1 : source.manifold;

    for (const FEMeshEdgeC* se = source.edgeHead; se; se = se->getNext()) {
        FEMeshEdgeC* e = createEdge();
        e->setIndex(takeEdgeNumber());
        e->setSmooth(se->isSmooth());
        appendEdge(e);
        edgeMap[se] = e;
    }

    const FEMeshVertexHashC& sourceHash = source.vertexHash();
    for (int b = sourceHash.nextBucket(-1); b < FEMeshVertexHashC::kBucketCount; b = sourceHash.nextBucket(b)) {
        for (const FEMeshVertexC* sv = sourceHash.getBucketHead(b); sv; sv = sv->getHashLink()) {
            FEMeshVertexC* v = findOrCreateVertex(sv->getPosition());
            vertexMap[sv] = v;
            for (const FEMeshIncidenceC* link = sv->getFirstIncidence(); link; link = link->getNext()) {
                auto it = edgeMap.find(link->getEdge());
                if (it != edgeMap.end())
                    appendIncidentEdge(v, it->second);
            }
        }
    }

    for (const FEMeshFaceC* sf = source.faceHead; sf; sf = sf->getNext()) {
        FEMeshFaceInfoI* info = sf->getFaceInfo() ? sf->getFaceInfo()->duplicate() : nullptr;
        FEMeshFaceC* f = createFace(info);
        f->setNormal(sf->getNormal());
        f->setIndex(takeFaceNumber());
        f->setGroupId(sf->getGroupId());
        appendFace(f);
        for (const FEMeshLoopC* sl = sf->getFirstLoop(); sl; sl = sl->getNext()) {
            FEMeshLoopC* loop = createLoop();
            attachLoop(loop, f);
            const FEMeshHalfEdgeC* sfirst = sl->getFirstHalfEdge();
            for (const FEMeshHalfEdgeC* sh = sfirst; sh;) {
                FEMeshHalfEdgeC* h = createHalfEdge();
                h->setNormal(sh->getNormal());
                h->setLoop(loop);
                FEMeshHalfEdgeC* first = loop->getFirstHalfEdge();
                if (!first) {
                    h->setNext(h);
                    h->setPrevious(h);
                    loop->setFirstHalfEdge(h);
                } else {
                    FEMeshHalfEdgeC* last = first->getPrevious();
                    h->setPrevious(last);
                    h->setNext(first);
                    last->setNext(h);
                    first->setPrevious(h);
                }
                if (const FEMeshEdgeC* se = sh->getEdge()) {
                    auto it = edgeMap.find(se);
                    if (it != edgeMap.end()) {
                        FEMeshEdgeC* e = it->second;
                        h->setEdge(e);
                        if (se->getFirstHalfEdge() == sh)
                            e->setFirstHalfEdge(h);
                        else if (se->getSecondHalfEdge() == sh)
                            e->setSecondHalfEdge(h);
                    }
                }
                auto vt = vertexMap.find(sh->getVertex());
                if (vt != vertexMap.end()) {
                    FEMeshVertexC* v = vt->second;
                    h->setVertex(v);
                    if (!v->getOutgoingHalfEdge())
                        v->setOutgoingHalfEdge(h);
                }
                sh = sh->getNext();
                if (sh == sfirst)
                    break;
            }
        }
    }

    for (size_t i = 0; i < source.threads.entries(); ++i) {
        const FEMeshThreadC* t = source.threads[i];
        addThread(new FEMeshThreadC(t->getMatrix(), t->getParameter1(), t->getParameter2(), t->getParameter3(),
                                    t->getFlag(), t->getParameter4(), t->getParameter5(), t->getParameter6(),
                                    t->getParameter7(), t->getParameter8()));
    }
    // Half-edges were hooked to vertices: the search aids of building start afresh.
    verticesMoved();
}

void makeUnique(refHandle<FEMeshPartC>& part)
{
    if (!part.get())
        part = new FEMeshPartC();
    if (part->isShared()) {
        FEMeshPartC* copy = new FEMeshPartC();
        copy->copyFrom(*part.get());
        part = copy;
    }
}
