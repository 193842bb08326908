// Tests of the part tool tip: rest timing, fades, presses, empty picks, the box it draws and
// fades that outlive it.
#include "viewer/ui/ToolTipC.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/ui/AnimationManagerC.h"

namespace {

class ToolTipTest : public ::testing::Test {
protected:
    ToolTipTest() : tip(nullptr, &animations, nullptr, 225, 175)
    {
        tip.SetNameLookup([this](int x, int y) {
            ++picks;
            return x >= 0 && y >= 0 && x < 100 ? RWCString("Bolt M8") : RWCString();
        });
    }
    // Ticks the tip and the animations at now, as the control's timer does.
    bool tick(uint32_t now)
    {
        const bool started = tip.Tick(now);
        animations.Update(now);
        return started;
    }

    AnimationManagerC animations;
    ToolTipC tip;
    int picks = 0;
};

}  // namespace

TEST_F(ToolTipTest, TipNeedsARestLongerThanTheDelay)
{
    tip.PointerMoved(1000, 10, 20);
    EXPECT_FALSE(tick(1100));
    EXPECT_FALSE(tick(1225));
    EXPECT_EQ(picks, 0);
    EXPECT_TRUE(tick(1250));
    EXPECT_EQ(tip.Text, RWCString("Bolt M8"));
    EXPECT_TRUE(tip.Busy);
    tick(1250 + 175);
    EXPECT_EQ(tip.Alpha, 1.0f);
    EXPECT_FALSE(tip.Busy);
    // Shown once per rest.
    EXPECT_FALSE(tick(2000));
    EXPECT_EQ(picks, 1);
    // A move fades it out over the fade time.
    tip.PointerMoved(3000, 11, 20);
    tick(3000);
    EXPECT_EQ(tip.Alpha, 1.0f);
    EXPECT_TRUE(tip.Busy);  // a reversed fade starts at 1 but ends only when it reaches 0
    tick(3175);
    EXPECT_EQ(tip.Alpha, 0.0f);
    EXPECT_FALSE(tip.Busy);
    EXPECT_TRUE(animations.IsEmpty());
    // The tick counter may wrap during a rest.
    tip.PointerMoved(0xFFFFFF00u, 12, 20);
    EXPECT_FALSE(tick(0xFFFFFF00u + 200));
    EXPECT_TRUE(tick(0xFFFFFF00u + 300));
}

TEST_F(ToolTipTest, MoveDuringFadeInLeavesTheTipUntilALaterMove)
{
    tip.PointerMoved(0, 10, 20);
    ASSERT_TRUE(tick(300));
    tick(350);
    tip.PointerMoved(360, 30, 20);  // busy: no fade-out
    EXPECT_EQ(animations.Count(), 1u);
    tick(300 + 175);
    EXPECT_EQ(tip.Alpha, 1.0f);
    EXPECT_FALSE(tick(1000));  // still visible: no new tip
    tip.PointerMoved(1100, 40, 20);
    EXPECT_EQ(animations.Count(), 1u);
    tick(1100);
    tick(1275);
    EXPECT_EQ(tip.Alpha, 0.0f);
    EXPECT_TRUE(tick(1400));  // the rest since the last move has passed
}

TEST_F(ToolTipTest, PressKeepsTheTipUntilTheFirstMoveAfterTheRelease)
{
    tip.PointerMoved(0, 10, 20);
    tick(300);
    tick(500);
    ASSERT_EQ(tip.Alpha, 1.0f);
    tip.Suppress();
    tick(600);
    tick(1000);
    EXPECT_EQ(tip.Alpha, 1.0f);
    EXPECT_TRUE(animations.IsEmpty());
    // The release re-arms at its position; the rest counts from it, but the visible tip
    // blocks a new one until a move fades it.
    tip.Rearm(1100, 50, 60);
    EXPECT_EQ(tip.PointerX, 50);
    EXPECT_FALSE(tick(1400));
    tip.PointerMoved(1500, 51, 60);
    tick(1500);
    tick(1675);
    EXPECT_EQ(tip.Alpha, 0.0f);
    // A press blocks new tips however long the rest.
    tip.Suppress();
    EXPECT_FALSE(tick(5000));
    tip.Rearm(5000, 52, 60);
    EXPECT_FALSE(tick(5225));
    EXPECT_TRUE(tick(5226));
}

TEST_F(ToolTipTest, RestOverEmptyBackgroundShowsNothing)
{
    tip.PointerMoved(0, 200, 20);
    EXPECT_TRUE(tick(300));  // a pick ran, but found nothing
    EXPECT_EQ(picks, 1);
    EXPECT_TRUE(tip.Text.isNull());
    EXPECT_TRUE(animations.IsEmpty());
    EXPECT_FALSE(tick(1000));
    EXPECT_EQ(picks, 1);
    // Without any move yet there is no rest at all.
    ToolTipC fresh(nullptr, &animations, nullptr, 225, 175);
    EXPECT_FALSE(fresh.Tick(100000));
}

TEST_F(ToolTipTest, FadeThatOutlivesItsTipDoesNothing)
{
    auto doomed = std::make_unique<ToolTipC>(nullptr, &animations, nullptr, 225, 175);
    doomed->SetNameLookup([](int, int) { return RWCString("Nut"); });
    doomed->PointerMoved(0, 1, 1);
    ASSERT_TRUE(doomed->Tick(300));
    animations.Update(300);
    doomed.reset();
    // The manager still lists the fade; updating it must not touch the deleted tip.
    EXPECT_TRUE(animations.Update(400));
    animations.Update(1000);
    EXPECT_TRUE(animations.IsEmpty());
}

TEST(ToolTipDrawTest, BoxSitsAboveTheRightOfThePointerAndGrowsDownward)
{
    constexpr int W = 200, H = 120;
    ViewerHarness v(W, H);
    CTavoplexCtrl& control = v.open();
    ToolTipC& tip = *control.ToolTip;
    const int viewport[4] = {0, 0, W, H};
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const feColor fill(1.0f, 1.0f, 0.8f, 0.3f), line(0, 0, 0, 1);
    // Rows (from the top) whose column at x holds the fill colour.
    auto filledRows = [&](int x) {
        std::vector<int> rows;
        for (int y = 0; y < H; ++y)
            if (pixelNear(v.pixel(x, y), {255, 255, 204}))
                rows.push_back(y);
        return rows;
    };
    auto draw = [&](const char* text, float alpha) {
        OpenGLLock lock(control);
        ASSERT_TRUE(lock.locked());
        glViewport(0, 0, W, H);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        tip.Text = text;
        tip.Alpha = alpha;
        tip.PointerX = 40;
        tip.PointerY = 60;
        tip.Draw(fill, line, identity, identity, viewport);
        control.PresentFrame();
    };
    const int h = control.Font.GetHeight();

    draw("Wj", 1.0f);
    std::vector<int> one = filledRows(42);
    ASSERT_FALSE(one.empty());
    // The box spans window rows H - 60 - 1 up to H - 60 - 1 + font height (y upward); the
    // frame takes the outermost rows.
    EXPECT_EQ(one.front(), 60 - h + 2);
    EXPECT_EQ(one.back(), 60);
    EXPECT_TRUE(filledRows(40 - 1).empty());  // nothing left of the pointer
    EXPECT_FALSE(filledRows(40).empty());     // the box starts on the pointer's column

    draw("Wj\\nSecond line", 1.0f);
    std::vector<int> two = filledRows(42);
    ASSERT_FALSE(two.empty());
    EXPECT_EQ(two.front(), one.front());
    EXPECT_EQ(two.back(), one.back() + h);

    // Fully faded or without text: nothing.
    draw("Wj", 0.0f);
    EXPECT_TRUE(filledRows(42).empty());
    draw("", 1.0f);
    EXPECT_TRUE(filledRows(42).empty());
}
