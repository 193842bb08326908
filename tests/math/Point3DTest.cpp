// Tests of the geometry value types Point3D, Point3Df and Point2D.
#include "math/Point3D.h"

#include <gtest/gtest.h>

TEST(Point3DTest, DivisionByExactZeroGivesOrigin) {
    EXPECT_EQ(Point3D(1, 2, 3) / 0.0, Point3D(0, 0, 0));
    EXPECT_EQ(Point3D(1, 2, 3) / -0.0, Point3D(0, 0, 0));
    EXPECT_EQ(Point3D(2, 4, 6) / 2.0, Point3D(1, 2, 3));
    Point3D p(1, 2, 3);
    p /= 0.0;  // the in-place form has no zero test
    EXPECT_TRUE(std::isinf(p.x()));
}

TEST(Point3DTest, NormalizedLeavesZeroVectorAlone) {
    EXPECT_EQ(Point3D().normalized(), Point3D());
    EXPECT_EQ(Point3D(0, 0, 2).normalized(), Point3D(0, 0, 1));
    EXPECT_EQ(Point3D(3, 0, 4).normalized(), Point3D(0.6, 0, 0.8));
    EXPECT_EQ(Point3Df().normalized(), Point3Df());
    EXPECT_EQ(Point3Df(0, 2, 0).normalized(), Point3Df(0, 1, 0));
}

TEST(Point3DTest, OrderIsLexicographicAndExact) {
    struct Case {
        Point3D a, b;
        bool less, greater;
    } cases[] = {
        {{1, 5, 0}, {2, 0, 0}, true, false},
        {{1, 0, 0}, {1, 0, 0}, false, false},
        {{1, 2, 3}, {1, 2, 4}, true, false},
        {{1, 3, 0}, {1, 2, 9}, false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a < c.b, c.less);
        EXPECT_EQ(c.a > c.b, c.greater);
    }
    EXPECT_FALSE(Point3D(1, 0, 0) == Point3D(1, 0, 1e-300));
}

TEST(Point3DTest, ComponentIndexBeyondTwoIsZ) {
    Point3D p(1, 2, 3);
    EXPECT_EQ(p.component(0), 1);
    EXPECT_EQ(p.component(1), 2);
    EXPECT_EQ(p.component(7), 3);
    p.component(-1) = 9;
    EXPECT_EQ(p.z(), 9);
}

TEST(Point3DTest, ProductsAndConversions) {
    const Point3D a(1, 2, 3), b(4, 5, 6);
    EXPECT_EQ(dotProduct(a, b), 32);
    EXPECT_EQ(crossProduct(a, b), Point3D(-3, 6, -3));
    EXPECT_EQ(a.cross(b), crossProduct(a, b));
    EXPECT_EQ(2.0 * a, Point3D(2, 4, 6));
    EXPECT_EQ(Point3D(Point2D(7, 8)), Point3D(7, 8, 0));
    EXPECT_EQ(Point3D(Point3Df(0.5f, 1.5f, 2.5f)), Point3D(0.5, 1.5, 2.5));
    EXPECT_EQ(Point3Df(Point3D(0.1, 0, 0)).x(), 0.1f);
    EXPECT_EQ(dotProduct(Point3Df(1, 2, 3), Point3Df(4, 5, 6)), 32.0);
    EXPECT_EQ(Point3Df(1, 2, 3) * 2.0f, Point3Df(2, 4, 6));
    EXPECT_EQ(Point3Df(1, 2, 3) - Point3Df(1, 1, 1), Point3Df(0, 1, 2));
}

TEST(Point3DTest, BoxGrowsFromHugeStartValues) {
    Point3D lo, hi;
    lo.resetForMin();
    hi.resetForMax();
    EXPECT_EQ(lo, Point3D(1e300, 1e300, 1e300));
    EXPECT_EQ(hi, Point3D(-1e300, -1e300, -1e300));
    lo = minPoint3D(lo, Point3D(1, 2, 3));
    hi = maxPoint3D(hi, Point3D(1, 2, 3));
    EXPECT_EQ(lo, Point3D(1, 2, 3));
    EXPECT_EQ(hi, Point3D(1, 2, 3));
    lo = minPoint3D(lo, Point3D(0, 5, -1));
    hi = maxPoint3D(hi, Point3D(0, 5, -1));
    EXPECT_EQ(lo, Point3D(0, 2, -1));
    EXPECT_EQ(hi, Point3D(1, 5, 3));

    Point2D lo2, hi2;
    lo2.resetForMin();
    hi2.resetForMax();
    lo2 = minPoint2D(lo2, Point2D(3, -4));
    hi2 = maxPoint2D(hi2, Point2D(3, -4));
    EXPECT_EQ(lo2, Point2D(3, -4));
    EXPECT_EQ(hi2, Point2D(3, -4));
}

TEST(Point3DTest, Point2DArithmetic) {
    Point2D p(1, 2);
    p.x() = 5;
    EXPECT_EQ(p, Point2D(5, 2));
    EXPECT_EQ(p + Point2D(1, 1), Point2D(6, 3));
    EXPECT_EQ(p - Point2D(1, 1), Point2D(4, 1));
    EXPECT_EQ(p / 2.0, Point2D(2.5, 1));
}
