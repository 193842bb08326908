// FEMeshPartC: the Euler operators (make edge and vertex, make edge and face, make edge and kill
// ring) and the collapse of an edge between two triangles.
#include <unordered_set>
#include <vector>

#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"

namespace {

// The half-edges of a ring in order (at most `limit`; an open or longer ring gives what was met).
std::vector<FEMeshHalfEdgeC*> ringOf(FEMeshHalfEdgeC* first, size_t limit)
{
    std::vector<FEMeshHalfEdgeC*> ring;
    for (FEMeshHalfEdgeC* h = first; h && ring.size() < limit;) {
        ring.push_back(h);
        h = h->getNext();
        if (h == first)
            break;
    }
    return ring;
}

bool isTriangle(FEMeshHalfEdgeC* h)
{
    return h && h->getNext() && h->getNext()->getNext() && h->getNext()->getNext()->getNext() == h;
}

// A new edge joins the incident list of an end while such lists are kept (during building).
void joinLists(FEMeshPartC& part, FEMeshVertexC* v, FEMeshEdgeC* e)
{
    if (v->getIncidentEdgeCount() > 0)
        part.appendIncidentEdge(v, e);
}

}  // namespace

FEMeshVertexC* FEMeshPartC::makeEdgeVertex(FEMeshHalfEdgeC* h1, FEMeshHalfEdgeC* h2, const Point3D& p)
{
    if (!h1 || !h2 || !h1->getVertex() || h1->getVertex() != h2->getVertex() || !h1->getLoop() || !h2->getLoop() ||
        !h1->getPrevious() || !h2->getPrevious())
        return nullptr;
    FEMeshVertexC* v = h1->getVertex();
    // The corners from h1 round the vertex (through partners) up to h2 move to the new vertex;
    // h2 must be reached that way.
    std::vector<FEMeshHalfEdgeC*> moving;
    const size_t limit = halfEdgePool().live() + 1;
    for (FEMeshHalfEdgeC* h = h1; h != h2;) {
        moving.push_back(h);
        FEMeshHalfEdgeC* partner = h->getPartner();
        if (!partner || !partner->getNext() || moving.size() > limit)
            return nullptr;
        h = partner->getNext();
        if (h == h1 || h->getVertex() != v)
            return nullptr;
    }

    FEMeshVertexC* w = createVertex(Point3Df(p));
    FEMeshEdgeC* e = createEdge();
    e->setIndex(takeEdgeNumber());
    appendEdge(e);
    FEMeshHalfEdgeC* a = createHalfEdge();  // v -> w, before h1
    FEMeshHalfEdgeC* b = createHalfEdge();  // w -> v, before h2
    const bool keepLists = v->getIncidentEdgeCount() > 0;
    for (FEMeshHalfEdgeC* h : moving) {
        h->setVertex(w);
        if (keepLists && h->getEdge() && removeIncidentEdge(v, h->getEdge()))
            appendIncidentEdge(w, h->getEdge());
    }

    a->setVertex(v);
    a->setLoop(h1->getLoop());
    FEMeshHalfEdgeC* p1 = h1->getPrevious();
    p1->setNext(a);
    a->setPrevious(p1);
    a->setNext(h1);
    h1->setPrevious(a);

    b->setVertex(w);
    b->setLoop(h2->getLoop());
    FEMeshHalfEdgeC* p2 = h2->getPrevious();
    p2->setNext(b);
    b->setPrevious(p2);
    b->setNext(h2);
    h2->setPrevious(b);

    e->setFirstHalfEdge(a);
    e->setSecondHalfEdge(b);
    a->setEdge(e);
    b->setEdge(e);
    e->setSmooth(a->getFace() && b->getFace() && a->getFace()->getGroupId() == b->getFace()->getGroupId());
    v->setOutgoingHalfEdge(a);
    w->setOutgoingHalfEdge(b);
    joinLists(*this, v, e);
    if (keepLists)
        appendIncidentEdge(w, e);
    verticesMoved();
    return w;
}

FEMeshFaceC* FEMeshPartC::makeEdgeFace(FEMeshHalfEdgeC* h1, FEMeshHalfEdgeC* h2)
{
    // The same half-edge twice cuts nothing.
    if (!h1 || !h2 || h1 == h2 || !h1->getLoop() || h1->getLoop() != h2->getLoop() || !h1->getLoop()->getFace())
        return nullptr;
    FEMeshLoopC* old = h1->getLoop();
    FEMeshFaceC* face = old->getFace();
    // h2 must follow h1 in the ring.
    std::vector<FEMeshHalfEdgeC*> cut;
    const size_t limit = halfEdgePool().live() + 1;
    for (FEMeshHalfEdgeC* h = h1; h != h2; h = h->getNext()) {
        if (!h || cut.size() > limit)
            return nullptr;
        cut.push_back(h);
    }

    FEMeshFaceC* added = createFace(face->getFaceInfo() ? face->getFaceInfo()->duplicate() : nullptr);
    added->setIndex(takeFaceNumber());
    added->setNormal(face->getNormal());
    added->setGroupId(face->getGroupId());
    appendFace(added);
    FEMeshLoopC* loop = createLoop();
    attachLoop(loop, added);

    FEMeshEdgeC* e = createEdge();
    e->setIndex(takeEdgeNumber());
    e->setSmooth(true);  // both sides lie in the plane of the face that was cut
    appendEdge(e);
    FEMeshHalfEdgeC* n1 = createHalfEdge();  // h2's vertex -> h1's vertex, closes the cut-off ring
    FEMeshHalfEdgeC* n2 = createHalfEdge();  // h1's vertex -> h2's vertex, closes the remaining ring
    FEMeshHalfEdgeC* p1 = h1->getPrevious();
    FEMeshHalfEdgeC* p2 = h2->getPrevious();

    n1->setVertex(h2->getVertex());
    n1->setPrevious(p2);
    p2->setNext(n1);
    n1->setNext(h1);
    h1->setPrevious(n1);
    n2->setVertex(h1->getVertex());
    n2->setPrevious(p1);
    p1->setNext(n2);
    n2->setNext(h2);
    h2->setPrevious(n2);

    for (FEMeshHalfEdgeC* h : cut)
        h->setLoop(loop);
    n1->setLoop(loop);
    n2->setLoop(old);
    loop->setFirstHalfEdge(n1);
    old->setFirstHalfEdge(n2);
    e->setFirstHalfEdge(n2);
    e->setSecondHalfEdge(n1);
    n1->setEdge(e);
    n2->setEdge(e);
    joinLists(*this, h1->getVertex(), e);
    joinLists(*this, h2->getVertex(), e);
    return added;
}

FEMeshEdgeC* FEMeshPartC::makeEdgeKillRing(FEMeshHalfEdgeC* h1, FEMeshHalfEdgeC* h2)
{
    if (!h1 || !h2 || !h1->getLoop() || !h2->getLoop() || h1->getLoop() == h2->getLoop() || !h1->getLoop()->getFace() ||
        h1->getLoop()->getFace() != h2->getLoop()->getFace() || !h1->getPrevious() || !h2->getPrevious())
        return nullptr;
    FEMeshLoopC* keep = h1->getLoop();
    FEMeshLoopC* ring = h2->getLoop();
    const std::vector<FEMeshHalfEdgeC*> moved = ringOf(ring->getFirstHalfEdge(), halfEdgePool().live() + 1);

    FEMeshEdgeC* e = createEdge();
    e->setIndex(takeEdgeNumber());
    e->setSmooth(true);
    appendEdge(e);
    FEMeshHalfEdgeC* n1 = createHalfEdge();  // h1's vertex -> h2's vertex
    FEMeshHalfEdgeC* n2 = createHalfEdge();  // h2's vertex -> h1's vertex
    FEMeshHalfEdgeC* p1 = h1->getPrevious();
    FEMeshHalfEdgeC* p2 = h2->getPrevious();
    n1->setVertex(h1->getVertex());
    n1->setPrevious(p1);
    p1->setNext(n1);
    n1->setNext(h2);
    h2->setPrevious(n1);
    n2->setVertex(h2->getVertex());
    n2->setPrevious(p2);
    p2->setNext(n2);
    n2->setNext(h1);
    h1->setPrevious(n2);
    for (FEMeshHalfEdgeC* h : moved)
        h->setLoop(keep);
    n1->setLoop(keep);
    n2->setLoop(keep);
    e->setFirstHalfEdge(n1);
    e->setSecondHalfEdge(n2);
    n1->setEdge(e);
    n2->setEdge(e);

    ring->setFirstHalfEdge(nullptr);
    detachLoop(ring);
    loopPool().destroy(ring);
    joinLists(*this, h1->getVertex(), e);
    joinLists(*this, h2->getVertex(), e);
    return e;
}

bool FEMeshPartC::collapseEdge(FEMeshEdgeC* edge, const Point3D& p)
{
    if (!edge)
        return false;
    FEMeshHalfEdgeC* a = edge->getFirstHalfEdge();
    FEMeshHalfEdgeC* b = edge->getSecondHalfEdge();
    if (!a || !b || a == b)
        return false;
    FEMeshVertexC* v1 = a->getVertex();
    FEMeshVertexC* v2 = b->getVertex();
    // Both faces must be triangles: deleting a larger face would leave a hole, and only the two
    // sides of a triangle meet at one far vertex so that they can be fused.
    if (!v1 || !v2 || v1 == v2 || !isTriangle(a) || !isTriangle(b) || a->getNext()->getVertex() != v2 ||
        b->getNext()->getVertex() != v1 || a->getFace() == b->getFace() || !a->getFace() || !b->getFace())
        return false;
    FEMeshHalfEdgeC* an = a->getNext();
    FEMeshHalfEdgeC* ap = a->getPrevious();
    FEMeshHalfEdgeC* bn = b->getNext();
    FEMeshHalfEdgeC* bp = b->getPrevious();
    FEMeshHalfEdgeC* partners[4] = {ap->getPartner(), an->getPartner(), bp->getPartner(), bn->getPartner()};
    const FEMeshHalfEdgeC* own[6] = {a, an, ap, b, bn, bp};
    for (int i = 0; i < 4; ++i) {
        if (!partners[i])
            return false;
        for (int j = 0; j < i; ++j)
            if (partners[i] == partners[j])
                return false;
        for (const FEMeshHalfEdgeC* h : own)
            if (partners[i] == h)
                return false;
    }
    std::unordered_set<const FEMeshEdgeC*> edges;
    for (const FEMeshHalfEdgeC* h : own)
        edges.insert(h->getEdge());
    if (edges.size() < 5 || edges.count(nullptr))
        return false;

    // The link condition: the two ends share no neighbour but the triangles' far corners, and
    // no other half-edge joins them.
    FEMeshVertexC* x = ap->getVertex();
    FEMeshVertexC* y = bp->getVertex();
    std::unordered_set<const FEMeshVertexC*> around1, around2;
    std::vector<FEMeshHalfEdgeC*> atV2;
    for (FEMeshFaceC* f = faceHead; f; f = f->getNext())
        for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext()) {
            FEMeshHalfEdgeC* h0 = l->getFirstHalfEdge();
            for (FEMeshHalfEdgeC* h = h0; h;) {
                FEMeshVertexC* s = h->getVertex();
                FEMeshVertexC* t = h->getNext()->getVertex();
                if (h != a && h != b && ((s == v1 && t == v2) || (s == v2 && t == v1)))
                    return false;
                if (s == v1)
                    around1.insert(t);
                if (t == v1)
                    around1.insert(s);
                if (s == v2) {
                    around2.insert(t);
                    atV2.push_back(h);
                }
                if (t == v2)
                    around2.insert(s);
                h = h->getNext();
                if (h == h0)
                    break;
            }
        }
    for (const FEMeshVertexC* n : around1)
        if (n != x && n != y && n != v2 && around2.count(n))
            return false;

    FEMeshFaceC* fa = a->getFace();
    FEMeshFaceC* fb = b->getFace();
    FEMeshHalfEdgeC* pap = partners[0];  // v1 -> x
    FEMeshHalfEdgeC* pan = partners[1];  // x -> v2, becomes x -> v1
    FEMeshHalfEdgeC* pbp = partners[2];  // v2 -> y, becomes v1 -> y
    FEMeshHalfEdgeC* pbn = partners[3];  // y -> v1
    FEMeshEdgeC* keptA = ap->getEdge();
    FEMeshEdgeC* droppedA = an->getEdge();
    FEMeshEdgeC* keptB = bn->getEdge();
    FEMeshEdgeC* droppedB = bp->getEdge();

    for (FEMeshHalfEdgeC* h : atV2)
        h->setVertex(v1);
    // V2's incident edges go to V1's list.
    while (FEMeshEdgeC* e = v2->getFirstIncidentEdge()) {
        removeIncidentEdge(v2, e);
        if (e != droppedA && e != droppedB && e != edge)
            appendIncidentEdge(v1, e);
    }
    // Fuse the sides: the kept edge takes the partner of the dropped edge.
    if (keptA->getFirstHalfEdge() == ap)
        keptA->setFirstHalfEdge(pan);
    else
        keptA->setSecondHalfEdge(pan);
    pan->setEdge(keptA);
    if (keptB->getFirstHalfEdge() == bn)
        keptB->setFirstHalfEdge(pbp);
    else
        keptB->setSecondHalfEdge(pbp);
    pbp->setEdge(keptB);
    for (FEMeshEdgeC* e : {droppedA, droppedB, edge}) {
        e->setFirstHalfEdge(nullptr);
        e->setSecondHalfEdge(nullptr);
        dropBareEdge(e, v1, e == droppedA ? x : e == droppedB ? y : v2);
    }
    v1->setOutgoingHalfEdge(pap);
    if (x->getOutgoingHalfEdge() == ap)
        x->setOutgoingHalfEdge(pan);
    if (y->getOutgoingHalfEdge() == bp)
        y->setOutgoingHalfEdge(pbn);
    for (FEMeshFaceC* f : {fa, fb}) {
        unlinkFace(f);
        if (currentFace == f)
            currentFace = nullptr;
        for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext())
            for (FEMeshHalfEdgeC* h : ringOf(l->getFirstHalfEdge(), 4))
                h->setEdge(nullptr);
        destroyFace(f);
    }
    vertexHash().destroyVertex(v2);
    v1->setPosition(Point3Df(p));
    verticesMoved();
    smoothNormals();
    return true;
}
