// FEMeshVertexHashC: key, search, insertion, iteration and purging of the mesh's vertex store.
#include "geometry/mesh/FEMeshVertexHashC.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/sys.h"

namespace {

using VertexArena = FEMeshArenaC<FEMeshVertexC>;

// Stores below this size are searched by walking the chains (spread over 16381 buckets, the
// three searched hold a vertex or so); above it the grid pays off, and its tables of fixed size
// are small beside what the store holds.
constexpr size_t kIndexThreshold = 4096;
// Chains in use that are kept in the sorted list; one more turns it into the full table.
constexpr size_t kSparseChains = 1024;
constexpr uint32_t kOccupied = uint32_t(1) << 31;
constexpr size_t kRecentSize = 16384;
// The searches through the grid are watched a window at a time: when they compare more than 32
// vertices each on average, the cells are narrowed (at once, not at the window's end, so that a
// crowded grid costs at most the window's budget). Models spread as usual compare a vertex or
// so; a whole model within a few cells compares all it holds.
constexpr uint64_t kSearchWindow = 1024;
constexpr uint64_t kCrowdedCompares = 32 * kSearchWindow;
// Each narrowing divides the width by this, down to twice the tolerance, where a search still
// looks at two cells or so on each axis.
constexpr double kNarrowing = 8.0;

size_t recentSlot(const uint32_t* bits)
{
    return size_t(FEMeshVertexHashC::hashOfBits(bits) >> 50) & (kRecentSize - 1);
}

bool isFinite(float v) { return std::isfinite(v); }

}  // namespace

FEMeshVertexHashC::FEMeshVertexHashC() = default;

FEMeshVertexHashC::~FEMeshVertexHashC() { deleteAll(); }

int FEMeshVertexHashC::key(const Point3Df& p)
{
    // Single precision, step by step, as the stored keys were always made.
    const float a = p.x() * 100.0f;
    const float yScaled = p.y() * 10000.0f;
    const float b = yScaled + a;
    const float zScaled = p.z() * 1000000.0f;
    const float c = zScaled + b;
    if (!std::isfinite(c))
        return 0;  // no defined conversion for these; they all share bucket 0
    const double m = std::fabs(double(c));
    if (m < 2147483648.0) {
        // fmod without the library call: m is a float and q 16381 an integer below 2^31, so the
        // difference is exact in double precision.
        double q = std::floor(m / kBucketCount);
        double r = m - q * kBucketCount;
        if (r < 0.0)
            r += kBucketCount;
        else if (r >= kBucketCount)
            r -= kBucketCount;
        return int(r);
    }
    return int(std::trunc(std::fmod(m, double(kBucketCount))));
}

void FEMeshVertexHashC::bitsOf(const Point3Df& p, uint32_t* bits)
{
    const float c[3] = {p.x(), p.y(), p.z()};
    std::memcpy(bits, c, sizeof c);
}

uint64_t FEMeshVertexHashC::hashOfBits(const uint32_t* bits)
{
    return (uint64_t(bits[0]) * 0x9E3779B97F4A7C15ULL) ^ (uint64_t(bits[1]) * 0xC2B2AE3D27D4EB4FULL) ^
           (uint64_t(bits[2]) * 0x165667B19E3779F9ULL);
}

bool FEMeshVertexHashC::isFinitePoint(const Point3Df& p) { return isFinite(p.x()) && isFinite(p.y()) && isFinite(p.z()); }

FEMeshVertexC* FEMeshVertexHashC::getBucketHead(int bucket) const
{
    if (heads)
        return heads[bucket];
    auto at = std::lower_bound(sparse.begin(), sparse.end(), uint32_t(bucket),
                               [](const SparseHead& e, uint32_t b) { return e.bucket < b; });
    return at != sparse.end() && at->bucket == uint32_t(bucket) ? at->head : nullptr;
}

int FEMeshVertexHashC::nextBucket(int b) const
{
    if (heads) {
        for (++b; b < kBucketCount; ++b)
            if (heads[b])
                return b;
        return kBucketCount;
    }
    auto at = std::upper_bound(sparse.begin(), sparse.end(), b,
                               [](int bucket, const SparseHead& e) { return bucket < int(e.bucket); });
    for (; at != sparse.end(); ++at)
        if (at->head)
            return int(at->bucket);
    return kBucketCount;
}

FEMeshVertexC** FEMeshVertexHashC::headSlot(int b, bool create)
{
    if (heads)
        return &heads[b];
    auto at = std::lower_bound(sparse.begin(), sparse.end(), uint32_t(b),
                               [](const SparseHead& e, uint32_t bucket) { return e.bucket < bucket; });
    if (at != sparse.end() && at->bucket == uint32_t(b))
        return &at->head;
    if (!create)
        return nullptr;
    if (sparse.size() >= kSparseChains) {
        makeDense();
        return &heads[b];
    }
    return &sparse.insert(at, SparseHead{uint32_t(b), nullptr})->head;
}

void FEMeshVertexHashC::makeDense()
{
    if (heads)
        return;
    heads = std::make_unique<FEMeshVertexC*[]>(kBucketCount);  // zeroed
    for (const SparseHead& e : sparse)
        heads[e.bucket] = e.head;
    std::vector<SparseHead>().swap(sparse);
}

void FEMeshVertexHashC::dropEmptySparse()
{
    sparse.erase(std::remove_if(sparse.begin(), sparse.end(), [](const SparseHead& e) { return !e.head; }),
                 sparse.end());
}

FEMeshVertexC* FEMeshVertexHashC::findByScan(const Point3Df& p) const
{
    if (count == 0)
        return nullptr;
    const int h = key(p);
    const int order[3] = {h, h == 0 ? kBucketCount - 1 : h - 1, h == kBucketCount - 1 ? 0 : h + 1};
    for (int b : order)
        for (FEMeshVertexC* v = getBucketHead(b); v; v = v->getHashLink())
            if (compareWithinTolerance(v->position, p, tolerance) == 0)
                return v;
    return nullptr;
}

FEMeshVertexHashC::Lookup FEMeshVertexHashC::lookupOf(const Point3Df& p) const
{
    Lookup l;
    lookupOf(p, l);
    return l;
}

void FEMeshVertexHashC::lookupOf(const Point3Df& p, Lookup& l) const
{
    if (!isFinitePoint(p) || !std::isfinite(tolerance) || tolerance < 0.0) {
        l = Lookup{};
        return;
    }
    uint32_t bits[3];
    bitsOf(p, bits);
    l.recent = uint32_t(recentSlot(bits));
    l.bucket = uint16_t(key(p));
    // As gridAdd places the position.
    const double size = cellSizeFor(tolerance);
    l.cell = cellKey(cellOf(p.x(), size), cellOf(p.y(), size), cellOf(p.z(), size));
    // The cells findIndexed looks at, with the same arithmetic. Cells are monotonic in the
    // position, so when the two ends of every range meet, that cell is the position's own.
    const double c[3] = {p.x(), p.y(), p.z()};
    l.oneCell = true;
    for (int axis = 0; axis < 3; ++axis)
        l.oneCell = l.oneCell && cellOf(c[axis] - tolerance, size) == cellOf(c[axis] + tolerance, size);
    l.ready = true;
}

FEMeshVertexC* FEMeshVertexHashC::find(const Point3Df& p)
{
    if (!indexEnabled || count < kIndexThreshold || !isFinitePoint(p) || !std::isfinite(tolerance) || tolerance < 0.0)
        return findByScan(p);
    return findIndexed(p, nullptr);
}

FEMeshVertexC* FEMeshVertexHashC::find(const Point3Df& p, const Lookup& lookup)
{
    if (!lookup.ready || !indexEnabled || count < kIndexThreshold || !std::isfinite(tolerance) || tolerance < 0.0)
        return find(p);
    return findIndexed(p, &lookup);
}

void FEMeshVertexHashC::prefetch(const Lookup& lookup) const
{
    if (!lookup.ready || !indexBuilt || indexTolerance != tolerance)
        return;
    __builtin_prefetch(&recent[lookup.recent]);
    if (lookupCells && !grid.empty())
        __builtin_prefetch(&grid[gridIndex(lookup.cell)]);
}

FEMeshVertexC* FEMeshVertexHashC::findIndexed(const Point3Df& p, const Lookup* lookup)
{
    if (!indexBuilt || indexTolerance != tolerance)
        buildIndex(cellSizeFor(tolerance));

    uint32_t bits[3];
    bitsOf(p, bits);
    RecentFind& known = recent[lookup ? lookup->recent : recentSlot(bits)];
    if (known.generation == recentGeneration && std::memcmp(known.bits, bits, sizeof bits) == 0)
        return known.vertex;

    const int h = lookup ? lookup->bucket : key(p);
    const int below = h == 0 ? kBucketCount - 1 : h - 1;
    const int above = h == kBucketCount - 1 ? 0 : h + 1;
    FEMeshVertexC* best = nullptr;
    int bestRank = 3;
    auto consider = [&](FEMeshVertexC* v) {
        if (compareWithinTolerance(v->position, p, tolerance) != 0)
            return;
        const int k = v->hashBucket;  // its chain, which a moved vertex no longer matches by key
        const int rank = k == h ? 0 : (k == below ? 1 : (k == above ? 2 : 3));
        if (rank < bestRank || (rank == bestRank && rank < 3 && v->hashSequence < best->hashSequence)) {
            best = v;
            bestRank = rank;
        }
    };
    uint64_t compared = 0;
    auto considerCell = [&](uint32_t cell) {
        if (GridSlot* s = gridSlot(cell, false))
            for (FEMeshVertexC* v = VertexArena::fromHandle(s->head); v; v = v->getGridLink(), ++compared)
                consider(v);
    };

    // Every vertex within the tolerance lies in one of these cells: the range ends are the very
    // values the compare tests against, and rounding and division are monotonic.
    if (lookup && lookup->oneCell && lookupCells) {
        considerCell(lookup->cell);
    } else {
        const double reach = tolerance;
        const int64_t x0 = cellOf(double(p.x()) - reach), x1 = cellOf(double(p.x()) + reach);
        const int64_t y0 = cellOf(double(p.y()) - reach), y1 = cellOf(double(p.y()) + reach);
        const int64_t z0 = cellOf(double(p.z()) - reach), z1 = cellOf(double(p.z()) + reach);
        for (int64_t cx = x0; cx <= x1; ++cx)
            for (int64_t cy = y0; cy <= y1; ++cy)
                for (int64_t cz = z0; cz <= z1; ++cz) {
                    const uint32_t k = cellKey(cx, cy, cz);
                    if (lookupCells) {
                        considerCell(k);
                    } else {
                        considerCell(chainCell(k, h));
                        considerCell(chainCell(k, below));
                        considerCell(chainCell(k, above));
                    }
                }
    }
    // Not counted: no width of the cells takes these out of a search, so they must not narrow it.
    for (FEMeshVertexC* v = oddVertices; v; v = v->getGridLink())
        consider(v);
    if (best && bestRank == 0) {
        std::memcpy(known.bits, bits, sizeof bits);
        known.generation = recentGeneration;
        known.vertex = best;
    }
    if (!best) {
        std::memcpy(lastMiss.bits, bits, sizeof bits);
        lastMiss.generation = recentGeneration;
    }
    window.compared += compared;
    if (++window.searches >= kSearchWindow || window.compared > kCrowdedCompares)
        narrowCellsWhenCrowded();
    return best;
}

void FEMeshVertexHashC::insert(FEMeshVertexC* v)
{
    if (v)
        insert(v, lookupOf(v->position));
}

void FEMeshVertexHashC::insert(FEMeshVertexC* v, const Lookup& lookup)
{
    if (!v)
        return;
    const int b = lookup.ready ? lookup.bucket : key(v->position);
    FEMeshVertexC** head = headSlot(b, true);
    v->setHashLink(nullptr);
    v->hashBucket = uint16_t(b);
    v->hashSequence = nextSequence++;
    if (indexBuilt) {
        if (tails[b])
            tails[b]->setHashLink(v);
        else
            *head = v;
        tails[b] = v;
        gridAdd(v, lookup.ready && indexTolerance == tolerance && lookupCells ? &lookup.cell : nullptr);
        // Nothing lay within the tolerance of this very position in the three chains, so the
        // new vertex, last in its own chain, is what a search for the position finds from now on.
        uint32_t bits[3];
        bitsOf(v->position, bits);
        if (lastMiss.generation == recentGeneration && std::memcmp(lastMiss.bits, bits, sizeof bits) == 0) {
            RecentFind& known = recent[recentSlot(bits)];
            std::memcpy(known.bits, bits, sizeof bits);
            known.generation = recentGeneration;
            known.vertex = v;
        }
        lastMiss.generation = 0;  // any other insertion may change the answer for that position
    } else {
        FEMeshVertexC* last = *head;
        while (last && last->getHashLink())
            last = last->getHashLink();
        if (last)
            last->setHashLink(v);
        else
            *head = v;
    }
    ++count;
}

FEMeshVertexC* FEMeshVertexHashC::first()
{
    cursorBucket = nextBucket(-1);
    cursorVertex = cursorBucket < kBucketCount ? getBucketHead(cursorBucket) : nullptr;
    return cursorVertex;
}

FEMeshVertexC* FEMeshVertexHashC::next()
{
    if (!cursorVertex)
        return nullptr;
    if (FEMeshVertexC* following = cursorVertex->getHashLink()) {
        cursorVertex = following;
        return cursorVertex;
    }
    cursorBucket = nextBucket(cursorBucket);
    cursorVertex = cursorBucket < kBucketCount ? getBucketHead(cursorBucket) : nullptr;
    return cursorVertex;
}

void FEMeshVertexHashC::purgeUnused()
{
    for (int b = nextBucket(-1); b < kBucketCount; b = nextBucket(b)) {
        FEMeshVertexC** head = headSlot(b, false);
        FEMeshVertexC* previous = nullptr;
        FEMeshVertexC* v = *head;
        while (v) {
            FEMeshVertexC* following = v->getHashLink();
            if (!v->outgoing && v->incidentCount == 0) {
                if (previous)
                    previous->setHashLink(following);
                else
                    *head = following;
                if (indexBuilt) {
                    if (tails[b] == v)
                        tails[b] = previous;
                    gridRemove(v);
                }
                if (cursorVertex == v)
                    cursorVertex = nullptr;
                --count;
                forgetRecent();
                pool.destroy(v);
            } else {
                previous = v;
            }
            v = following;
        }
    }
    dropEmptySparse();
}

void FEMeshVertexHashC::deleteAll()
{
    FEMeshChunkReleaseC release;
    deleteAll(release);
    release.done();
}

void FEMeshVertexHashC::deleteAll(FEMeshChunkReleaseC& release)
{
    if (!FEMeshPoolC<FEMeshVertexC>::kDropsWholesale)
        forEachVertex([this](FEMeshVertexC* v) { pool.destroy(v); });
    heads.reset();
    std::vector<SparseHead>().swap(sparse);
    count = 0;
    expectedVertices = 0;
    cursorVertex = nullptr;
    cursorBucket = 0;
    dropIndex();
    release.add(pool);
}

void FEMeshVertexHashC::setTolerance(double t) { tolerance = t; }

void FEMeshVertexHashC::setIndexEnabled(bool enabled)
{
    indexEnabled = enabled;
    if (!enabled)
        dropIndex();
}

bool FEMeshVertexHashC::unlink(FEMeshVertexC* v)
{
    const int b = v->hashBucket;
    FEMeshVertexC** head = headSlot(b, false);
    if (!head)
        return false;
    FEMeshVertexC* previous = nullptr;
    for (FEMeshVertexC* w = *head; w; previous = w, w = w->getHashLink()) {
        if (w != v)
            continue;
        if (previous)
            previous->setHashLink(w->getHashLink());
        else
            *head = w->getHashLink();
        if (!heads && !*head)
            dropEmptySparse();
        if (indexBuilt) {
            if (tails[b] == v)
                tails[b] = previous;
            gridRemove(v);
        }
        if (cursorVertex == v)
            cursorVertex = nullptr;
        --count;
        forgetRecent();
        return true;
    }
    return false;
}

void FEMeshVertexHashC::destroyVertex(FEMeshVertexC* v)
{
    if (!v)
        return;
    if (!unlink(v)) {
        // Moved since it was stored: its chain is no longer the one its key names.
        for (int b = nextBucket(-1); b < kBucketCount; b = nextBucket(b)) {
            FEMeshVertexC** head = headSlot(b, false);
            FEMeshVertexC* previous = nullptr;
            for (FEMeshVertexC* w = *head; w; previous = w, w = w->getHashLink())
                if (w == v) {
                    if (previous)
                        previous->setHashLink(w->getHashLink());
                    else
                        *head = w->getHashLink();
                    dropEmptySparse();
                    --count;
                    if (cursorVertex == v)
                        cursorVertex = nullptr;
                    dropIndex();
                    b = kBucketCount;
                    break;
                }
        }
    }
    pool.destroy(v);
}

double FEMeshVertexHashC::cellSizeFor(double tolerance)
{
    // Wide enough that a search looks at a cell or two on each axis whatever the tolerance (where
    // 64 tolerances overflow, the largest double), and no narrower than the least float, so that
    // a float coordinate over the width stays finite.
    double size = tolerance > 0.0 ? 64.0 * tolerance : 1e-4;
    if (!(size <= std::numeric_limits<double>::max()))
        size = std::numeric_limits<double>::max();
    return std::max(size, double(std::numeric_limits<float>::denorm_min()));
}

uint32_t FEMeshVertexHashC::cellKey(int64_t cx, int64_t cy, int64_t cz)
{
    uint64_t h = uint64_t(cx) * 0x9E3779B97F4A7C15ULL;
    h ^= uint64_t(cy) * 0xC2B2AE3D27D4EB4FULL + (h << 6) + (h >> 2);
    h ^= uint64_t(cz) * 0x165667B19E3779F9ULL + (h << 6) + (h >> 2);
    h ^= h >> 29;
    // Cells whose keys meet share a slot: harmless, every vertex found is compared anyway.
    return uint32_t(h >> 32) | kOccupied;
}

uint32_t FEMeshVertexHashC::chainCell(uint32_t cellKey, int bucket)
{
    return (cellKey ^ (uint32_t(bucket) * 0x9E3779B1u)) | kOccupied;
}

uint32_t FEMeshVertexHashC::gridKeyOf(const FEMeshVertexC* v) const
{
    const uint32_t k = cellKey(cellOf(v->position.x()), cellOf(v->position.y()), cellOf(v->position.z()));
    return lookupCells ? k : chainCell(k, v->hashBucket);
}

size_t FEMeshVertexHashC::gridIndex(uint32_t k) const
{
    return size_t(uint64_t(k) * 0xff51afd7ed558ccdULL >> 20) & (grid.size() - 1);
}

FEMeshVertexHashC::GridSlot* FEMeshVertexHashC::gridSlot(uint32_t k, bool create)
{
    if (grid.empty())
        return nullptr;
    const size_t mask = grid.size() - 1;
    size_t i = gridIndex(k);
    for (;;) {
        GridSlot& s = grid[i];
        if (s.key == k)
            return &s;
        if (s.key == 0) {
            if (!create)
                return nullptr;
            s.key = k;
            ++gridUsed;
            return &s;
        }
        i = (i + 1) & mask;
    }
}

void FEMeshVertexHashC::GridTable::reset(size_t size)
{
    release();
    if (size == 0)
        return;
    const size_t bytes = size * sizeof(GridSlot);
    // All-zero bytes are free slots. Large tables come from the large-block mapping, which is
    // zeroed on first touch; small ones from the heap.
    static_assert(std::is_trivially_destructible_v<GridSlot>, "slots are dropped with their storage");
    mapped = bytes >= (size_t(2) << 20);
    void* raw = mapped ? platform::sys::allocateLargeBlock(bytes) : std::calloc(size, sizeof(GridSlot));
    if (!raw)
        throw std::bad_alloc();
    slots = static_cast<GridSlot*>(raw);
    count = size;
}

void FEMeshVertexHashC::GridTable::release()
{
    if (slots) {
        if (mapped)
            platform::sys::freeLargeBlock(slots, count * sizeof(GridSlot));
        else
            std::free(slots);
    }
    slots = nullptr;
    count = 0;
    mapped = false;
}

void FEMeshVertexHashC::GridTable::swap(GridTable& other)
{
    std::swap(slots, other.slots);
    std::swap(count, other.count);
    std::swap(mapped, other.mapped);
}

size_t FEMeshVertexHashC::gridSizeFor(size_t cells) const
{
    // Twice the cells, and room below the growth limit for the vertices the store expects.
    size_t size = 1024;
    while (size < cells * 2 || size * 3 < expectedVertices * 4)
        size *= 2;
    return size;
}

void FEMeshVertexHashC::reserve(size_t vertices)
{
    // Vertices are numbered by 32-bit handles: more cannot come, and the sizing stays in range.
    constexpr size_t kMostVertices = size_t(1) << 32;
    expectedVertices = std::max(expectedVertices, std::min(vertices, kMostVertices));
    if (indexBuilt && grid.size() < gridSizeFor(gridUsed))
        growGrid();
}

void FEMeshVertexHashC::growGrid()
{
    GridTable old;
    old.swap(grid);
    size_t live = 0;
    for (const GridSlot& s : old)
        if (s.head)
            ++live;
    grid.reset(gridSizeFor(live));
    gridUsed = 0;
    for (const GridSlot& s : old)
        if (s.head) {
            GridSlot* n = gridSlot(s.key, true);
            n->head = s.head;
        }
}

void FEMeshVertexHashC::gridAdd(FEMeshVertexC* v, const uint32_t* cell)
{
    if (!isFinitePoint(v->position)) {
        v->setGridLink(oddVertices);
        oddVertices = v;
        return;
    }
    if ((gridUsed + 1) * 4 > grid.size() * 3)
        growGrid();
    GridSlot* s = gridSlot(cell ? *cell : gridKeyOf(v), true);
    v->gridLink = s->head;
    s->head = VertexArena::handleOf(v);
}

void FEMeshVertexHashC::gridRemove(FEMeshVertexC* v)
{
    GridSlot* s = nullptr;
    if (isFinitePoint(v->position)) {
        s = gridSlot(gridKeyOf(v), false);
        if (!s) {
            dropIndex();
            return;
        }
    }
    FEMeshVertexC* previous = nullptr;
    FEMeshVertexC* w = s ? VertexArena::fromHandle(s->head) : oddVertices;
    while (w && w != v) {
        previous = w;
        w = w->getGridLink();
    }
    if (!w) {
        dropIndex();  // the position changed behind our back: start afresh
    } else if (previous) {
        previous->gridLink = v->gridLink;
    } else if (s) {
        s->head = v->gridLink;
    } else {
        oddVertices = v->getGridLink();
    }
    v->gridLink = 0;
}

void FEMeshVertexHashC::buildIndex(double cells)
{
    dropIndex();
    makeDense();  // the chain tails below are a full table too
    indexTolerance = tolerance;
    cellSize = cells;
    lookupCells = cells == cellSizeFor(tolerance);
    tails.assign(kBucketCount, nullptr);
    recent.assign(kRecentSize, RecentFind{{0, 0, 0}, 0, nullptr});
    recentGeneration = 1;
    lastMiss.generation = 0;
    grid.reset(gridSizeFor(count));
    gridUsed = 0;
    indexBuilt = true;
    for (int b = 0; b < kBucketCount; ++b)
        for (FEMeshVertexC* v = heads[b]; v; v = v->getHashLink()) {
            tails[b] = v;
            gridAdd(v);
        }
}

void FEMeshVertexHashC::narrowCellsWhenCrowded()
{
    // Many vertices in the cells a search looks at: the model lies within a few cells (or many
    // vertices within a few tolerances). Narrower cells hold fewer of them; the answers do not
    // depend on the cells, and the narrowing ends at a floor, so the grid is built anew a few
    // times at most.
    const bool crowded = window.compared > kCrowdedCompares;
    counts.searches += window.searches;
    counts.compared += window.compared;
    window = {};
    const double floor = std::max(2.0 * tolerance, double(std::numeric_limits<float>::denorm_min()));
    if (crowded && cellSize > floor)
        buildIndex(std::max(cellSize / kNarrowing, floor));
}

void FEMeshVertexHashC::forgetRecent()
{
    if (++recentGeneration == 0) {
        // wrapped: start afresh so that no old entry looks current
        for (RecentFind& r : recent)
            r.generation = 0;
        recentGeneration = 1;
    }
}

void FEMeshVertexHashC::dropIndex()
{
    indexBuilt = false;
    std::vector<FEMeshVertexC*>().swap(tails);
    std::vector<RecentFind>().swap(recent);
    lastMiss.generation = 0;
    grid.release();
    gridUsed = 0;
    oddVertices = nullptr;
}
