// Tests of the animation framework: progress, delay, reverse, easing, ends and wrap of the tick.
#include "viewer/ui/AnimationManagerC.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/host/HostClock.h"

namespace {

// Records every progress it receives and counts destructions.
class RecordingAnimation : public AnimationC {
public:
    RecordingAnimation(std::vector<float>* seen, int* destroyed) : seen_(seen), destroyed_(destroyed) {}
    ~RecordingAnimation() override { ++*destroyed_; }
    void Apply(float t) override { seen_->push_back(t); }

private:
    std::vector<float>* seen_;
    int* destroyed_;
};

struct Step {
    uint32_t advance;  // ms after the previous update (the first: after the start tick)
    bool applied;      // what Update returns
    float progress;    // the value received (when applied)
};

struct Case {
    const char* name;
    uint32_t start;  // tick of the first update
    uint32_t duration, delay;
    bool reverse, eased;
    std::vector<Step> steps;
};

}  // namespace

TEST(AnimationManagerC, ProgressThroughDelayReverseEaseAndTickWrap)
{
    const float eased25 = 1.0f / (1.0f + std::exp(2.5f));  // 1 / (1 + e^(5 - 10 * 0.25))
    const Case cases[] = {
        {"plain", 1000, 350, 0, false, false, {{0, true, 0.0f}, {175, true, 0.5f}, {225, true, 1.0f}}},
        {"eased middle stays", 1000, 350, 0, false, true, {{0, true, 0.0f}, {175, true, 0.5f}, {175, true, 1.0f}}},
        {"eased quarter", 0, 400, 0, false, true, {{0, true, 0.0f}, {100, true, eased25}, {300, true, 1.0f}}},
        {"reversed eased", 5, 100, 0, true, true, {{0, true, 1.0f}, {50, true, 0.5f}, {60, true, 0.0f}}},
        {"delay", 1000, 100, 100, false, false, {{0, false, 0}, {99, false, 0}, {1, true, 0.0f}, {100, true, 1.0f}}},
        {"zero duration ends at once", 7, 0, 0, false, true, {{0, true, 1.0f}}},
        {"zero duration ignores delay", 7, 0, 500, true, false, {{0, true, 0.0f}}},
        {"tick wraps during the run", 0xFFFFFF00u, 512, 0, false, false,
         {{0, true, 0.0f}, {256, true, 0.5f}, {256, true, 1.0f}}},
        {"start on the last tick value", 0xFFFFFFFFu, 100, 0, false, false,
         {{0, true, 0.0f}, {50, true, 0.5f}, {50, true, 1.0f}}},
        {"delay across the wrap", 0xFFFFFFF0u, 100, 32, false, false,
         {{0, false, 0}, {31, false, 0}, {1, true, 0.0f}, {100, true, 1.0f}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::vector<float> seen;
        int destroyed = 0;
        AnimationManagerC m;
        m.Add(new RecordingAnimation(&seen, &destroyed), k.duration, k.delay, k.reverse, k.eased);
        platform::host::FakeClock clock(k.start);
        std::vector<float> expected;
        for (size_t i = 0; i < k.steps.size(); ++i) {
            clock.advance(k.steps[i].advance);
            EXPECT_EQ(m.Update(clock.now()), k.steps[i].applied) << "step " << i;
            if (k.steps[i].applied)
                expected.push_back(k.steps[i].progress);
            // Finished exactly at the last step, and deleted in that same update.
            EXPECT_EQ(m.Count(), i + 1 < k.steps.size() ? 1u : 0u) << "step " << i;
        }
        ASSERT_EQ(seen.size(), expected.size());
        for (size_t i = 0; i < seen.size(); ++i)
            EXPECT_NEAR(seen[i], expected[i], 1e-6f) << "value " << i;
        EXPECT_EQ(destroyed, 1);
    }
}

TEST(AnimationManagerC, EasedEndsAreExactAndTheCurveIsLogistic)
{
    EXPECT_EQ(AnimationManagerC::Ease(0.0f, 10.0f, 0.5f), 0.0f);
    EXPECT_EQ(AnimationManagerC::Ease(1.0f, 10.0f, 0.5f), 1.0f);
    EXPECT_NEAR(AnimationManagerC::Ease(1e-6f, 10.0f, 0.5f), 0.0067f, 1e-4f);
    EXPECT_NEAR(AnimationManagerC::Ease(0.999999f, 10.0f, 0.5f), 0.9933f, 1e-4f);
}

TEST(AnimationManagerC, DisabledManagerLandsOnTheEndAndEmptyUpdateReportsNothing)
{
    std::vector<float> seen;
    int destroyed = 0;
    AnimationManagerC m;
    EXPECT_FALSE(m.Update(10));
    m.SetEnabled(false);
    m.Add(new RecordingAnimation(&seen, &destroyed), 1000, 0, false, true);
    m.Add(new RecordingAnimation(&seen, &destroyed), 1000, 0, true, false);
    m.Add(nullptr, 1000, 0, false, false);
    EXPECT_EQ(m.Count(), 2u);
    EXPECT_TRUE(m.Update(20));
    EXPECT_EQ(seen, (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(destroyed, 2);
    EXPECT_TRUE(m.IsEmpty());
    EXPECT_FALSE(m.Update(30));
}

TEST(AnimationManagerC, OrderOfAddDecidesAndLaterAnimationsStartLater)
{
    float target = -1.0f;
    AnimationManagerC m;
    m.Add(new ValueAnimationC(&target), 100, 0, false, false);
    EXPECT_TRUE(m.Update(0));
    m.Add(new ValueAnimationC(&target), 100, 0, true, false);  // starts at 50, writes after the first
    EXPECT_TRUE(m.Update(50));
    EXPECT_FLOAT_EQ(target, 1.0f);  // the second: reversed progress 0 -> 1
    EXPECT_TRUE(m.Update(100));      // first finishes (1), second at 0.5 -> 0.5
    EXPECT_FLOAT_EQ(target, 0.5f);
    EXPECT_EQ(m.Count(), 1u);
    EXPECT_TRUE(m.Update(150));
    EXPECT_FLOAT_EQ(target, 0.0f);
    EXPECT_TRUE(m.IsEmpty());
}

TEST(AnimationManagerC, ManagerDeletesUnfinishedAnimationsWithoutApplyingThem)
{
    std::vector<float> seen;
    int destroyed = 0;
    {
        AnimationManagerC m;
        m.Add(new RecordingAnimation(&seen, &destroyed), 1000, 0, false, false);
        m.Add(new RecordingAnimation(&seen, &destroyed), 1000, 500, false, false);
        m.Update(0);
        EXPECT_EQ(seen.size(), 1u);
    }
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(destroyed, 2);
}
