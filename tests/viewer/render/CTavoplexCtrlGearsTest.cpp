// Tests of the loading gears: their sizes from an injected generator, their display lists made
// once, and nothing at all while the gears are switched off.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

#include "tests/viewer/render/DrawTestSupport.h"

namespace {

size_t countOf(const std::string& text, const std::string& line)
{
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + line.size()))
        ++n;
    return n;
}

bool isEvenWhole(float v) { return v == std::floor(v) && std::fmod(v, 2.0f) == 0.0f; }

}  // namespace

TEST(GearState, SizesStayWithinTheirRangesWhateverTheGenerator)
{
    struct Case {
        const char* name;
        std::function<double()> uniform;
    };
    std::vector<Case> cases = {{"always 0", [] { return 0.0; }}, {"always 1", [] { return 1.0; }},
                               {"always 0.5", [] { return 0.5; }}};
    for (unsigned seed = 1; seed <= 300; ++seed) {
        auto engine = std::make_shared<std::mt19937>(seed);
        cases.push_back({"seeded", [engine] { return std::uniform_real_distribution<double>(0.0, 1.0)(*engine); }});
    }
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        GearState g;
        g.Uniform = k.uniform;
        g.DrawSizes();
        EXPECT_GE(g.ToothDepth, 5.0f);
        EXPECT_LE(g.ToothDepth, 8.0f);
        const GearRecord* gears[3] = {&g.G1, &g.G2, &g.G3};
        for (int i = 0; i < 3; ++i) {
            const GearRecord& r = *gears[i];
            const float maxOuter = i == 0 ? 50.0f : 51.0f - g.G1.OuterRadius / 1.5f;
            EXPECT_TRUE(isEvenWhole(r.OuterRadius)) << r.OuterRadius;
            EXPECT_GE(r.OuterRadius, 16.0f);
            EXPECT_LE(r.OuterRadius, maxOuter);
            EXPECT_EQ(r.Teeth, r.OuterRadius / 2.0f);
            EXPECT_TRUE(r.InnerRadius == 0.0f ||
                        (r.InnerRadius >= 0.25f * r.OuterRadius && r.InnerRadius <= 0.59f * r.OuterRadius));
            EXPECT_GE(r.GearWidth, 2.0f);
            EXPECT_LE(r.GearWidth, 35.0f);
        }
    }

    // Both ends of the generator's range can occur: all lows give the smallest gears with a
    // bore, all highs the largest solid G1 and G2 and G3 held to 16 beside it.
    GearState low;
    low.Uniform = [] { return 0.0; };
    low.DrawSizes();
    EXPECT_EQ(low.ToothDepth, 5.0f);
    EXPECT_EQ(low.G1.OuterRadius, 16.0f);
    EXPECT_EQ(low.G1.InnerRadius, 4.0f);
    EXPECT_EQ(low.G1.GearWidth, 2.0f);
    EXPECT_EQ(low.G1.Teeth, 8.0f);
    GearState high;
    high.Uniform = [] { return 1.0; };
    high.DrawSizes();
    EXPECT_EQ(high.ToothDepth, 8.0f);
    EXPECT_EQ(high.G1.OuterRadius, 50.0f);
    EXPECT_EQ(high.G1.InnerRadius, 0.0f);
    EXPECT_EQ(high.G1.Teeth, 25.0f);
    EXPECT_EQ(high.G2.OuterRadius, 16.0f);
    EXPECT_EQ(high.G3.OuterRadius, 16.0f);

    // The own generator keeps to the same ranges.
    GearState own;
    own.Seed();
    for (int i = 0; i < 1000; ++i) {
        const float r = own.RandomRange(16.0f, 50.0f);
        ASSERT_GE(r, 16.0f);
        ASSERT_LE(r, 50.0f);
    }
}

TEST(CTavoplexCtrlGears, ListsAreMadeOnceAndOnlyWhileGearsAreOn)
{
    ViewerHarness v(300, 300);
    v.writeConfig("[COMMON]\nDEBUG=1\n");
    CTavoplexCtrl& c = v.open();
    c.WindowWidth = c.WindowHeight = 300;
    c.Gears.Uniform = [] { return 0.5; };

    const char* const lines[] = {"  Set Gear Viewport.\n", "  Creat Gear Lists.\n", "  Draw shaded gears.\n",
                                 "  Draw gear lines.\n"};
    {
        OpenGLLock lock(c);
        c.GearsEnabled = 0;
        c.DrawGears(1.0f);
        c.DrawGears(0.0f);
    }
    EXPECT_EQ(c.GearLists, GLuint(-1));
    std::string log = TempDir::read(v.userFile("tavoplex.log"));
    for (const char* line : lines)
        EXPECT_EQ(countOf(log, line), 0u) << line;

    {
        OpenGLLock lock(c);
        c.GearsEnabled = 1;
        while (glGetError() != GL_NO_ERROR) {
        }
        c.DrawGears(1.0f);
        const GLuint first = c.GearLists;
        ASSERT_NE(first, GLuint(-1));
        // A fully transparent frame still runs the whole drawing, on the same lists.
        c.DrawGears(0.0f);
        EXPECT_EQ(c.GearLists, first);
        for (GLuint i = 0; i < 6; ++i)
            EXPECT_TRUE(glIsList(first + i)) << i;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

        // Going with the context deletes them.
        c.DeleteGearLists();
        EXPECT_EQ(c.GearLists, GLuint(-1));
        for (GLuint i = 0; i < 6; ++i)
            EXPECT_FALSE(glIsList(first + i)) << i;
    }
    log = TempDir::read(v.userFile("tavoplex.log"));
    EXPECT_EQ(countOf(log, lines[0]), 2u);
    EXPECT_EQ(countOf(log, lines[1]), 1u);
    EXPECT_EQ(countOf(log, lines[2]), 2u);
    EXPECT_EQ(countOf(log, lines[3]), 2u);
    EXPECT_NE(log.find("  Set Gear Viewport.\n  Creat Gear Lists.\n  Draw shaded gears.\n  Draw gear lines.\n"),
              std::string::npos);
}

TEST(CTavoplexCtrlGears, GearsShowWhereTheyStandGreyOrMetallic)
{
    // All draws high: G1 is solid with outer radius 50 at the origin of the gear view, which
    // puts its centre 37 units (of 204 across the window) below the window's centre.
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    c.WindowWidth = c.WindowHeight = 300;
    c.Gears.Uniform = [] { return 1.0; };
    const int centreRow = 150 + int(37.0 / 204.0 * 300.0);
    auto shot = [&](float alpha) {
        OpenGLLock lock(c);
        glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        c.DrawGears(alpha);
        c.PresentFrame();
        EXPECT_TRUE(pixelNear(v.pixel(5, 5), {255, 0, 255}));
        return v.pixel(150, centreRow);
    };
    const std::array<uint8_t, 4> plain = shot(1.0f);
    EXPECT_FALSE(pixelNear(plain, {255, 0, 255}));
    EXPECT_EQ(plain[0], plain[1]);  // grey
    // Fully transparent: the whole drawing runs and nothing shows.
    EXPECT_TRUE(pixelNear(shot(0.0f), {255, 0, 255}));

    // The metal texture shows only with Metallic exactly 1 and a texture there.
    std::unique_ptr<TextureC> metal;
    {
        OpenGLLock lock(c);
        metal = makePlainTexture(255, 128, 0);
    }
    struct Case {
        int metallic;
        bool texture;
        bool textured;
    } cases[] = {{1, true, true}, {2, true, false}, {0, true, false}, {1, false, false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "metallic " << k.metallic << " texture " << k.texture);
        c.Metallic = k.metallic;
        c.MetalTexture = k.texture ? metal.get() : nullptr;
        const std::array<uint8_t, 4> p = shot(1.0f);
        EXPECT_EQ(!pixelNear(p, {plain[0], plain[1], plain[2]}), k.textured);
    }
    OpenGLLock lock(c);
    c.MetalTexture = nullptr;
    metal.reset();
}
