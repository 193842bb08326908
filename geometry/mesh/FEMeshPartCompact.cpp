// FEMeshPartC: moving the records of a finalized mesh together, so that the room of the records
// that merging deleted goes back to the system.
#include "geometry/mesh/FEMeshPartC.h"

#include <cstring>
#include <type_traits>

#include "geometry/mesh/FEMeshChainWalk.h"
#include "platform/Parallel.h"

namespace {

// The pools are compacted when their freed slots hold at least this many bytes and at least half
// of all they handed out, and all they handed out is at most kCompactUpToBytes. The copying costs
// what the records left hold, so it pays where most of the room is dead, as after merging large
// flat faces; a mesh that merged little keeps its slots. It costs more than linearly with the
// room the records are spread over, as its links lead all over it (past a few hundred megabytes
// every step misses the caches and the address translation), and in a mesh that large the peak
// of loading is set while reading anyway.
constexpr size_t kCompactFromBytes = size_t(64) << 10;
constexpr size_t kCompactUpToBytes = size_t(256) << 20;

// A moved record keeps, in its first two words, the handle of its copy and this tag. A freed slot
// holds a free-list address there, whose upper half is never all ones.
constexpr uint32_t kMovedTag = 0xFFFFFFFFu;

template <class T>
void markMoved(T* old, const T* copy)
{
    const uint32_t words[2] = {FEMeshArenaC<T>::handleOf(copy), kMovedTag};
    std::memcpy(static_cast<void*>(old), words, sizeof words);
}

// The copy of a moved record; null for null, and for a record that was not moved.
template <class T>
T* movedTo(const T* old)
{
    if (!old)
        return nullptr;
#if defined(__SANITIZE_ADDRESS__)
    // A link to a deleted record (a selection whose face merged away): its slot is poisoned.
    if (__asan_address_is_poisoned(old))
        return nullptr;
#endif
    uint32_t words[2];
    std::memcpy(words, static_cast<const void*>(old), sizeof words);
    return words[1] == kMovedTag ? FEMeshArenaC<T>::fromHandle(words[0]) : nullptr;
}

// The copy of a record in a slot of the new pool (taken once, however often it is met).
template <class T>
T* moveInto(FEMeshPoolC<T>& fresh, T* old)
{
    if (T* copy = movedTo(old))
        return copy;
    T* copy;
    if constexpr (std::is_same_v<T, FEMeshFaceC>)
        copy = fresh.create(nullptr);
    else
        copy = fresh.create();
    // The record's bytes as they are (links are handles; a face's information keeps its
    // reference, since the old slot goes without its destructor).
    std::memcpy(static_cast<void*>(copy), static_cast<const void*>(old), sizeof(T));
    if constexpr (std::is_same_v<T, FEMeshFaceC>)
        copy->setMark(old->getMark());  // kept beside the face
    markMoved(old, copy);
    return copy;
}

// Calls f for every record of a dense pool, chunks in parallel (each call writes only what its
// own record owns).
template <class T, class F>
void forEachOfDense(const FEMeshPoolC<T>& pool, F f)
{
    const std::vector<std::pair<T*, size_t>> runs = pool.denseRuns();
    platform::sys::runInPieces(runs.size(), platform::sys::piecesFor(runs.size(), 1), [&](size_t, size_t begin, size_t end) {
        for (size_t r = begin; r < end; ++r)
            for (size_t i = 0; i < runs[r].second; ++i)
                f(runs[r].first + i);
    });
}

// The pieces' pools joined in piece order, which is list order.
template <class T>
void joinPools(std::vector<FEMeshPoolC<T>>& pieces, FEMeshPoolC<T>& joined)
{
    for (FEMeshPoolC<T>& pool : pieces)
        joined.adopt(pool);
}

// The list links of every record of a dense pool led to the records' copies.
template <class T>
void mendListLinks(const FEMeshPoolC<T>& pool)
{
    forEachOfDense(pool, [](T* r) {
        r->setNext(movedTo(r->getNext()));
        r->setPrevious(movedTo(r->getPrevious()));
    });
}

// Where a piece of a list ends: at the next piece's first record, or at the list's end.
template <class T>
T* pieceEnd(const std::vector<T*>& starts, size_t piece)
{
    return piece + 1 < starts.size() ? starts[piece + 1] : nullptr;
}

// The records of a list, cut at starts, copied piece by piece in parallel into pools of their
// own, joined into one in list order, with their list links led to the copies.
template <class T>
void moveListInPieces(const std::vector<T*>& starts, FEMeshPoolC<T>& joined)
{
    std::vector<FEMeshPoolC<T>> fresh(starts.size());
    platform::sys::runInPieces(starts.size(), starts.size(), [&](size_t piece, size_t, size_t) {
        T* const stop = pieceEnd(starts, piece);
        for (T* r = starts[piece]; r != stop;) {
            T* following = r->getNext();
            moveInto(fresh[piece], r);
            r = following;
        }
    });
    joinPools(fresh, joined);
    mendListLinks(joined);
}

}  // namespace

bool FEMeshPartC::recordsAllReachable(std::vector<FEMeshFaceC*>& faceStarts) const
{
    // The lists are walked on this thread, no further than the pools' counts (a list that runs in
    // a circle would never end), noting where the pieces of faces start. Each piece then counts
    // the loops and half-edges of its faces, again no further than the pools' counts; the sums
    // must come to the counts.
    faceStarts.clear();
    const size_t wanted = platform::sys::piecesFor(facePool().live(), kFacesPerPiece);
    const size_t perPiece = std::max<size_t>(1, (facePool().live() + wanted - 1) / wanted);
    size_t faces = 0, edges = 0;
    for (FEMeshFaceC* f = faceHead; f; f = f->getNext()) {
        if (faces == faceStarts.size() * perPiece)
            faceStarts.push_back(f);
        if (++faces > facePool().live())
            return false;
    }
    for (const FEMeshEdgeC* e = edgeHead; e; e = e->getNext())
        if (++edges > edgePool().live())
            return false;
    if (faces != facePool().live() || edges != edgePool().live())
        return false;
    if (faceStarts.empty())
        faceStarts.push_back(nullptr);
    struct Count {
        size_t loops = 0, halfEdges = 0;
        bool linked = true;
    };
    std::vector<Count> counts(faceStarts.size());
    platform::sys::runInPieces(faceStarts.size(), faceStarts.size(), [&](size_t piece, size_t, size_t) {
        Count& c = counts[piece];
        const FEMeshFaceC* const stop = pieceEnd(faceStarts, piece);
        for (const FEMeshFaceC* f = faceStarts[piece]; f != stop && c.linked; f = f->getNext())
            for (const FEMeshLoopC* l = f->getFirstLoop(); l && c.linked; l = l->getNext()) {
                if (++c.loops > loopPool().live() || l->getFace() != f) {
                    c.linked = false;
                    break;
                }
                const FEMeshHalfEdgeC* first = l->getFirstHalfEdge();
                if (!first)
                    continue;
                const FEMeshHalfEdgeC* h = first;
                do {
                    if (++c.halfEdges > halfEdgePool().live() || h->getLoop() != l) {
                        c.linked = false;
                        break;
                    }
                    h = h->getNext();
                } while (h && h != first);
                if (!h)
                    c.linked = false;
            }
    });
    size_t loops = 0, halfEdges = 0;
    for (const Count& c : counts) {
        if (!c.linked)
            return false;
        loops += c.loops;
        halfEdges += c.halfEdges;
    }
    return loops == loopPool().live() && halfEdges == halfEdgePool().live();
}

void FEMeshPartC::compactRecords()
{
    const size_t freed = facePool().freedBytes() + loopPool().freedBytes() + halfEdgePool().freedBytes() +
                         edgePool().freedBytes();
    const size_t taken = facePool().takenBytes() + loopPool().takenBytes() + halfEdgePool().takenBytes() +
                         edgePool().takenBytes();
    std::vector<FEMeshFaceC*> faceStarts;
    if (freed < kCompactFromBytes || freed * 2 < taken || taken > kCompactUpToBytes ||
        !recordsAllReachable(faceStarts))
        return;
    // One kind of record at a time, so that no more than one kind is held twice; the old slots
    // tell where their records went until every link to them is mended. Pieces of the lists are
    // copied in parallel, each into a pool of its own, and the pools joined in list order.
    const size_t facePieceCount = faceStarts.size();
    // Moving half-edges leaves the edge list as it is: its pieces serve both the mending of the
    // edges' links and the moving of the edges.
    const std::vector<FEMeshEdgeC*> edgeStarts = edgePieces(kFacesPerPiece);
    {
        // Half-edges in ring order, loop by loop, face by face.
        std::vector<FEMeshPoolC<FEMeshHalfEdgeC>> fresh(facePieceCount);
        platform::sys::runInPieces(facePieceCount, facePieceCount, [&](size_t piece, size_t, size_t) {
            FEMeshFaceC* const stop = pieceEnd(faceStarts, piece);
            for (FEMeshFaceC* f = faceStarts[piece]; f != stop; f = f->getNext())
                for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext()) {
                    FEMeshHalfEdgeC* const first = l->getFirstHalfEdge();
                    FEMeshHalfEdgeC* h = first;
                    while (h) {
                        FEMeshHalfEdgeC* following = h->getNext();
                        moveInto(fresh[piece], h);
                        h = following == first ? nullptr : following;
                    }
                    l->setFirstHalfEdge(movedTo(first));
                }
        });
        FEMeshPoolC<FEMeshHalfEdgeC> joined;
        joinPools(fresh, joined);
        mendListLinks(joined);
        platform::sys::runInPieces(edgeStarts.size(), edgeStarts.size(), [&](size_t piece, size_t, size_t) {
            FEMeshEdgeC* const stop = pieceEnd(edgeStarts, piece);
            for (FEMeshEdgeC* e = edgeStarts[piece]; e != stop; e = e->getNext()) {
                e->setFirstHalfEdge(movedTo(e->getFirstHalfEdge()));
                e->setSecondHalfEdge(movedTo(e->getSecondHalfEdge()));
            }
        });
        const size_t pieces = platform::sys::piecesFor(vertexHash().entries(), 32768);
        platform::sys::runInPieces(FEMeshVertexHashC::kBucketCount, pieces, [&](size_t, size_t begin, size_t end) {
            walkChainsAbreast(
                vertexHash(), begin, end, chainsAbreast,
                [](unsigned, FEMeshVertexC* v) { v->setOutgoingHalfEdge(movedTo(v->getOutgoingHalfEdge())); },
                [](unsigned) { return true; });
        });
        halfEdgePool().takeOver(joined);
    }
    {
        // Edges in list order.
        FEMeshPoolC<FEMeshEdgeC> joined;
        moveListInPieces(edgeStarts, joined);
        forEachOfDense(halfEdgePool(), [](FEMeshHalfEdgeC* h) { h->setEdge(movedTo(h->getEdge())); });
        edgeHead = movedTo(edgeHead);
        edgeTail = movedTo(edgeTail);
        edgeCursor = movedTo(edgeCursor);
        nextEdgeCursor = movedTo(nextEdgeCursor);
        for (FEMeshEdgeC*& e : pickEdge)
            e = movedTo(e);
        edgePool().takeOver(joined);
    }
    {
        // Faces in list order, then loops face by face in chain order.
        std::vector<FEMeshPoolC<FEMeshLoopC>> freshLoops(facePieceCount);
        FEMeshPoolC<FEMeshFaceC> joined;
        moveListInPieces(faceStarts, joined);
        faceHead = movedTo(faceHead);
        faceTail = movedTo(faceTail);
        currentFace = movedTo(currentFace);
        for (FEMeshFaceC*& f : pickFace)
            f = movedTo(f);
        // The pieces' first faces moved: the pieces start at their copies.
        std::vector<FEMeshFaceC*> starts(faceStarts);
        for (FEMeshFaceC*& f : starts)
            f = movedTo(f);
        facePool().takeOver(joined);  // no old face is read after this
        platform::sys::runInPieces(facePieceCount, facePieceCount, [&](size_t piece, size_t, size_t) {
            FEMeshFaceC* const stop = pieceEnd(starts, piece);
            for (FEMeshFaceC* f = starts[piece]; f != stop; f = f->getNext()) {
                for (FEMeshLoopC* l = f->getFirstLoop(); l;) {
                    FEMeshLoopC* following = l->getNext();
                    moveInto(freshLoops[piece], l)->setFace(f);
                    l = following;
                }
                f->setFirstLoop(movedTo(f->getFirstLoop()));
                f->setLastLoop(movedTo(f->getLastLoop()));
            }
        });
        FEMeshPoolC<FEMeshLoopC> loops;
        joinPools(freshLoops, loops);
        forEachOfDense(loops, [](FEMeshLoopC* l) {
            l->setNext(movedTo(l->getNext()));
            l->setPrevious(movedTo(l->getPrevious()));
        });
        forEachOfDense(halfEdgePool(), [](FEMeshHalfEdgeC* h) { h->setLoop(movedTo(h->getLoop())); });
        loopPool().takeOver(loops);
    }
}
