// Tests of the 2D functions: angles, line and segment intersection, point in polygon.
#include "math/Geometry2D.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

TEST(Geometry2DTest, AnglesLieInZeroExclusiveTo360) {
    struct Case {
        double x, y, degrees;
    } cases[] = {{1, 0, 360.0}, {0, 1, 90.0}, {0, -1, 270.0}, {-1, 0, 180.0}, {1, -1, 315.0},
                 {0, 0, 90.0},  {1, 1, 45.0}, {-1, 1, 135.0}, {-1, -1, 225.0}};
    for (const Case& c : cases) {
        EXPECT_NEAR(angleFromComponents(c.x, c.y), c.degrees, 1e-12) << c.x << "," << c.y;
        EXPECT_NEAR(angleOfVector(Point2D(c.x, c.y)), c.degrees, 1e-12);
    }
    const Point2D d = directionFromAngle(90.0);
    EXPECT_NEAR(d.x(), 0.0, 1e-15);
    EXPECT_NEAR(d.y(), 1.0, 1e-15);
    EXPECT_NEAR(angleOfVector(directionFromAngle(200.0)), 200.0, 1e-9);
}

TEST(Geometry2DTest, LineIntersectionAndHelpers) {
    EXPECT_EQ(lineIntersection2D(Point2D(0, 0), Point2D(1, 0), Point2D(1, -1), Point2D(0, 1)), Point2D(1, 0));
    // Parallel lines: the midpoint of the two base points.
    EXPECT_EQ(lineIntersection2D(Point2D(0, 0), Point2D(1, 0), Point2D(2, 4), Point2D(3, 0)), Point2D(1, 2));
    EXPECT_EQ(cross2D(Point2D(1, 0), Point2D(0, 1)), 1.0);
    EXPECT_EQ(scalePoint2D(2, Point2D(1, -3)), Point2D(2, -6));

    struct Case {
        Point2D a, b;
        int result;
    } cases[] = {{{2, 0}, {1, 5}, 1},     {{0, 5}, {1, 0}, -1}, {{1, 2}, {1.05, 1}, 1},
                 {{1, 1}, {1.05, 2}, -1}, {{1, 1}, {1.05, 0.95}, 0}};
    for (const Case& c : cases) EXPECT_EQ(compareWithTolerance2D(c.a, c.b, 0.1), c.result);
}

TEST(Geometry2DTest, SegmentIntersectionClassifiesEnds) {
    struct Case {
        Point2D a, b, c, d;
        int result;
    } cases[] = {
        {{0, 0}, {2, 2}, {0, 2}, {2, 0}, 1},  // crossing at the midpoints
        {{0, 0}, {2, 0}, {1, 0}, {1, 2}, 2},  // meeting at an end of one
        {{0, 0}, {1, 0}, {1, 0}, {1, 1}, 3},  // sharing an end
        {{0, 0}, {1, 0}, {0, 1}, {1, 1}, 0},  // parallel
        {{0, 0}, {1, 1}, {3, 0}, {2, 1}, 0},  // lines cross outside the segments
    };
    for (const Case& c : cases) {
        Point2D out(-9, -9);
        EXPECT_EQ(segmentIntersection2D(c.a, c.b, c.c, c.d, out, 1e-6), c.result);
        if (c.result == 1) {
            EXPECT_EQ(out, Point2D(1, 1));
        }
    }
}

TEST(Geometry2DTest, CheckedSegmentIntersection) {
    Point2D out;
    EXPECT_EQ(segmentIntersection2DChecked(Point2D(0, 0), Point2D(2, 2), Point2D(5, 5), Point2D(0.001, 0), out, 0.01), 3);
    EXPECT_EQ(out, Point2D(0, 0));
    EXPECT_EQ(segmentIntersection2DChecked(Point2D(0, 0), Point2D(2, 2), Point2D(2, 2.001), Point2D(5, 7), out, 0.01), 3);
    EXPECT_EQ(out, Point2D(2, 2));
    // Nearly parallel: refused by the checked form, a crossing for the plain one.
    const Point2D a(0, 0), b(1, 0), c(0.2, -0.00001), d(0.8, 0.00001);
    EXPECT_EQ(segmentIntersection2DChecked(a, b, c, d, out, 0.01), 0);
    EXPECT_EQ(segmentIntersection2D(a, b, c, d, out, 0.01), 1);
    EXPECT_EQ(segmentIntersection2DChecked(Point2D(0, 0), Point2D(2, 2), Point2D(0, 2), Point2D(2, 0), out, 0.01), 1);
}

TEST(Geometry2DTest, PointInUnitSquare) {
    const Point2D square[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    struct Case {
        Point2D p;
        int result;
    } cases[] = {
        {{0.5, 0.5}, 0}, {{1.5, 0.5}, 2}, {{-0.5, 0.5}, 2}, {{1.0, 0.5}, 1}, {{0.0, 0.5}, 1},
        {{0.5, 0.0}, 1}, {{0.5, 1.0}, 1}, {{0.5, 1.5}, 2},  {{0.5, -0.5}, 2}, {{0.999, 0.001}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pointInPolygon(square, 4, c.p, nullptr, nullptr, 1e-6), c.result) << c.p.x() << "," << c.p.y();
    const double xmin = 0, xmax = 1;
    EXPECT_EQ(pointInPolygon(square, 4, Point2D(0.5, 0.5), &xmin, &xmax, 1e-6), 0);
    EXPECT_EQ(pointInPolygon(square, 4, Point2D(1.5, 0.5), &xmin, &xmax, 1e-6), 2);
    const double narrow = 0.4;  // the caller's range is trusted
    EXPECT_EQ(pointInPolygon(square, 4, Point2D(0.5, 0.5), &xmin, &narrow, 1e-6), 2);
}

TEST(Geometry2DTest, DegeneratePolygonsAreOutside) {
    const Point2D two[] = {{0, 0}, {1, 1}};
    EXPECT_EQ(pointInPolygon(two, 2, Point2D(0.5, 0.5), nullptr, nullptr, 1e-6), 2);
    EXPECT_EQ(pointInPolygon(nullptr, 0, Point2D(0, 0), nullptr, nullptr, 1e-6), 2);
    // Every vertex in the ray's band: a flat polygon.
    const Point2D flat[] = {{0, 0}, {1, 0}, {2, 0}};
    EXPECT_EQ(pointInPolygon(flat, 3, Point2D(0.5, 0.0), nullptr, nullptr, 1e-6), 2);
}

TEST(Geometry2DTest, PointInConcavePolygon) {
    // A U shape open at the top between x = 1 and x = 2.
    const Point2D u[] = {{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
    struct Case {
        Point2D p;
        int result;
    } cases[] = {
        {{0.5, 2}, 0}, {{1.5, 2}, 2}, {{2.5, 2}, 0},   {{1.5, 0.5}, 0},
        {{1.5, 1}, 1}, {{2, 2}, 1},   {{1.5, 3.5}, 2}, {{0.5, 1}, 0},  // the ray runs along the notch bottom
    };
    for (const Case& c : cases)
        EXPECT_EQ(pointInPolygon(u, 8, c.p, nullptr, nullptr, 1e-6), c.result) << c.p.x() << "," << c.p.y();
}

TEST(Geometry2DTest, RayThroughVertex) {
    // The polygon passes from below to above through (1, 0), right of p: one crossing.
    const Point2D diamond[] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
    EXPECT_EQ(pointInPolygon(diamond, 4, Point2D(-0.5, 0), nullptr, nullptr, 1e-6), 0);
    EXPECT_EQ(pointInPolygon(diamond, 4, Point2D(0.5, 0), nullptr, nullptr, 1e-6), 0);
    // The notch vertex (2, 0) touches the ray and turns back: no crossing there.
    const Point2D notch[] = {{0, -1}, {4, -1}, {4, 2}, {2, 0}, {0, 2}};
    EXPECT_EQ(pointInPolygon(notch, 5, Point2D(0.5, 0), nullptr, nullptr, 1e-6), 0);
    EXPECT_EQ(pointInPolygon(notch, 5, Point2D(2, 1), nullptr, nullptr, 1e-6), 2);
}

TEST(Geometry2DTest, PolygonBandsAnswerAsThePlainTest) {
    // Polygons of many corners on a few heights (horizontal edges, corners exactly on and just
    // off the band around a point's ray, repeated corners), closed by repeating the first corner
    // or not, against points on corners, at the band's edges, off the ends and in between. Some
    // lie far from the origin, some span more than a double holds or less than a band can split;
    // some tolerances are wider than a band, zero or unusable; a few polygons are too short or
    // have a corner that is not finite, and a few points have a coordinate that is not finite.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double nan = std::nan(""), inf = HUGE_VAL;
    const double tolerances[] = {1e-4, 1e-4, 1e-4, 0.0, 2.0, -0.5, nan};
    const double scales[] = {10.0, 10.0, 10.0, 1e6, 2e-323, 1.7e308};
    const double offsets[] = {0.0, 0.0, 0.0, 1e12};
    for (int trial = 0; trial < 300; ++trial) {
        // Some polygons have 64 corners on whole heights from 0 to 16: sixteen bands of height 1,
        // so a tolerance of 1/4 puts the ends of a point's band exactly on corners and band ends.
        const bool onGrid = trial % 10 == 9;
        const double tol = onGrid ? 0.25 : tolerances[size_t(trial) % 7];
        const double scale = onGrid ? 16.0 : scales[size_t(trial / 7) % 6];
        const double offset = scale < 1e7 && !onGrid ? offsets[size_t(trial / 42) % 4] : 0.0;
        const int corners = onGrid ? 64 : trial % 50 == 3 ? trial % 3 : 3 + int(unit(random) * 300);
        std::vector<Point2D> pts;
        for (int i = 0; i < corners; ++i) {
            const double level = onGrid ? std::floor(unit(random) * 17) : std::floor(unit(random) * 6) * (scale / 6);
            const double y = unit(random) < 0.7 || onGrid ? level : scale * (1.5 * unit(random) - 0.5);
            if (!pts.empty() && unit(random) < 0.05)
                pts.push_back(pts.back());
            else
                pts.push_back(Point2D(scale * unit(random), offset + y));
        }
        if (onGrid) {
            pts[0].y() = 0.0;
            pts[1].y() = 16.0;
        }
        if (trial % 2 == 0 && !pts.empty())
            pts.push_back(pts.front());
        if (trial % 23 == 5)
            pts[size_t(unit(random) * double(pts.size()))].y() = trial % 2 ? inf : nan;
        double xmin = 1e300, xmax = -1e300;
        for (const Point2D& q : pts) {
            xmin = std::min(xmin, q.x());
            xmax = std::max(xmax, q.x());
        }
        const PolygonBands bands(pts.data(), int(pts.size()), tol);
        const double step = std::isfinite(tol) ? tol : 1e-4;
        for (int k = 0; k < 300 && !pts.empty(); ++k) {
            const Point2D& c = pts[size_t(unit(random) * double(pts.size()))];
            // The point's band edge exactly on the corner, as rounding makes it.
            const double onTop = std::nextafter(c.y() + step, inf) - c.y();
            const double onBottom = std::nextafter(c.y() - step, -inf) - c.y();
            const double dys[] = {0.0, step, -step, step / 2, -step / 2, 2 * step, onTop, onBottom,
                                  unit(random) * scale / 10};
            const double dy = dys[size_t(unit(random) * 9)];
            const double dx = unit(random) < 0.3 ? 0.0 : (unit(random) - 0.5) * scale / 5;
            Point2D p(c.x() + dx, c.y() + dy);
            if (k % 60 == 1)
                p.x() = nan;
            else if (k % 60 == 2)
                p.y() = k % 120 == 2 ? nan : inf;
            else if (k % 60 == 3)
                p.y() = offset + scale * 1e3;
            ASSERT_EQ(bands.locate(p, xmin, xmax), pointInPolygon(pts.data(), int(pts.size()), p, &xmin, &xmax, tol))
                << "trial " << trial << " tol " << tol << " point " << p.x() << "," << p.y();
        }
    }
}
