// Tests of the control's creation: defaults, per-user folder, settings and debug log.
#include "viewer/control/CTavoplexCtrl.h"

#include <gtest/gtest.h>

#include "viewer/ViewerTestSupport.h"

TEST(CTavoplexCtrl, NewControlHasItsDefaults)
{
    ViewerHarness v;
    CTavoplexCtrl& c = v.construct();
    EXPECT_EQ(c.Zoom, 80.0);
    EXPECT_TRUE(c.Loading);
    EXPECT_EQ(c.Start, 0);
    EXPECT_EQ(c.ColorTL, "#85C7E9");
    EXPECT_EQ(c.ColorLabel, "#FFFFCC");
    EXPECT_EQ(c.DisplayMode, 4);
    EXPECT_EQ(c.ViewOffset.z(), -2.0);
    EXPECT_EQ(c.Font.GetHeight(), 14);
    EXPECT_NE(c.ToolTip, nullptr);
    EXPECT_FALSE(c.DebugEnabled);
    EXPECT_EQ(c.UserFolder.nativePath(), RWCString(v.userFolder().c_str()));
}
