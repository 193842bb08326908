// FEMeshPartC: finalizing a mesh (coplanar merging, spikes, loop cuts, straight vertices, loop separation)
// and the list and deletion operations it is made of.
#include "geometry/mesh/FEMeshPartC.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "math/Geometry2D.h"
#include "math/VectorOps.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshChainWalk.h"
#include "geometry/mesh/FEMeshFanIndexC.h"
#include "geometry/mesh/FEMeshLoopTree.h"
#include "geometry/mesh/FEMeshMergeMemoC.h"
#include "geometry/mesh/FEMeshVertexQueueC.h"
#include "platform/Parallel.h"

namespace {

// A ring of one half-edge or a two-cycle bounds nothing.
bool isDegenerateRing(const FEMeshHalfEdgeC* h) { return h->getNext() == h || h->getNext()->getNext() == h; }

// Makes h the vertex's outgoing half-edge only when h really starts there. On broken input (corners
// merged into one point, inconsistent orientation) a ring neighbour can start elsewhere; the vertex
// would then keep it after it is deleted, since deletion only clears the outgoing half-edge of the
// deleted half-edge's own vertex.
void setOutgoing(FEMeshVertexC* v, FEMeshHalfEdgeC* h)
{
    if (v)
        v->setOutgoingHalfEdge(h && h->getVertex() == v ? h : nullptr);
}

// Where a vertex comes in the hash's walk: chain by chain, each chain in insertion order.
uint64_t walkKey(uint16_t bucket, uint32_t sequence) { return (uint64_t(bucket) << 32) | sequence; }

// Walks over all vertices are cut into pieces of at least this many vertices.
constexpr size_t kVerticesPerPiece = 32768;

// Taking unused vertices out of their chains one by one costs a walk along a chain each; it is
// chosen while that is well below one walk over all chains.
bool purgesOneByOne(size_t unused, size_t stored)
{
    const size_t chainLength = std::max<size_t>(1, stored / FEMeshVertexHashC::kBucketCount);
    return unused * chainLength * 4 <= stored;
}

}  // namespace

// ---- Deletion ----

void FEMeshPartC::unlinkFace(FEMeshFaceC* face)
{
    FEMeshFaceC* previous = face->getPrevious();
    FEMeshFaceC* following = face->getNext();
    if (previous)
        previous->setNext(following);
    else if (faceHead == face)
        faceHead = following;
    if (following)
        following->setPrevious(previous);
    else if (faceTail == face)
        faceTail = previous;
    face->setNext(nullptr);
    face->setPrevious(nullptr);
}

void FEMeshPartC::deleteHalfEdge(FEMeshHalfEdgeC* h, bool keepLoop)
{
    if (!h)
        return;
    deleteHalfEdgeTo(h, keepLoop, h->getNext() ? h->getNext()->getVertex() : nullptr);
}

void FEMeshPartC::dropBareEdge(FEMeshEdgeC* e, FEMeshVertexC* end1, FEMeshVertexC* end2)
{
    // A deleted edge leaves every list that holds it, so that no list keeps a freed edge: those
    // of its ends, or (in hand-made lists) whichever vertex a link names as its holder.
    FEMeshVertexC* const ends[4] = {end2, end1, end2, end1};
    for (FEMeshVertexC* v : ends)
        if (e->getIncidentLinkCount() > 0 && v)
            removeIncidentEdge(v, e);
    // Both links may sit in one list: each call takes one of them, whichever comes first.
    for (unsigned i = 0; i < 2; ++i)
        for (FEMeshIncidenceC& link = e->link(i); link.inUse();) {
            const auto before = e->getIncidentLinkCount();
            removeIncidentEdge(link.getHolder(), e);
            if (e->getIncidentLinkCount() == before)
                break;
        }
    removeEdge(e);
    if (mergeMemo)
        mergeMemo->edgeGone(e);
    edgePool().destroy(e);
}

void FEMeshPartC::deleteHalfEdgeTo(FEMeshHalfEdgeC* h, bool keepLoop, FEMeshVertexC* farEnd)
{
    FEMeshVertexC* v = h->getVertex();
    FEMeshHalfEdgeC* partner = h->getPartner();
    if (v && v->getOutgoingHalfEdge() == h)
        setOutgoing(v, partner && partner->getNext() != h ? partner->getNext() : nullptr);

    if (FEMeshEdgeC* e = h->getEdge()) {
        if (e->getFirstHalfEdge() == h)
            e->setFirstHalfEdge(nullptr);
        else if (e->getSecondHalfEdge() == h)
            e->setSecondHalfEdge(nullptr);
        if (v && e->getIncidentLinkCount() > 0)
            removeIncidentEdge(v, e);
        if (!e->getFirstHalfEdge() && !e->getSecondHalfEdge())
            dropBareEdge(e, v, farEnd);
        h->setEdge(nullptr);
    }

    FEMeshHalfEdgeC* next = h->getNext();
    FEMeshHalfEdgeC* previous = h->getPrevious();
    const bool alone = !next || next == h;
    if (!alone) {
        previous->setNext(next);
        next->setPrevious(previous);
    }
    FEMeshLoopC* loop = h->getLoop();
    halfEdgePool().destroy(h);
    if (loop && loop->getFirstHalfEdge() == h) {
        loop->setFirstHalfEdge(alone ? nullptr : next);
        if (alone && !keepLoop)
            deleteLoop(loop, true);
    }
}

void FEMeshPartC::destroyUnlinkedPair(FEMeshHalfEdgeC* a, FEMeshHalfEdgeC* b)
{
    // a and b are the two half-edges of one edge and are no longer in any ring: their
    // neighbour pointers are stale and must not be followed or rejoined.
    FEMeshEdgeC* e = a->getEdge();
    for (FEMeshHalfEdgeC* h : {a, b}) {
        FEMeshVertexC* v = h->getVertex();
        if (v && v->getOutgoingHalfEdge() == h)
            v->setOutgoingHalfEdge(nullptr);
        if (FEMeshEdgeC* he = h->getEdge()) {
            if (he->getFirstHalfEdge() == h)
                he->setFirstHalfEdge(nullptr);
            else if (he->getSecondHalfEdge() == h)
                he->setSecondHalfEdge(nullptr);
            if (v && he->getIncidentLinkCount() > 0)
                removeIncidentEdge(v, he);
        }
    }
    if (e && !e->getFirstHalfEdge() && !e->getSecondHalfEdge())
        dropBareEdge(e, a->getVertex(), b->getVertex());
    halfEdgePool().destroy(a);
    if (b != a)
        halfEdgePool().destroy(b);
}

void FEMeshPartC::deleteLoop(FEMeshLoopC* loop, bool keepFace)
{
    if (!loop)
        return;
    // The far ends are taken while the ring is whole: deleting rejoins the neighbours.
    if (FEMeshHalfEdgeC* first = loop->getFirstHalfEdge()) {
        std::vector<std::pair<FEMeshHalfEdgeC*, FEMeshVertexC*>> ring;
        FEMeshHalfEdgeC* h = first;
        do {
            ring.push_back({h, h->getNext() ? h->getNext()->getVertex() : nullptr});
            h = h->getNext();
        } while (h && h != first);
        for (auto& [half, farEnd] : ring)
            deleteHalfEdgeTo(half, true, farEnd);
    }
    loop->setFirstHalfEdge(nullptr);
    FEMeshFaceC* face = loop->getFace();
    detachLoop(loop);
    loopPool().destroy(loop);
    if (face && !face->getFirstLoop() && !keepFace)
        deleteFace(face);
}

void FEMeshPartC::deleteFace(FEMeshFaceC* face)
{
    if (!face)
        return;
    while (FEMeshLoopC* loop = face->getFirstLoop())
        deleteLoop(loop, true);
    unlinkFace(face);
    if (currentFace == face)
        currentFace = nullptr;
    if (mergeMemo)
        mergeMemo->faceGone(face);
    facePool().destroy(face);
}

void FEMeshPartC::relabelRing(FEMeshHalfEdgeC* from, FEMeshHalfEdgeC* stop, FEMeshLoopC* loop)
{
    for (FEMeshHalfEdgeC* h = from; h && h != stop; h = h->getNext()) {
        h->setLoop(loop);
        if (h->getNext() == from)
            break;
    }
}

void FEMeshPartC::replaceLoopInChain(FEMeshLoopC* old, FEMeshLoopC* replacement)
{
    // replacement must not be in any chain; it takes old's place, old leaves the chain.
    FEMeshFaceC* face = old->getFace();
    FEMeshLoopC* previous = old->getPrevious();
    FEMeshLoopC* next = old->getNext();
    replacement->setFace(face);
    replacement->setNext(next);
    replacement->setPrevious(previous);
    if (face) {
        if (face->getFirstLoop() == old)
            face->setFirstLoop(replacement);
        else if (previous && previous->getNext() == old)
            previous->setNext(replacement);
        if (next)
            next->setPrevious(replacement);
        if (face->getLastLoop() == old)
            face->setLastLoop(replacement);
    }
    old->setNext(nullptr);
    old->setPrevious(nullptr);
}

bool FEMeshPartC::joinAcrossEdge(FEMeshHalfEdgeC* a, FEMeshHalfEdgeC* b)
{
    if (!a || !b || a == b || !a->getEdge() || a->getEdge() != b->getEdge())
        return false;
    FEMeshLoopC* la = a->getLoop();
    FEMeshLoopC* lb = b->getLoop();
    if (!la || !lb || la == lb || a->getNext() == a || b->getNext() == b)
        return false;
    FEMeshFaceC* fa = la->getFace();
    FEMeshFaceC* fb = lb->getFace();

    FEMeshHalfEdgeC* an = a->getNext();
    FEMeshHalfEdgeC* ap = a->getPrevious();
    FEMeshHalfEdgeC* bn = b->getNext();
    FEMeshHalfEdgeC* bp = b->getPrevious();
    bp->setNext(an);
    an->setPrevious(bp);
    ap->setNext(bn);
    bn->setPrevious(ap);
    setOutgoing(a->getVertex(), bn);
    setOutgoing(b->getVertex(), an);

    // The merged ring is an..ap followed by bn..bp. b's loop keeps it and a's part is
    // relabelled; when a's part is the longer one, a's loop takes b's loop's place instead, so
    // growing a large region never relabels it again and again.
    bool aPartLonger = false;
    {
        FEMeshHalfEdgeC* x = an;
        FEMeshHalfEdgeC* y = bn;
        for (;;) {
            x = x->getNext();
            y = y->getNext();
            if (x == bn) {
                aPartLonger = false;
                break;
            }
            if (y == an) {
                aPartLonger = true;
                break;
            }
        }
    }
    FEMeshLoopC* survivor = lb;
    FEMeshLoopC* dead = la;
    if (aPartLonger) {
        relabelRing(bn, an, la);
        detachLoop(la);
        replaceLoopInChain(lb, la);
        survivor = la;
        dead = lb;
    } else {
        relabelRing(an, bn, lb);
        detachLoop(la);
    }
    survivor->setFirstHalfEdge(bn);
    dead->setFirstHalfEdge(nullptr);
    dead->setFace(nullptr);
    loopPool().destroy(dead);

    if (fa != fb && fa) {
        while (FEMeshLoopC* l = fa->getFirstLoop()) {
            detachLoop(l);
            attachLoop(l, fb);
        }
    }
    destroyUnlinkedPair(a, b);
    if (fa != fb && fa) {
        unlinkFace(fa);
        if (currentFace == fa)
            currentFace = nullptr;
        if (mergeMemo)
            mergeMemo->faceGone(fa);
        facePool().destroy(fa);
    }
    return true;
}

bool FEMeshPartC::removeSpike(FEMeshHalfEdgeC* a, FEMeshHalfEdgeC* b)
{
    if (!a || !b || a == b || a->getNext() != b || !a->getEdge() || a->getEdge() != b->getEdge())
        return false;
    FEMeshLoopC* loop = a->getLoop();
    FEMeshFaceC* face = loop ? loop->getFace() : nullptr;
    if (b->getNext() == a) {
        // Nothing but the spike: the loop goes.
        a->setNext(a);
        a->setPrevious(a);
        b->setNext(b);
        b->setPrevious(b);
        if (loop)
            loop->setFirstHalfEdge(nullptr);
        destroyUnlinkedPair(a, b);
        if (loop) {
            deleteLoop(loop, true);
            if (face && !face->getFirstLoop())
                deleteFace(face);
        }
        return true;
    }
    FEMeshHalfEdgeC* before = a->getPrevious();
    FEMeshHalfEdgeC* after = b->getNext();
    before->setNext(after);
    after->setPrevious(before);
    setOutgoing(a->getVertex(), after);
    b->getVertex()->setOutgoingHalfEdge(nullptr);  // the tip
    if (loop)
        loop->setFirstHalfEdge(after);
    // a and b are out of the ring before anything else is deleted.
    destroyUnlinkedPair(a, b);
    if (loop && isDegenerateRing(after)) {
        deleteLoop(loop, true);
        if (face && !face->getFirstLoop())
            deleteFace(face);
    }
    return true;
}

void FEMeshPartC::cutLoop(FEMeshHalfEdgeC* h1, FEMeshHalfEdgeC* h2)
{
    FEMeshLoopC* loop = h1->getLoop();
    FEMeshFaceC* face = loop->getFace();
    if (!face)
        return;
    FEMeshHalfEdgeC* p1 = h1->getPrevious();
    FEMeshHalfEdgeC* n1 = h1->getNext();
    FEMeshHalfEdgeC* p2 = h2->getPrevious();
    FEMeshHalfEdgeC* n2 = h2->getNext();
    p1->setNext(n2);
    n2->setPrevious(p1);
    p2->setNext(n1);
    n1->setPrevious(p2);
    setOutgoing(h1->getVertex(), n2);
    setOutgoing(h2->getVertex(), n1);

    // The ring through p1 goes to a new loop at the end of the chain, the ring through n1
    // stays. The shorter ring is the one relabelled; the loop objects swap places in the chain
    // when that is the ring that stays, so the chain order is the same either way.
    FEMeshLoopC* added = loopPool().create();
    attachLoop(added, face);
    bool ringOfP1Longer = false;
    {
        FEMeshHalfEdgeC* x = p1;
        FEMeshHalfEdgeC* y = n1;
        for (;;) {
            x = x->getNext();
            y = y->getNext();
            if (x == p1) {
                ringOfP1Longer = false;
                break;
            }
            if (y == n1) {
                ringOfP1Longer = true;
                break;
            }
        }
    }
    FEMeshLoopC* ofP1 = added;  // the loop object that ends up holding the ring through p1
    FEMeshLoopC* ofN1 = loop;
    if (ringOfP1Longer) {
        relabelRing(n1, nullptr, added);
        ofP1 = loop;
        ofN1 = added;
        // swap the chain places of loop and added: loop goes to the end, added takes its place
        detachLoop(added);
        replaceLoopInChain(loop, added);
        attachLoop(loop, face);
    } else {
        relabelRing(p1, nullptr, added);
    }
    ofP1->setFirstHalfEdge(p1);
    ofN1->setFirstHalfEdge(n1);
    destroyUnlinkedPair(h1, h2);

    // Chain order: the loop holding the n1 ring first (it kept the old place), then the p1 ring.
    for (FEMeshLoopC* l : {ofN1, ofP1})
        if (l->getFirstHalfEdge() && isDegenerateRing(l->getFirstHalfEdge()))
            deleteLoop(l, true);
    if (!face->getFirstLoop())
        deleteFace(face);
}


// ---- Finalize ----

void FEMeshPartC::finalize(double tolerance)
{
    if (tolerance != -1.0)
        mergeTolerance = tolerance;
    if (!records)
        return;  // nothing was ever built: nothing to merge
    // The hash's position index serves building only, and nothing from here on searches
    // positions: it goes before the merge memo takes its memory (a later search builds it again),
    // and the edits and the purge below need not keep it up.
    vertexHash().positionsChanged();
    // Half-edges change vertices below; the fan indexes of building are not needed any more.
    dropFanIndexes();
    // Rounds of merging until one changes nothing. A round in which only the first walk changed
    // anything ends in the state its last (unchanged) first-walk pass saw, so the next round
    // would change nothing either: it is skipped.
    {
        FEMeshMergeMemoC memo;  // gone before the later steps allocate their own
        for (;;) {
            const unsigned changedWalks = mergeWalks(memo);
            if (changedWalks == 0 || changedWalks == 1)
                break;
        }
    }
    FEMeshVertexQueueC candidates;
    const bool byCandidates = collectStraightCandidates(candidates);
    while (straightVertexPass(byCandidates ? &candidates : nullptr)) {
    }
    repairOutgoingHalfEdges();
    purgeAndClearIncidentEdges();
    dropFanIndexes();
    compactRecords();
}

void FEMeshPartC::purgeAndClearIncidentEdges()
{
    // Every vertex ends with an empty incident list, and those without an outgoing half-edge and
    // with an empty list are purged first. The purge and the loop separation read no list, and
    // nothing but a vertex's own fields tells the purge whether its list is empty; so the lists of
    // vertices with an outgoing half-edge (never purged) are emptied at once, in parallel, by
    // resetting those fields only. Only vertices without an outgoing half-edge but with incident
    // edges wait until the purge has seen them. The links themselves, all of them, are cleared at
    // the end with their pages, which go back.
    //
    // The walk notes the unused vertices too: when they are few, each is taken out of its chain on
    // its own, in the walk's order, rather than walking every chain once more.
    const size_t pieces = platform::sys::piecesFor(vertexHash().entries(), kVerticesPerPiece);
    std::vector<std::vector<FEMeshVertexC*>> unused(pieces);
    std::vector<size_t> waiting(pieces, 0);
    platform::sys::runInPieces(FEMeshVertexHashC::kBucketCount, pieces, [&](size_t piece, size_t begin, size_t end) {
        std::vector<FEMeshVertexC*> unusedOfChain[kChainsAbreast];  // in walk order once joined
        walkChainsAbreast(
            vertexHash(), begin, end, chainsAbreast,
            [&](unsigned slot, FEMeshVertexC* v) {
                if (v->outgoing)
                    v->incidentHead = v->incidentTail = v->incidentCount = 0;
                else if (v->incidentCount == 0)
                    unusedOfChain[slot].push_back(v);
                else
                    ++waiting[piece];
            },
            [&](unsigned chains) {
                for (unsigned k = 0; k < chains; ++k) {
                    unused[piece].insert(unused[piece].end(), unusedOfChain[k].begin(), unusedOfChain[k].end());
                    unusedOfChain[k].clear();
                }
                return true;
            });
    });
    size_t unusedCount = 0, waitingCount = 0;
    for (size_t piece = 0; piece < pieces; ++piece) {
        unusedCount += unused[piece].size();
        waitingCount += waiting[piece];
    }
    if (purgesOneByOne(unusedCount, vertexHash().entries())) {
        for (const std::vector<FEMeshVertexC*>& vertices : unused)
            for (FEMeshVertexC* v : vertices)
                vertexHash().destroyVertex(v);
    } else {
        vertexHash().purgeUnused();
    }
    separateLoops();
    if (waitingCount > 0)
        for (FEMeshVertexC* v = vertexHash().first(); v; v = vertexHash().next())
            v->incidentHead = v->incidentTail = v->incidentCount = 0;
    edgePool().discardSideData();
}

void FEMeshPartC::repairOutgoingHalfEdges()
{
    // A vertex that still starts a half-edge must not look unused to the purge, even when the
    // edits above cleared its outgoing half-edge: it takes the first such half-edge in face order.
    // Pieces of faces look for them in parallel (reading only), and they are given in order.
    const std::vector<FEMeshFaceC*> starts = facePieces(kFacesPerPiece);
    std::vector<std::vector<FEMeshHalfEdgeC*>> found(starts.size());
    platform::sys::runInPieces(starts.size(), starts.size(), [&](size_t piece, size_t, size_t) {
        FEMeshFaceC* const stop = piece + 1 < starts.size() ? starts[piece + 1] : nullptr;
        for (FEMeshFaceC* f = starts[piece]; f != stop; f = f->getNext())
            for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext()) {
                FEMeshHalfEdgeC* first = l->getFirstHalfEdge();
                if (!first)
                    continue;
                FEMeshHalfEdgeC* h = first;
                do {
                    if (FEMeshVertexC* v = h->getVertex())
                        if (!v->getOutgoingHalfEdge())
                            found[piece].push_back(h);
                    h = h->getNext();
                } while (h && h != first);
            }
    });
    for (const std::vector<FEMeshHalfEdgeC*>& halfEdges : found)
        for (FEMeshHalfEdgeC* h : halfEdges)
            if (!h->getVertex()->getOutgoingHalfEdge())
                h->getVertex()->setOutgoingHalfEdge(h);
}

bool FEMeshPartC::processMergeEdge(int walk, FEMeshEdgeC* e)
{
    FEMeshHalfEdgeC* h1 = e->getFirstHalfEdge();
    FEMeshHalfEdgeC* h2 = e->getSecondHalfEdge();
    if (!h1 || !h2 || !h1->getLoop() || !h2->getLoop())
        return false;
    FEMeshFaceC* f1 = h1->getLoop()->getFace();
    FEMeshFaceC* f2 = h2->getLoop()->getFace();
    if (!f1 || !f2 || compareWithTolerance(f1->getNormal(), f2->getNormal()) != 0)
        return false;

    // Two half-edges that run the same way along their edge (faces of inconsistent
    // orientation, duplicate triangles) cannot be spliced into one ring.
    auto runOpposite = [&]() {
        const Point3Df s1 = h1->getVertex()->getPosition(), t1 = h1->getNext()->getVertex()->getPosition();
        const Point3Df s2 = h2->getVertex()->getPosition(), t2 = h2->getNext()->getVertex()->getPosition();
        const bool sameWay = compareWithTolerance(s1, s2) == 0 && compareWithTolerance(t1, t2) == 0;
        const bool opposite = compareWithTolerance(s1, t2) == 0 && compareWithTolerance(t1, s2) == 0;
        return opposite && !sameWay;
    };

    switch (walk) {
    case 1:
        if (f1 == f2)
            return false;
        if (f1->getGroupId() != f2->getGroupId() && !mergeAcrossGroups)
            return false;
        if (!runOpposite())
            return false;
        return joinAcrossEdge(h2, h1);
    case 2: {
        if (f1 != f2 || h1->getLoop() != h2->getLoop())
            return false;
        if (h1->getNext() != h2 && h2->getNext() != h1)
            return false;
        if (h1->getNext() == h2 && h2->getNext() == h1 && h1->getPrevious() == h2 && h2->getPrevious() == h1) {
            deleteLoop(h1->getLoop(), false);
            return true;
        }
        if (h1->getNext() == h2 && h2->getPrevious() == h1)
            return removeSpike(h1, h2);
        if (h2->getNext() == h1 && h1->getPrevious() == h2)
            return removeSpike(h2, h1);
        return false;
    }
    default: {
        if (f1 != f2)
            return false;
        if (h1->getLoop() != h2->getLoop()) {
            if (!runOpposite())
                return false;
            return joinAcrossEdge(h1, h2);
        }
        if (h1->getNext() == h2 || h2->getNext() == h1 || h1->getPrevious() == h2 || h2->getPrevious() == h1)
            return false;
        if (!runOpposite())
            return false;
        cutLoop(h1, h2);
        return true;
    }
    }
}

bool FEMeshPartC::mergeCoplanarFaces()
{
    FEMeshMergeMemoC memo;
    return mergeWalks(memo) != 0;
}

unsigned FEMeshPartC::mergeWalks(FEMeshMergeMemoC& memo)
{
    // Long lists are walked through the memo (built on the first round): an edge whose faces
    // surely do not fit is passed over; the others are looked at as the plain walk does, in the
    // same order.
    const size_t edgeCount = edgePool().live();
    const bool usable = !memo.getEntries().empty() ||
                        (edgeCount >= mergeMemoThreshold && memo.build(edgeHead, edgeCount, mergeTolerance));
    FEMeshMergeMemoC::Entries& entries = memo.getEntries();
    if (!usable || entries.empty())
        return mergeWalksPlain();
    struct Telling {
        FEMeshMergeMemoC*& slot;
        ~Telling() { slot = nullptr; }
    } telling{mergeMemo};
    mergeMemo = &memo;
    unsigned changedWalks = 0;
    for (int walk = 1; walk <= 3; ++walk) {
        for (;;) {
            bool changed = false;
            const size_t start = memo.prepare(walk, mergeAcrossGroups != 0, mergeTolerance);
            size_t kept = start;
            for (size_t i = start; i < entries.size(); ++i) {
                const FEMeshMergeMemoC::Entry entry = entries[i];
                if (memo.isEdgeGone(entry.edge))
                    continue;
                if (memo.passesOver(entry, walk, mergeAcrossGroups != 0)) {
                    entries[kept++] = entry;
                    continue;
                }
                FEMeshEdgeC* e = FEMeshArenaC<FEMeshEdgeC>::fromHandle(entry.edge);
                edgeCursor = e;
                nextEdgeCursor = e->getNext();
                if (processMergeEdge(walk, e))
                    changed = true;
                if (!memo.isEdgeGone(entry.edge))
                    entries[kept++] = entry;  // described again before the next walk if its faces went
            }
            entries.resize(kept);
            edgeCursor = nextEdgeCursor = nullptr;
            if (!changed)
                break;
            changedWalks |= 1u << (walk - 1);
        }
    }
    return changedWalks;
}

unsigned FEMeshPartC::mergeWalksPlain()
{
    unsigned changedWalks = 0;
    for (int walk = 1; walk <= 3; ++walk) {
        for (;;) {
            bool changed = false;
            edgeCursor = edgeHead;
            while (edgeCursor) {
                FEMeshEdgeC* e = edgeCursor;
                nextEdgeCursor = e->getNext();
                if (processMergeEdge(walk, e))
                    changed = true;
                edgeCursor = nextEdgeCursor;
            }
            nextEdgeCursor = nullptr;
            if (!changed)
                break;
            changedWalks |= 1u << (walk - 1);
        }
    }
    edgeCursor = nextEdgeCursor = nullptr;
    return changedWalks;
}

bool FEMeshPartC::collectStraightCandidates(FEMeshVertexQueueC& candidates)
{
    // Only a vertex with two incident edges can be straight, and whether it is depends on its
    // own neighbourhood only: a vertex that failed the test fails it again until a removal
    // changes something it looks at. So a pass need only visit the vertices that have not been
    // tried yet or were touched since (in the hash's order, as a walk of the whole hash would).
    // Pieces of chains are looked at in parallel and their findings joined in chain order.
    candidates.clear();
    struct Piece {
        std::vector<FEMeshVertexQueueC::Entry> found;
        uint64_t firstKey = 0, lastKey = 0;
        bool any = false, ordered = true;
    };
    const size_t pieces = platform::sys::piecesFor(vertexHash().entries(), kVerticesPerPiece);
    std::vector<Piece> found(pieces);
    platform::sys::runInPieces(FEMeshVertexHashC::kBucketCount, pieces, [&](size_t piece, size_t begin, size_t end) {
        // Each chain of a group is looked at as a piece of its own, and joined to the piece in
        // chain order once the group is done.
        Piece& p = found[piece];
        Piece chain[kChainsAbreast];
        walkChainsAbreast(
            vertexHash(), begin, end, chainsAbreast,
            [&](unsigned slot, FEMeshVertexC* v) {
                Piece& c = chain[slot];
                const uint64_t key = walkKey(v->hashBucket, v->hashSequence);
                if (c.any && key <= c.lastKey)
                    c.ordered = false;
                if (!c.any)
                    c.firstKey = key;
                c.any = true;
                c.lastKey = key;
                if (v->getIncidentEdgeCount() == 2)
                    c.found.push_back({key, v});
            },
            [&](unsigned chains) {
                for (unsigned k = 0; k < chains; ++k) {
                    Piece& c = chain[k];
                    if (!c.ordered || (p.any && c.any && c.firstKey <= p.lastKey))
                        p.ordered = false;
                    if (c.any) {
                        if (!p.any)
                            p.firstKey = c.firstKey;
                        p.any = true;
                        p.lastKey = c.lastKey;
                    }
                    p.found.insert(p.found.end(), c.found.begin(), c.found.end());
                    c.found.clear();
                    c.any = false;
                    c.ordered = true;
                }
                return p.ordered;
            });
    });
    bool any = false;
    uint64_t lastKey = 0;
    for (const Piece& p : found) {
        if (!p.ordered || (any && p.any && p.firstKey <= lastKey))
            return false;  // not the order assumed: the caller walks the whole hash instead
        if (p.any) {
            any = true;
            lastKey = p.lastKey;
        }
    }
    for (const Piece& p : found)
        for (const FEMeshVertexQueueC::Entry& e : p.found)
            candidates.append(e.first, e.second);
    return true;
}

bool FEMeshPartC::removeStraightVertices()
{
    FEMeshVertexQueueC candidates;
    if (collectStraightCandidates(candidates))
        return straightVertexPass(&candidates);
    return straightVertexPass(nullptr);
}

namespace {

// What removing a straight vertex v takes out and keeps: its outgoing half-edge h with its
// partner pp and their edge, the half-edge hp before h with its edge, kept, and q after pp.
struct StraightRemoval {
    FEMeshHalfEdgeC* h;
    FEMeshHalfEdgeC* hp;
    FEMeshHalfEdgeC* pp;
    FEMeshHalfEdgeC* q;
    FEMeshEdgeC* kept;
    FEMeshEdgeC* dropped;
};

// Whether v is a straight vertex that can be removed, and how; reads only.
bool straightRemoval(const FEMeshVertexC* v, StraightRemoval& r)
{
    if (v->getIncidentEdgeCount() != 2)
        return false;
    FEMeshEdgeC* e1 = v->getFirstIncidentEdge();
    FEMeshEdgeC* e2 = v->getLastIncidentEdge();
    const Point3Df d1 = (e1->getEndPoint() - e1->getStartPoint()).normalized();
    const Point3Df d2 = (e2->getEndPoint() - e2->getStartPoint()).normalized();
    if (!(std::fabs(dotProduct(d1, d2)) > 0.99999))
        return false;
    FEMeshHalfEdgeC* h = v->getOutgoingHalfEdge();
    r.h = h;
    r.hp = h ? h->getPrevious() : nullptr;
    r.pp = h ? h->getPartner() : nullptr;
    r.q = r.pp ? r.pp->getNext() : nullptr;
    r.kept = r.hp ? r.hp->getEdge() : nullptr;
    r.dropped = h ? h->getEdge() : nullptr;
    // The rings must stay rings once h and pp are out.
    return !(!h || !r.hp || !h->getNext() || !r.pp || !r.q || r.q->getPartner() != r.hp || !r.kept || !r.dropped ||
             r.kept == r.dropped || h->getNext() == h || r.pp->getNext() == r.pp || r.q == h || r.q == r.pp ||
             r.hp == r.pp);
}

// Sorts a handful of vertices and drops repeats. By hand: std::sort hands each step of so short
// a list to a library move, which costs more than the sorting itself.
void sortUniqueFew(std::vector<FEMeshVertexC*>& v)
{
    const size_t n = v.size();
    for (size_t i = 1; i < n; ++i) {
        FEMeshVertexC* const x = v[i];
        size_t j = i;
        for (; j > 0 && x < v[j - 1]; --j)
            v[j] = v[j - 1];
        v[j] = x;
    }
    v.erase(std::unique(v.begin(), v.end()), v.end());
}

// Candidates are tested ahead of a pass in pieces of at least this many.
constexpr size_t kCandidatesPerPiece = 16384;
// The walk tests this many candidates of a long pass itself first: testing the rest ahead pays
// only when most of those failed.
constexpr size_t kStraightSample = 2048;
// How many candidates ahead of the walk their vertices, their edges and the edges' half-edges
// are loaded.
constexpr size_t kStraightAhead[3] = {16, 8, 4};

}  // namespace

bool FEMeshPartC::straightVertexPass(FEMeshVertexQueueC* candidates)
{
    bool changed = false;
    // With candidates, the walk visits them in hash order and each leaves the queue once visited;
    // a removal puts back every vertex whose test it may change (after the cursor: visited in
    // this pass; before it: in the next). Without candidates, the whole hash is walked.
    //
    // A removal changes only what the vertices it puts back look at, so a candidate's test gives
    // the same answer at the start of the pass as when the walk reaches it, unless the candidate
    // was put back on the way (and is then tested again). The tests are therefore made ahead, in
    // parallel, and the walk passes over the candidates known to fail.
    //
    // The same holds for a test made at any later moment up to the walk's arrival. Where most
    // candidates are straight (in a closed mesh nearly all are), the tests ahead would only be
    // made twice: the walk tests the first candidates of a long pass itself, and the rest are
    // tested ahead only when most of those failed.
    bool sampling = false;
    size_t sampleTests = 0, sampleFails = 0;
    if (candidates) {
        candidates->startPass();
        sampling = platform::sys::piecesFor(candidates->entries().size(), kCandidatesPerPiece) > 1;
    }
    auto testRestAhead = [&]() {
        const std::vector<FEMeshVertexQueueC::Entry>& entries = candidates->entries();
        const size_t from = candidates->passed();
        const size_t pieces = platform::sys::piecesFor(entries.size() - from, kCandidatesPerPiece);
        if (pieces <= 1)
            return;
        std::vector<unsigned char> fails(entries.size());
        platform::sys::runInPieces(entries.size() - from, pieces, [&](size_t, size_t begin, size_t end) {
            StraightRemoval r;
            for (size_t i = from + begin; i < from + end; ++i)
                fails[i] = !straightRemoval(entries[i].second, r);
        });
        candidates->setKnownToFail(std::move(fails));
    };
    auto nextVertex = [&]() -> FEMeshVertexC* { return candidates ? candidates->next() : vertexHash().next(); };
    std::vector<FEMeshVertexC*> touched;
    auto touchHolders = [&](FEMeshEdgeC* e) {
        if (e)
            for (unsigned i = 0; i < 2; ++i)
                if (e->link(i).inUse())
                    touched.push_back(e->link(i).getHolder());
    };
    StraightRemoval r;
    for (FEMeshVertexC* v = candidates ? candidates->next() : vertexHash().first(); v; v = nextVertex()) {
        if (candidates) {
            // The candidates lie all over memory: what the test reads is asked for a few
            // candidates ahead, in steps: the vertex; its edges and outgoing half-edge; the
            // edges' half-edges.
            __builtin_prefetch(candidates->upcoming(kStraightAhead[0]));
            if (const FEMeshVertexC* u = candidates->upcoming(kStraightAhead[1])) {
                __builtin_prefetch(u->getFirstIncidentEdge());
                __builtin_prefetch(u->getLastIncidentEdge());
                __builtin_prefetch(u->getOutgoingHalfEdge());
            }
            if (const FEMeshVertexC* u = candidates->upcoming(kStraightAhead[2]))
                if (u->getIncidentEdgeCount() == 2)
                    for (const FEMeshEdgeC* e : {u->getFirstIncidentEdge(), u->getLastIncidentEdge()}) {
                        __builtin_prefetch(e->getFirstHalfEdge());
                        __builtin_prefetch(e->getSecondHalfEdge());
                    }
        }
        const bool straight = straightRemoval(v, r);
        if (sampling) {
            ++sampleTests;
            sampleFails += !straight;
            if (sampleTests == kStraightSample) {
                sampling = false;
                if (sampleFails * 2 > sampleTests)
                    testRestAhead();
            }
        }
        if (!straight)
            continue;
        FEMeshHalfEdgeC* const h = r.h;
        FEMeshHalfEdgeC* const hp = r.hp;
        FEMeshHalfEdgeC* const pp = r.pp;
        FEMeshHalfEdgeC* const q = r.q;
        FEMeshVertexC* w = pp->getVertex();

        // What the tests of other vertices read and this removal changes: the lists of w and
        // of the ends of the kept edge (and of q's edge), the ends of those edges, the links
        // around h's and pp's neighbours.
        touched.clear();
        touched.push_back(w);
        touched.push_back(hp->getVertex());
        touched.push_back(h->getNext()->getVertex());
        FEMeshHalfEdgeC* beforePP = pp->getPrevious();
        if (beforePP) {
            touched.push_back(beforePP->getVertex());
            if (FEMeshHalfEdgeC* rp = beforePP->getPartner())
                touched.push_back(rp->getVertex());
        }
        touchHolders(r.kept);
        touchHolders(q->getEdge());

        // The kept edge leaves v's list before it joins W's: an edge has room in two lists only,
        // and while it is still in v's and its other end's it could not join a third.
        removeIncidentEdge(w, r.dropped);
        removeIncidentEdge(v, r.dropped);
        removeIncidentEdge(v, r.kept);
        appendIncidentEdge(w, r.kept);
        touchHolders(r.dropped);  // a hand-made list still holding it loses it below
        v->setOutgoingHalfEdge(nullptr);
        w->setOutgoingHalfEdge(q);
        for (FEMeshHalfEdgeC* x : {pp, h}) {
            x->getPrevious()->setNext(x->getNext());
            x->getNext()->setPrevious(x->getPrevious());
        }
        q->getLoop()->setFirstHalfEdge(q);
        hp->getLoop()->setFirstHalfEdge(hp);
        q->setVertex(w);
        destroyUnlinkedPair(h, pp);
        changed = true;
        if (candidates) {
            sortUniqueFew(touched);
            // Counts are read with the removal done: it changes only those of v, of w and of
            // vertices whose hand-made lists held the dropped edge, all touched. A vertex without
            // exactly two edges now fails its test at every visit until a later removal touches it.
            for (FEMeshVertexC* t : touched)
                if (t && t != v && t->getIncidentEdgeCount() == 2)
                    candidates->insert(walkKey(t->hashBucket, t->hashSequence), t);
        }
    }
    return changed;
}

// ---- Loop separation ----

int FEMeshPartC::pointInLoop(float nx, float ny, float nz, FEMeshLoopC* loop, const Point3Df& p)
{
    if (!loop || !loop->getFirstHalfEdge())
        return 2;
    const int axis = dominantAxis(Point3D(nx, ny, nz));
    std::vector<Point2D> polygon;
    FEMeshHalfEdgeC* first = loop->getFirstHalfEdge();
    FEMeshHalfEdgeC* h = first;
    do {
        polygon.push_back(projectToPlane2D(Point3D(h->getVertex()->getPosition()), axis));
        h = h->getNext();
    } while (h && h != first);
    polygon.push_back(polygon.front());
    return pointInPolygon(polygon.data(), int(polygon.size()), projectToPlane2D(Point3D(p), axis), nullptr, nullptr,
                          1e-4);
}

namespace {

// Outer boundaries and holes alternate by level, the roots being outer. The first outer loop
// leads the face; every further outer loop leads a new face (same information, group and
// normal, index 0, appended to the list) that takes the holes right under it.
void applyLoopTree(FEMeshPartC& part, FEMeshFaceC* face, const std::vector<FEMeshLoopC*>& loops,
                   const std::vector<FEMeshLoopTreeNode>& nodes, int roots)
{
    bool firstOuterSeen = false;
    std::vector<std::pair<int, int>> stack;
    std::vector<int> order;
    for (int r = roots; r != -1; r = nodes[r].nextSibling)
        order.push_back(r);
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        stack.push_back({*it, 0});
    std::vector<int> children;
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        children.clear();
        for (int c = nodes[node].firstChild; c != -1; c = nodes[c].nextSibling)
            children.push_back(c);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, depth + 1});
        if (depth % 2 != 0)
            continue;  // a hole: it stays with the face of its outer loop
        if (!firstOuterSeen) {
            firstOuterSeen = true;
            if (face->getFirstLoop() != loops[node]) {
                part.detachLoop(loops[node]);
                loops[node]->setNext(face->getFirstLoop());
                if (FEMeshLoopC* second = face->getFirstLoop())
                    second->setPrevious(loops[node]);
                face->setFirstLoop(loops[node]);
                if (!face->getLastLoop())
                    face->setLastLoop(loops[node]);
            }
            continue;
        }
        FEMeshFaceC* island = part.createFace(face->getFaceInfo());
        island->setGroupId(face->getGroupId());
        island->setNormal(face->getNormal());
        part.appendFace(island);
        part.detachLoop(loops[node]);
        part.attachLoop(loops[node], island);
        for (int c = nodes[node].firstChild; c != -1; c = nodes[c].nextSibling) {
            part.detachLoop(loops[c]);
            part.attachLoop(loops[c], island);
        }
    }
}

}  // namespace

void FEMeshPartC::separateLoops()
{
    std::vector<FEMeshLoopC*> loops;
    std::vector<FEMeshLoopOutline> outlines;
    std::vector<FEMeshLoopTreeNode> nodes;
    for (FEMeshFaceC* face = faceHead; face; face = face->getNext()) {
        if (face->getFirstLoop() == face->getLastLoop())
            continue;
        // A loop contains another when the first vertex of the other lies strictly inside it,
        // both seen along the axis the face's normal leans on most.
        const Point3Df n = face->getNormal();
        const int axis = dominantAxis(Point3D(n.x(), n.y(), n.z()));
        loops.clear();
        for (FEMeshLoopC* l = face->getFirstLoop(); l; l = l->getNext())
            loops.push_back(l);
        outlines.resize(loops.size());
        for (size_t i = 0; i < loops.size(); ++i) {
            FEMeshLoopOutline& o = outlines[i];
            o.polygon.clear();
            FEMeshHalfEdgeC* first = loops[i]->getFirstHalfEdge();
            o.hasFirst = first != nullptr;
            if (!first)
                continue;
            FEMeshHalfEdgeC* h = first;
            do {
                o.polygon.push_back(projectToPlane2D(Point3D(h->getVertex()->getPosition()), axis));
                h = h->getNext();
            } while (h && h != first);
            o.polygon.push_back(o.polygon.front());
            o.first = o.polygon.front();
            o.measure();
        }
        const int roots = BuildLoopTree(outlines, nodes);
        applyLoopTree(*this, face, loops, nodes, roots);
    }
}
