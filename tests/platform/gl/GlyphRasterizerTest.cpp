// Tests of the glyph bitmaps: size choice, code page 1252 and the bitmap layout.
#include "platform/gl/GlyphRasterizer.h"

#include <gtest/gtest.h>

#include "tests/support/PrivateFontconfig.h"
#include "tests/support/ScopedEnv.h"

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
    ASSERT_TRUE(GlyphRasterizer::rasterize(set, GlyphRasterizer::fixedFontFile()));
    EXPECT_LE(set.descent, 3);
    EXPECT_EQ(set.height, set.ascent + set.descent);
    // One size larger would descend further.
    GlyphSet larger;
    ASSERT_TRUE(GlyphRasterizer::rasterize(larger, GlyphRasterizer::fixedFontFile(), set.pixelSize + 1, 99));
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

TEST(GlyphRasterizer, FontconfigFindsDejaVuSansElseTheDefaultSansSerifThenTheFixedPath)
{
    const std::string fixed = GlyphRasterizer::fixedFontFile();
    const std::string serif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
    struct Case {
        const char* what;
        const char* from;  // the font the configuration knows, none when null
        bool rename;
        bool fixedThere;
    };
    const Case cases[] = {
        {"DejaVu Sans found through fontconfig", "sans", false, true},
        {"no DejaVu reachable: the default sans-serif", "serif", true, true},
        {"fontconfig knows no font: the fixed path", nullptr, false, true},
        {"no font anywhere", nullptr, false, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        PrivateFontconfig fonts;
        std::vector<std::string> expected;
        if (k.from != nullptr)
            expected.push_back(
                fonts.addFont(std::string(k.from) == "sans" ? fixed : serif, "Face.ttf", k.rename));
        ScopedEnv config("FONTCONFIG_FILE", fonts.configFile().c_str());
        GlyphRasterizer::fixedFontFile() = k.fixedThere ? fixed : fonts.configFile() + ".none";
        expected.push_back(GlyphRasterizer::fixedFontFile());
        EXPECT_EQ(GlyphRasterizer::fontFiles(), expected);
        GlyphSet set;
        set.pixelSize = 42;
        const std::string used = GlyphRasterizer::rasterizeUserInterfaceFont(set);
        EXPECT_EQ(used, k.fixedThere ? expected.front() : "");
        EXPECT_EQ(set.pixelSize == 42, used.empty());
        EXPECT_EQ(set.glyphs['A'].advance > 0, !used.empty());
        GlyphRasterizer::fixedFontFile() = fixed;
    }
}
