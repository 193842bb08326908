// Tests of the sweep triangulator: its triangles cover exactly the region of the rings, once, and it
// refuses rings that touch or cross; large flat faces go through it with the tessellator's picture.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/display/FESweepTriangulatorC.h"
#include "geometry/display/FETriangleCollectorC.h"
#include "geometry/mesh/FEMeshPartC.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

using Ring = std::vector<Point2D>;

double cross(const Point2D& a, const Point2D& b, const Point2D& c)
{
    return (b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x());
}

// Inside an odd number of rings.
bool insideRegion(const std::vector<Ring>& rings, const Point2D& q)
{
    bool inside = false;
    for (const Ring& r : rings)
        for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
            if ((r[i].y() > q.y()) != (r[j].y() > q.y()) &&
                q.x() < (r[j].x() - r[i].x()) * (q.y() - r[i].y()) / (r[j].y() - r[i].y()) + r[i].x())
                inside = !inside;
    return inside;
}

// Triangulates the rings and checks that every sample point is covered once inside the region and
// never outside, and that every triangle turns counter-clockwise. Unless `mustAccept`, a refusal
// passes too.
void expectExactCover(const std::vector<Ring>& rings, int samples, unsigned seed, bool mustAccept = true)
{
    std::vector<Point2D> points;
    std::vector<uint32_t> starts, triangles;
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (const Ring& r : rings) {
        starts.push_back(uint32_t(points.size()));
        for (const Point2D& p : r) {
            points.push_back(p);
            minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
            minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
        }
    }
    FESweepTriangulatorC sweep;
    const bool accepted = sweep.triangulate(points, starts, triangles);
    if (!mustAccept && !accepted)
        return;
    ASSERT_TRUE(accepted);
    ASSERT_EQ(triangles.size() % 3, 0u);
    for (size_t t = 0; t < triangles.size(); t += 3)
        EXPECT_GE(cross(points[triangles[t]], points[triangles[t + 1]], points[triangles[t + 2]]), 0.0);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> ux(minX, maxX), uy(minY, maxY);
    int wrong = 0;
    for (int s = 0; s < samples; ++s) {
        const Point2D q(ux(rng), uy(rng));
        int cover = 0;
        for (size_t t = 0; t < triangles.size(); t += 3) {
            const Point2D &a = points[triangles[t]], &b = points[triangles[t + 1]], &c = points[triangles[t + 2]];
            if (cross(a, b, q) > 0 && cross(b, c, q) > 0 && cross(c, a, q) > 0)
                ++cover;
        }
        wrong += cover != (insideRegion(rings, q) ? 1 : 0);
    }
    EXPECT_EQ(wrong, 0);
}

Ring circle(double cx, double cy, double r, int n, bool clockwise, double wobble = 0.0, int lobes = 0)
{
    Ring ring;
    for (int k = 0; k < n; ++k) {
        const double a = 2.0 * kPi * (clockwise ? n - k : k) / n;
        const double rr = r * (1.0 + wobble * std::sin(lobes * a));
        ring.emplace_back(cx + rr * std::cos(a), cy + rr * std::sin(a));
    }
    return ring;
}

Ring zigzagStar(int n, double inner, double outer)
{
    Ring ring;
    for (int k = 0; k < n; ++k) {
        const double a = 2.0 * kPi * k / n, r = (k % 2) ? outer : inner;
        ring.emplace_back(r * std::cos(a), r * std::sin(a));
    }
    return ring;
}

// A comb: teeth hanging down from a bar, with horizontal runs (corners at equal heights).
Ring comb(int teeth)
{
    Ring ring;
    ring.emplace_back(0, 0);
    for (int t = 0; t < teeth; ++t) {
        ring.emplace_back(2.0 * t + 1.0, 0);
        ring.emplace_back(2.0 * t + 1.0, 5);
        ring.emplace_back(2.0 * t + 2.0, 5);
        ring.emplace_back(2.0 * t + 2.0, 0);
    }
    ring.emplace_back(2.0 * teeth + 1.0, 0);
    ring.emplace_back(2.0 * teeth + 1.0, 10);
    ring.emplace_back(0, 10);
    return ring;
}

TEST(FESweepTriangulator, TrianglesCoverTheRegionOfTheRingsExactlyOnce)
{
    Ring randomStar;
    {
        std::mt19937 rng(3);
        std::uniform_real_distribution<double> r(5.0, 50.0);
        for (int k = 0; k < 500; ++k) {
            const double a = 2.0 * kPi * k / 500;
            const double rr = r(rng);
            randomStar.emplace_back(rr * std::cos(a), rr * std::sin(a));
        }
    }
    Ring spiral;
    for (int k = 0; k <= 400; ++k) {
        const double a = 0.05 * k, r = 1.0 + 0.5 * a;
        spiral.emplace_back(r * std::cos(a), r * std::sin(a));
    }
    for (int k = 400; k >= 0; --k) {
        const double a = 0.05 * k, r = 1.6 + 0.5 * a;
        spiral.emplace_back(r * std::cos(a), r * std::sin(a));
    }
    std::vector<Ring> perforated = {circle(0, 0, 100, 300, false)};
    for (int i = -3; i <= 3; ++i)
        for (int j = -3; j <= 3; ++j)
            perforated.push_back(circle(20.0 * i, 20.0 * j, 6, 12 + ((i + j) & 3), (i + j) % 2 != 0, 0.2, 3));
    const std::vector<std::vector<Ring>> cases = {
        {zigzagStar(1000, 90, 100)},
        {zigzagStar(1000, 90, 100), circle(0, 0, 40, 50, true)},  // with a hole
        {circle(0, 0, 50, 200, true, 0.3, 7), circle(0, 0, 20, 40, false), circle(0, 0, 10, 30, true)},  // island
        {randomStar},
        {spiral},
        {comb(40)},
        perforated,
        {circle(0, 0, 10, 40, false), circle(30, 0, 10, 40, true)},  // two separate outlines
    };
    for (size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(c);
        expectExactCover(cases[c], 400, unsigned(c));
    }
}

// Random rings on a small grid: many crossings, touches and corners in a row or at one height.
// Whatever the sweep accepts it covers exactly.
TEST(FESweepTriangulator, RandomRingsAreRefusedOrCoveredExactly)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coordinate(0, 12), size(3, 9), ringCount(1, 3);
    int accepted = 0;
    for (int c = 0; c < 3000; ++c) {
        std::vector<Ring> rings(size_t(ringCount(rng)));
        for (Ring& r : rings)
            for (int k = size(rng); k > 0; --k)
                r.emplace_back(coordinate(rng), coordinate(rng));
        std::vector<Point2D> points;
        std::vector<uint32_t> starts, triangles;
        for (const Ring& r : rings) {
            starts.push_back(uint32_t(points.size()));
            points.insert(points.end(), r.begin(), r.end());
        }
        FESweepTriangulatorC sweep;
        if (!sweep.triangulate(points, starts, triangles))
            continue;
        ++accepted;
        SCOPED_TRACE(c);
        expectExactCover(rings, 60, unsigned(c), false);
        if (HasFailure())
            break;
    }
    EXPECT_GT(accepted, 100);
}

TEST(FESweepTriangulator, RefusesRingsThatTouchCrossOrShareCorners)
{
    const std::vector<std::vector<Ring>> cases = {
        {{{0, 0}, {10, 10}, {10, 0}, {0, 10}}},                          // a bow tie
        {circle(0, 0, 10, 40, false), circle(5, 0, 10, 40, false)},       // overlapping outlines
        {{{0, 0}, {10, 0}, {10, 10}, {5, 0.0}, {0, 10}}},                 // a corner on an edge
        {{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{0, 0}, {5, 5}, {0, 5}}},  // a shared corner
        {{{0, 0}, {10, 0}, {20, 0}}},                                     // no area
    };
    for (size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(c);
        std::vector<Point2D> points;
        std::vector<uint32_t> starts, triangles{1, 2, 3};
        for (const Ring& r : cases[c]) {
            starts.push_back(uint32_t(points.size()));
            points.insert(points.end(), r.begin(), r.end());
        }
        FESweepTriangulatorC sweep;
        EXPECT_FALSE(sweep.triangulate(points, starts, triangles));
        EXPECT_TRUE(triangles.empty());
    }
}

// A large flat face goes through the sweep, a small one through the tessellator: both give the
// face's area, triangles facing along the face normal for either direction of it, and the corner
// normals of the face.
TEST(FESweepTriangulator, LargeFlatFacesKeepTheirPicture)
{
    for (const double signedCorners : {1000.0, 6000.0, -1000.0, -6000.0}) {
        const int n = int(std::fabs(signedCorners));
        const double side = signedCorners > 0 ? 1.0 : -1.0;
        SCOPED_TRACE(signedCorners);
        FEMeshPartC part;
        std::vector<Point3D> outline;
        double area = 0;
        for (int k = 0; k < n; ++k) {
            const double a = 2.0 * kPi * k / n * side, r = (k % 2) ? 100.0 : 90.0;
            outline.emplace_back(r * std::cos(a), 5.0, r * std::sin(a));
        }
        for (int k = 0; k < n; ++k) {
            const Point3D &p = outline[size_t(k)], &q = outline[size_t((k + 1) % n)];
            area += 0.5 * (p.z() * q.x() - q.z() * p.x());
        }
        // Corners run counter-clockwise about (0, side, 0) seen from the normal's side.
        const Point3D normal(0, side, 0);
        part.addFace(outline.data(), outline.size(), normal, nullptr, 15.0f, 0);
        part.endFace();
        part.smoothNormals();
        FETriangleCollectorC collector(4096);
        part.triangulate(&collector);
        EXPECT_EQ(collector.entries(), size_t(n - 2));
        double total = 0, wrongWay = 0;
        for (auto it = collector.getTriangleIterator(); ++it;) {
            const FETessTriangleC* t = it.key();
            const Point3D c = crossProduct(t->getPosition(1) - t->getPosition(0), t->getPosition(2) - t->getPosition(0));
            const double facing = dotProduct(c, normal);
            total += 0.5 * std::fabs(facing);
            wrongWay += facing < 0;
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(t->getNormal(k), Point3D(part.getFirstFace()->getNormal()));
        }
        EXPECT_EQ(wrongWay, 0);
        EXPECT_NEAR(total, std::fabs(area), 1e-6 * std::fabs(area));

        // Into a mesh: one triangle face per triangle, with the face's normal.
        FEMeshPartC triangles;
        part.triangulateInto(&triangles);
        EXPECT_EQ(triangles.getFaceCount(), size_t(n - 2));
        EXPECT_EQ(triangles.getFirstFace()->getNormal(), part.getFirstFace()->getNormal());
    }
}

}  // namespace

TEST(FESweepTriangulator, SweepOrderIsTheOrderOfThePointsThemselves)
{
    // Random points on a coarse grid, so that many share a height (and some a place), with
    // negative zeros beside zeros; then the same with points that are no number. Distinct
    // points have one sweep order; the order the sweep takes must be the one the points give
    // compared in place.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> cell(-6, 6);
    std::uniform_int_distribution<int> wide(-100000, 100000);
    int distinctRounds = 0;
    for (int round = 0; round < 200; ++round) {
        std::vector<Point2D> points;
        const int n = 1 + round * 3;
        for (int i = 0; i < n; ++i) {
            // Odd rounds: few places, many points on one spot; even rounds: few heights only.
            double x = (round % 2 == 1 ? cell(random) : wide(random)) * 0.5, y = cell(random) * 0.25;
            if (x == 0.0 && i % 2 == 1)
                x = -0.0;
            points.emplace_back(x, y);
        }
        if (round % 10 == 9)
            points[size_t(round) % points.size()] = Point2D(std::nan(""), 1.0);
        std::vector<uint32_t> reference(points.size());
        for (uint32_t i = 0; i < reference.size(); ++i)
            reference[i] = i;
        auto above = [&](uint32_t a, uint32_t b) {
            const Point2D &p = points[a], &q = points[b];
            return p.y() > q.y() || (p.y() == q.y() && p.x() < q.x());
        };
        std::sort(reference.begin(), reference.end(), above);
        std::vector<uint32_t> sorted;
        FESweepTriangulatorC::sortDownwards(points, sorted);
        ASSERT_EQ(sorted.size(), points.size());
        bool coincide = false;
        for (size_t i = 1; i < reference.size(); ++i)
            coincide = coincide || (!above(reference[i - 1], reference[i]) && !above(reference[i], reference[i - 1]));
        distinctRounds += !coincide;
        if (!coincide || round % 10 == 9) {
            // A total order (or the fall-back for points that are no number): the same numbers.
            EXPECT_EQ(sorted, reference) << "round " << round;
        } else {
            // Coinciding points stop the sweep; the rest keeps its order around them.
            for (size_t i = 1; i < sorted.size(); ++i)
                EXPECT_FALSE(above(sorted[i], sorted[i - 1])) << "round " << round;
        }
    }
    EXPECT_GT(distinctRounds, 60);
}
