// Tests of the shadow passes in whole scene frames: the floor under a cube darkened by the
// quality's amount, the quads laid, the texture's size and the log lines.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <string>

#include "tests/viewer/render/DrawTestSupport.h"

namespace {

const feColor kWhite(1.0f, 1.0f, 1.0f, 1.0f);

// A grey cube of half side 10 at the origin, seen head-on on a plain white background with no
// grid, border or axes.
CTavoplexCtrl& cubeScene(ViewerHarness& v, bool withModel = true)
{
    CTavoplexCtrl& c = v.open();
    c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = c.ColorFadeInValue = kWhite;
    c.Grid = 0;
    c.Border = 0;
    c.Axes = 0;
    if (withModel) {
        installParts(c, modelOf(makeCube(10.0, feColor(0.5f, 0.5f, 0.5f, 1.0f))));
    } else {
        c.Loading = false;
        c.Start = 1;
    }
    return c;
}

bool contains(const std::string& text, const char* line) { return text.find(line) != std::string::npos; }

}  // namespace

TEST(CTavoplexCtrlShadow, FloorUnderTheModelDarkensByTheQualitysAmount)
{
    // The floor's centre sits 12 % of the window height above the bottom edge. A hard shadow
    // multiplies by 1 - 0.15 (the texel rounds to 38/255), a soft one by 1 - 4/255 for each of
    // its 17 copies; ghost surfaces cast at 0.09 of that.
    struct Case {
        int quality;
        int displayMode;
        int quads;
        int level;
        int tolerance;
    } cases[] = {
        {0, 4, 0, 255, 2}, {1, 4, 1, 217, 3}, {2, 4, 17, 196, 8}, {1, 0, 1, 252, 3}, {3, 4, 0, 255, 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "quality " << k.quality << " display mode " << k.displayMode);
        ViewerHarness v(300, 300);
        v.writeConfig("[COMMON]\nDEBUG=1\n");
        CTavoplexCtrl& c = cubeScene(v);
        c.ShadowQuality = k.quality;
        c.DisplayMode = k.displayMode;
        renderSettled(v);
        EXPECT_EQ(c.ShadowQuadsDrawn, k.quads);
        const int floorRow = 300 - 1 - int(300 * 0.12);
        EXPECT_TRUE(pixelNear(v.pixel(150, floorRow), {k.level, k.level, k.level}, k.tolerance));
        // Beside the floor nothing darkens.
        EXPECT_TRUE(pixelNear(v.pixel(60, floorRow), {255, 255, 255}));
        EXPECT_TRUE(pixelNear(v.pixel(150, 20), {255, 255, 255}));

        const std::string log = TempDir::read(v.userFile("tavoplex.log"));
        EXPECT_EQ(contains(log, "  Generate shadow texture.\n"), k.quality != 0);
        EXPECT_EQ(contains(log, "  Draw shadow.\n"), k.quality != 0);
    }
}

TEST(CTavoplexCtrlShadow, NoModelCastsNoShadow)
{
    ViewerHarness v(200, 200);
    CTavoplexCtrl& c = cubeScene(v, false);
    c.ShadowQuality = 1;
    {
        OpenGLLock lock(c);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    renderSettled(v);
    {
        OpenGLLock lock(c);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    for (int y = 0; y < 200; y += 10)
        EXPECT_TRUE(pixelNear(v.pixel(100, y), {255, 255, 255})) << y;
}

TEST(CTavoplexCtrlShadow, TextureSizeFollowsTheShorterWindowSide)
{
    struct Case {
        int width, height, size;
    } cases[] = {{500, 150, 128}, {1000, 300, 256}, {200, 100, 64}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.width << " x " << k.height);
        ViewerHarness v(k.width, k.height);
        CTavoplexCtrl& c = cubeScene(v);
        c.ShadowQuality = 1;
        renderSettled(v);
        EXPECT_EQ(c.ShadowTextureSize, k.size);
        OpenGLLock lock(c);
        glBindTexture(GL_TEXTURE_2D, c.ShadowTexture);
        GLint width = 0, height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(width, k.size);
        EXPECT_EQ(height, k.size);
    }
}
