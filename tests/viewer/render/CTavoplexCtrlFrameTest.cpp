// Tests of the frame entry: the empty screen, the loading and scene frames, the drawing scale
// and the scene's view set-up.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <fstream>
#include <sstream>

#include "viewer/render/DrawTestSupport.h"

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
