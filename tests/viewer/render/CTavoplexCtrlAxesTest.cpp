// Tests of the axis triad in whole scene frames: drawn only with Axes set, reaching past the
// scene box, with its hidden part showing faintly through the model, and its letters.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <string>

#include "viewer/render/DrawTestSupport.h"

namespace {

const feColor kWhite(1.0f, 1.0f, 1.0f, 1.0f);

bool reddish(std::array<uint8_t, 4> p) { return int(p[0]) > int(p[1]) + 40 && int(p[0]) > int(p[2]) + 40; }

}  // namespace

TEST(CTavoplexCtrlAxes, TriadOnlyWithAxesSet)
{
    // A cube of half side 10 seen head-on in a 300 x 300 window (1.875 pixels per unit): the
    // X axis runs to 12 (a fifth of the largest extent past the box), its cone 8 pixels long,
    // its letter two cone lengths further.
    std::array<uint8_t, 4> throughCube[2];
    for (const int axes : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "axes " << axes);
        ViewerHarness v(300, 300);
        v.writeConfig("[COMMON]\nDEBUG=1\n");
        CTavoplexCtrl& c = v.open();
        c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = c.ColorFadeInValue = kWhite;
        c.Grid = 0;
        c.Border = 0;
        c.ShadowQuality = 0;
        c.Axes = axes;
        installParts(c, modelOf(makeCube(10.0, feColor(0.5f, 0.5f, 0.5f, 1.0f))));
        renderSettled(v);

        // The visible line between the box and the cone, and the cone.
        EXPECT_EQ(reddish(v.pixel(171, 149)) || reddish(v.pixel(171, 150)), axes != 0);
        EXPECT_EQ(reddish(v.pixel(175, 149)) || reddish(v.pixel(175, 150)), axes != 0);
        // Nothing beyond the letter's place.
        EXPECT_TRUE(pixelNear(v.pixel(230, 150), {255, 255, 255}));
        // The letter: dark pixels right of its projected point.
        int dark = 0;
        for (int y = 125; y < 152; ++y)
            for (int x = 188; x < 210; ++x)
                dark += v.pixel(x, y)[0] < 128 ? 1 : 0;
        EXPECT_EQ(dark > 0, axes != 0);
        throughCube[axes] = v.pixel(160, 149);

        // The background and the border log their passes, the border also while it is off;
        // the axes write nothing.
        const std::string log = TempDir::read(v.userFile("tavoplex.log"));
        EXPECT_NE(log.find("  Draw Background.\n"), std::string::npos);
        EXPECT_NE(log.find("  Draw Border Transition.\n"), std::string::npos);
    }
    // Behind the cube's face the axis shows faintly (alpha 0.3): the grey face turns reddish.
    EXPECT_LE(std::abs(int(throughCube[0][0]) - int(throughCube[0][1])), 3);
    EXPECT_GT(int(throughCube[1][0]) - int(throughCube[1][1]), 10);
}

TEST(CTavoplexCtrlAxes, AxisTheSceneDoesNotReachKeepsOnlyItsMargin)
{
    // The cube spans x from -30 to -10, so the X axis runs only a fifth of the largest extent
    // (2 units, 3.75 pixels) to the right, its 8-pixel cone right after it.
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = c.ColorFadeInValue = kWhite;
    c.Grid = 0;
    c.Border = 0;
    c.ShadowQuality = 0;
    c.Axes = 1;
    installParts(c, modelOf(makeCube(10.0, feColor(0.5f, 0.5f, 0.5f, 1.0f)), {translation(-20, 0, 0)}));
    c.SceneMin = Point3D(-30, -10, -10);
    c.SceneMax = Point3D(-10, 10, 10);
    renderSettled(v);
    EXPECT_TRUE(reddish(v.pixel(158, 149)) || reddish(v.pixel(158, 150)));
    for (int x = 166; x < 185; ++x)
        EXPECT_FALSE(reddish(v.pixel(x, 149)) || reddish(v.pixel(x, 150))) << x;
}
