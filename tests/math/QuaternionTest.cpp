// Tests of Quaternion: matrices both ways, axis-angle and Euler forms, slerp and lerp.
#include "math/Quaternion.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double kPi = 3.141592653589793;

void expectQuatNear(const Quaternion& a, const Quaternion& b, double tol = 1e-12) {
    EXPECT_NEAR(a.x(), b.x(), tol);
    EXPECT_NEAR(a.y(), b.y(), tol);
    EXPECT_NEAR(a.z(), b.z(), tol);
    EXPECT_NEAR(a.w(), b.w(), tol);
}

void expectPointNear(const Point3D& a, const Point3D& b, double tol = 1e-12) {
    EXPECT_NEAR(a.x(), b.x(), tol);
    EXPECT_NEAR(a.y(), b.y(), tol);
    EXPECT_NEAR(a.z(), b.z(), tol);
}

}  // namespace

TEST(QuaternionTest, DefaultIsIdentity) {
    const Quaternion q;
    expectQuatNear(q, Quaternion(0, 0, 0, 1), 0);
    EXPECT_TRUE(q.toMatrix().isEqual(TransformMatrix()));
}

TEST(QuaternionTest, MatrixTurnsByNegativeAngle) {
    const double h = std::sqrt(0.5);
    const Quaternion q(0, 0, h, h);
    expectPointNear(q.toMatrix().transform(Point3D(1, 0, 0)), Point3D(0, -1, 0));
    const Quaternion fromAxis(Point3D(0, 0, 2), kPi / 2);  // the axis is normalized
    expectQuatNear(fromAxis, q);
    TransformMatrix m;
    m.setRotation(fromAxis);
    expectPointNear(m.transform(Point3D(0, 1, 0)), Point3D(1, 0, 0));
}

TEST(QuaternionTest, MatrixRoundTrip) {
    struct Case {
        double ax, ay, az;
    } cases[] = {{0, 0, 0}, {10, 20, 30}, {180, 0, 0}, {0, 180, 0}, {0, 0, 180}, {-75, 140, 5}, {90, 90, 0}, {170, -5, 178}};
    for (const Case& c : cases) {
        TransformMatrix m;
        m.rotate(c.ax, c.ay, c.az);
        const Quaternion q = m.toQuaternion();
        EXPECT_NEAR(q.length(), 1.0, 1e-12);
        const TransformMatrix back = q.toMatrix();
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(back.getData()[k], m.getData()[k], 1e-12) << c.ax << " " << c.ay << " " << c.az << " @" << k;
    }
}

TEST(QuaternionTest, HalfTurnAboutXPicksFirstComponent) {
    TransformMatrix m;
    m.rotate(180, 0, 0);  // trace -1
    const Quaternion q(m);
    EXPECT_NEAR(std::fabs(q.x()), 1.0, 1e-12);
    EXPECT_NEAR(q.y(), 0.0, 1e-12);
    EXPECT_NEAR(q.z(), 0.0, 1e-12);
    EXPECT_NEAR(q.w(), 0.0, 1e-12);
}

TEST(QuaternionTest, SlerpEndsAndMiddle) {
    const Quaternion a;  // identity
    const Quaternion b(Point3D(0, 0, 1), kPi / 2);
    expectQuatNear(a.slerp(b, 0.0), a);
    expectQuatNear(a.slerp(b, 1.0), b);
    expectQuatNear(a.slerp(b, 0.5), Quaternion(Point3D(0, 0, 1), kPi / 4));
    EXPECT_NEAR(a.slerp(b, 0.3).length(), 1.0, 1e-12);

    // The short way round: b negated gives the same rotations, the t = 1 end is -(-b) = b.
    const Quaternion nb(-b.x(), -b.y(), -b.z(), -b.w());
    expectQuatNear(a.slerp(nb, 1.0), b);
    expectQuatNear(a.slerp(nb, 0.5), Quaternion(Point3D(0, 0, 1), kPi / 4));
}

TEST(QuaternionTest, SlerpOfNearlyEqualOrientations) {
    const Quaternion q(Point3D(1, 2, 3), 0.7);
    for (double t : {0.0, 0.25, 0.5, 1.0}) {
        expectQuatNear(q.slerp(q, t), q);
        const Quaternion nq(-q.x(), -q.y(), -q.z(), -q.w());
        expectQuatNear(q.slerp(nq, t), q);  // flips to c = 1, linear with k1 = -t
    }
    // c exactly 0.99999 interpolates linearly: not renormalized.
    const double c = 0.99999;
    const Quaternion id;
    const Quaternion near(0, 0, std::sqrt(1 - c * c), c);
    const Quaternion lin = id.slerp(near, 0.5);
    EXPECT_EQ(lin.w(), 0.5 + 0.5 * c);
    EXPECT_LT(lin.length(), 1.0 - 1e-7);
    // Just below it the trigonometric form keeps unit length.
    const double c2 = 0.999989;
    const Quaternion near2(0, 0, std::sqrt(1 - c2 * c2), c2);
    EXPECT_NEAR(id.slerp(near2, 0.5).length(), 1.0, 1e-12);
}

TEST(QuaternionTest, LerpIsComponentWise) {
    const Quaternion a(0, 0, 0, 1), b(1, 0, 0, 0);
    expectQuatNear(a.lerp(b, 0.5), Quaternion(0.5, 0, 0, 0.5), 0);
}

TEST(QuaternionTest, AxisAngle) {
    Point3D axis(9, 9, 9);
    double angle = 9;
    Quaternion().toAxisAngle(axis, angle);
    EXPECT_EQ(angle, 0.0);
    EXPECT_EQ(axis, Point3D(1, 0, 0));

    Quaternion(Point3D(0, 0, 3), kPi / 2).toAxisAngle(axis, angle);
    EXPECT_NEAR(angle, kPi / 2, 1e-12);
    expectPointNear(axis, Point3D(0, 0, 1));

    Quaternion(0, 0, 0, 1.5).toAxisAngle(axis, angle);  // not a rotation
    EXPECT_EQ(angle, 0.0);
    EXPECT_EQ(axis, Point3D(1, 0, 0));
}

TEST(QuaternionTest, EulerAngles) {
    double heading, attitude, bank;
    Quaternion(0.5, 0.5, 0.5, 0.5).toEuler(heading, attitude, bank);  // x y + z w = 0.5
    EXPECT_NEAR(heading, kPi / 2, 1e-12);
    EXPECT_EQ(attitude, 1.5707963267948966);
    EXPECT_EQ(bank, 0.0);

    Quaternion(-0.5, 0.5, 0.5, -0.5).toEuler(heading, attitude, bank);  // -0.5
    EXPECT_EQ(attitude, -1.5707963267948966);
    EXPECT_EQ(bank, 0.0);

    const double a = 0.6;
    Quaternion(0, std::sin(a / 2), 0, std::cos(a / 2)).toEuler(heading, attitude, bank);
    EXPECT_NEAR(heading, a, 1e-12);
    EXPECT_NEAR(attitude, 0.0, 1e-12);
    EXPECT_NEAR(bank, 0.0, 1e-12);
}

TEST(QuaternionTest, FromThreeAngles) {
    expectQuatNear(Quaternion(Point3D(0.4, 0, 0)), Quaternion(std::sin(0.2), 0, 0, std::cos(0.2)));
    expectQuatNear(Quaternion(Point3D(0, 0.4, 0)), Quaternion(0, std::sin(0.2), 0, std::cos(0.2)));
    expectQuatNear(Quaternion(Point3D(0, 0, 0.4)), Quaternion(0, 0, std::sin(0.2), std::cos(0.2)));
    EXPECT_NEAR(Quaternion(Point3D(0.3, -1.1, 2.0)).length(), 1.0, 1e-12);
}

TEST(QuaternionTest, NormalizeAndAccessors) {
    Quaternion q(0, 3, 0, 4);
    EXPECT_EQ(q.normSquared(), 25.0);
    EXPECT_EQ(q.length(), 5.0);
    expectQuatNear(q.normalized(), Quaternion(0, 0.6, 0, 0.8), 0);
    q.normalize();
    double x, y, z, w;
    q.get(x, y, z, w);
    EXPECT_EQ(y, 0.6);
    EXPECT_EQ(w, 0.8);
    q.setIdentity();
    expectQuatNear(q, Quaternion(), 0);
    EXPECT_EQ(Quaternion(1, 2, 3, 4).dot(Quaternion(1, 1, 1, 1)), 10.0);
}
