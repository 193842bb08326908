// Tests of FETriangleCollectorC and FETessVertexHashC: primitive unrolling, merging and numbering.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "geometry/display/FETriangleCollectorC.h"

namespace {

const Point3D kUp(0, 0, 1);

// The triangles of a collector as lists of corner positions.
std::vector<std::vector<Point3D>> cornersOf(FETriangleCollectorC& c)
{
    std::vector<std::vector<Point3D>> out;
    auto it = c.getTriangleIterator();
    while (++it)
        out.push_back({it.key()->getPosition(0), it.key()->getPosition(1), it.key()->getPosition(2)});
    return out;
}

}  // namespace

TEST(FETriangleCollectorCTest, PrimitivesUnrollIntoTrianglesInTheirOrder)
{
    const Point3D a(0, 0, 0), b(1, 0, 0), c(0, 1, 0), d(1, 1, 0), e(0, 2, 0);
    struct Case {
        int mode;
        std::vector<Point3D> vertices;
        std::vector<std::vector<Point3D>> expected;
    } cases[] = {
        {FETriangleCollectorC::TRIANGLES, {a, b, c, b, d, c}, {{a, b, c}, {b, d, c}}},
        {FETriangleCollectorC::STRIP, {a, b, c, d, e}, {{a, b, c}, {c, b, d}, {c, d, e}}},
        {FETriangleCollectorC::FAN, {a, b, d, c}, {{a, b, d}, {a, d, c}}},
        {FETriangleCollectorC::IGNORE, {a, b, c}, {}},
    };
    for (const Case& k : cases) {
        FETriangleCollectorC collector(16);
        collector.beginPrimitive(k.mode);
        for (const Point3D& v : k.vertices)
            EXPECT_EQ(collector.addVertex(v, kUp), k.mode != FETriangleCollectorC::IGNORE);
        EXPECT_EQ(cornersOf(collector), k.expected) << "mode " << k.mode;
    }
}

TEST(FETriangleCollectorCTest, ZeroAreaTrianglesAreDroppedAndPositionsMerged)
{
    FETriangleCollectorC collector(16384);
    collector.beginPrimitive(FETriangleCollectorC::TRIANGLES);
    // Collinear, a repeated corner, and two corners 5e-8 apart (merged into one node).
    const Point3D rows[][3] = {
        {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}},
        {{0, 0, 0}, {1, 1, 0}, {0, 0, 0}},
        {{0, 0, 0}, {5e-8, 5e-8, 5e-8}, {0, 1, 0}},
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
        {{1, 0, 0}, {1, 1, 0}, {5e-8, 1 + 5e-8, 0}},
    };
    for (const auto& row : rows)
        for (const Point3D& p : row)
            collector.addVertex(p, kUp);
    ASSERT_EQ(collector.entries(), 2u);
    auto it = collector.getTriangleIterator();
    ASSERT_TRUE(++it);
    FETessTriangleC* first = it.key();
    ASSERT_TRUE(++it);
    FETessTriangleC* second = it.key();
    EXPECT_FALSE(++it);
    // The second triangle reuses the first one's (1, 0, 0) and (0, 1, 0) nodes.
    EXPECT_EQ(first->getPositionNode(1), second->getPositionNode(0));
    EXPECT_EQ(first->getPositionNode(2), second->getPositionNode(2));
    EXPECT_EQ(second->getPosition(2), Point3D(0, 1, 0));
    // One normal for every corner; the positions (0,0,0), (1,0,0), (2,0,0), (1,1,0), (0,1,0).
    EXPECT_EQ(collector.getNormalHash().entries(), 1u);
    EXPECT_EQ(collector.getPositionHash().entries(), 5u);
    EXPECT_EQ(first->getTriangleNumber(), -1);
}

TEST(FETriangleCollectorCTest, HashMergesWithinTolerancePerAxisOnly)
{
    struct Case {
        Point3D offset;
        bool merged;
    } cases[] = {
        {{5e-8, 5e-8, 5e-8}, true},   {{-9e-8, 0, 0}, true},    {{2e-7, 2e-7, 2e-7}, false},
        {{0, 2e-7, 0}, false},        {{0, 0, -2e-7}, false},
    };
    for (const Case& k : cases) {
        // 1000 buckets: the offsets here never leave the neighbouring buckets.
        FETessVertexHashC hash(1000);
        const Point3D base(0.25, 0.5, 0.125);
        FETessVertexNodeC* first = hash.findOrInsert(base);
        FETessVertexNodeC* second = hash.findOrInsert(base + k.offset);
        EXPECT_EQ(first == second, k.merged) << k.offset.x() << " " << k.offset.y() << " " << k.offset.z();
        EXPECT_EQ(hash.entries(), k.merged ? 1u : 2u);
    }
}

TEST(FETriangleCollectorCTest, GridSearchFindsWhatTheChainWalkFinds)
{
    // Near neighbours across cell borders, buckets that wrap, and far-away points.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(-2.0, 2.0);
    std::uniform_int_distribution<int> jitter(-3, 3);
    FETessVertexHashC grid(97), walk(97);
    walk.setIndexEnabled(false);
    std::vector<Point3D> seen;
    for (int i = 0; i < 20000; ++i) {
        Point3D p;
        if (!seen.empty() && i % 5 == 1) {
            p = seen[rng() % seen.size()];  // an exact repeat
        } else if (!seen.empty() && i % 3 == 0) {
            const Point3D& s = seen[rng() % seen.size()];
            p = Point3D(s.x() + jitter(rng) * 4e-8, s.y() + jitter(rng) * 4e-8, s.z() + jitter(rng) * 4e-8);
        } else {
            p = Point3D(coord(rng) * 1e-6, coord(rng), i % 50 == 0 ? 3e9 : coord(rng));
        }
        seen.push_back(p);
        FETessVertexNodeC* a = grid.findOrInsert(p);
        FETessVertexNodeC* b = walk.findOrInsert(p);
        ASSERT_EQ(a->getPoint(), b->getPoint()) << i;
        ASSERT_EQ(grid.entries(), walk.entries()) << i;
    }
    EXPECT_EQ(grid.numberAll(), walk.numberAll());
    for (size_t bucket = 0; bucket < grid.buckets(); ++bucket) {
        FETessVertexNodeC* a = grid.getBucketHead(bucket);
        FETessVertexNodeC* b = walk.getBucketHead(bucket);
        for (; a && b; a = a->getNext(), b = b->getNext())
            ASSERT_EQ(a->getPoint(), b->getPoint());
        EXPECT_EQ(a, nullptr);
        EXPECT_EQ(b, nullptr);
    }
}

TEST(FETriangleCollectorCTest, NumberingCopyAndClear)
{
    FETriangleCollectorC collector(64);
    collector.beginPrimitive(FETriangleCollectorC::FAN);
    for (const Point3D& p : {Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(1, 1, 0), Point3D(0, 1, 0)})
        collector.addVertex(p, kUp);
    collector.numberAll();
    int expected = 0;
    auto it = collector.getTriangleIterator();
    while (++it)
        EXPECT_EQ(it.key()->getTriangleNumber(), expected++);
    // No triangulation runs: the triangles carry face number 0, the last triangle wins.
    EXPECT_EQ(collector.triangleIndexOfFace(0), 1);
    EXPECT_EQ(collector.triangleIndexOfFace(5), -1);

    std::vector<int> indices;
    for (size_t b = 0; b < collector.getPositionHash().buckets(); ++b)
        for (FETessVertexNodeC* n = collector.getPositionHash().getBucketHead(b); n; n = n->getNext())
            indices.push_back(n->getIndex());
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3}));

    FETriangleCollectorC copy(16);
    copy.copyFrom(collector);
    EXPECT_EQ(cornersOf(copy), cornersOf(collector));
    copy.copyFrom(copy);  // a copy of itself changes nothing
    EXPECT_EQ(copy.entries(), 2u);

    collector.clear();
    EXPECT_EQ(collector.entries(), 0u);
    EXPECT_EQ(collector.getPositionHash().entries(), 0u);
    EXPECT_EQ(collector.triangleIndexOfFace(0), -1);
    EXPECT_EQ(copy.entries(), 2u);
}
