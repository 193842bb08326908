// Tests of the operating-system services: sinks, overridable folders and the test clock.
#include "platform/sys.h"

#include <gtest/gtest.h>

using namespace platform::sys;

TEST(Sys, MessageBoxGoesToTheInstalledSink)
{
    std::string seen;
    auto previous = setMessageBoxSink([&](const std::string& text, const std::string& caption, unsigned) {
        seen = caption + "|" + text;
        return 7;
    });
    EXPECT_EQ(messageBox("hello", "Title"), 7);
    EXPECT_EQ(seen, "Title|hello");
    setMessageBoxSink(previous);
}

TEST(Sys, FolderOverridesReplaceAndRestoreTheDefaults)
{
    overrideTempFolder("/somewhere");
    EXPECT_EQ(tempFolder(), "/somewhere");
    overrideTempFolder("");
    EXPECT_FALSE(tempFolder().empty());
    EXPECT_EQ(systemFolder(), "/etc");
}

TEST(Sys, TestClockIsUsedUntilRemoved)
{
    uint32_t now = 1000;
    setTestClock([&] { return now; });
    EXPECT_EQ(tickCount(), 1000u);
    now += 25;
    EXPECT_EQ(tickCount(), 1025u);
    setTestClock(nullptr);
}

TEST(Sys, ModuleFileNameIsThisProgram)
{
    EXPECT_NE(moduleFileName().find("SysTest"), std::string::npos);
}
