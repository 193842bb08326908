// Tests of the frame entry: the empty screen, the loading and scene frames, the drawing scale
// and the scene's view set-up.
#include <gtest/gtest.h>

#include <cmath>

#include <GL/gl.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "tests/viewer/render/DrawTestSupport.h"

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(CTavoplexCtrlFrame, StartZeroShowsOnlyTheFadeInColourWhateverElseHolds)
{
    struct Case {
        feColor colour;
        bool loading;
        std::array<int, 3> want;
    } cases[] = {
        {feColor(), true, {0, 0, 0}},  // the properties not applied yet: all channels 0
        {feColor(0.2f, 0.4f, 0.6f, 1.0f), true, {51, 102, 153}},
        {feColor(1.0f, 1.0f, 1.0f, 1.0f), false, {255, 255, 255}},
    };
    for (const Case& k : cases) {
        ViewerHarness v(120, 80);
        CTavoplexCtrl& c = v.open();
        c.ColorFadeInValue = k.colour;
        c.Loading = k.loading;
        const unsigned before = v.host().frameSink().frameCount();
        c.RenderFrame();
        EXPECT_EQ(v.host().frameSink().frameCount(), before + 1);
        for (auto [x, y] : {std::pair{5, 5}, std::pair{60, 40}, std::pair{110, 75}})
            EXPECT_TRUE(pixelNear(v.pixel(x, y), k.want, 0)) << x << "," << y;
        EXPECT_EQ(v.pixel(60, 40)[3], 0);
        EXPECT_FALSE(c.SceneShown);
        EXPECT_EQ(c.GLLockCount, 0);
    }
}

TEST(CTavoplexCtrlFrame, DrawingScaleAndShadowTextureFollowTheWindowSize)
{
    struct Case {
        int width, height;
        float scale;
        int shadow;
    } cases[] = {
        {1000, 300, 0.75f, 256}, {200, 100, 0.25f, 64}, {100, 700, 0.25f, 64}, {400, 400, 1.0f, 256},
        {600, 129, 0.3225f, 128}, {128, 500, 0.32f, 128},
    };
    for (const Case& k : cases) {
        ViewerHarness v(k.width, k.height);
        CTavoplexCtrl& c = v.open();
        installParts(c, new FEDisplayPartListC());
        c.RenderFrame();
        EXPECT_FLOAT_EQ(c.DrawScale, k.scale) << k.width << "x" << k.height;
        EXPECT_EQ(c.ShadowTextureSize, k.shadow) << k.width << "x" << k.height;
        EXPECT_EQ(c.WindowWidth, k.width);
        EXPECT_EQ(c.WindowHeight, k.height);
        EXPECT_EQ(v.frame().width, k.width);
    }
}

TEST(CTavoplexCtrlFrame, FramesWhileLoadingDrawTheLoadingFrameNotTheScene)
{
    ViewerHarness v(100, 100);
    v.writeConfig("[COMMON]\nDEBUG=1\n");
    CTavoplexCtrl& c = v.open();
    // The window's size message drew the empty screen (Start 0); only what follows counts.
    const size_t mark = readFile(v.userFile("tavoplex.log")).size();
    c.Start = 1;
    ASSERT_TRUE(c.Loading);
    c.RenderFrame();
    c.RenderFrame();
    EXPECT_FALSE(c.SceneShown);
    EXPECT_TRUE(c.Animations.IsEmpty());
    EXPECT_EQ(c.GLLockCount, 0);
    const std::string log = readFile(v.userFile("tavoplex.log")).substr(mark);
    EXPECT_EQ(log.find("Draw Scene."), std::string::npos);
    EXPECT_EQ(log.find("Drawing empty screen."), std::string::npos);

    // Without area the window shows nothing, yet the frame runs its passes; with area again
    // it draws the label's box as before. Frames of the warm-up counts only: the loader (no
    // file here) does not run.
    c.ColorLabelValue = feColor(1.0f, 1.0f, 0.8f, 1.0f);
    c.ColorLabelTextValue = feColor(1.0f, 0.0f, 0.0f, 1.0f);
    auto loadingFrame = [&] {
        c.LoaderCount = 1;
        c.RenderFrame();
        return v.frame().rgba;
    };
    const std::vector<uint8_t> shown = loadingFrame();
    size_t lit = 0;
    for (size_t i = 0; i < shown.size(); i += 4)
        lit += shown[i] + shown[i + 1] + shown[i + 2] > 0 ? 1 : 0;
    EXPECT_GT(lit, 1000u);  // the box, its frame and the text
    v.resize(0, 0);
    const size_t before = readFile(v.userFile("tavoplex.log")).size();
    loadingFrame();
    EXPECT_NE(readFile(v.userFile("tavoplex.log")).find("  End Tool Tips.\n", before), std::string::npos);
    v.resize(100, 100);
    EXPECT_TRUE(loadingFrame() == shown);
}

TEST(CTavoplexCtrlFrame, FirstSceneFrameStartsTheFadeAndEveryFrameRunsItsPassesInOrder)
{
    ViewerHarness v(200, 160);
    v.writeConfig("[COMMON]\nDEBUG=1\n");
    CTavoplexCtrl& c = v.open();
    installParts(c, modelOf(makeCube(5, feColor(0.5f, 0.5f, 0.5f, 1))));
    c.LastTick = 1234;
    c.RenderFrame();
    EXPECT_TRUE(c.SceneShown);
    EXPECT_TRUE(c.PanelsActive);
    EXPECT_EQ(c.LastTick, 0xFFFFFFFFu);
    EXPECT_EQ(c.Animations.Count(), 1u);
    EXPECT_EQ(c.GLLockCount, 0);
    c.RenderFrame();
    EXPECT_EQ(c.Animations.Count(), 1u) << "later frames only draw";
    // The scene fades in over one second, eased.
    c.Animations.Update(50000);
    c.Animations.Update(50250);
    EXPECT_NEAR(c.IntroFade, 1.0f / (1.0f + std::exp(2.5f)), 1e-4f);
    c.Animations.Update(51000);
    EXPECT_EQ(c.IntroFade, 1.0f);

    const std::string log = readFile(v.userFile("tavoplex.log"));
    EXPECT_NE(log.find("  Start without panel.\n"), std::string::npos);
    EXPECT_EQ(log.find("  Start without panel.\n", log.find("  Start without panel.\n") + 1), std::string::npos);
    // One frame's passes, in the order the frame draws them.
    const char* order[] = {"  Draw Scene.\n",         "  Begin Draw Parts.\n",  "  Begin Draw Part Lines.\n",
                           "  Begin Draw Threads.\n", "  End Draw Threads.\n",  "  End Draw Part Lines.\n",
                           "  End Draw Parts.\n",     "  Start Tool Tips.\n",   "  Start Part Tool Tip.\n",
                           "  End Part Tool Tip.\n",  "  Start Intro Tool Tip.\n", "  Draw Intro Tool Tip.\n",
                           "  End Intro Tool Tip.\n", "  End Tool Tips.\n",     "  Panels.\n",
                           " (- SwapBuffers -).\n"};
    size_t at = 0;
    for (const char* line : order) {
        const size_t found = log.find(line, at);
        ASSERT_NE(found, std::string::npos) << line;
        at = found + 1;
    }
}

TEST(CTavoplexCtrlFrame, WindowWithoutAreaDrawsNothing)
{
    for (auto [w, h] : {std::pair{0, 200}, std::pair{200, 0}, std::pair{0, 0}}) {
        ViewerHarness v(100, 100);
        CTavoplexCtrl& c = v.open();
        installParts(c, modelOf(makeCube(5, feColor(0.5f, 0.5f, 0.5f, 1))));
        v.resize(w, h);
        const unsigned frames = v.host().frameSink().frameCount();
        c.RenderFrame();
        c.Start = 0;
        c.RenderFrame();
        EXPECT_EQ(v.host().frameSink().frameCount(), frames) << w << "x" << h;
        EXPECT_EQ(c.DrawScale, 0.0f);
        EXPECT_FALSE(c.SceneShown);
        EXPECT_EQ(c.ShadowTextureSize, 2);
        EXPECT_EQ(c.GLLockCount, 0);

        // The view set-up stops before its divisions: the stored matrices stay as they were.
        c.ModelViewMatrix[14] = 123.0;
        ASSERT_TRUE(c.LockOpenGL());
        c.SetupViewport();
        c.SetupGearViewport();
        c.UnlockOpenGL();
        EXPECT_EQ(c.ModelViewMatrix[14], 123.0);
    }
}

TEST(CTavoplexCtrlFrame, SceneViewSetsProjectionModelviewAndViewport)
{
    struct Case {
        int width, height;
        Point3D min, max;
        double zoom;
        double sx, sy, depth;  // expected projection scales and depth half-range
    } cases[] = {
        // An empty scene box takes a depth half-range of 10.
        {400, 200, {0, 0, 0}, {0, 0, 0}, 80, 1.0 / 160, 1.0 / 80, 10},
        {200, 400, {-5, -5, -5}, {5, 5, 10}, 50, 1.0 / 50, 1.0 / 100, std::sqrt(3.0) * 12.0},
    };
    for (const Case& k : cases) {
        ViewerHarness v(k.width, k.height);
        CTavoplexCtrl& c = v.open();
        c.SceneMin = k.min;
        c.SceneMax = k.max;
        c.Zoom = k.zoom;
        c.PanX = 3;
        c.PanY = -4;
        c.ViewOffset = Point3D(1, 2, -2);
        c.WindowWidth = k.width;
        c.WindowHeight = k.height;
        ASSERT_TRUE(c.LockOpenGL());
        c.SetupViewport();
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        c.UnlockOpenGL();
        EXPECT_NEAR(c.ProjectionMatrix[0], k.sx, 1e-6);
        EXPECT_NEAR(c.ProjectionMatrix[5], k.sy, 1e-6);
        EXPECT_NEAR(c.ProjectionMatrix[10], -1.0 / k.depth, 1e-6);
        // Depth centre 80 - max(offset) = 78: the far plane lies at 78 + range.
        EXPECT_NEAR(c.ProjectionMatrix[14], -78.0 / k.depth, 1e-5);
        // Pan, then the rotation (identity), then the view offset.
        EXPECT_NEAR(c.ModelViewMatrix[12], 3 + 1, 1e-6);
        EXPECT_NEAR(c.ModelViewMatrix[13], -4 + 2, 1e-6);
        EXPECT_NEAR(c.ModelViewMatrix[14], -80 - 2, 1e-6);
        EXPECT_EQ(viewport[2], k.width);
        EXPECT_EQ(viewport[3], k.height);
    }
}

TEST(CTavoplexCtrlFrame, GearsFadingOutLeaveTheSceneViewToTheParts)
{
    // A cube seen at (-80, 80) in a 300 x 300 window with Zoom 100 lies round pixel (30, 30); the
    // gears' own view (half extent 102, moved down 37) would put it round (32, 87). Frames in
    // the intro fade after a long load draw the gears first: the parts must still stand where
    // the scene view puts them, lit by the scene's lights.
    std::array<uint8_t, 4> cube[2];
    for (const int gears : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "gears " << gears);
        ViewerHarness v(300, 300);
        CTavoplexCtrl& c = v.open();
        c.ColorFadeInValue = c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = feColor(1, 1, 1, 1);
        c.Grid = 0;
        // Turned a quarter about the view axis, so that lights given under the view turn too.
        installParts(c, modelOf(makeCube(8, feColor(0.5f, 0.5f, 0.5f, 1)), {translation(-80, -80, 0)}));
        c.Rotation.rotate(0.0, 0.0, 90.0);
        c.Zoom = 100;
        c.ShadowQuality = 0;
        c.Border = 0;
        c.SceneShown = c.PanelsActive = true;
        c.IntroFade = 0.5f;
        c.LoaderCount = 6;
        c.GearFade = 1.0f;
        c.GearsEnabled = gears;
        c.Gears.Uniform = [] { return 0.0; };
        c.RenderFrame();
        cube[gears] = v.pixel(30, 30);
        EXPECT_FALSE(pixelNear(cube[gears], {255, 255, 255})) << "the cube is where the scene puts it";
        EXPECT_TRUE(pixelNear(v.pixel(32, 87), {255, 255, 255})) << "and not where the gears' view would";

        // The lights stay as the scene gave them: fixed to the viewer.
        OpenGLLock lock(c);
        GLfloat light[4];
        glGetLightfv(GL_LIGHT0, GL_POSITION, light);
        EXPECT_NEAR(light[0], 0.2f, 1e-5f);
        EXPECT_NEAR(light[1], 0.6f, 1e-5f);
        EXPECT_NEAR(light[2], 0.7f, 1e-5f);
    }
    EXPECT_TRUE(pixelNear(cube[1], {cube[0][0], cube[0][1], cube[0][2]}));
}

TEST(CTavoplexCtrlFrame, GearsFadedOutCutNothingOutOfTheParts)
{
    // Gears at alpha 0 over a cube at the centre of the scene: the frame is the one drawn
    // without gears, pixel for pixel.
    std::vector<std::array<uint8_t, 4>> frames[2];
    for (const int gears : {0, 1}) {
        ViewerHarness v(200, 200);
        CTavoplexCtrl& c = v.open();
        c.ColorFadeInValue = c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = feColor(1, 1, 1, 1);
        // Behind the origin, where the scene's depths run deeper than the gears' own.
        installParts(c, modelOf(makeCube(20, feColor(0.5f, 0.5f, 0.5f, 1)), {translation(0, -10, -60)}));
        c.SceneShown = c.PanelsActive = true;
        c.IntroFade = 0.9f;
        c.LoaderCount = 6;
        c.GearFade = 0.0f;
        c.GearsEnabled = gears;
        c.Gears.Uniform = [] { return 1.0; };
        c.RenderFrame();
        for (int y = 5; y < 200; y += 10)
            for (int x = 5; x < 200; x += 10)
                frames[gears].push_back(v.pixel(x, y));
    }
    int different = 0;
    for (size_t i = 0; i < frames[0].size(); ++i)
        different += pixelNear(frames[1][i], {frames[0][i][0], frames[0][i][1], frames[0][i][2]}) ? 0 : 1;
    EXPECT_EQ(different, 0);
}
