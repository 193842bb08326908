#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/mesh/FEMeshLoopTree.h"
#include "math/Geometry2D.h"

namespace {

FEMeshLoopOutline outline(std::vector<Point2D> corners)
{
    FEMeshLoopOutline o;
    o.hasFirst = !corners.empty();
    if (o.hasFirst) {
        o.polygon = std::move(corners);
        o.polygon.push_back(o.polygon.front());
        o.first = o.polygon.front();
        o.measure();
    }
    return o;
}

FEMeshLoopOutline square(double x, double y, double size)
{
    return outline({{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}});
}

// A loop set that exercises what the grid could get wrong: nesting many levels deep, loops
// given before the loops around them, loops wider than the grid's cells, first corners on
// other loops' boundaries or within the boundary band, duplicates, loops without corners or
// with two, every loop on one line, and coordinates far from the origin.
std::vector<FEMeshLoopOutline> randomLoops(std::mt19937& random, int count)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<FEMeshLoopOutline> loops;
    const double offset = unit(random) < 0.2 ? 1e7 : 0.0;
    const bool flat = unit(random) < 0.1;
    while (int(loops.size()) < count) {
        const double kind = unit(random);
        const double x = offset + 100.0 * unit(random), y = flat ? offset : offset + 100.0 * unit(random);
        if (kind < 0.35) {
            loops.push_back(square(x, y, 0.5 + 3.0 * unit(random)));
        } else if (kind < 0.45) {
            // Rings around one centre, in no order.
            const double cx = x, cy = y;
            for (int r = 1 + int(6 * unit(random)); r > 0; --r)
                loops.push_back(square(cx - r, cy - r, 2.0 * r));
        } else if (kind < 0.55) {
            loops.push_back(square(offset + 10.0 * unit(random), offset, 60.0 + 40.0 * unit(random)));
        } else if (kind < 0.65 && !loops.empty()) {
            // A loop starting on, or just off, a corner of another loop, or at the edge of the
            // band around that corner's height.
            const FEMeshLoopOutline& other = loops[size_t(unit(random) * double(loops.size()))];
            const double nudges[] = {0.0, 1e-4, -1e-4, 5e-5, -5e-5, (unit(random) - 0.5) * 4e-4};
            const double nudge = nudges[size_t(unit(random) * 6)];
            const Point2D c = other.polygon.empty() ? Point2D(x, y)
                                                    : other.polygon[size_t(unit(random) * double(other.polygon.size()))];
            const double bx = c.x() + (unit(random) < 0.5 ? 0.0 : nudge), by = c.y() + nudge;
            loops.push_back(outline({{bx, by}, {bx + 1.0, by}, {bx + 1.0, by + 1.0}}));
        } else if (kind < 0.69) {
            // An outline of many corners (a comb along its bottom) round a strip where others lie.
            std::vector<Point2D> comb;
            const int teeth = 40 + int(unit(random) * 120);
            const double width = 20.0 + 60.0 * unit(random);
            for (int t = 0; t <= 2 * teeth; ++t)
                comb.push_back(Point2D(x + width * t / (2 * teeth), y + (t % 2 == 1 ? 0.5 : 0.0)));
            comb.push_back(Point2D(x + width, y + 3.0));
            comb.push_back(Point2D(x, y + 3.0));
            loops.push_back(outline(comb));
        } else if (kind < 0.72 && !loops.empty()) {
            loops.push_back(loops[size_t(unit(random) * double(loops.size()))]);
        } else if (kind < 0.76) {
            loops.push_back(outline({}));
        } else if (kind < 0.80) {
            loops.push_back(outline({{x, y}, {x + 1.0, y + 1.0}}));
        } else {
            // A triangle, either way round.
            const double s = 0.5 + 5.0 * unit(random);
            if (unit(random) < 0.5)
                loops.push_back(outline({{x, y}, {x + s, y}, {x, y + s}}));
            else
                loops.push_back(outline({{x, y}, {x, y + s}, {x + s, y}}));
        }
    }
    loops.resize(size_t(count));
    if (flat)
        for (FEMeshLoopOutline& l : loops) {
            for (Point2D& p : l.polygon)
                p = Point2D(p.x(), offset);
            if (l.hasFirst) {
                l.first = l.polygon.front();
                l.measure();
            }
        }
    return loops;
}

void expectSameTree(const std::vector<FEMeshLoopOutline>& loops, const char* what)
{
    std::vector<FEMeshLoopTreeNode> scanned, indexed;
    const int scannedRoots = BuildLoopTreeByScan(loops, scanned);
    const int indexedRoots = BuildLoopTree(loops, indexed);
    ASSERT_EQ(indexedRoots, scannedRoots) << what;
    for (size_t i = 0; i < loops.size(); ++i) {
        ASSERT_EQ(indexed[i].firstChild, scanned[i].firstChild) << what << ", loop " << i;
        ASSERT_EQ(indexed[i].nextSibling, scanned[i].nextSibling) << what << ", loop " << i;
    }
}

}  // namespace

TEST(FEMeshLoopTree, TheGridGivesTheScansTreeWhateverTheLoops)
{
    std::mt19937 random(20261208);
    for (int trial = 0; trial < 300; ++trial) {
        const int count = trial < 20 ? 1 + trial : 64 + int(random() % 400);
        const std::vector<FEMeshLoopOutline> loops = randomLoops(random, count);
        expectSameTree(loops, ("trial " + std::to_string(trial)).c_str());
    }
}

TEST(FEMeshLoopTree, AFaceWithManyHolesAndIslands)
{
    // An outer square, then holes and, inside every other hole, an island, all shuffled (the
    // outer square among them): holes go under the square, islands under their holes.
    std::vector<FEMeshLoopOutline> loops;
    loops.push_back(square(0, 0, 100));
    for (int i = 0; i < 30; ++i)
        for (int j = 0; j < 30; ++j) {
            loops.push_back(square(1 + 3.3 * i, 1 + 3.3 * j, 3));
            if ((i + j) % 2 == 0)
                loops.push_back(square(2 + 3.3 * i, 2 + 3.3 * j, 1));
        }
    std::mt19937 random(7);
    std::shuffle(loops.begin(), loops.end(), random);
    expectSameTree(loops, "shuffled");

    std::vector<FEMeshLoopTreeNode> nodes;
    const int roots = BuildLoopTree(loops, nodes);
    ASSERT_NE(roots, -1);
    EXPECT_EQ(nodes[size_t(roots)].nextSibling, -1);  // the outer square alone at the top
    int holes = 0, islands = 0;
    for (int h = nodes[size_t(roots)].firstChild; h != -1; h = nodes[size_t(h)].nextSibling) {
        ++holes;
        for (int c = nodes[size_t(h)].firstChild; c != -1; c = nodes[size_t(c)].nextSibling)
            ++islands;
    }
    EXPECT_EQ(holes, 900);
    EXPECT_EQ(islands, 450);
}

TEST(FEMeshLoopTree, RingsNestedDeepInEitherOrder)
{
    // Every ring around the first corners of all inside it: the grid's loops around a corner
    // are many levels deep, and a ring given after its inner rings takes them over. Two
    // overlapping rings of each size, neither holding the other's first corner (siblings that
    // both hold what is inside), with triangles between.
    std::vector<FEMeshLoopOutline> loops;
    for (int i = 0; i < 300; ++i) {
        loops.push_back(square(i, i, 2.0 * (300 - i)));
        loops.push_back(square(i - 0.25, i + 0.25, 2.0 * (300 - i)));
        if (i % 7 == 0)
            loops.push_back(outline({{i + 0.2, i + 0.3}, {i + 0.4, i + 0.3}, {i + 0.2, i + 0.45}}));
    }
    expectSameTree(loops, "outside in");
    std::reverse(loops.begin(), loops.end());
    expectSameTree(loops, "inside out");
    std::mt19937 random(11);
    std::shuffle(loops.begin(), loops.end(), random);
    expectSameTree(loops, "shuffled");
}

TEST(FEMeshLoopTree, ALoopHoldsAnotherExactlyWhenThePointTestSaysSo)
{
    // Two loops: the second goes under the first exactly when the point test, measuring the
    // polygon for itself, finds the second's first corner inside the first. The extents the
    // tree keeps must never turn that answer, whatever the coordinates.
    const double nan = std::nan("");
    std::mt19937 random(31);
    std::vector<FEMeshLoopOutline> loops = randomLoops(random, 150);
    const std::vector<FEMeshLoopOutline> odd = {
        outline({{2, nan}, {2, 5}, {0, 5}}),          // first corner's y not a number
        outline({{0, 5}, {2, nan}, {2, 5}}),
        outline({{1, 0}, {2, 0}, {2, 1}}),
        outline({{nan, 0}, {4, -1}, {4, 1}}),
        outline({{-1, -1}, {3, -1}, {3, 3}, {-1, 3}}),
        outline({{HUGE_VAL, 0}, {HUGE_VAL, 2}, {-HUGE_VAL, 1}}),
        outline({{HUGE_VAL, -1}, {HUGE_VAL, 1}}),
        outline({{0, HUGE_VAL}, {4, -HUGE_VAL}, {4, HUGE_VAL}}),
        outline({{1e300, 0}, {3e300, -1}, {3e300, 1}}),
        outline({{2e300, 0}, {3e300, -1}, {3e300, 1}}),
        outline({{1.5e300, 0}, {1.6e300, 0}, {1.6e300, 1}}),
        outline({{1, 1e-4}, {3, 1e-4}, {3, 2}}),       // corners exactly one band from a point
        outline({{0, -1e-4}, {3, -1e-4}, {3, 1e-4}, {0, 1e-4}}),
    };
    loops.insert(loops.end(), odd.begin(), odd.end());
    std::vector<FEMeshLoopTreeNode> nodes;
    for (const FEMeshLoopOutline& a : loops)
        for (const FEMeshLoopOutline& b : loops) {
            const bool inside = b.hasFirst && !a.polygon.empty() &&
                                pointInPolygon(a.polygon.data(), int(a.polygon.size()), b.first, nullptr, nullptr,
                                               1e-4) == 0;
            BuildLoopTreeByScan({a, b}, nodes);
            ASSERT_EQ(nodes[0].firstChild == 1, inside)
                << "(" << b.first.x() << ", " << b.first.y() << ") in a loop from (" << a.first.x() << ", "
                << a.first.y() << ")";
        }
}
