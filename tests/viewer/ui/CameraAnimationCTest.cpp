// Tests of the two camera animations applied by hand: start capture, interpolation and exact landing.
#include "viewer/ui/CameraAnimationC.h"
#include "viewer/ui/CameraMath.h"
#include "viewer/ui/ViewAnimationC.h"

#include <gtest/gtest.h>

TEST(CameraAnimationCTest, MovesTheSixValuesFromTheirValuesAtConstructionAndLandsExactly) {
    double v[6] = {0.1, -2.0, 3.0, 0.7, 1e-3, 80.0};
    const double end[6] = {0.3, 5.0, -3.0, 0.0, 0.0, 17.123456789};
    CameraAnimationC a(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], end[0], end[1], end[2], end[3], end[4], end[5]);
    const double start[6] = {0.1, -2.0, 3.0, 0.7, 1e-3, 80.0};
    v[0] = 99.0;  // a change after construction does not move the start
    a.Apply(0.5f);
    for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(v[i], start[i] + (end[i] - start[i]) * 0.5) << i;
    a.Apply(0.0f);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(v[i], start[i]) << i;
    a.Apply(1.0f);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(v[i], end[i]) << i;  // exact, no rounding drift
}

TEST(CameraAnimationCTest, ViewAnimationTurnsAlongTheShortArcAndLandsOnTheDestination) {
    TransformMatrix rotation;
    rotation.setTranslation(Point3D(1, 2, 3));  // only the rotation counts
    TransformMatrix destination;
    destination.rotate(0, 90, 0);
    ViewAnimationC a(&rotation, destination);
    a.Apply(0.5f);
    TransformMatrix half;
    half.rotate(0, 45, 0);
    EXPECT_TRUE(rotation.isEqual(half));
    a.Apply(1.0f);
    EXPECT_TRUE(rotation.isEqual(destination));
    EXPECT_EQ(rotation.getTranslation(), Point3D(0, 0, 0));

    // Every standard orientation survives the trip through a quaternion.
    for (int view = 0; view <= 8; ++view)
        for (int turn = 0; turn < kViewTurnCount; ++turn) {
            const TransformMatrix m = StandardViewMatrix(view, turn);
            TransformMatrix target;
            ViewAnimationC(&target, m).Apply(1.0f);
            EXPECT_TRUE(target.isEqual(m)) << view << " " << turn;
        }
}
