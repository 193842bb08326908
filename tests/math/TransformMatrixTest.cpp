// Tests of the 4x4 transform functions and TransformMatrix.
#include "math/TransformMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

void expectPointNear(const Point3D& a, const Point3D& b, double tol = 1e-12) {
    EXPECT_NEAR(a.x(), b.x(), tol);
    EXPECT_NEAR(a.y(), b.y(), tol);
    EXPECT_NEAR(a.z(), b.z(), tol);
}

void expectMatrixNear(const double* a, const double* b, double tol = 1e-12) {
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(a[k], b[k], tol) << "index " << k;
}

}  // namespace

TEST(TransformMatrixTest, DefaultIsIdentityAndComposeIsPreMultiply) {
    TransformMatrix m;
    const double id[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    expectMatrixNear(m.getData(), id, 0);

    // Translate, then rotate: points are moved first and turned afterwards (R T).
    m.translate(1, 0, 0);
    m.rotate(0, 0, 90);
    expectPointNear(m.transform(Point3D(0, 0, 0)), Point3D(0, -1, 0));
    expectPointNear(m.transform(Point3D(1, 0, 0)), Point3D(0, -2, 0));

    TransformMatrix s;
    s.scale(2, 3, 4);
    s.translate(1, 1, 1);
    EXPECT_EQ(s.transform(Point3D(1, 1, 1)), Point3D(3, 4, 5));
}

TEST(TransformMatrixTest, MultiplyMatchesHandComputedProduct) {
    double a[16], b[16], c[16];
    setMatrixElements(a, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    setMatrixElements(b, 2, 0, 0, 1, 0, 1, 0, 0, 0, 0, 3, 0, 1, 0, 0, 1);
    multiplyMatrix(c, a, b);
    double expected[16];
    setMatrixElements(expected, 6, 2, 9, 5, 18, 6, 21, 13, 30, 10, 33, 21, 42, 14, 45, 29);
    expectMatrixNear(c, expected, 0);
    // The destination may be an operand.
    multiplyMatrix(a, a, b);
    expectMatrixNear(a, expected, 0);

    TransformMatrix ta, tb;
    ta.translate(1, 2, 3);
    tb.scale(2, 2, 2);
    EXPECT_EQ((ta * tb).transform(Point3D(1, 1, 1)), Point3D(3, 4, 5));
}

TEST(TransformMatrixTest, EulerRotations) {
    struct Case {
        double ax, ay, az;
        Point3D in, out;
    } cases[] = {
        {0, 0, 90, {1, 0, 0}, {0, -1, 0}},
        {90, 0, 0, {0, 1, 0}, {0, 0, -1}},
        {0, 90, 0, {1, 0, 0}, {0, 0, -1}},
        {0, 0, 180, {1, 2, 3}, {-1, -2, 3}},
    };
    for (const Case& c : cases) {
        TransformMatrix m;
        m.rotate(c.ax, c.ay, c.az);
        expectPointNear(m.transform(c.in), c.out);
    }
    TransformMatrix m;
    m.rotate(0, 0, 90);
    m.cleanRotation();
    EXPECT_EQ(m.at(0, 0), 0.0);
    EXPECT_EQ(m.at(0, 1), 1.0);
    EXPECT_EQ(m.at(1, 0), -1.0);
}

TEST(TransformMatrixTest, RotationAboutAxis) {
    struct Case {
        Point3D point, axis;
        double angle;
        Point3D in, out;
    } cases[] = {
        {{0, 0, 0}, {0, 0, 1}, 90, {1, 0, 0}, {0, 1, 0}},
        {{0, 0, 0}, {1, 0, 0}, 90, {0, 1, 0}, {0, 0, 1}},
        {{0, 0, 0}, {-1, 0, 0}, 90, {0, 1, 0}, {0, 0, -1}},
        {{0, 0, 0}, {0, 1, 0}, 90, {0, 0, 1}, {1, 0, 0}},
        {{1, 1, 0}, {0, 0, 2}, 180, {2, 1, 5}, {0, 1, 5}},  // about a line off the origin
        {{0, 0, 0}, {1, 1, 1}, 120, {1, 0, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        double m[16];
        rotationAboutAxis(c.point, c.axis, m, c.angle);
        expectPointNear(transformPoint(m, c.in), c.out, 1e-12);
    }
}

TEST(TransformMatrixTest, RotationAboutZeroAxisIsIdentity) {
    TransformMatrix m;
    m.setRotationAboutAxis(Point3D(1, 2, 3), Point3D(0, 0, 0), 45);
    EXPECT_TRUE(m.isFinite());
    EXPECT_TRUE(m.isEqual(TransformMatrix()));
}

TEST(TransformMatrixTest, InverseOfGeneralMatrix) {
    TransformMatrix m;
    m.scale(2, 0.5, 4);
    m.rotate(30, -20, 75);
    m.translate(3, -4, 5);
    TransformMatrix inv = m;
    ASSERT_TRUE(inv.invert());
    EXPECT_TRUE((m * inv).isEqual(TransformMatrix()));
    EXPECT_TRUE((inv * m).isEqual(TransformMatrix()));
    expectPointNear(inv.transform(m.transform(Point3D(1, 2, 3))), Point3D(1, 2, 3), 1e-9);
}

TEST(TransformMatrixTest, InverseNeedingRowAddition) {
    // (0,0) is exactly 0: the pivot comes from adding another row.
    double m[16];
    setMatrixElements(m, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    ASSERT_TRUE(invertMatrix(m));
    double expected[16];
    setMatrixElements(expected, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    expectMatrixNear(m, expected, 0);

    // A permutation with zero diagonal everywhere.
    setMatrixElements(m, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1);
    double original[16];
    copyMatrix(original, m);
    ASSERT_TRUE(invertMatrix(m));
    double product[16];
    multiplyMatrix(product, original, m);
    double id[16];
    identityMatrix(id);
    expectMatrixNear(product, id, 1e-12);
}

TEST(TransformMatrixTest, SingularMatrixIsRefusedAndLeftUnchanged) {
    double zero[16] = {};
    EXPECT_FALSE(invertMatrix(zero));
    for (double v : zero) EXPECT_EQ(v, 0.0);

    // Two equal rows: elimination cancels a pivot.
    double m[16], copy[16];
    setMatrixElements(m, 1, 2, 3, 0, 1, 2, 3, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    copyMatrix(copy, m);
    EXPECT_FALSE(invertMatrix(m));
    expectMatrixNear(m, copy, 0);

    TransformMatrix t;
    t.scale(1, 0, 1);
    const TransformMatrix before = t;
    EXPECT_FALSE(t.invert());
    expectMatrixNear(t.getData(), before.getData(), 0);
}

TEST(TransformMatrixTest, EliminationFactorThreshold) {
    // Row 1 holds -f in column 0, so the elimination factor is f.
    double m[16];
    setMatrixElements(m, 1, 0, 0, 0, -1e-9, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    ASSERT_TRUE(invertMatrix(m));
    EXPECT_EQ(m[4], 0.0);  // exactly 1e-9: the operation was skipped
    setMatrixElements(m, 1, 0, 0, 0, -1.0000001e-9, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    ASSERT_TRUE(invertMatrix(m));
    EXPECT_EQ(m[4], 1.0000001e-9);
}

TEST(TransformMatrixTest, CleanupAndSnapping) {
    TransformMatrix m;
    m.set(1e-9, -1e-9, 9.99e-10, 5e-10, 0.9999999995, -1.0000000005, 0.999999, 0, 1, 0, 1, 0, 0, 0, 0, 1);
    m.cleanRotation();
    EXPECT_EQ(m.at(0, 0), 1e-9);
    EXPECT_EQ(m.at(0, 1), -1e-9);
    EXPECT_EQ(m.at(0, 2), 0.0);
    EXPECT_EQ(m.at(0, 3), 5e-10);  // column 3 is not part of the rotation
    m.snapUnitEntries();
    EXPECT_EQ(m.at(1, 0), 1.0);
    EXPECT_EQ(m.at(1, 1), -1.0);
    EXPECT_EQ(m.at(1, 2), 0.999999);
}

TEST(TransformMatrixTest, EqualityToleranceIsStrict) {
    TransformMatrix a, b;
    b.getData()[3] = 0.0001;
    EXPECT_FALSE(a.isEqual(b));
    b.getData()[3] = 0.00009;
    EXPECT_TRUE(a.isEqual(b));
}

TEST(TransformMatrixTest, ColumnMajorAndOpenGLLayouts) {
    TransformMatrix m;
    m.translate(4, 5, 6);
    float gl[16];
    m.getOpenGLMatrix(gl);
    EXPECT_EQ(gl[12], 4.0f);
    EXPECT_EQ(gl[13], 5.0f);
    EXPECT_EQ(gl[14], 6.0f);
    float gl2[16];
    m.copyToOpenGLMatrix(gl2);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(gl[k], gl2[k]);

    double cm[16];
    m.getColumnMajor(cm);
    TransformMatrix back;
    back.setFromColumnMajor(cm);
    expectMatrixNear(back.getData(), m.getData(), 0);
    TransformMatrix fromFloat;
    fromFloat.setFromColumnMajor(gl);
    expectMatrixNear(fromFloat.getData(), m.getData(), 0);
}

TEST(TransformMatrixTest, TransformIgnoresRowThree) {
    TransformMatrix a, b;
    a.translate(1, 2, 3);
    b = a;
    b.getData()[15] = 2.0;
    b.getData()[12] = 7.0;
    EXPECT_EQ(a.transform(Point3D(1, 1, 1)), b.transform(Point3D(1, 1, 1)));
}

TEST(TransformMatrixTest, AxesAndFrames) {
    TransformMatrix m;
    m.rotate(0, 0, 90);
    m.translate(1, 2, 3);
    const AxisFrame f = m.getAxes();
    EXPECT_EQ(f.origin, Point3D(1, 2, 3));
    TransformMatrix n;
    n.set(9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9);
    n.setFromAxes(f);
    expectMatrixNear(n.getData(), m.getData(), 0);
    EXPECT_TRUE(m.hasUnitAxes());
    m.setAxisX(Point3D(2, 0, 0));
    EXPECT_FALSE(m.hasUnitAxes());
    EXPECT_EQ(m.getAxisX(), Point3D(2, 0, 0));
    const AxisFrame empty;
    EXPECT_EQ(empty.xAxis, Point3D());
}

TEST(TransformMatrixTest, OrthonormalizeRepairsDriftedRotation) {
    TransformMatrix m;
    m.set(2, 0.1, 0, 7, 0, 3, 0, 8, 0, 0, 5, 9, 0, 0, 0, 1);
    m.orthonormalize();
    EXPECT_TRUE(m.hasUnitAxes());
    EXPECT_NEAR(dotProduct(m.getAxisX(), m.getAxisY()), 0.0, 1e-15);
    expectPointNear(m.getAxisX(), Point3D(1, 0, 0));
    expectPointNear(m.getAxisZ(), Point3D(0, 0, 1));
    EXPECT_EQ(m.getTranslation(), Point3D(7, 8, 9));
}

TEST(TransformMatrixTest, FinitenessAndCoincidence) {
    TransformMatrix m;
    EXPECT_TRUE(m.isFinite());
    m.getData()[0] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(m.isFinite());
    EXPECT_TRUE(pointsCoincide(Point3D(1, 1, 1), Point3D(1, 1, 1.00009)));
    EXPECT_FALSE(pointsCoincide(Point3D(1, 1, 1), Point3D(1, 1, 1.0002)));
}
