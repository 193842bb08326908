// Tests of the mesh's vertex store: key, tolerance compare, neighbour-bucket search, iteration, purge.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/mesh/FEMeshVertexHashC.h"

namespace {

FEMeshVertexC* add(FEMeshVertexHashC& hash, float x, float y, float z)
{
    FEMeshVertexC* v = hash.createVertex(Point3Df(x, y, z));
    hash.insert(v);
    return v;
}

}  // namespace

TEST(FEMeshVertexHash, KeyFollowsTheScaledSum)
{
    struct Case {
        Point3Df p;
        int key;
    } cases[] = {
        {Point3Df(1, 2, 3), 5996},
        {Point3Df(1.000005f, 2, 3), 5996},
        {Point3Df(1, 2, 3.000005f), 6001},
        {Point3Df(1, 2, 3.000001f), 5997},
        {Point3Df(0, 0, 0), 0},
        {Point3Df(-1, -2, -3), 5996},
        {Point3Df(0, 0, 0.016381f), 16380},  // 16380.999 in single precision, truncated
        {Point3Df(0, 1.6381f, 0), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FEMeshVertexHashC::key(c.p), c.key) << c.p.x() << " " << c.p.y() << " " << c.p.z();
}

TEST(FEMeshVertexHash, NonFiniteOrOverflowingPositionsShareBucketZero)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(FEMeshVertexHashC::key(Point3Df(nan, 0, 0)), 0);
    EXPECT_EQ(FEMeshVertexHashC::key(Point3Df(0, inf, 0)), 0);
    EXPECT_EQ(FEMeshVertexHashC::key(Point3Df(0, 0, -inf)), 0);
    EXPECT_EQ(FEMeshVertexHashC::key(Point3Df(0, 0, 3e38f)), 0);  // z 1e6 overflows single precision
}

TEST(FEMeshVertexHash, ToleranceCompareIsInclusivePerAxis)
{
    const Point3Df a(1, 2, 3);
    EXPECT_EQ(compareWithinTolerance(a, a, 0.0), 0);
    EXPECT_EQ(compareWithinTolerance(Point3Df(1.5f, 2, 3), a, 0.5), 0);  // exactly the tolerance
    EXPECT_EQ(compareWithinTolerance(Point3Df(1.75f, 0, 0), a, 0.5), 1);  // x decides first
    EXPECT_EQ(compareWithinTolerance(Point3Df(1, 1, 9), a, 0.5), -1);
    EXPECT_EQ(compareWithinTolerance(Point3Df(1, 2, 3.75f), a, 0.5), 1);
}

TEST(FEMeshVertexHash, FindSearchesTheKeyAndItsTwoNeighbours)
{
    FEMeshVertexHashC hash;
    FEMeshVertexC* v = add(hash, 1, 2, 3);
    struct Case {
        Point3Df p;
        bool found;
    } cases[] = {
        {Point3Df(1, 2, 3), true},
        {Point3Df(1.000005f, 2, 3), true},    // same key
        {Point3Df(1, 2, 3.000001f), true},    // neighbouring bucket
        {Point3Df(1, 2, 3.000005f), false},   // within tolerance but three buckets away
        {Point3Df(1.00002f, 2, 3), false},    // 2e-5 away
    };
    for (const Case& c : cases)
        EXPECT_EQ(hash.find(c.p), c.found ? v : nullptr) << c.p.z();
}

TEST(FEMeshVertexHash, FirstMatchInChainOrderWins)
{
    FEMeshVertexHashC hash;
    hash.setTolerance(1.0);
    // Two vertices in one bucket, both within the tolerance of the query: the first inserted wins.
    FEMeshVertexC* a = add(hash, 0, 0, 0);
    FEMeshVertexC* b = add(hash, 0, 1.6381f, 0);
    ASSERT_EQ(FEMeshVertexHashC::key(b->getPosition()), 0);
    const Point3Df between(0, 0.82f, 0.008181f);  // within 1 of both, key next to 0
    const int k = FEMeshVertexHashC::key(between);
    ASSERT_TRUE(k == 0 || k == 1 || k == FEMeshVertexHashC::kBucketCount - 1) << k;
    EXPECT_EQ(hash.find(between), a);
    FEMeshVertexHashC reversed;
    reversed.setTolerance(1.0);
    FEMeshVertexC* b2 = add(reversed, 0, 1.6381f, 0);
    add(reversed, 0, 0, 0);
    EXPECT_EQ(reversed.find(between), b2);
    // A vertex in the query's own bucket beats an earlier one in the bucket below.
    FEMeshVertexHashC hash2;
    hash2.setTolerance(0.5);
    FEMeshVertexC* below = add(hash2, 0.0f, 0, 0.000001f);  // key 1
    FEMeshVertexC* same = add(hash2, 0.0f, 0, 0.000002f);   // key 2
    EXPECT_EQ(FEMeshVertexHashC::key(below->getPosition()), 1);
    EXPECT_EQ(FEMeshVertexHashC::key(same->getPosition()), 2);
    EXPECT_EQ(hash2.find(Point3Df(0.0f, 0, 0.000002f)), same);
}

TEST(FEMeshVertexHash, IterationPurgeAndDeletion)
{
    FEMeshVertexHashC hash;
    FEMeshVertexC* a = add(hash, 0, 0, 0.000003f);  // key 3
    FEMeshVertexC* b = add(hash, 0, 0, 0.000001f);  // key 1
    FEMeshVertexC* c = add(hash, 0, 0, 0.00000301f);  // key 3, after a
    ASSERT_EQ(FEMeshVertexHashC::key(c->getPosition()), 3);
    std::vector<FEMeshVertexC*> seen;
    for (FEMeshVertexC* v = hash.first(); v; v = hash.next())
        seen.push_back(v);
    EXPECT_EQ(seen, (std::vector<FEMeshVertexC*>{b, a, c}));
    EXPECT_EQ(hash.next(), nullptr);

    // Only vertices without outgoing half-edge and incident edges go.
    FEMeshHalfEdgeC h;
    a->setOutgoingHalfEdge(&h);
    hash.purgeUnused();
    EXPECT_EQ(hash.entries(), 1u);
    EXPECT_EQ(hash.first(), a);
    EXPECT_EQ(hash.next(), nullptr);
    a->setOutgoingHalfEdge(nullptr);
    hash.deleteAll();
    EXPECT_EQ(hash.entries(), 0u);
    EXPECT_EQ(hash.first(), nullptr);
}

// The walk runs bucket by bucket, each chain in insertion order, whether the store keeps its few
// chains in a short list or, grown, in the full table; purging and removal keep it so.
TEST(FEMeshVertexHash, WalkKeepsBucketThenInsertionOrderAtEverySize)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coord(-3.0f, 3.0f);
    FEMeshVertexHashC hash;
    std::vector<std::pair<int, FEMeshVertexC*>> expected;  // (bucket, vertex) in insertion order
    auto check = [&](const char* when) {
        std::vector<std::pair<int, FEMeshVertexC*>> sorted = expected;
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<FEMeshVertexC*> want, walked, visited;
        for (const auto& e : sorted)
            want.push_back(e.second);
        for (FEMeshVertexC* v = hash.first(); v; v = hash.next())
            walked.push_back(v);
        hash.forEachVertex([&](FEMeshVertexC* v) { visited.push_back(v); });
        EXPECT_EQ(walked, want) << when;
        EXPECT_EQ(visited, want) << when;
        EXPECT_EQ(hash.entries(), want.size()) << when;
        for (const auto& e : sorted)
            EXPECT_EQ(hash.find(e.second->getPosition()), hash.findByScan(e.second->getPosition())) << when;
    };
    for (int size : {3, 900, 2500, 6000}) {
        while (int(expected.size()) < size) {
            // Now and then a second vertex in a chain already in use.
            const Point3Df last = expected.empty() ? Point3Df(0, 0, 0) : expected.back().second->getPosition();
            const Point3Df p = expected.empty() || rng() % 4 ? Point3Df(coord(rng), coord(rng), coord(rng))
                                                             : Point3Df(last.x() + 163.81f, last.y(), last.z());
            if (hash.findByScan(p))
                continue;
            FEMeshVertexC* v = add(hash, p.x(), p.y(), p.z());
            expected.push_back({FEMeshVertexHashC::key(p), v});
        }
        check("grown");
    }
    // Every third vertex stays; the rest go in a purge, then one more by removal.
    FEMeshHalfEdgeC h;
    std::vector<std::pair<int, FEMeshVertexC*>> kept;
    for (size_t i = 0; i < expected.size(); ++i)
        if (i % 3 == 0) {
            expected[i].second->setOutgoingHalfEdge(&h);
            kept.push_back(expected[i]);
        }
    hash.purgeUnused();
    expected = kept;
    check("purged");
    kept.back().second->setOutgoingHalfEdge(nullptr);
    hash.destroyVertex(kept.back().second);
    expected.pop_back();
    check("removed");
    for (const auto& e : expected)
        e.second->setOutgoingHalfEdge(nullptr);

    // A small store after removals is walked the same way.
    FEMeshVertexHashC small;
    FEMeshVertexC* a = add(small, 0, 0, 0.000003f);  // key 3
    FEMeshVertexC* b = add(small, 0, 0, 0.000001f);  // key 1
    small.destroyVertex(b);
    FEMeshVertexC* c = add(small, 0, 0, 0.000002f);  // key 2
    EXPECT_EQ(small.first(), c);
    EXPECT_EQ(small.next(), a);
    EXPECT_EQ(small.next(), nullptr);
}

// Large stores search through a position grid; it must give exactly the chain walk's answer,
// also for positions within the tolerance of several vertices in different buckets.
TEST(FEMeshVertexHash, GridSearchMatchesChainWalkOnRandomPoints)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> coord(-2.0f, 2.0f);
    std::uniform_real_distribution<float> jitter(-1.6e-5f, 1.6e-5f);
    for (double tolerance : {1e-5, 3e-5, 0.0}) {
        FEMeshVertexHashC hash;
        hash.setTolerance(tolerance);
        std::vector<Point3Df> bases;
        for (int i = 0; i < 3000; ++i)
            bases.push_back(Point3Df(coord(rng), coord(rng), coord(rng)));
        auto near = [&](const Point3Df& b) {
            return Point3Df(b.x() + jitter(rng), b.y() + jitter(rng), b.z() + jitter(rng));
        };
        int differences = 0, hits = 0;
        if (tolerance == 0.0)
            hash.reserve(20000);  // the grid made large before it is built
        for (int round = 0; round < 24000; ++round) {
            if (round == 12000)
                hash.reserve(60000);  // and while it is in use
            const Point3Df p = near(bases[rng() % bases.size()]);
            // Half the searches and insertions take the lookup made ahead of them.
            const bool ahead = round % 2 == 1;
            const FEMeshVertexHashC::Lookup lookup = hash.lookupOf(p);
            hash.prefetch(lookup);
            FEMeshVertexC* byGrid = ahead ? hash.find(p, lookup) : hash.find(p);
            FEMeshVertexC* byWalk = hash.findByScan(p);
            differences += byGrid != byWalk;
            hits += byWalk != nullptr;
            if (!byWalk && ahead)
                hash.insert(hash.createVertex(p), lookup);
            else if (!byWalk)
                hash.insert(hash.createVertex(p));
        }
        // Positions a tolerance or so from a grid cell's edge (cells 64 tolerances wide), where
        // the search looks at one cell or at two depending on the last bits.
        if (tolerance > 0) {
            const double cell = 64.0 * tolerance;
            auto nextEdge = [&](float v) {  // the least float of the following cell
                float lo = v, hi = float(double(v) + 1.5 * cell);
                for (float mid = lo + (hi - lo) / 2; mid > lo && mid < hi; mid = lo + (hi - lo) / 2)
                    (FEMeshVertexHashC::cellOf(mid, cell) > FEMeshVertexHashC::cellOf(v, cell) ? hi : lo) = mid;
                return hi;
            };
            std::uniform_int_distribution<int> step(-3, 3);
            auto nearEdge = [&](float v) {
                float e = float(double(nextEdge(v)) + step(rng) * 0.5 * tolerance);
                for (int n = step(rng); n != 0; n += n > 0 ? -1 : 1)
                    e = std::nextafter(e, n > 0 ? 10.0f : -10.0f);
                return e;
            };
            for (int round = 0; round < 6000; ++round) {
                const Point3Df b = bases[rng() % bases.size()];
                const Point3Df p(nearEdge(b.x()), round % 3 ? nearEdge(b.y()) : b.y(), round % 2 ? nearEdge(b.z()) : b.z());
                const FEMeshVertexHashC::Lookup lookup = hash.lookupOf(p);
                FEMeshVertexC* byWalk = hash.findByScan(p);
                differences += hash.find(p, lookup) != byWalk;
                hits += byWalk != nullptr;
                if (!byWalk)
                    hash.insert(hash.createVertex(p), lookup);
            }
        }
        EXPECT_EQ(differences, 0) << tolerance;
        EXPECT_GT(hash.entries(), 4500u);  // large enough for the grid

        // Moved vertices stay in their chains; the search still matches the walk.
        for (FEMeshVertexC* v = hash.first(); v; v = hash.next())
            v->setPosition(Point3Df(v->getPosition().x() + 0.001f, v->getPosition().y(), v->getPosition().z()));
        hash.positionsChanged();
        for (int round = 0; round < 2000; ++round) {
            Point3Df p = near(bases[rng() % bases.size()]);
            if (round % 2)
                p = Point3Df(p.x() + 0.001f, p.y(), p.z());
            differences += hash.find(p) != hash.findByScan(p);
            differences += hash.find(p, hash.lookupOf(p)) != hash.findByScan(p);
        }
        EXPECT_EQ(differences, 0) << tolerance;
        if (tolerance > 0) {
            EXPECT_GT(hits, 1500);
        }
    }
}

// Answers the grid remembers must follow later insertions and removals exactly as the walk does.
TEST(FEMeshVertexHash, RememberedAnswersFollowInsertionsAndRemovals)
{
    FEMeshVertexHashC hash;
    for (int i = 0; i < 5000; ++i)  // enough vertices for the grid, far from the ones below
        add(hash, 100.0f + float(i), 50.0f, 0);
    const Point3Df p(0, 0, 0.000002f);                          // key 2
    FEMeshVertexC* below = add(hash, 0, 0, 0.000001f);           // key 1: found with rank 1
    EXPECT_EQ(hash.find(p), below);
    EXPECT_EQ(hash.find(p), below);
    FEMeshVertexC* own = add(hash, 0, 0, 0.0000025f);            // key 2 beats the bucket below
    ASSERT_EQ(FEMeshVertexHashC::key(own->getPosition()), 2);
    EXPECT_EQ(hash.find(p), own);
    EXPECT_EQ(hash.find(p), hash.findByScan(p));
    add(hash, 0, 0, 0.0000021f);                                 // later in the same chain: no change
    EXPECT_EQ(hash.find(p), own);

    // A vertex inserted where nothing was found is the answer for its position.
    const Point3Df q(7, 7, 7);
    EXPECT_EQ(hash.find(q), nullptr);
    FEMeshVertexC* fresh = add(hash, 7, 7, 7);
    EXPECT_EQ(hash.find(q), fresh);

    // Purging forgets what was remembered.
    FEMeshHalfEdgeC h;
    for (FEMeshVertexC* v = hash.first(); v; v = hash.next())
        if (v != below && v != fresh)
            v->setOutgoingHalfEdge(&h);
    hash.purgeUnused();
    EXPECT_EQ(hash.find(q), nullptr);
    EXPECT_EQ(hash.find(p), hash.findByScan(p));
    for (FEMeshVertexC* v = hash.first(); v; v = hash.next())
        v->setOutgoingHalfEdge(nullptr);
}

// Pairing tests many positions against one through its tolerance box: the box must hold exactly
// what the compare calls equal, at the very edges of the tolerance, for positions and tolerances
// that are not finite, and for a tolerance of 0 or below.
TEST(FEMeshVertexHash, ToleranceBoxHoldsExactlyWhatTheCompareCallsEqual)
{
    std::mt19937 rng(8191);
    std::uniform_real_distribution<float> coord(-100.0f, 100.0f);
    std::uniform_int_distribution<int> step(-3, 3);
    const float odd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(), 0.0f, -0.0f};
    const double tolerances[] = {1e-5, 3e-3, 0.0, -1e-5, 1e-300, std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity()};
    int differences = 0, held = 0, missed = 0;
    for (const double t : tolerances) {
        for (int round = 0; round < 20000; ++round) {
            float p[3], q[3];
            for (int i = 0; i < 3; ++i) {
                p[i] = rng() % 50 == 0 ? odd[rng() % 5] : coord(rng);
                // Near p: whole and half tolerances off, then a few floats either way.
                q[i] = float(double(p[i]) + step(rng) * 0.5 * (std::isfinite(t) ? t : 1e-5));
                for (int n = step(rng); n != 0; n += n > 0 ? -1 : 1)
                    q[i] = std::nextafter(q[i], n > 0 ? 1e30f : -1e30f);
                if (rng() % 50 == 0)
                    q[i] = odd[rng() % 5];
            }
            const Point3Df a(p[0], p[1], p[2]), b(q[0], q[1], q[2]);
            const bool equal = compareWithinTolerance(b, a, t) == 0;
            const bool holds = FEMeshToleranceBoxC(a, t).holds(b);
            differences += equal != holds;
            held += holds;
            missed += !holds;
        }
    }
    EXPECT_EQ(differences, 0);
    EXPECT_GT(held, 10000);  // both answers well represented
    EXPECT_GT(missed, 10000);
}

// Grid cells are rounded down without the library: the very cells of floor(v / size + offset)
// below 2^62 cells, for values on and beside the cells' edges, negative ones and zeros. Beyond,
// each double is a cell, numbered on from the last linear one: the numbering stays monotonic
// over all doubles, infinities at the ends and NaN below everything.
TEST(FEMeshVertexHash, GridCellsAreTheFloorOfTheShiftedCoordinate)
{
    constexpr double kLinear = 4611686018427387904.0;  // 2^62
    std::mt19937 rng(3301);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-30, 140);
    const double inf = std::numeric_limits<double>::infinity();
    int differences = 0, beyond = 0;
    for (const double size : {6.4e-4, 1e-4, 1.0, 3e-9}) {
        std::vector<double> values = {0.0, -0.0, inf, -inf, 1e300, -1e300, 4.0e18, -4.0e18, 9.3e18, -9.3e18};
        // The doubles on either side of where the numbering changes.
        for (const double edge : {kLinear, -kLinear}) {
            double v = (edge - FEMeshVertexHashC::kCellOffset) * size;
            for (int n = 0; n < 4; ++n)
                v = std::nextafter(v, -edge);
            for (int n = 0; n < 8; ++n, v = std::nextafter(v, edge))
                values.push_back(v);
        }
        for (int round = 0; round < 40000; ++round) {
            double v = std::ldexp(unit(rng), exponent(rng));
            if (round % 2) {
                // On a cell's edge, then a few doubles either way.
                v = (std::floor(v / size) - FEMeshVertexHashC::kCellOffset) * size;
                for (int n = int(rng() % 7) - 3; n != 0; n += n > 0 ? -1 : 1)
                    v = std::nextafter(v, n > 0 ? 1e308 : -1e308);
            }
            values.push_back(v);
        }
        std::sort(values.begin(), values.end());
        for (size_t i = 0; i < values.size(); ++i) {
            const double c = values[i] / size + FEMeshVertexHashC::kCellOffset;
            const int64_t cell = FEMeshVertexHashC::cellOf(values[i], size);
            if (c >= -kLinear && c < kLinear) {
                differences += cell != int64_t(std::floor(c));
            } else if (i > 0) {
                // Neighbouring shifted values beyond: the same cell or the next one (past the
                // last linear cell, a later one).
                const double previous = values[i - 1] / size + FEMeshVertexHashC::kCellOffset;
                const int64_t step = cell - FEMeshVertexHashC::cellOf(values[i - 1], size);
                const bool adjacent = std::nextafter(previous, inf) == c && previous < -kLinear;
                differences += previous == c ? step != 0 : (adjacent ? step != 1 : step < 1);
                ++beyond;
            }
        }
        differences += FEMeshVertexHashC::cellOf(std::numeric_limits<double>::quiet_NaN(), size) >
                       FEMeshVertexHashC::cellOf(-inf, size);
        differences += FEMeshVertexHashC::cellOf(-inf, size) >= FEMeshVertexHashC::cellOf(-1e300, 1.0);
        differences += FEMeshVertexHashC::cellOf(inf, size) <= FEMeshVertexHashC::cellOf(1e300, 1.0);
    }
    EXPECT_EQ(differences, 0);
    EXPECT_GT(beyond, 20000);
}

namespace {

// Fills a store with the given positions in order (each inserted unless found), searching with
// and without lookups made ahead; counts the searches whose answer is not the chain walk's, nor
// the same position as a twin store without the grid answers.
int fillAgainstWalk(FEMeshVertexHashC& hash, const std::vector<Point3Df>& points)
{
    FEMeshVertexHashC plain;
    plain.setTolerance(hash.getTolerance());
    plain.setIndexEnabled(false);
    auto same = [](const FEMeshVertexC* a, const FEMeshVertexC* b) {
        if (!a || !b)
            return !a && !b;
        uint32_t x[3], y[3];
        FEMeshVertexHashC::bitsOf(a->getPosition(), x);
        FEMeshVertexHashC::bitsOf(b->getPosition(), y);
        return std::equal(x, x + 3, y);
    };
    int differences = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        const Point3Df& p = points[i];
        const FEMeshVertexHashC::Lookup lookup = hash.lookupOf(p);
        FEMeshVertexC* found = i % 2 ? hash.find(p, lookup) : hash.find(p);
        FEMeshVertexC* walked = hash.findByScan(p);
        FEMeshVertexC* plainly = plain.find(p);
        differences += found != walked || !same(found, plainly);
        if (!found)
            i % 2 ? hash.insert(hash.createVertex(p), lookup) : hash.insert(hash.createVertex(p));
        if (!plainly)
            plain.insert(plain.createVertex(p));
    }
    return differences;
}

}  // namespace

// Shapes that crowd a grid of fixed cells: a model within a few cells, many vertices within a
// tolerance of each other (their keys apart), coordinates past the linear cell numbering up to
// the largest float, of either sign and mixed in one store. The grid answers as the walk does.
TEST(FEMeshVertexHash, GridSearchMatchesChainWalkOnCrowdedAndFarShapes)
{
    std::mt19937 rng(2718);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> step(-2, 2);
    auto ulps = [&](float v) {  // a few floats either way
        for (int n = step(rng); n != 0; n += n > 0 ? -1 : 1)
            v = std::nextafter(v, n > 0 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max());
        return v;
    };
    auto tiny = [&](double t) {  // within 6e-4, jittered by a tolerance and a half
        const float j = float(1.6 * t);
        return Point3Df(6e-4f * unit(rng) + j * (2 * unit(rng) - 1), 6e-4f * unit(rng) + j * (2 * unit(rng) - 1),
                        6e-4f * unit(rng) + j * (2 * unit(rng) - 1));
    };
    auto dense = [&](double) {  // along z 2.2e-6 apart: within 1e-5 of each other, keys 2 apart
        const float x = float(rng() % 8) * 3e-5f, y = float(rng() % 8) * 3e-5f;
        return Point3Df(x, y, ulps(float(rng() % 512) * 2.2e-6f));
    };
    auto far = [&](double) {  // 1e15 to the largest float, either sign, a few floats apart
        auto c = [&] {
            const float base = rng() % 4 == 0 ? 2.95e15f : std::pow(10.0f, 15.0f + 23.5f * unit(rng));
            return ulps(rng() % 2 ? base : -base);
        };
        return Point3Df(c(), c(), c());
    };
    auto edge = [&](double) {  // where the cell numbering changes, at cells of 64 tolerances of 1e-5
        auto c = [&] {
            const float v = ulps(float(4611686018427387904.0 * 6.4e-4) + float(step(rng)) * 2.5e8f);
            return rng() % 2 ? v : -v;
        };
        return Point3Df(c(), c(), c());
    };
    auto wrap = [&](double) {  // crowded where the keys run 16380, 0, 1 (z 1e6 + y 1e4 near 16381)
        return Point3Df(6e-4f * unit(rng), 6e-4f * unit(rng), ulps(0.016381f + 1e-4f * (unit(rng) - 0.5f)));
    };
    auto mixed = [&](double t) {
        switch (rng() % 4) {
        case 0: return tiny(t);
        case 1: return dense(t);
        case 2: return far(t);
        default: return edge(t);
        }
    };
    struct Case {
        const char* name;
        std::function<Point3Df(double)> make;
        double tolerance;
    } cases[] = {
        {"tiny", tiny, 1e-5}, {"tiny 0", tiny, 0.0}, {"dense", dense, 1e-5}, {"far", far, 1e-5},
        {"far coarse", far, 1e9}, {"edge", edge, 1e-5}, {"wrap", wrap, 1e-5}, {"mixed", mixed, 1e-5},
    };
    for (const Case& c : cases) {
        FEMeshVertexHashC hash;
        hash.setTolerance(c.tolerance);
        std::vector<Point3Df> points;
        while (points.size() < 12000) {
            // Now and then a position met before, or beside one.
            const Point3Df p = points.empty() || rng() % 3 ? c.make(c.tolerance) : points[rng() % points.size()];
            points.push_back(rng() % 2 ? p : Point3Df(ulps(p.x()), p.y(), ulps(p.z())));
        }
        EXPECT_EQ(fillAgainstWalk(hash, points), 0) << c.name;
        EXPECT_TRUE(hash.hasIndex()) << c.name;
    }
}

// A grid narrowed in the middle of a fill: lookups made before it name cells of the first width,
// which the narrowed grid (split by chain) must not trust; the answers stay the walk's. The work a search does
// on a model within a few cells stays small (the fixed grid compared every vertex each time).
TEST(FEMeshVertexHash, CrowdedGridNarrowsItsCellsWithTheSameAnswers)
{
    std::mt19937 rng(1618);
    std::uniform_real_distribution<float> unit(0.0f, 6e-4f);
    FEMeshVertexHashC hash;
    const double wide = 64 * hash.getTolerance();
    std::vector<Point3Df> points;
    std::vector<FEMeshVertexHashC::Lookup> lookups;
    for (int i = 0; i < 60000; ++i) {
        points.push_back(Point3Df(unit(rng), unit(rng), unit(rng)));
        lookups.push_back(hash.lookupOf(points.back()));  // made ahead, before any narrowing
    }
    int differences = 0, staleUsed = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        const Point3Df& p = points[i];
        const bool narrowed = hash.hasIndex() && hash.gridCellSize() < wide;
        // Every other search repeats an earlier position with its lookup of the first width.
        const size_t j = i % 2 && i > 0 ? rng() % i : i;
        FEMeshVertexC* found = hash.find(points[j], lookups[j]);
        differences += found != (i < 20000 || i % 16 == 0 ? hash.findByScan(points[j]) : found);
        staleUsed += narrowed && lookups[j].oneCell;
        if (!found)
            hash.insert(hash.createVertex(points[j]), lookups[j]);
        if (i % 7 == 0) {
            hash.prefetch(lookups[i]);
            differences += hash.find(p, lookups[i]) != hash.findByScan(p);
        }
    }
    EXPECT_EQ(differences, 0);
    EXPECT_GT(staleUsed, 1000);
    EXPECT_GT(hash.entries(), 30000u);
    EXPECT_LT(hash.gridCellSize(), wide);
    const FEMeshVertexHashC::SearchCounts counts = hash.searchCounts();
    EXPECT_GT(counts.searches, 20000u);
    EXPECT_LT(counts.compared, 64 * counts.searches);

    // Vertices leave the narrowed grid where they were put (a vertex not found in its cell
    // would make the store drop the grid).
    for (size_t i = 0; i < points.size(); i += 97)
        if (FEMeshVertexC* v = hash.findByScan(points[i]))
            hash.destroyVertex(v);
    EXPECT_TRUE(hash.hasIndex());
    for (size_t i = 0; i < points.size(); i += 13)
        differences += hash.find(points[i]) != hash.findByScan(points[i]);
    EXPECT_EQ(differences, 0);
    EXPECT_LT(hash.gridCellSize(), wide);

    // Positions the grid cannot place are looked at by every search whatever the cells: many of
    // them beside a spread model leave its cells as wide as they were.
    FEMeshVertexHashC spread;
    std::uniform_real_distribution<float> wideUnit(0.0f, 1.0f);
    const float inf = std::numeric_limits<float>::infinity();
    for (int i = 0; i < 6000; ++i)
        spread.insert(spread.createVertex(Point3Df(wideUnit(rng), wideUnit(rng), wideUnit(rng))));
    for (int i = 0; i < 200; ++i)
        spread.insert(spread.createVertex(Point3Df(inf, wideUnit(rng), i % 2 ? -inf : wideUnit(rng))));
    for (int i = 0; i < 4000; ++i) {
        const Point3Df p(wideUnit(rng), wideUnit(rng), wideUnit(rng));
        differences += spread.find(p) != spread.findByScan(p);
    }
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(spread.gridCellSize(), wide);
}

// The cells stay a sound width for every finite tolerance: a search spans a few cells, and the
// answers are the walk's, up to the largest double. (Vertices are stored without merging: with
// a huge tolerance every search would find the first.)
TEST(FEMeshVertexHash, GridCellsSuitEveryTolerance)
{
    std::mt19937 rng(577);
    std::uniform_real_distribution<float> unit(-1e6f, 1e6f);
    for (const double tolerance : {1e-300, 1e300, 3e306, std::numeric_limits<double>::max()}) {
        FEMeshVertexHashC hash;
        hash.setTolerance(tolerance);
        for (int i = 0; i < 6000; ++i)
            hash.insert(hash.createVertex(Point3Df(unit(rng), unit(rng), unit(rng))));
        int differences = 0;
        for (int i = 0; i < 3000; ++i) {
            const Point3Df p(unit(rng), unit(rng), unit(rng));
            differences += hash.find(p, hash.lookupOf(p)) != hash.findByScan(p);
        }
        EXPECT_EQ(differences, 0) << tolerance;
        EXPECT_GE(hash.gridCellSize(), tolerance) << tolerance;
    }
}
