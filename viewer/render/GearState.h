// GearState: the sizes of the three loading gears and the uniform generator they are drawn from.
#pragma once

#include <functional>
#include <random>

// One gear: its radii, its thickness along z and its tooth count (OuterRadius / 2).
struct GearRecord {
    float OuterRadius = 0.0f;
    float InnerRadius = 0.0f;  // 0: a solid gear on a hub
    float GearWidth = 0.0f;
    float Teeth = 0.0f;
};

// The gear sizes are drawn once per control. The draws come from Uniform when a caller (a test)
// sets it, otherwise from a generator seeded with the time when the sizes are drawn; either way
// every value lies in [0, 1] with both ends possible.
struct GearState {
    float ToothDepth = 0.0f;
    GearRecord G1, G2, G3;

    // Returns values uniform over [0, 1], ends included.
    std::function<double()> Uniform;

    // Seeds the own generator with the time in seconds (an injected Uniform is left alone).
    void Seed();
    // lo + (hi - lo) x u, u the next uniform draw: both ends can occur.
    float RandomRange(float lo, float hi);
    // Draws the tooth depth and the three gears in their fixed order.
    void DrawSizes();

private:
    std::minstd_rand engine_;
};
