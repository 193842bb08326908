// Tests of the control's creation: defaults, per-user folder, settings and debug log.
#include "viewer/control/CTavoplexCtrl.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry.h"
#include "platform/sys.h"
#include "tests/viewer/ViewerTestSupport.h"

namespace {
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class UserFolderTest : public ::testing::Test {
protected:
    void SetUp() override { platform::registry::reset(); }
    void TearDown() override { platform::registry::reset(); }
    TempDir tmp;
};
}  // namespace

TEST(CTavoplexCtrl, NewControlHasItsDefaults)
{
    ViewerHarness v;
    CTavoplexCtrl& c = v.construct();
    EXPECT_EQ(c.Zoom, 80.0);
    EXPECT_TRUE(c.Loading);
    EXPECT_EQ(c.Start, 0);
    EXPECT_EQ(c.ColorTL, "#85C7E9");
    EXPECT_EQ(c.ColorBL, "#51A1C4");
    EXPECT_EQ(c.ColorPanelButtonsIn2, "#85C7E9");
    EXPECT_EQ(c.ColorLabel, "#FFFFCC");
    EXPECT_EQ(c.ColorLabelText, "#000000");
    EXPECT_EQ(c.DisplayMode, 4);
    EXPECT_EQ(c.BorderSize, 10);
    EXPECT_EQ(c.ButtonSize, 32);
    EXPECT_EQ(c.ZoomDuration, 350);
    EXPECT_EQ(c.ShadowTextureSize, 2);
    EXPECT_EQ(c.ViewOffset, Point3D(0.0, 0.0, -2.0));
    EXPECT_TRUE(c.Rotation.isEqual(TransformMatrix()));
    EXPECT_EQ((std::array<int, 5>{c.ShadowQuality, c.GearsEnabled, c.Shading, c.Antialiasing, c.Metallic}),
              (std::array<int, 5>{1, 1, 2, 1, 0}));
    EXPECT_EQ(c.Font.GetHeight(), 14);
    EXPECT_EQ(c.GLContext, nullptr);
    ASSERT_NE(c.ToolTip, nullptr);
    EXPECT_TRUE(c.Animations.IsEnabled());
    EXPECT_FALSE(c.DebugEnabled);
    EXPECT_TRUE(c.Config.ignoresKeyCase());
    EXPECT_EQ(c.Config.getFileName(), RWCString(v.userFile("tavoplex.cfg").c_str()));
    EXPECT_EQ(c.UserFolder.nativePath(), RWCString(v.userFolder().c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(v.userFolder()));
}

TEST(CTavoplexCtrl, SettingsAreReadFromTheUserFolderIgnoringCase)
{
    ViewerHarness v;
    v.writeConfig("[gfx]\nshadow=3\n");
    CTavoplexCtrl& c = v.construct();
    EXPECT_EQ(c.Config.getValue("SHADOW", "GFX")->getInt(), 3);
    // Construction reads, never writes.
    EXPECT_EQ(TempDir::read(v.userFile("tavoplex.cfg")), "[gfx]\nshadow=3\n");
}

TEST(CTavoplexCtrl, DebugItemDecidesTheLog)
{
    struct Case {
        const char* config;  // nullptr: no configuration file
        bool logged;
    } cases[] = {
        {"[COMMON]\nDEBUG=1\n", true},
        {"[common]\ndebug=7\n", true},
        {"[COMMON]\nDEBUG=0\n", false},
        {"[COMMON]\nOTHER=1\n", false},
        {nullptr, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.config ? k.config : "(no file)");
        ViewerHarness v;
        if (k.config)
            v.writeConfig(k.config);
        // An old log is emptied when debugging starts; without debugging no log is made.
        std::filesystem::create_directories(v.userFolder());
        if (k.logged)
            std::ofstream(v.userFile("tavoplex.log")) << "old session\n";
        CTavoplexCtrl& c = v.construct();
        EXPECT_EQ(c.DebugEnabled, k.logged);
        c.WriteLog("    Initializing loader.\n");
        if (k.logged)
            EXPECT_EQ(TempDir::read(v.userFile("tavoplex.log")), "Starting debugging session:\n    Initializing loader.\n");
        else
            EXPECT_FALSE(std::filesystem::exists(v.userFile("tavoplex.log")));
    }
}

TEST(CTavoplexCtrl, LogThatCannotBeOpenedLeavesDebuggingOff)
{
    ViewerHarness v;
    v.writeConfig("[COMMON]\nDEBUG=1\n");
    std::filesystem::create_directories(v.userFile("tavoplex.log"));  // a folder in the way
    CTavoplexCtrl& c = v.construct();
    EXPECT_FALSE(c.DebugEnabled);
    c.WriteLog("nothing\n");
}

TEST_F(UserFolderTest, FallsBackOnTheRegistryThenOnTheTemporaryFolder)
{
    ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv noHome("HOME", nullptr);
    ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());

    {
        CTavoplexCtrl c;
        EXPECT_EQ(c.UserFolder.nativePath(), RWCString((tmp.path() + "/korvane/tavoplex").c_str()));
        EXPECT_TRUE(std::filesystem::is_directory(tmp.path() + "/korvane/tavoplex"));
    }
    // The registry's note wins over the temporary folder; trailing separators of either kind
    // leave one separator.
    const std::string roaming = tmp.path() + "/roaming";
    for (const std::string& value : {roaming, roaming + "/", roaming + "\\\\", roaming + "/\\"}) {
        SCOPED_TRACE(value);
        platform::registry::setString(platform::registry::Root::CurrentUser, kShellFolders, "AppData", value);
        CTavoplexCtrl c;
        EXPECT_EQ(c.UserFolder.nativePath(), RWCString((roaming + "/korvane/tavoplex").c_str()));
    }
}
