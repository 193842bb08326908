// Tests of the shadow's box arithmetic and of the copies of its quad.
#include <gtest/gtest.h>

#include <cmath>

#include "math/TransformMatrix.h"
#include "viewer/render/ShadowGeometry.h"

TEST(ShadowGeometry, TransformedBoxIsTheBoxOfItsTurnedCorners)
{
    // Turned 90 degrees about z and moved: x and y swap roles; turned 45 degrees: the box grows
    // by the diagonal.
    TransformMatrix quarter;
    quarter.setRotationAboutAxis(Point3D(0, 0, 0), Point3D(0, 0, 1), 90.0);
    quarter.translate(1.0, 2.0, 3.0);
    TransformMatrix eighth;
    eighth.setRotationAboutAxis(Point3D(0, 0, 0), Point3D(0, 0, 1), 45.0);
    const double s = std::sqrt(2.0);
    struct Case {
        const TransformMatrix& m;
        Point3D boxLo, boxHi, lo, hi;
    } cases[] = {
        {TransformMatrix(), {-1, -2, -3}, {1, 2, 3}, {-1, -2, -3}, {1, 2, 3}},
        {quarter, {-1, -2, -3}, {1, 2, 3}, {-2 + 1, -1 + 2, -3 + 3}, {2 + 1, 1 + 2, 3 + 3}},
        {eighth, {-1, -1, -3}, {1, 1, 3}, {-s, -s, -3}, {s, s, 3}},
    };
    for (const Case& k : cases) {
        Point3D lo = k.boxLo, hi = k.boxHi;
        TransformBoxExtents(k.m.getData(), lo, hi);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(lo.component(i), k.lo.component(i), 1e-12) << i;
            EXPECT_NEAR(hi.component(i), k.hi.component(i), 1e-12) << i;
        }
    }
}

TEST(ShadowGeometry, FootprintIsSquaredAboutItsCentre)
{
    // A footprint 10 wide and 4 deep becomes 10 x 10; either axis may be the short one.
    struct Case {
        Point3D lo, hi, squaredLo, squaredHi;
    } cases[] = {
        {{0, 7, 3}, {10, 7, 7}, {0, 7, 0}, {10, 7, 10}},
        {{-2, 0, -5}, {2, 0, 5}, {-5, 0, -5}, {5, 0, 5}},
        {{1, 1, 1}, {3, 3, 3}, {1, 1, 1}, {3, 3, 3}},
    };
    for (const Case& k : cases) {
        Point3D lo = k.lo, hi = k.hi;
        SquareExtents(lo, hi, 0, 2);
        EXPECT_EQ(lo, k.squaredLo);
        EXPECT_EQ(hi, k.squaredHi);
    }
}

TEST(ShadowGeometry, SoftShadowLaysSeventeenShiftedCopies)
{
    EXPECT_EQ(ShadowQuadOffsets(0, 10.0).size(), 0u);
    EXPECT_EQ(ShadowQuadOffsets(3, 10.0).size(), 0u);
    EXPECT_EQ(ShadowQuadOffsets(-1, 10.0).size(), 0u);
    const std::vector<ShadowOffset> hard = ShadowQuadOffsets(1, 10.0);
    ASSERT_EQ(hard.size(), 1u);
    EXPECT_EQ(hard[0].dx, 0.0);
    EXPECT_EQ(hard[0].dz, 0.0);

    // Ring 1: 7 copies at 0.01 diag (the sixth step stays short of a full turn in 32-bit
    // floats, so the first direction comes twice); ring 2: 10 copies at 0.005 diag.
    const double diag = 200.0;
    const std::vector<ShadowOffset> soft = ShadowQuadOffsets(2, diag);
    ASSERT_EQ(soft.size(), 17u);
    for (size_t i = 0; i < soft.size(); ++i) {
        const double radius = i < 7 ? 0.01 * diag : 0.005 * diag;
        EXPECT_NEAR(std::hypot(soft[i].dx, soft[i].dz), radius, 1e-9) << i;
    }
    EXPECT_NEAR(soft[0].dx, 0.0, 1e-12);
    EXPECT_NEAR(soft[0].dz, 2.0, 1e-12);
    EXPECT_NEAR(soft[6].dx, 0.0, 1e-5);
    EXPECT_NEAR(soft[6].dz, 2.0, 1e-9);
    EXPECT_NEAR(soft[1].dx, 2.0 * std::sin(M_PI / 3), 1e-6);
}
