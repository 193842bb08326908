// FEMeshVertexHashC: the vertex store of a mesh part, 16381 chains keyed by position.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "math/Point3D.h"
#include "geometry/mesh/FEMeshPool.h"
#include "geometry/mesh/FEMeshTopology.h"

// Compares x, then y, then z (widened to double): 1 when a > b + t, -1 when a < b - t on the
// first axis that differs by more than t; 0 when every axis differs by at most t (inclusive).
inline int compareWithinTolerance(const Point3Df& a, const Point3Df& b, double t)
{
    const double ax[3] = {a.x(), a.y(), a.z()};
    const double bx[3] = {b.x(), b.y(), b.z()};
    for (int i = 0; i < 3; ++i) {
        if (ax[i] > bx[i] + t)
            return 1;
        if (ax[i] < bx[i] - t)
            return -1;
    }
    return 0;
}

// The positions within a tolerance of one position p, held as the bounds compareWithinTolerance
// (q, p, t) tests q against (p + t and p - t on each axis, widened to double): holds(q) is exactly
// that compare giving 0, without working the bounds out again for every q.
class FEMeshToleranceBoxC {
public:
    FEMeshToleranceBoxC(const Point3Df& p, double t)
    {
        const double c[3] = {p.x(), p.y(), p.z()};
        for (int i = 0; i < 3; ++i) {
            above[i] = c[i] + t;
            below[i] = c[i] - t;
        }
    }
    bool holds(const Point3Df& q) const
    {
        const double c[3] = {q.x(), q.y(), q.z()};
        for (int i = 0; i < 3; ++i)
            if (c[i] > above[i] || c[i] < below[i])
                return false;
        return true;
    }

private:
    double above[3];
    double below[3];
};

// Owns its vertices. A position is found again when it lies within the tolerance of a stored
// vertex whose key is the position's key or one of its two neighbours; the first such vertex in
// chain order (bucket key, then key - 1, then key + 1, each chain in insertion order) wins.
//
// The chains' heads cost what the store holds: a sorted list of the chains in use while they
// are few (a part of one triangle holds three), the full table of 16381 heads once they are many.
//
// Large stores also keep a grid of cells over the positions (64 tolerances wide, narrower where
// the searches find many vertices in them), which finds the same vertex as the walk of the three
// chains without walking them.
class FEMeshVertexHashC {
public:
    static constexpr int kBucketCount = 16381;

    FEMeshVertexHashC();
    ~FEMeshVertexHashC();
    FEMeshVertexHashC(const FEMeshVertexHashC&) = delete;
    FEMeshVertexHashC& operator=(const FEMeshVertexHashC&) = delete;

    // trunc(fmod(|c|, 16381)) with a = float(x 100), b = float(y 10000 + a), c = float(z 1000000 + b).
    // A position whose c is not finite has key 0.
    static int key(const Point3Df& p);

    // A position's bits, which tell the very same position (0 and -0 differ, a NaN is its own
    // bits), and a hash of them whose high bits spread well.
    static void bitsOf(const Point3Df& p, uint32_t* bits);
    static uint64_t hashOfBits(const uint32_t* bits);

    // The first matching vertex, or null.
    FEMeshVertexC* find(const Point3Df& p);
    // What a search for a position works out from the position and the tolerance alone. Made
    // ahead (on any thread: it reads only the tolerance), it spares find and insert that
    // arithmetic; it holds for the tolerance the store had when it was made.
    struct Lookup {
        uint32_t recent = 0;  // the position's slot among the recent finds
        uint32_t cell = 0;    // the grid cell holding the position
        uint16_t bucket = 0;  // key(p)
        bool ready = false;   // made, for a finite position and a usable tolerance
        // Everything within the tolerance of the position lies in its own cell, the only one
        // the search then looks at.
        bool oneCell = false;
    };
    Lookup lookupOf(const Point3Df& p) const;
    // The same, made in place. A lookup returned by value is put together in pieces on the
    // stack and read back whole, which stalls the preparing threads on every corner.
    void lookupOf(const Point3Df& p, Lookup& into) const;
    // find and insert with the lookup of the position (of the vertex); the same results.
    FEMeshVertexC* find(const Point3Df& p, const Lookup& lookup);
    void insert(FEMeshVertexC* v, const Lookup& lookup);
    // Starts loading what a find with this lookup reads first (its recent entry and the grid
    // cell of the position), so that the find a little later does not wait for memory.
    // Changes nothing.
    void prefetch(const Lookup& lookup) const;
    // Whether v, the answer of a find for the position of this lookup, stays its answer while
    // vertices are only added: it does when it lies in the position's own chain, where every
    // vertex added later comes after it (the rule the recent finds rely on too).
    static bool staysAnswer(const FEMeshVertexC* v, const Lookup& lookup)
    {
        return v && lookup.ready && v->hashBucket == lookup.bucket;
    }
    // Where the cells' edges lie, in cells from the origin: far from 0 and from round values
    // (which fall on multiples of a quarter cell and the like).
    static constexpr double kCellOffset = 0.3183098861837907;
    // The grid cell of a coordinate for cells of the given size; monotonic in the coordinate,
    // so that the cells of the ends of a range hold every value between them.
    static int64_t cellOf(double v, double size)
    {
        // Cells are shifted off the origin: models put very many points on 0 and on round
        // values, and a point a tolerance from a cell's edge makes its search look at two cells.
        // Any monotonic placement keeps every point within the tolerance in the cells searched.
        // Rounded down by truncating and stepping back (no library call): exact below 2^62 cells.
        const double c = v / size + kCellOffset;
        constexpr double kLinear = 4611686018427387904.0;  // 2^62
        if (c >= -kLinear && c < kLinear) {
            const int64_t t = int64_t(c);
            return double(t) > c ? t - 1 : t;
        }
        // Beyond, every double is a cell of its own, numbered by its bits (which order the
        // doubles of one sign like their values) after the last linear cell: such a cell is at
        // least 1024 linear cells wide, so far coordinates still spread over many cells, and a
        // range of a tolerance still reaches one or two. Infinities come last; NaN goes first.
        if (c != c)
            return std::numeric_limits<int64_t>::min();
        uint64_t bits;
        std::memcpy(&bits, &c, sizeof bits);
        constexpr uint64_t kLinearBits = uint64_t(1023 + 62) << 52;
        const int64_t past = int64_t((bits & ~(uint64_t(1) << 63)) - kLinearBits);
        return c > 0 ? int64_t(kLinear) + past : -int64_t(kLinear) - past;
    }
    // The same answer by walking the three chains (what find does for small stores).
    FEMeshVertexC* findByScan(const Point3Df& p) const;

    // Appends v at the end of its bucket's chain. v must not be in the store yet.
    void insert(FEMeshVertexC* v);

    // All vertices, bucket by bucket from 0 up, each chain in order; null at the end.
    FEMeshVertexC* first();
    FEMeshVertexC* next();
    // The same walk for a visitor; fn may destroy the vertex it is given.
    template <class Fn>
    void forEachVertex(Fn&& fn) const
    {
        for (int b = nextBucket(-1); b < kBucketCount; b = nextBucket(b))
            for (FEMeshVertexC* v = getBucketHead(b); v;) {
                FEMeshVertexC* following = v->getHashLink();
                fn(v);
                v = following;
            }
    }
    // The first bucket after b whose chain holds a vertex, kBucketCount when none does. The
    // walk over the chains in use costs what the store holds, not the 16381 buckets.
    int nextBucket(int b) const;

    // Unlinks and deletes every vertex with no outgoing half-edge and no incident edge.
    void purgeUnused();
    // Deletes every vertex. The incident lists must be empty (FEMeshPartC::clear sees to it).
    void deleteAll();
    // The same, the pool's chunks going back with those of the other pools in the release.
    void deleteAll(FEMeshChunkReleaseC& release);

    // Room in the position grid for about this many vertices in all, so that a store filled by
    // a large read is not rehashed at every doubling on the way. Changes no answer.
    void reserve(size_t vertices);

    void setTolerance(double t);
    double getTolerance() const { return tolerance; }
    size_t entries() const { return count; }

    // A new vertex from the store's pool (not yet inserted) and its disposal.
    FEMeshVertexC* createVertex(const Point3Df& p) { return pool.create(p); }
    // Unlinks v from its chain when it is stored, then deletes it.
    void destroyVertex(FEMeshVertexC* v);

    // Vertices were moved: the position grid is rebuilt before the next search.
    void positionsChanged() { dropIndex(); }
    // Tests compare the grid with the chain walk; a disabled grid is never built.
    void setIndexEnabled(bool enabled);
    // Whether the position index is held now (built by a search of a large store).
    bool hasIndex() const { return indexBuilt; }
    // The width of the grid's cells (0 without a grid) and the searches made through it with
    // the vertices they compared, for tests of how much a search costs.
    double gridCellSize() const { return indexBuilt ? cellSize : 0.0; }
    struct SearchCounts {
        uint64_t searches = 0;
        uint64_t compared = 0;
    };
    SearchCounts searchCounts() const
    {
        return {counts.searches + window.searches, counts.compared + window.compared};
    }

    FEMeshVertexC* getBucketHead(int bucket) const;

private:
    // A chain in use while the heads are kept sparse.
    struct SparseHead {
        uint32_t bucket;
        FEMeshVertexC* head;
    };
    struct RecentFind {
        uint32_t bits[3];
        uint32_t generation;  // valid while it equals recentGeneration
        FEMeshVertexC* vertex;
    };
    struct GridSlot {
        uint32_t key = 0;   // 0: free; else the cell's hash with the top bit set
        uint32_t head = 0;  // vertex handle of the first vertex in the cell
    };
    // The grid's slot array. A large one is mapped directly (zeroed by the system, handed back
    // whole when freed) rather than taken from the heap, where a freed table of many megabytes
    // tends to stay in the process after the mesh is gone.
    class GridTable {
    public:
        GridTable() = default;
        ~GridTable() { release(); }
        GridTable(const GridTable&) = delete;
        GridTable& operator=(const GridTable&) = delete;

        // size zeroed (free) slots in place of the current ones.
        void reset(size_t size);
        void release();
        void swap(GridTable& other);
        bool empty() const { return count == 0; }
        size_t size() const { return count; }
        GridSlot& operator[](size_t i) { return slots[i]; }
        const GridSlot& operator[](size_t i) const { return slots[i]; }
        GridSlot* begin() { return slots; }
        GridSlot* end() { return slots + count; }

    private:
        GridSlot* slots = nullptr;
        size_t count = 0;
        bool mapped = false;
    };

    bool unlink(FEMeshVertexC* v);  // from its chain; false when it is not there
    // The head of bucket b to read or write; with create, a sparse entry is made when missing
    // (which may turn the heads into the full table). Null when absent and not created.
    FEMeshVertexC** headSlot(int b, bool create);
    void makeDense();
    void dropEmptySparse();
    // The index afresh, the grid with cells of the given width.
    void buildIndex(double cells);
    // Narrower cells when the searches of late compared many vertices each.
    void narrowCellsWhenCrowded();
    void dropIndex();
    void forgetRecent();
    // The search through the grid; the lookup, when given, is p's.
    FEMeshVertexC* findIndexed(const Point3Df& p, const Lookup* lookup);
    // A vertex into the grid; `cell`, when given, is the key of its cell.
    void gridAdd(FEMeshVertexC* v, const uint32_t* cell = nullptr);
    void gridRemove(FEMeshVertexC* v);
    GridSlot* gridSlot(uint32_t cellKey, bool create);
    size_t gridIndex(uint32_t cellKey) const;  // the slot a cell's probe starts at
    void growGrid();
    size_t gridSizeFor(size_t cells) const;
    int64_t cellOf(double v) const { return cellOf(v, cellSize); }
    static double cellSizeFor(double tolerance);
    static uint32_t cellKey(int64_t cx, int64_t cy, int64_t cz);
    // A narrowed grid keeps the vertices of a cell apart by chain: only the three chains of the
    // search can hold its answer, and where vertices crowd, the cells around a position hold
    // many of other chains (the key changes every 1e-6 along z).
    static uint32_t chainCell(uint32_t cellKey, int bucket);
    // Where v lies in the grid as it stands.
    uint32_t gridKeyOf(const FEMeshVertexC* v) const;
    static bool isFinitePoint(const Point3Df& p);

    double tolerance = 1e-5;
    // The chains' heads: sparse, sorted by bucket (an entry may hold null until the next
    // tidying), until more than kSparseChains chains are in use; then the full table.
    std::vector<SparseHead> sparse;
    std::unique_ptr<FEMeshVertexC*[]> heads;
    FEMeshVertexC* cursorVertex = nullptr;
    int cursorBucket = 0;

    size_t count = 0;
    uint32_t nextSequence = 1;
    FEMeshPoolC<FEMeshVertexC> pool;

    // The index of large stores: chain tails for appending and the position grid.
    bool indexEnabled = true;
    bool indexBuilt = false;
    std::vector<FEMeshVertexC*> tails;
    double cellSize = 0.0;
    double indexTolerance = 0.0;
    // The cells are those lookupOf names (it reads only the tolerance, on any thread); once
    // narrowed (and split by chain), a lookup's cell is not the grid's and is worked out again.
    bool lookupCells = false;
    SearchCounts counts;  // of the windows of searches before the current one
    struct {
        uint32_t searches = 0;
        uint64_t compared = 0;
    } window;
    GridTable grid;
    size_t gridUsed = 0;
    size_t expectedVertices = 0;  // what reserve was told
    FEMeshVertexC* oddVertices = nullptr;  // positions the grid cannot place (not finite)
    // Positions found lately whose vertex is the first match in the position's own chain: that
    // stays the answer while vertices are only added (they join the chains at the end).
    std::vector<RecentFind> recent;
    uint32_t recentGeneration = 1;
    // The last position the grid found nothing for: a vertex inserted there next is its answer.
    RecentFind lastMiss{{0, 0, 0}, 0, nullptr};
};
