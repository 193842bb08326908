// Tests of the headless host, the clocks and dialogs as data.
#include "platform/host/HeadlessHost.h"

#include <gtest/gtest.h>

#include "platform/sys.h"

using namespace platform::host;

TEST(HostClock, FakeClockWrapsAndMonotonicFollowsTheSystemTick)
{
    FakeClock fake(0xFFFFFFF0u);
    fake.advance(0x20);
    EXPECT_EQ(fake.now(), 0x10u);
    fake.set(5);
    EXPECT_EQ(fake.now(), 5u);

    platform::sys::setTestClock([] { return 1234u; });
    EXPECT_EQ(MonotonicClock().now(), 1234u);
    platform::sys::setTestClock({});
}

TEST(HeadlessHost, ScriptCallsReachOnlyDefinedFunctions)
{
    HeadlessHost host(120, 80);
    EXPECT_FALSE(host.invokeScriptFunction("TavoPlex_DoubleClickPart", {"a", "b"}));
    host.addScriptFunction("TavoPlex_DoubleClickPart");
    EXPECT_TRUE(host.invokeScriptFunction("TavoPlex_DoubleClickPart", {"part", "MID-1"}));
    ASSERT_EQ(host.scriptCalls().size(), 1u);
    EXPECT_EQ(host.scriptCalls()[0].args, (std::vector<std::string>{"part", "MID-1"}));
}

TEST(HeadlessHost, AdvancingTheClockDeliversTimersInTimeOrder)
{
    HeadlessHost host(50, 40, 0xFFFFFFF0u);  // the tick wraps on the way
    std::vector<std::pair<unsigned, uint32_t>> got;  // timer id, tick
    host.setWindow([&](const Message& m) {
        if (m.kind == MessageKind::Timer) {
            got.emplace_back(m.timerId, host.clock().now());
            if (m.timerId == 2)
                host.stopTimer(2);  // a one-shot
        } else if (m.kind == MessageKind::Size) {
            got.emplace_back(1000u + unsigned(m.width), 0u);
        }
        return 0L;
    });
    host.startTimer(1, 25);
    host.startTimer(2, 30);
    EXPECT_EQ(host.advance(60), 3u);
    EXPECT_EQ(got, (std::vector<std::pair<unsigned, uint32_t>>{{1, 0x09}, {2, 0x0E}, {1, 0x22}}));
    EXPECT_EQ(host.clock().now(), 0x2Cu);
    got.clear();
    EXPECT_EQ(host.advance(14), 0u);
    EXPECT_EQ(host.advance(1), 1u);  // 25 ms after the last tick of timer 1
    EXPECT_EQ(got, (std::vector<std::pair<unsigned, uint32_t>>{{1, 0x3B}}));

    host.resize(70, 30);
    EXPECT_EQ(host.clientSize().width, 70);
    EXPECT_EQ(got.back().first, 1070u);

    EXPECT_FALSE(host.deliverPendingPaint());
    host.requestRedraw();
    host.requestRedraw();
    unsigned paints = 0;
    host.setWindow([&](const Message& m) { return long(paints += m.kind == MessageKind::Paint); });
    EXPECT_TRUE(host.deliverPendingPaint());
    EXPECT_FALSE(host.deliverPendingPaint());
    EXPECT_EQ(paints, 1u);
}

TEST(HeadlessHost, DialogsAreAnsweredInCodeOrCancelled)
{
    Dialog d;
    d.caption = "Settings";
    d.controls = {{1, DialogControlKind::DefaultPushButton, "OK"},
                  {10, DialogControlKind::RadioButton, "Low", 0, 0, 0, 0, false, true},
                  {11, DialogControlKind::RadioButton, "High", 0, 0, 0, 0, true, false},
                  {20, DialogControlKind::RadioButton, "Other group", 0, 0, 0, 0, true, true},
                  {30, DialogControlKind::CheckBox, "Shadows"}};
    HeadlessHost host(10, 10);
    EXPECT_EQ(host.runModalDialog(d), DialogCancel);
    host.setDialogAnswer([](Dialog& dlg) {
        dlg.click(10);
        dlg.click(30);
        return dlg.click(1);
    });
    EXPECT_EQ(host.runModalDialog(d), DialogOk);
    EXPECT_TRUE(d.find(10)->checked);
    EXPECT_FALSE(d.find(11)->checked);
    EXPECT_TRUE(d.find(20)->checked);  // another group is left alone
    EXPECT_TRUE(d.find(30)->checked);
    EXPECT_EQ(host.dialogsShown(), (std::vector<std::string>{"Settings", "Settings"}));

    // The dialog's own logic decides when it ends.
    d.onCommand = [](Dialog& dlg, int id) { return id == 30 && dlg.find(30)->checked ? DialogOk : 0; };
    EXPECT_EQ(d.click(30), 0);
    EXPECT_EQ(d.click(30), DialogOk);
    EXPECT_EQ(d.click(99), 0);
}
