// FEMeshPartC: smooth corner normals, averaged around each vertex up to crease and border edges.
#include "geometry/mesh/FEMeshPartC.h"

namespace {

// Closed fans up to this many corners are summed per corner (see smoothCorner).
constexpr int kOwnSumFanSize = 32;

bool smoothEdge(const FEMeshHalfEdgeC* h) { return h->getEdge() && h->getEdge()->isSmooth(); }

// The corner at the same vertex in the face across h's edge, going forward around the vertex;
// null where the fan ends (a crease or a border).
FEMeshHalfEdgeC* forward(const FEMeshHalfEdgeC* w)
{
    if (!smoothEdge(w))
        return nullptr;
    FEMeshHalfEdgeC* partner = w->getPartner();
    return partner ? partner->getNext() : nullptr;
}

// The corner that `forward` leads from to w, when the step back agrees with it.
bool stepsBackTo(const FEMeshHalfEdgeC* w, const FEMeshHalfEdgeC* from)
{
    const FEMeshHalfEdgeC* p = w->getPrevious();
    return p && smoothEdge(p) && p->getPartner() == from;
}

}  // namespace

void FEMeshPartC::smoothNormals()
{
    if (++smoothPass == 0) {
        // The marks wrapped around: clear them so that no old mark looks current.
        for (FEMeshFaceC* f = faceHead; f; f = f->getNext())
            for (FEMeshLoopC* l = f->getFirstLoop(); l && l->getFirstHalfEdge(); l = l->getNext()) {
                FEMeshHalfEdgeC* h = l->getFirstHalfEdge();
                do {
                    h->passMark = 0;
                    h = h->getNext();
                } while (h != l->getFirstHalfEdge());
            }
        smoothPass = 1;
    }
    for (FEMeshFaceC* f = faceHead; f; f = f->getNext())
        for (FEMeshLoopC* l = f->getFirstLoop(); l && l->getFirstHalfEdge(); l = l->getNext()) {
            FEMeshHalfEdgeC* first = l->getFirstHalfEdge();
            FEMeshHalfEdgeC* c = first;
            do {
                if (c->passMark != smoothPass)
                    smoothCorner(c, smoothPass);
                c = c->getNext();
            } while (c != first);
        }
}

void FEMeshPartC::smoothCorner(FEMeshHalfEdgeC* c, uint32_t mark)
{
    // Turn backwards around c's vertex to where the fan begins.
    FEMeshHalfEdgeC* w = c;
    bool stoppedAtC = false;
    for (;;) {
        FEMeshHalfEdgeC* p = w->getPrevious();
        if (!smoothEdge(p))
            break;
        FEMeshHalfEdgeC* partner = p->getPartner();
        if (!partner)
            break;
        if (partner == c) {
            stoppedAtC = true;
            break;
        }
        w = partner;
    }

    // Sum the face normals forward from there up to the next crease or border, or once around.
    FEMeshHalfEdgeC* const s = w;
    double sx = 0, sy = 0, sz = 0;
    int count = 0;
    bool go = true;
    do {
        const Point3Df& n = w->getFace()->getNormal();
        sx += n.x();
        sy += n.y();
        sz += n.z();
        ++count;
        if (!smoothEdge(w))
            go = false;
        FEMeshHalfEdgeC* partner = w->getPartner();
        if (partner)
            w = partner->getNext();
        else
            go = false;
    } while (w != s && go);
    const bool closed = go && w == s;
    const Point3Df normal(float(sx / count), float(sy / count), float(sz / count));
    c->setNormal(normal);
    c->passMark = mark;

    // Every other corner of the fan would walk to the same start and sum the same faces, so it
    // gets the same normal now; this keeps a vertex with a huge fan linear. Only corners whose
    // step back provably leads along the same path are given it.
    if (!stoppedAtC) {
        // An open fan: it starts after a crease or border, whatever corner one starts from.
        FEMeshHalfEdgeC* x = s;
        while (true) {
            if (x != c) {
                x->setNormal(normal);
                x->passMark = mark;
            }
            FEMeshHalfEdgeC* y = forward(x);
            if (!y || y == s || !stepsBackTo(y, x))
                break;
            x = y;
        }
    } else if (closed && count > kOwnSumFanSize) {
        // All the way round: the same faces for every corner, only the start of the sum differs.
        // A small fan is summed by each corner from its own start, so that every corner gets
        // exactly its own rounding; only a large one shares the sum, keeping the pass linear
        // (the sums then may differ from a corner's own in the last bit at most).
        FEMeshHalfEdgeC* x = s;
        bool consistent = true;
        do {
            FEMeshHalfEdgeC* y = forward(x);
            if (!y || !stepsBackTo(y, x)) {
                consistent = false;
                break;
            }
            x = y;
        } while (x != s);
        if (consistent) {
            x = s;
            do {
                x->setNormal(normal);
                x->passMark = mark;
                x = forward(x);
            } while (x != s);
        }
    }
}
