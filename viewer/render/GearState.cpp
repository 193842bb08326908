// GearState: random gear sizes from an injectable uniform generator.
#include "viewer/render/GearState.h"

#include <cmath>
#include <ctime>

namespace {

// The draws keep the granularity of the classic generator: 32768 steps from 0 to 1.
constexpr int kUniformSteps = 32767;

// One gear after the tooth depth: the outer radius an even number from 16 up to maxOuter, a
// bore in half of the cases, then the thickness.
GearRecord drawGear(GearState& state, float maxOuter)
{
    GearRecord g;
    g.OuterRadius = 2.0f * std::floor(state.RandomRange(16.0f, maxOuter) / 2.0f);
    if (state.RandomRange(0.0f, 2.0f) < 1.0f)
        g.InnerRadius = state.RandomRange(0.25f * g.OuterRadius, 0.59f * g.OuterRadius);
    else
        g.InnerRadius = 0.0f;
    g.GearWidth = state.RandomRange(2.0f, 35.0f);
    g.Teeth = g.OuterRadius / 2.0f;
    return g;
}

}  // namespace

void GearState::Seed()
{
    engine_.seed(static_cast<unsigned>(std::time(nullptr)));
}

float GearState::RandomRange(float lo, float hi)
{
    double u;
    if (Uniform) {
        u = Uniform();
    } else {
        std::uniform_int_distribution<int> steps(0, kUniformSteps);
        u = double(steps(engine_)) / kUniformSteps;
    }
    // An injected generator that strays is held to the range.
    if (!(u >= 0.0))
        u = 0.0;
    else if (u > 1.0)
        u = 1.0;
    return lo + (hi - lo) * float(u);
}

void GearState::DrawSizes()
{
    ToothDepth = RandomRange(5.0f, 8.0f);
    G1 = drawGear(*this, 50.0f);
    const float maxOuter = 51.0f - G1.OuterRadius / 1.5f;
    G2 = drawGear(*this, maxOuter);
    G3 = drawGear(*this, maxOuter);
}
