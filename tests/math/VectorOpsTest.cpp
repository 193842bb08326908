// Tests of the vector operations and the intersection tests (plane, sphere, cylinder, lines, triangle).
#include "math/VectorOps.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectPointNear(const Point3D& a, const Point3D& b, double tol = 1e-12) {
    EXPECT_NEAR(a.x(), b.x(), tol);
    EXPECT_NEAR(a.y(), b.y(), tol);
    EXPECT_NEAR(a.z(), b.z(), tol);
}

const Point3D kUnset(-777, -777, -777);

}  // namespace

TEST(VectorOpsTest, DeterminantDominantAxisAndProjection) {
    EXPECT_EQ(determinant3(Point3D(1, 0, 0), Point3D(0, 1, 0), Point3D(0, 0, 1)), 1.0);
    EXPECT_EQ(determinant3(Point3D(1, 2, 3), Point3D(4, 5, 6), Point3D(7, 8, 10)), -3.0);
    struct Case {
        Point3D n;
        int axis;
    } cases[] = {{{1, 1, 0}, 1}, {{0, 1, 1}, 2}, {{0, 0, -5}, 3}, {{0, 0, 0}, 1}, {{-2, 1, 2}, 1}};
    for (const Case& c : cases) EXPECT_EQ(dominantAxis(c.n), c.axis);
    const Point3D p(1, 2, 3);
    EXPECT_EQ(projectToPlane2D(p, 1), Point2D(2, 3));
    EXPECT_EQ(projectToPlane2D(p, 2), Point2D(1, 3));
    EXPECT_EQ(projectToPlane2D(p, 3), Point2D(1, 2));
    EXPECT_EQ(projectToPlane2D(p, 0), Point2D(1, 2));
    EXPECT_EQ(scalePoint(p, 2), Point3D(2, 4, 6));
}

TEST(VectorOpsTest, PerpendicularBasisIsRightHanded) {
    for (const Point3D& n : {Point3D(0, 0, 1), Point3D(1, 0, 0), Point3D(0, 1, 0), Point3D(1, 2, 3).normalized()}) {
        Point3D u, v;
        perpendicularBasis(n, u, v);
        EXPECT_NEAR(u.length(), 1.0, 1e-12);
        EXPECT_NEAR(v.length(), 1.0, 1e-12);
        EXPECT_NEAR(dotProduct(u, n), 0.0, 1e-12);
        EXPECT_NEAR(dotProduct(v, n), 0.0, 1e-12);
        EXPECT_NEAR(dotProduct(u, v), 0.0, 1e-12);
        EXPECT_NEAR(determinant3(u, v, n), 1.0, 1e-12);
    }
}

TEST(VectorOpsTest, ProjectionsAndDistances) {
    expectPointNear(projectPointOnLine(Point3D(0, 0, 5), Point3D(1, 1, 0), Point3D(3, 4, 7)), Point3D(1, 1, 7));
    double t = 0;
    expectPointNear(projectOnLine(Point3D(1, 0, 0), Point3D(0, 0, 0), Point3D(-3, 4, 0), &t), Point3D(-3, 0, 0));
    EXPECT_NEAR(t, -3.0, 1e-12);
    EXPECT_EQ(signedPlaneDistance(Point3D(0, 0, 2), Point3D(5, 5, -1), Point3D(0, 0, 1)), -2.0);
}

TEST(VectorOpsTest, LinePlaneIntersection) {
    Point3D out = kUnset;
    ASSERT_TRUE(linePlaneIntersection(Point3D(1, 1, 5), Point3D(1, 1, 4), Point3D(0, 0, 1), Point3D(0, 0, 0), out));
    EXPECT_EQ(out, Point3D(1, 1, 0));  // beyond P1: t is not limited
    out = kUnset;
    EXPECT_FALSE(linePlaneIntersection(Point3D(0, 0, 1), Point3D(1, 0, 1), Point3D(0, 0, 1), Point3D(0, 0, 0), out));
    EXPECT_EQ(out, kUnset);
    // P0 on the plane point: P0 even for a parallel line.
    ASSERT_TRUE(linePlaneIntersection(Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0, 0, 1), Point3D(0, 0, 0), out));
    EXPECT_EQ(out, Point3D(0, 0, 0));

    ASSERT_TRUE(segmentPlaneIntersection(Point3D(0, 0, -1), Point3D(0, 0, 3), Point3D(0, 0, 1), Point3D(0, 0, 1), out));
    EXPECT_EQ(out, Point3D(0, 0, 1));
    EXPECT_FALSE(segmentPlaneIntersection(Point3D(0, 0, 2), Point3D(5, 0, 2), Point3D(0, 0, 1), Point3D(0, 0, 1), out));

    ASSERT_TRUE(linePlaneCoefficientsIntersection(Point3D(0, 0, 0), Point3D(2, 0, 0), 1, 0, 0, -3, out));
    EXPECT_EQ(out, Point3D(3, 0, 0));
    EXPECT_FALSE(linePlaneCoefficientsIntersection(Point3D(0, 0, 0), Point3D(0, 2, 0), 1, 0, 0, -3, out));
}

TEST(VectorOpsTest, ThreePlanes) {
    Point3D out = kUnset;
    const Point3D p(1, 2, 3);
    ASSERT_TRUE(threePlanesIntersection(p, Point3D(1, 0, 0), p, Point3D(0, 1, 0), p, Point3D(0, 0, 1), out));
    expectPointNear(out, p);
    out = kUnset;
    EXPECT_FALSE(threePlanesIntersection(p, Point3D(1, 0, 0), Point3D(5, 0, 0), Point3D(2, 0, 0), p,
                                         Point3D(0, 0, 1), out));
    EXPECT_EQ(out, kUnset);
}

TEST(VectorOpsTest, LineSphere) {
    Point3D a = kUnset, b = kUnset;
    // Through the centre: the farther crossing along P0 -> P1 first.
    EXPECT_EQ(lineSphereIntersection(Point3D(-5, 0, 0), Point3D(-4, 0, 0), Point3D(1, 0, 0), 2, a, b), 2);
    expectPointNear(a, Point3D(3, 0, 0));
    expectPointNear(b, Point3D(-1, 0, 0));
    // Tangent: discriminant exactly 0.
    a = b = kUnset;
    EXPECT_EQ(lineSphereIntersection(Point3D(-5, 1, 0), Point3D(5, 1, 0), Point3D(0, 0, 0), 1, a, b), 1);
    EXPECT_EQ(a, Point3D(0, 1, 0));
    EXPECT_EQ(b, kUnset);
    // Miss.
    a = kUnset;
    EXPECT_EQ(lineSphereIntersection(Point3D(-5, 2, 0), Point3D(5, 2, 0), Point3D(0, 0, 0), 1, a, b), 0);
    EXPECT_EQ(a, kUnset);
    double t1 = 0, t2 = 0;
    EXPECT_EQ(lineSphereCoefficients(Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0, 0, 0), 3, &t1, &t2), 2);
    EXPECT_EQ(t1, 3.0);
    EXPECT_EQ(t2, -3.0);
}

TEST(VectorOpsTest, LineCylinder) {
    const Point3D axisA(0, 0, 0), axisB(0, 0, 10);
    double t1 = -1, t2 = -1;
    Point3D o1 = kUnset, o2 = kUnset;
    // Straight across through the axis at height 5 (t1 = t - s with s negative here: the second crossing).
    EXPECT_EQ(lineCylinderIntersection(Point3D(-5, 0, 5), Point3D(5, 0, 5), axisA, axisB, 1, &t1, o1, &t2, o2), 2);
    expectPointNear(o1, Point3D(1, 0, 5));
    expectPointNear(o2, Point3D(-1, 0, 5));
    EXPECT_NEAR(t1, 0.6, 1e-12);
    EXPECT_NEAR(t2, 0.4, 1e-12);
    // At exactly the radius from the axis: tangent, counted as a miss.
    o1 = kUnset;
    EXPECT_EQ(lineCylinderIntersection(Point3D(-5, 1, 5), Point3D(5, 1, 5), axisA, axisB, 1, &t1, o1, &t2, o2), 0);
    EXPECT_EQ(o1, kUnset);
    // Parallel to the axis.
    EXPECT_EQ(lineCylinderIntersection(Point3D(0.5, 0, 0), Point3D(0.5, 0, 1), axisA, axisB, 1, &t1, o1, &t2, o2), 0);
    // Beyond the cap planes although the infinite cylinder is hit.
    EXPECT_EQ(lineCylinderIntersection(Point3D(-5, 0, 12), Point3D(5, 0, 12), axisA, axisB, 1, &t1, o1, &t2, o2), 0);
    EXPECT_EQ(o1, kUnset);
    // Slanted lines through the top cap plane: one crossing inside, one beyond.
    EXPECT_EQ(lineCylinderIntersection(Point3D(-2, 0, 11), Point3D(2, 0, 9), axisA, axisB, 1, &t1, o1, &t2, o2), 1);
    expectPointNear(o1, Point3D(1, 0, 9.5));
    EXPECT_NEAR(t1, 0.75, 1e-12);
    // Only the second crossing counts: it is moved into the first place.
    o1 = o2 = kUnset;
    EXPECT_EQ(lineCylinderIntersection(Point3D(2, 0, 9), Point3D(-2, 0, 11), axisA, axisB, 1, &t1, o1, &t2, o2), 1);
    expectPointNear(o1, Point3D(1, 0, 9.5));
    EXPECT_EQ(o1, o2);
    EXPECT_NEAR(t1, 0.25, 1e-12);
    EXPECT_EQ(t1, t2);
}

TEST(VectorOpsTest, LineLineClosestPoints) {
    Point3D pa = kUnset, pb = kUnset;
    ASSERT_TRUE(lineLineClosestPoints(Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0, 1, 1), Point3D(0, 2, 1), pa, pb));
    expectPointNear(pa, Point3D(0, 0, 0));
    expectPointNear(pb, Point3D(0, 0, 1));
    pa = kUnset;
    EXPECT_FALSE(lineLineClosestPoints(Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0, 1, 0), Point3D(1, 1, 0), pa, pb));
    EXPECT_FALSE(
        lineLineClosestPoints(Point3D(0, 0, 0), Point3D(0.00005, 0, 0), Point3D(0, 1, 0), Point3D(0, 1, 1), pa, pb));
    EXPECT_FALSE(
        lineLineClosestPoints(Point3D(0, 0, 0), Point3D(1, 0, 0), Point3D(0, 1, 0), Point3D(0, 1, 0.0001), pa, pb));
    EXPECT_EQ(pa, kUnset);
}

TEST(VectorOpsTest, LineToPlaneAlongNormal) {
    Point3D out = kUnset, side = kUnset;
    // From (0, 0, 5) across the direction (1, 0, 0) down to the plane z = 0.
    ASSERT_TRUE(lineToPlaneAlongNormal(Point3D(0, 0, 5), Point3D(1, 0, 0), Point3D(0, 0, 0), Point3D(0, 0, 1), out,
                                       side));
    EXPECT_EQ(side, Point3D(0, -1, 0));
    expectPointNear(out, Point3D(0, 0, 0));
    out = kUnset;
    EXPECT_FALSE(lineToPlaneAlongNormal(Point3D(0, 0, 5), Point3D(0, 0, 1), Point3D(0, 0, 0), Point3D(0, 0, 1), out,
                                        side));
    EXPECT_EQ(out, kUnset);
}

TEST(VectorOpsTest, SegmentTriangle) {
    const Point3D v0(0, 0, 0), v1(3, 0, 0), v2(0, 3, 0);
    EXPECT_TRUE(segmentTriangleIntersection(v0, v1, v2, Point3D(1, 1, -1), Point3D(1, 1, 1), 1e-6));
    EXPECT_FALSE(segmentTriangleIntersection(v0, v1, v2, Point3D(1.6, 1.6, -1), Point3D(1.6, 1.6, 1), 1e-6));
    EXPECT_FALSE(segmentTriangleIntersection(v0, v1, v2, Point3D(1, 1, 1), Point3D(2, 1, 1), 1e-6));  // parallel
    EXPECT_TRUE(segmentTriangleIntersection(v0, v1, v2, Point3D(1.5, 1.5, -1), Point3D(1.5, 1.5, 1), 1e-6));  // on edge
}
