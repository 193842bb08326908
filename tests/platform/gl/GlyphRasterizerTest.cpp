// Tests of the glyph bitmaps: size choice, code page 1252 and the bitmap layout.
#include "platform/gl/GlyphRasterizer.h"

#include <gtest/gtest.h>

using namespace platform::gl;

TEST(GlyphRasterizer, CodePage1252MapsTheHighBytes)
{
    const struct {
        uint8_t byte;
        char32_t ch;
    } cases[] = {{'A', U'A'}, {0x80, U'\u20AC'}, {0x81, 0}, {0x8A, U'\u0160'}, {0x99, U'\u2122'},
                 {0x9F, U'\u0178'}, {0xA0, U'\u00A0'}, {0xE9, U'\u00E9'}, {0xFF, U'\u00FF'}};
    for (const auto& k : cases)
        EXPECT_EQ(GlyphRasterizer::codePage1252(k.byte), k.ch) << int(k.byte);
}

TEST(GlyphRasterizer, LargestSizeWithSmallDescentAndEveryPrintableCode)
{
    GlyphSet set;
    ASSERT_TRUE(GlyphRasterizer::rasterize(set));
    EXPECT_LE(set.descent, 3);
    EXPECT_EQ(set.height, set.ascent + set.descent);
    // One size larger would descend further.
    GlyphSet larger;
    ASSERT_TRUE(GlyphRasterizer::rasterize(larger, GlyphRasterizer::defaultFontFile(), set.pixelSize + 1, 99));
    EXPECT_GT(larger.descent, 3);

    for (int code = 32; code < 256; ++code) {
        const bool undefined = code == 0x7F || GlyphRasterizer::codePage1252(uint8_t(code)) == 0;
        EXPECT_EQ(set.glyphs[size_t(code)].advance > 0, !undefined) << code;
    }
    for (int code = 0; code < 32; ++code)
        EXPECT_EQ(set.glyphs[size_t(code)].advance, 0);
    // 'g' reaches below the baseline, 'A' does not; bits fit the bitmap.
    const Glyph& g = set.glyphs['g'];
    EXPECT_GT(g.originY, 0);
    EXPECT_EQ(set.glyphs['A'].originY, 0);
    EXPECT_EQ(g.bits.size(), size_t((g.width + 7) / 8 * g.height));
    for (uint8_t b : set.glyphs[' '].bits)
        EXPECT_EQ(b, 0);
}

TEST(GlyphRasterizer, MissingFontFileFails)
{
    GlyphSet set;
    set.pixelSize = 42;
    EXPECT_FALSE(GlyphRasterizer::rasterize(set, "/nonexistent/font.ttf"));
    EXPECT_EQ(set.pixelSize, 42);
}
