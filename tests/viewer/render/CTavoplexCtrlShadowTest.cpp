// Tests of the shadow passes in whole scene frames: the floor under a cube darkened by the
// quality's amount, the quads laid, the texture's size and the log lines.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

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

namespace {

// The shadow texture's texels (the context current).
std::vector<uint8_t> shadowTexels(CTavoplexCtrl& c)
{
    OpenGLLock lock(c);
    std::vector<uint8_t> texels(size_t(c.ShadowTextureSize) * size_t(c.ShadowTextureSize) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, c.ShadowTexture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

}  // namespace

TEST(CTavoplexCtrlShadow, TextureIsKeptOnlyWhileWhatItIsDrawnFromStaysTheSame)
{
    // A turned cube placed twice; after each change the frame drawn with whatever texture the
    // control keeps must be the frame drawn with the texture made anew, and the change must
    // show in the texture (else keeping a stale one would go unseen).
    ViewerHarness v(200, 200);
    CTavoplexCtrl& c = cubeScene(v, false);
    // A gradient behind, which shows how the passes after the shadow texture draw.
    c.ColorTLValue = feColor(0.2f, 0.4f, 0.9f, 1.0f);
    c.ColorBRValue = feColor(0.9f, 0.8f, 0.3f, 1.0f);
    installParts(c, modelOf(makeCube(10.0, feColor(0.5f, 0.5f, 0.5f, 1.0f)),
                            {TransformMatrix(), translation(25.0, 0.0, 0.0)}));
    c.SceneMax = Point3D(40.0, 15.0, 15.0);
    c.Rotation.rotate(-30.0, 0.0, 20.0);
    c.ShadowQuality = 1;
    renderSettled(v);
    const std::vector<uint8_t> settled = v.frame().rgba;
    ASSERT_TRUE(c.ShadowTextureDrawn.filled);
    const ShadowTextureKey before = c.ShadowTextureDrawn;
    c.RenderFrame();
    EXPECT_TRUE(c.ShadowTextureDrawn == before);
    EXPECT_TRUE(v.frame().rgba == settled);

    struct Change {
        const char* what;
        std::function<void()> apply;
    } changes[] = {
        {"turn", [&] { c.Rotation.rotate(0.0, 0.0, 15.0); }},
        {"transparency", [&] { c.Parts->getInstance(1)->SetTransparency(0.5f); }},
        {"placement", [&] { c.Parts->getInstance(1)->SetMatrix(translation(25.0, 8.0, 0.0)); }},
        {"scene box", [&] { c.SceneMin = Point3D(-40.0, -15.0, -15.0); }},
        {"new lists", [&] {
             OpenGLLock lock(c);
             const GLuint old = GLuint(c.Parts->getParts()[0]->getDisplayList());
             c.MakeListFromMesh(c.Parts->getParts()[0]);
             glDeleteLists(old, 1);
         }},
        {"model left out", [&] { c.ModelLeftOut = true; }},
        {"model back", [&] { c.ModelLeftOut = false; }},
        {"fade", [&] { c.IntroFade = 0.5f; }},
        {"quality", [&] { c.ShadowQuality = 2; }},
        {"display mode", [&] { c.DisplayMode = 0; }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        const std::vector<uint8_t> texelsBefore = shadowTexels(c);
        change.apply();
        c.RenderFrame();
        const std::vector<uint8_t> drawn = v.frame().rgba;
        const std::vector<uint8_t> texels = shadowTexels(c);
        c.RenderFrame();  // nothing changed: the texture is kept
        EXPECT_TRUE(v.frame().rgba == drawn);
        c.ShadowTextureDrawn = ShadowTextureKey();
        c.RenderFrame();
        EXPECT_TRUE(v.frame().rgba == drawn);
        EXPECT_TRUE(shadowTexels(c) == texels);
        if (std::string(change.what) != "new lists") {
            EXPECT_FALSE(texels == texelsBefore);  // the change shows in the texture
        }
    }
}

TEST(CTavoplexCtrlShadow, TexelsThroughMemoryAreTheRenderersCopy)
{
    // The texture's square read back and uploaded must give the texels and the frame that the
    // renderer's own copy gives: for each texture size, quality and display mode (ghosts cast
    // a faint shadow, so the grey levels differ), and in a fresh context, where the first copy
    // of each is made.
    struct Case {
        int width, height, quality, displayMode;
    } cases[] = {{200, 200, 1, 4}, {300, 140, 2, 4}, {200, 200, 1, 0}, {90, 120, 2, 3}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.width << " x " << k.height << " quality " << k.quality << " mode "
                                        << k.displayMode);
        std::vector<uint8_t> frames[2], texels[2];
        for (bool throughMemory : {false, true}) {
            ViewerHarness v(k.width, k.height);
            CTavoplexCtrl& c = cubeScene(v, false);
            c.ColorTLValue = feColor(0.2f, 0.4f, 0.9f, 1.0f);
            installParts(c, modelOf(makeCube(10.0, feColor(0.5f, 0.5f, 0.5f, 1.0f)),
                                    {TransformMatrix(), translation(25.0, 0.0, 0.0)}));
            c.SceneMax = Point3D(40.0, 15.0, 15.0);
            c.Rotation.rotate(-30.0, 0.0, 20.0);
            c.ShadowQuality = k.quality;
            c.DisplayMode = k.displayMode;
            c.ShadowTexelsThroughMemory = throughMemory;
            renderSettled(v);
            frames[throughMemory] = v.frame().rgba;
            texels[throughMemory] = shadowTexels(c);
        }
        EXPECT_TRUE(texels[1] == texels[0]);
        EXPECT_TRUE(frames[1] == frames[0]);
        // The texture holds a shadow, not the cleared colour alone.
        EXPECT_NE(std::count(texels[1].begin(), texels[1].end(), texels[1][0]), std::ptrdiff_t(texels[1].size()));
    }
}

TEST(CTavoplexCtrlShadow, TexelsThroughMemoryLeaveThePixelStoreAsTheyFoundIt)
{
    // The read and upload set the pixel store for themselves: whatever it was before the frame,
    // the texels are the renderer's copy and the store is as it was after.
    const GLenum stores[] = {GL_PACK_ALIGNMENT,   GL_PACK_ROW_LENGTH,   GL_PACK_SKIP_ROWS,   GL_PACK_SKIP_PIXELS,
                             GL_UNPACK_ALIGNMENT, GL_UNPACK_ROW_LENGTH, GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS};
    const GLint odd[] = {8, 301, 2, 3, 2, 77, 1, 5};
    std::vector<uint8_t> texels[2];
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way == 0 ? "copied" : "through memory");
        ViewerHarness v(200, 200);
        CTavoplexCtrl& c = cubeScene(v, false);
        installParts(c, modelOf(makeCube(10.0, feColor(0.5f, 0.5f, 0.5f, 1.0f))));
        c.Rotation.rotate(-30.0, 0.0, 20.0);
        c.ShadowTexelsThroughMemory = way != 0;
        renderSettled(v);
        GLint after[8] = {};
        {
            OpenGLLock lock(c);
            for (size_t i = 0; i < 8; ++i)
                glPixelStorei(stores[i], odd[i]);
            c.ShadowTextureDrawn = ShadowTextureKey();  // drawn anew
            c.RenderFrame();
            for (size_t i = 0; i < 8; ++i)
                glGetIntegerv(stores[i], &after[i]);
            for (size_t i = 0; i < 8; ++i)
                glPixelStorei(stores[i], i == 0 || i == 4 ? 4 : 0);
        }
        for (size_t i = 0; i < 8; ++i)
            EXPECT_EQ(after[i], odd[i]) << i;
        texels[way] = shadowTexels(c);
    }
    EXPECT_TRUE(texels[1] == texels[0]);
}
