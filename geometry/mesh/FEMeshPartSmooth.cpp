// FEMeshPartC: smooth corner normals, averaged around each vertex up to crease and border edges.
#include "geometry/mesh/FEMeshPartC.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "platform/Parallel.h"

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

// A corner's fan: where its sum starts, the normal, how many faces it summed, whether the walk
// back came round to the corner itself and whether the sum went all the way round.
struct FanSum {
    FEMeshHalfEdgeC* start;
    Point3Df normal;
    int count;
    bool stoppedAtCorner;
    bool closed;
};

// Sums c's fan: back around c's vertex to where the fan begins, then the face normals forward
// from there up to the next crease or border, or once around. False (nothing summed) when the
// walk back takes or the sum reaches more than `limit` corners. Reads only.
bool sumFan(FEMeshHalfEdgeC* c, int limit, FanSum& f)
{
    FEMeshHalfEdgeC* w = c;
    f.stoppedAtCorner = false;
    for (int steps = 0;; ++steps) {
        FEMeshHalfEdgeC* p = w->getPrevious();
        if (!smoothEdge(p))
            break;
        FEMeshHalfEdgeC* partner = p->getPartner();
        if (!partner)
            break;
        if (partner == c) {
            f.stoppedAtCorner = true;
            break;
        }
        if (steps == limit)
            return false;
        w = partner;
    }
    FEMeshHalfEdgeC* const s = w;
    double sx = 0, sy = 0, sz = 0;
    int count = 0;
    bool go = true;
    do {
        if (count == limit)
            return false;
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
    f.start = s;
    f.count = count;
    f.closed = go && w == s;
    f.normal = Point3Df(float(sx / count), float(sy / count), float(sz / count));
    return true;
}

// A few vertices are looked for among a few, many in a hash set.
class LargeFanVertices {
public:
    bool holds(const FEMeshVertexC* v) const
    {
        if (many.empty())
            return std::find(few.begin(), few.end(), v) != few.end();
        return many.count(v) != 0;
    }
    void add(const FEMeshVertexC* v)
    {
        if (many.empty() && few.size() < kFew) {
            few.push_back(v);
            return;
        }
        if (many.empty())
            many.insert(few.begin(), few.end());
        many.insert(v);
    }

private:
    static constexpr size_t kFew = 16;
    std::vector<const FEMeshVertexC*> few;
    std::unordered_set<const FEMeshVertexC*> many;
};

// The corners left to the serial walk, and which of them it has given a normal: kept aside for
// the walk only, in a table of their handles (open addressing, at most half full), so that a
// lookup costs a step or two where the fan walks ask for every corner they pass.
class WaitingCorners {
public:
    // The corners stay the caller's until seal.
    void add(const std::vector<FEMeshHalfEdgeC*>& corners)
    {
        count += corners.size();
        pending.push_back(&corners);
    }
    void seal()
    {
        size_t capacity = 16;
        while (capacity < 2 * count)
            capacity *= 2;
        mask = capacity - 1;
        keys.assign(capacity, 0);
        settled.assign(capacity, 0);
        for (const std::vector<FEMeshHalfEdgeC*>* corners : pending)
            for (const FEMeshHalfEdgeC* c : *corners) {
                const uint32_t h = FEMeshArenaC<FEMeshHalfEdgeC>::handleOf(c);
                size_t i = slotOf(h);
                while (keys[i] != 0 && keys[i] != h)
                    i = (i + 1) & mask;  // taken by another: probe the next slot
                keys[i] = h;
            }
        pending.clear();
    }
    bool isWaiting(const FEMeshHalfEdgeC* c) const
    {
        const size_t i = find(c);
        return i != kNone && !settled[i];
    }
    // Marks a waiting corner as given its normal; false when it was not waiting.
    bool settle(const FEMeshHalfEdgeC* c)
    {
        const size_t i = find(c);
        if (i == kNone || settled[i])
            return false;
        settled[i] = 1;
        return true;
    }

private:
    static constexpr size_t kNone = SIZE_MAX;

    // Handles of neighbouring records differ in their low bits: they are spread by a multiplication.
    size_t slotOf(uint32_t h) const { return size_t((uint64_t(h) * 0x9E3779B97F4A7C15ull) >> 32) & mask; }
    size_t find(const FEMeshHalfEdgeC* c) const
    {
        const uint32_t h = FEMeshArenaC<FEMeshHalfEdgeC>::handleOf(c);
        if (h == 0)
            return kNone;
        for (size_t i = slotOf(h);; i = (i + 1) & mask) {
            if (keys[i] == h)
                return i;
            if (keys[i] == 0)
                return kNone;
        }
    }

    size_t count = 0;
    std::vector<const std::vector<FEMeshHalfEdgeC*>*> pending;
    size_t mask = 0;
    std::vector<uint32_t> keys;  // 0: an empty slot
    std::vector<unsigned char> settled;
};

// Calls f for every corner smoothNormals gives a normal, in order: faces from `from` up to (not
// including) `stop`, each face's loops in chain order up to the first empty one, each ring from
// its first half-edge.
template <class F>
void forEachCorner(FEMeshFaceC* from, FEMeshFaceC* stop, F&& f)
{
    for (FEMeshFaceC* face = from; face != stop; face = face->getNext())
        for (FEMeshLoopC* l = face->getFirstLoop(); l && l->getFirstHalfEdge(); l = l->getNext()) {
            FEMeshHalfEdgeC* first = l->getFirstHalfEdge();
            FEMeshHalfEdgeC* c = first;
            do {
                f(c);
                c = c->getNext();
            } while (c != first);
        }
}

// Gives c the normal of its fan, and the corners of the fan that wait and provably sum the same.
void smoothCorner(FEMeshHalfEdgeC* c, WaitingCorners& waiting)
{
    FanSum fan{};
    sumFan(c, INT_MAX, fan);
    FEMeshHalfEdgeC* const s = fan.start;
    const Point3Df normal = fan.normal;
    c->setNormal(normal);
    waiting.settle(c);

    // Every other corner of the fan would walk to the same start and sum the same faces, so it
    // gets the same normal now; this keeps a vertex with a huge fan linear. Only corners whose
    // step back provably leads along the same path are given it.
    if (!fan.stoppedAtCorner) {
        // An open fan: it starts after a crease or border, whatever corner one starts from.
        FEMeshHalfEdgeC* x = s;
        while (true) {
            if (x != c && waiting.settle(x))
                x->setNormal(normal);
            FEMeshHalfEdgeC* y = forward(x);
            if (!y || y == s || !stepsBackTo(y, x))
                break;
            x = y;
        }
    } else if (fan.closed && fan.count > kOwnSumFanSize) {
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
                if (waiting.settle(x))
                    x->setNormal(normal);
                x = forward(x);
            } while (x != s);
        }
    }
}

}  // namespace

void FEMeshPartC::smoothNormals()
{
    // A corner of a small fan gets what it sums itself, so those are summed in parallel, pieces
    // of consecutive faces each writing only its own corners. The corners of large fans (and of
    // any fan at a vertex where a large one was met) are left to a serial walk in the same order
    // afterwards: around a large closed fan the corner met first decides for all, and every
    // corner the walk shares a normal with belongs to the same large fan. The serial walk gives
    // any corner what it would have got from the walk of all corners, so leaving it more corners
    // than needed changes nothing.
    const std::vector<FEMeshFaceC*> starts = facePieces(kFacesPerPiece);
    const size_t pieces = starts.size();
    std::vector<std::vector<FEMeshHalfEdgeC*>> large(pieces);
    platform::sys::runInPieces(pieces, pieces, [&](size_t piece, size_t, size_t) {
        FEMeshFaceC* const stop = piece + 1 < pieces ? starts[piece + 1] : nullptr;
        // The vertices where a large fan was met: their other corners go to the serial walk
        // without trying (which would take as many steps as a small fan may have, for each).
        LargeFanVertices largeAt;
        forEachCorner(starts[piece], stop, [&](FEMeshHalfEdgeC* c) {
            if (largeAt.holds(c->getVertex())) {
                large[piece].push_back(c);
                return;
            }
            // Every corner of a small fan gets from smoothCorner exactly what it sums itself,
            // whichever corner of the fan comes first: a closed one is summed per corner anyway,
            // and an open one from the same start by all its corners.
            FanSum fan{};
            if (sumFan(c, kOwnSumFanSize, fan)) {
                c->setNormal(fan.normal);
            } else {
                large[piece].push_back(c);
                largeAt.add(c->getVertex());
            }
        });
    });
    // A fan may also hold corners no walk reaches (in a loop after an empty one): those keep
    // their normal, so a fan's normal is shared only with the corners waiting for it. Which
    // corners wait is kept aside for this walk only, not in every half-edge.
    WaitingCorners waiting;
    for (const std::vector<FEMeshHalfEdgeC*>& corners : large)
        waiting.add(corners);
    waiting.seal();
    for (const std::vector<FEMeshHalfEdgeC*>& corners : large)
        for (FEMeshHalfEdgeC* c : corners)
            if (waiting.isWaiting(c))
                smoothCorner(c, waiting);
}

