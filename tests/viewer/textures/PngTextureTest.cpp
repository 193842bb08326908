// Loading PNG files into OpenGL textures: formats and texels read back from the texture,
// scaling to powers of two with the border, mipmap levels, transparency modes, failures, the
// texture store and the viewer's own images.
#include "viewer/textures/PngTexture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/viewer/textures/PngTestFiles.h"
#include "tests/viewer/textures/TextureTestContext.h"
#include "viewer/textures/TextureC.h"
#include "viewer/textures/TextureCacheC.h"

namespace {

struct Upload {
    GLuint name = 0;
    int width = 0, height = 0;
    PngInfo info;
};

class PngTextureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("VIEWING_GAMMA");
        PngSetViewingGamma(0);
        PngSetStandardOrientation(false);
        PngSetStencil(0, 0, 0);
        PngSetAlphaCallback(nullptr);
        ASSERT_TRUE(context.ok());
    }
    void TearDown() override
    {
        for (GLuint name : names)
            glDeleteTextures(1, &name);
    }

    Upload bind(const std::string& bytes, int mipmap, int transparency, int border = 0)
    {
        Upload u;
        const std::string path = dir.write("image" + std::to_string(names.size()) + ".png", bytes);
        u.name = PngBindFile(path.c_str(), mipmap, transparency, &u.info, GL_CLAMP, GL_LINEAR, GL_LINEAR, &u.width,
                             &u.height, border);
        if (u.name)
            names.push_back(u.name);
        return u;
    }

    // Level `level` of the bound texture: its internal format, size and texels as RGBA.
    struct Level {
        GLint format = 0, width = 0, height = 0;
        std::vector<uint8_t> rgba;
    };
    static Level readLevel(GLuint name, int level)
    {
        Level l;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_INTERNAL_FORMAT, &l.format);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &l.width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &l.height);
        l.rgba.resize(size_t(l.width) * l.height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, l.rgba.data());
        return l;
    }

    TextureTestContext context;
    TempDir dir;
    std::vector<GLuint> names;
};

PngTestImage image(int w, int h, int colorType, int depth, std::vector<unsigned> samples)
{
    PngTestImage i;
    i.Width = w;
    i.Height = h;
    i.ColorType = colorType;
    i.Depth = depth;
    i.Samples = std::move(samples);
    return i;
}

// The images in the source tree; a relative source path counts from the test's build folder.
std::string viewerImage(const char* name)
{
    std::filesystem::path source(__FILE__);
    if (source.is_relative())
        source = std::filesystem::read_symlink("/proc/self/exe").parent_path() / source;
    return (source.parent_path() / "../../../viewer/images" / name).lexically_normal().string();
}

} // namespace

TEST_F(PngTextureTest, EveryColourTypeUploadsWithItsFormatAndTexels)
{
    PngTestImage palette = image(2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1});
    palette.Palette = {{10, 20, 30}, {200, 150, 100}};
    PngTestImage paletteAlpha = palette;
    paletteAlpha.PaletteAlpha = {0, 255};
    PngTestImage interlaced = image(2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 250, 251, 252});
    interlaced.Interlaced = true;
    struct Case {
        const char* name;
        PngTestImage image;
        GLint components;
        unsigned alpha;
        std::vector<uint8_t> rgba;  // the two texels as RGBA
    } cases[] = {
        {"grey", image(2, 1, PNG_COLOR_TYPE_GRAY, 8, {7, 200}), 3, 0, {7, 7, 7, 255, 200, 200, 200, 255}},
        {"grey with alpha", image(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {7, 60, 200, 255}), 4, 8,
         {7, 7, 7, 60, 200, 200, 200, 255}},
        {"palette", palette, 3, 0, {10, 20, 30, 255, 200, 150, 100, 255}},
        {"palette with transparency", paletteAlpha, 4, 8, {10, 20, 30, 0, 200, 150, 100, 255}},
        {"RGB", image(2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6}), 3, 0, {1, 2, 3, 255, 4, 5, 6, 255}},
        {"RGBA", image(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 4, 5, 6, 7, 8}), 4, 8,
         {1, 2, 3, 4, 5, 6, 7, 8}},
        {"16-bit RGB", image(2, 1, PNG_COLOR_TYPE_RGB, 16, {0x0102, 0x0304, 0x05ff, 0xfe00, 0xfd11, 0xfcff}), 3, 0, {1, 3, 5, 255, 254, 253, 252, 255}},
        {"interlaced", interlaced, 3, 0, {1, 2, 3, 255, 250, 251, 252, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Upload u = bind(makePng(c.image), 0, PNG_ALPHA);
        ASSERT_NE(u.name, 0u);
        EXPECT_EQ(u.width, 2);
        EXPECT_EQ(u.height, 1);
        EXPECT_EQ(u.info.Width, 2u);
        EXPECT_EQ(u.info.Depth, unsigned(c.image.Depth));
        EXPECT_EQ(u.info.Alpha, c.alpha);
        const Level l = readLevel(u.name, 0);
        EXPECT_EQ(l.format, c.components);  // uploaded with the component count
        EXPECT_EQ(l.rgba, c.rgba);
    }
}

TEST_F(PngTextureTest, SizesBecomePowersOfTwoPlusTheBorder)
{
    struct Case {
        int w, h, border, expectW, expectH;
    } cases[] = {{142, 29, 0, 256, 32}, {64, 64, 0, 64, 64}, {64, 64, 1, 66, 66}, {3, 5, 0, 4, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " border " + std::to_string(c.border));
        std::vector<unsigned> samples;
        for (int i = 0; i < c.w * c.h * 3; ++i)
            samples.push_back(unsigned(i % 251));
        const Upload u = bind(makePng(image(c.w, c.h, PNG_COLOR_TYPE_RGB, 8, samples)), 0, PNG_SOLID, c.border);
        ASSERT_NE(u.name, 0u);
        EXPECT_EQ(u.width, c.expectW);
        EXPECT_EQ(u.height, c.expectH);
        // Mesa keeps no border texels: it stores the inside of a bordered image.
        const Level l = readLevel(u.name, 0);
        const int insideW = c.expectW - 2 * c.border, insideH = c.expectH - 2 * c.border;
        EXPECT_EQ(l.width, insideW);
        EXPECT_EQ(l.height, insideH);
        // The last inside texel comes from the source texel the nearest sampling names.
        const float sx = float(c.w) / float(c.expectW), sy = float(c.h) / float(c.expectH);
        const int x = insideW - 1 + c.border, y = insideH - 1 + c.border;
        const size_t source = (size_t(int(float(y) * sy)) * c.w + int(float(x) * sx)) * 3;
        EXPECT_EQ(l.rgba[(size_t(insideW) * insideH - 1) * 4], samples[source]);
    }
}

TEST_F(PngTextureTest, MipmapModesUploadEveryLevelDownToOneTexel)
{
    const PngTestImage grey = image(4, 2, PNG_COLOR_TYPE_GRAY, 8, {0, 4, 8, 12, 100, 104, 108, 113});
    struct Case {
        int mode;
        std::vector<uint8_t> level1, level2;  // red of each texel
    } cases[] = {{PNG_BUILDMIPMAPS, {52, 60}, {56}}, {PNG_SIMPLEMIPMAPS, {0, 8}, {0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const Upload u = bind(makePng(grey), c.mode, PNG_SOLID);
        ASSERT_NE(u.name, 0u);
        const Level sizes[3] = {readLevel(u.name, 0), readLevel(u.name, 1), readLevel(u.name, 2)};
        EXPECT_EQ(sizes[0].width, 4);
        EXPECT_EQ(sizes[0].height, 2);
        EXPECT_EQ(sizes[1].width, 2);
        EXPECT_EQ(sizes[1].height, 1);
        EXPECT_EQ(sizes[2].width, 1);
        EXPECT_EQ(sizes[2].height, 1);
        EXPECT_EQ(sizes[1].rgba[0], c.level1[0]);
        EXPECT_EQ(sizes[1].rgba[4], c.level1[1]);
        EXPECT_EQ(sizes[2].rgba[0], c.level2[0]);
        GLint levelThree = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 3, GL_TEXTURE_WIDTH, &levelThree);
        EXPECT_EQ(levelThree, 0);
    }
    // A non-negative mode uploads just that level.
    const Upload single = bind(makePng(grey), 1, PNG_SOLID);
    ASSERT_NE(single.name, 0u);
    EXPECT_EQ(readLevel(single.name, 1).width, 4);
    EXPECT_EQ(readLevel(single.name, 0).width, 0);
}

TEST_F(PngTextureTest, TransparencyModesGiveAlphaFromTheFileOrTheColour)
{
    // Texels: black, (10, 10, 6), (100, 20, 30), white, with file alpha 77 each.
    const PngTestImage rgba = image(4, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8,
                                    {0, 0, 0, 77, 10, 10, 6, 77, 100, 20, 30, 77, 255, 255, 255, 77});
    // The same texels as a 2-bit palette whose transparency table gives each alpha 77.
    PngTestImage palette = image(4, 1, PNG_COLOR_TYPE_PALETTE, 2, {0, 1, 2, 3});
    palette.Palette = {{0, 0, 0}, {10, 10, 6}, {100, 20, 30}, {255, 255, 255}};
    palette.PaletteAlpha = {77, 77, 77, 77};
    const uint8_t colours[4][3] = {{0, 0, 0}, {10, 10, 6}, {100, 20, 30}, {255, 255, 255}};
    struct Case {
        int mode;
        GLint components;
        std::vector<uint8_t> alpha;
    } cases[] = {
        {PNG_ALPHA, 4, {77, 77, 77, 77}},    {PNG_SOLID, 3, {255, 255, 255, 255}},
        {PNG_STENCIL, 4, {0, 255, 255, 255}}, {1, 4, {0, 26, 150, 255}},
        {2, 4, {0, 13, 75, 255}},             {3, 4, {0, 8, 50, 255}},
        {4, 4, {0, 236, 255, 255}},           {5, 4, {0, 118, 255, 255}},
        {6, 4, {0, 78, 255, 255}},            {7, 4, {0, 15, 106, 255}},
        {PNG_CALLBACK, 4, {255, 255, 255, 255}},
    };
    for (const PngTestImage* source : {&rgba, static_cast<const PngTestImage*>(&palette)})
        for (const Case& c : cases) {
            SCOPED_TRACE(c.mode);
            SCOPED_TRACE(source == &rgba ? "RGBA" : "palette");
            const Upload u = bind(makePng(*source), 0, c.mode, 0);
            ASSERT_NE(u.name, 0u);
            EXPECT_EQ(u.info.Alpha, c.components == 4 ? 8u : 0u);
            const Level l = readLevel(u.name, 0);
            EXPECT_EQ(l.format, c.components);
            ASSERT_EQ(l.rgba.size(), 16u);
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(l.rgba[4 * i + 3], c.alpha[i]) << "texel " << i;
                for (int k = 0; k < 3; ++k)
                    EXPECT_EQ(l.rgba[4 * i + k], colours[i][k]) << "texel " << i;  // colours stay
            }
        }
}

TEST_F(PngTextureTest, FailedLoadsReturnNothingAndReleaseTheTextureName)
{
    const std::string good = makePng(image(2, 2, PNG_COLOR_TYPE_RGB, 8, std::vector<unsigned>(12, 9)));
    std::string badSignature = good;
    badSignature[0] = 'x';
    const std::string failures[] = {good.substr(0, good.size() - 16), badSignature,
                                    pngHeaderOnly(100000, 100000, 8, PNG_COLOR_TYPE_RGB)};
    for (const std::string& bytes : failures) {
        GLuint probe = 0;
        glGenTextures(1, &probe);
        glDeleteTextures(1, &probe);
        const Upload u = bind(bytes, 0, PNG_ALPHA);
        EXPECT_EQ(u.name, 0u);
        // The name made for the load is gone again (Mesa hands out names in rising order).
        EXPECT_FALSE(glIsTexture(probe + 1));
    }
    // Options the loader does not know fail before anything is read.
    EXPECT_EQ(bind(good, -3, PNG_ALPHA).name, 0u);
    EXPECT_EQ(bind(good, 0, 8).name, 0u);
    EXPECT_EQ(bind(good, 0, -4).name, 0u);
    EXPECT_EQ(bind(good, 0, PNG_ALPHA, 2).name, 0u);
    EXPECT_EQ(PngBindFile(dir.file("missing.png").c_str(), 0, PNG_ALPHA, nullptr, GL_CLAMP, GL_LINEAR, GL_LINEAR,
                          nullptr, nullptr, 0),
              0u);
}

TEST_F(PngTextureTest, TheStoreLoadsOnlyPngNamesAndListsWhatItIsGiven)
{
    TextureCacheC* cache = TextureCacheC::Instance();
    EXPECT_EQ(cache, getTextureCache());
    std::vector<unsigned> samples(142 * 29 * 4, 200);
    const std::string logo = makePng(image(142, 29, PNG_COLOR_TYPE_RGB_ALPHA, 8, samples));
    const std::string upper = dir.write("LOGO.PNG", logo);
    TextureC* texture = cache->LoadPng(upper.c_str(), 0, GL_CLAMP, GL_LINEAR, GL_LINEAR);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->Width, 256);
    EXPECT_EQ(texture->Height, 32);
    EXPECT_TRUE(glIsTexture(texture->Name));
    GLint wrap = 0, filter = 0;
    glBindTexture(GL_TEXTURE_2D, texture->Name);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(wrap, GL_CLAMP);
    EXPECT_EQ(filter, GL_LINEAR);
    EXPECT_EQ(cache->Textures.entries(), 0u);  // the caller owns it

    // Names not ending in png are not even opened.
    EXPECT_EQ(cache->LoadPng(dir.write("logo.jpg", logo).c_str(), 0, GL_CLAMP, GL_LINEAR, GL_LINEAR), nullptr);
    EXPECT_EQ(cache->LoadPng("ng", 0, GL_CLAMP, GL_LINEAR, GL_LINEAR), nullptr);
    EXPECT_EQ(cache->LoadPng(nullptr, 0, GL_CLAMP, GL_LINEAR, GL_LINEAR), nullptr);
    EXPECT_EQ(cache->LoadPng(dir.file("none.png").c_str(), 0, GL_CLAMP, GL_LINEAR, GL_LINEAR), nullptr);

    // Find, Remove and Clear work on the listed textures and delete them.
    const GLuint name = texture->Name;
    cache->Textures.insert(texture);
    TextureC* fresh = new TextureC(8, 8);
    cache->Textures.insert(fresh);
    EXPECT_EQ(cache->Find(name), texture);
    EXPECT_EQ(cache->Find(fresh->Name), fresh);
    EXPECT_EQ(cache->Find(999999), nullptr);
    cache->Remove(name);
    EXPECT_EQ(cache->Find(name), nullptr);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(cache->Textures.entries(), 1u);
    cache->Clear();
    EXPECT_EQ(cache->Textures.entries(), 0u);
}

TEST_F(PngTextureTest, TheViewerImagesAllLoadWithTheirSizes)
{
    struct Case {
        const char* name;
        int width, height;
    } cases[] = {
        {"front.png", 32, 32},      {"back.png", 32, 32},           {"top.png", 32, 32},
        {"bottom.png", 32, 32},     {"left.png", 32, 32},           {"right.png", 32, 32},
        {"isometric.png", 32, 32},  {"panel_left.png", 16, 64},     {"panel_center.png", 32, 64},
        {"panel_right.png", 16, 64}, {"line.png", 32, 32},          {"shade.png", 32, 32},
        {"shade_line.png", 32, 32}, {"zoom.png", 32, 32},           {"help.png", 32, 32},
        {"explode.png", 32, 32},    {"options.png", 32, 32},        {"mouse_help.png", 256, 256},
        {"metal.png", 256, 256},    {"korvane.png", 256, 32},
    };
    if (!std::filesystem::exists(viewerImage("front.png")))
        GTEST_SKIP() << "viewer images not found beside the sources";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextureC* texture =
            TextureCacheC::Instance()->LoadPng(viewerImage(c.name).c_str(), 0, GL_CLAMP, GL_LINEAR, GL_LINEAR);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->Width, c.width);
        EXPECT_EQ(texture->Height, c.height);
        PngRawInfo raw;
        ASSERT_TRUE(PngLoadRawFile(viewerImage(c.name).c_str(), &raw));
        EXPECT_EQ(raw.Width, unsigned(c.width));
        EXPECT_EQ(raw.Components, 4u);
        delete texture;
    }
    // The logo sits in the top-left 142 x 29 texels; the rest of its texture is clear.
    PngRawInfo logo;
    ASSERT_TRUE(PngLoadRawFile(viewerImage("korvane.png").c_str(), &logo));
    unsigned insideCorner = 0, outside = 0;
    for (unsigned y = 0; y < logo.Height; ++y)
        for (unsigned x = 0; x < logo.Width; ++x)
            if (logo.Data[(y * logo.Width + x) * 4 + 3] != 0)
                ++(x < 142 && y < 29 ? insideCorner : outside);
    EXPECT_GT(insideCorner, 500u);
    EXPECT_EQ(outside, 0u);
}
