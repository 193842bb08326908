// The loader's image steps: target sizes, nearest scaling, computed alpha and mipmap levels.
#include "viewer/textures/TextureImage.h"

#include <gtest/gtest.h>

#include "viewer/textures/PngTexture.h"

namespace {

TextureImage ramp(int width, int height, int components)
{
    TextureImage image;
    image.Width = width;
    image.Height = height;
    image.Components = components;
    for (int i = 0; i < width * height * components; ++i)
        image.Pixels.push_back(uint8_t(i));
    return image;
}

unsigned char halfOfRed(unsigned char r, unsigned char, unsigned char)
{
    return r / 2;
}

} // namespace

TEST(TextureImageTest, TargetSizesArePowersOfTwoPlusTheBorderWithinTheLargest)
{
    struct Case {
        int size, border, max, expected;
    } cases[] = {
        {142, 0, 2048, 256}, {29, 0, 2048, 32}, {64, 0, 2048, 64}, {64, 1, 2048, 66}, {66, 1, 2048, 66},
        {1, 0, 2048, 1},     {1, 1, 2048, 3},   {3000, 0, 2048, 2048}, {3000, 1, 2048, 2050}, {2049, 0, 4096, 4096},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textureTargetSize(c.size, c.border, c.max), c.expected) << c.size << " border " << c.border;
}

TEST(TextureImageTest, NearestScalingSamplesTruncatedSourcePositions)
{
    const TextureImage source = ramp(142, 29, 4);
    const TextureImage scaled = scaleNearest(source, 256, 32);
    ASSERT_EQ(scaled.Pixels.size(), 256u * 32 * 4);
    auto texel = [](const TextureImage& im, int x, int y) { return im.Pixels[(size_t(y) * im.Width + x) * 4]; };
    const float sx = 142.0f / 256.0f, sy = 29.0f / 32.0f;
    for (int y : {0, 1, 17, 31})
        for (int x : {0, 1, 100, 255})
            EXPECT_EQ(texel(scaled, x, y), texel(source, int(float(x) * sx), int(float(y) * sy))) << x << "," << y;
    // Shrinking keeps every component of a texel together.
    const TextureImage small = scaleNearest(ramp(4, 4, 3), 2, 2);
    EXPECT_EQ(small.Pixels, (std::vector<uint8_t>{0, 1, 2, 6, 7, 8, 24, 25, 26, 30, 31, 32}));
}

TEST(TextureImageTest, MipmapLevelsOfABorderedImageHalveInsideTheBorder)
{
    const TextureImage level = nextMipmapLevel(ramp(66, 34, 3), 1, true);
    EXPECT_EQ(level.Width, 34);
    EXPECT_EQ(level.Height, 18);
    const TextureImage last = nextMipmapLevel(nextMipmapLevel(ramp(4, 3, 3), 1, true), 1, false);
    EXPECT_EQ(last.Width, 3);
    EXPECT_EQ(last.Height, 3);
}

TEST(TextureImageTest, ComputedAlphaFollowsEachMode)
{
    struct Case {
        int mode;
        uint8_t r, g, b, expected;
    } cases[] = {
        {PNG_STENCIL, 0, 0, 0, 0}, {PNG_STENCIL, 0, 0, 1, 255},
        {1, 100, 100, 55, 255},    {1, 100, 100, 50, 250},
        {2, 200, 200, 110, 255},   {2, 200, 200, 100, 250},
        {3, 255, 255, 255, 255},   {3, 30, 60, 90, 60},
        {4, 10, 10, 5, 225},       {4, 10, 10, 6, 236},  {4, 16, 0, 0, 255},
        {5, 15, 15, 5, 237},       {5, 16, 16, 0, 255},
        {6, 15, 15, 15, 225},      {6, 16, 16, 16, 255},
        {7, 3, 4, 0, 5},           {7, 254, 3, 0, 254},  {7, 255, 0, 0, 255},
        {PNG_CALLBACK, 9, 9, 9, 255},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PngComputedAlpha(c.mode, c.r, c.g, c.b), c.expected)
            << "mode " << c.mode << " (" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";

    PngSetStencil(10, 20, 30);
    EXPECT_EQ(PngComputedAlpha(PNG_STENCIL, 10, 20, 30), 0);
    EXPECT_EQ(PngComputedAlpha(PNG_STENCIL, 0, 0, 0), 255);
    PngSetStencil(0, 0, 0);
    PngSetAlphaCallback(halfOfRed);
    EXPECT_EQ(PngComputedAlpha(PNG_CALLBACK, 200, 0, 0), 100);
    PngSetAlphaCallback(nullptr);
    EXPECT_EQ(PngComputedAlpha(PNG_CALLBACK, 200, 0, 0), 255);

    const TextureImage rgba = addComputedAlpha(ramp(2, 1, 3), 3);
    EXPECT_EQ(rgba.Pixels, (std::vector<uint8_t>{0, 1, 2, 1, 3, 4, 5, 4}));
}
