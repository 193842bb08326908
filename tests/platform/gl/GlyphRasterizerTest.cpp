// Tests of the glyph bitmaps: size choice, code page 1252 and the bitmap layout.
#include "platform/gl/GlyphRasterizer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

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

namespace {

// Runs check in a child process, where nothing has been prepared yet, and gives its result;
// 1000 when the child did not end well within a generous deadline.
int inFreshProcess(const std::function<int()>& check)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(check());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return 1000;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
}

}  // namespace

// A font prepared ahead is the one made where it is asked for, as long as nothing that chooses
// it changed in between; a fork of the process that prepared it makes its own.
TEST(GlyphRasterizer, APreparedFontIsTheOneMadeWhereAsked)
{
    const std::string fixed = GlyphRasterizer::fixedFontFile();
    PrivateFontconfig fonts;
    const std::string face = fonts.addFont(fixed, "Face.ttf", false);
    ScopedEnv config("FONTCONFIG_FILE", fonts.configFile().c_str());
    GlyphSet direct;
    ASSERT_TRUE(GlyphRasterizer::rasterize(direct, face));
    auto sameGlyphs = [&](const GlyphSet& set) {
        for (size_t code = 0; code < 256; ++code)
            if (set.glyphs[code].bits != direct.glyphs[code].bits || set.glyphs[code].advance != direct.glyphs[code].advance)
                return false;
        return set.height == direct.height;
    };
    EXPECT_EQ(inFreshProcess([&] {
                  GlyphRasterizer::prepareUserInterfaceFont();
                  GlyphSet set;
                  return GlyphRasterizer::rasterizeUserInterfaceFont(set) != face ? 1 : !sameGlyphs(set) ? 2 : 0;
              }),
              0);
    // Another fixed file after the start: the font that one chooses. (The environment is not
    // changed while the worker may read it.)
    PrivateFontconfig none;
    EXPECT_EQ(inFreshProcess([&] {
                  ScopedEnv other("FONTCONFIG_FILE", none.configFile().c_str());
                  GlyphRasterizer::prepareUserInterfaceFont();  // would find the fixed file
                  GlyphRasterizer::fixedFontFile() = none.configFile() + ".none";
                  GlyphSet set;
                  return GlyphRasterizer::rasterizeUserInterfaceFont(set).empty() ? 0 : 1;
              }),
              0);
#if !defined(__SANITIZE_THREAD__)  // the thread sanitizer cannot follow a fork of a process with threads
    // A fork finds the font its parent started pending, without the parent's worker.
    EXPECT_EQ(inFreshProcess([&] {
                  GlyphRasterizer::prepareUserInterfaceFont();
                  const int child = inFreshProcess([&] {
                      GlyphSet set;
                      if (GlyphRasterizer::rasterizeUserInterfaceFont(set) != face || !sameGlyphs(set))
                          return 1;
                      GlyphRasterizer::prepareUserInterfaceFont();
                      return GlyphRasterizer::rasterizeUserInterfaceFont(set) == face ? 0 : 2;
                  });
                  GlyphSet set;
                  const bool own = GlyphRasterizer::rasterizeUserInterfaceFont(set) == face;
                  return child != 0 ? 10 + child : own ? 0 : 3;
              }),
              0);
#endif
}
