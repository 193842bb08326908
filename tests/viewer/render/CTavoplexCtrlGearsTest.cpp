// Tests of the loading gears: their sizes from an injected generator, their display lists made
// once, and nothing at all while the gears are switched off.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

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
    // A bore only below the middle of its draw: the middle itself gives a solid gear.
    GearState middle;
    middle.Uniform = [] { return 0.5; };
    middle.DrawSizes();
    EXPECT_EQ(middle.G1.InnerRadius, 0.0f);
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
        // The control owns the texture while it is lent: hand it over or take it back.
        if (k.texture != (c.MetalTexture != nullptr))
            std::swap(c.MetalTexture, metal);
        const std::array<uint8_t, 4> p = shot(1.0f);
        EXPECT_EQ(!pixelNear(p, {plain[0], plain[1], plain[2]}), k.textured);
    }
    OpenGLLock lock(c);
    c.MetalTexture.reset();
    metal.reset();
}

namespace {

// Feedback of what draw() emits under a plain view where window x, y are the eye's x, y + 200
// (the context current). Gives the values written.
std::vector<GLfloat> feedbackOf(const std::function<void()>& draw)
{
    std::vector<GLfloat> buffer(1 << 16);
    glViewport(0, 0, 400, 400);
    glDisable(GL_CULL_FACE);  // back faces count as well
    startFeedback(buffer);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-200, 200, -200, 200, -200, 200);
    glMatrixMode(GL_MODELVIEW);
    draw();
    const GLint n = glRenderMode(GL_RENDER);
    buffer.resize(size_t(std::max(n, 0)));
    return buffer;
}

// Distances from the view's centre of every vertex of the polygons in a feedback buffer.
std::vector<double> polygonRadii(const std::vector<GLfloat>& fb)
{
    std::vector<double> radii;
    for (size_t i = 0; i < fb.size();) {
        const GLfloat token = fb[i++];
        if (token == GL_POLYGON_TOKEN) {
            const int count = int(fb[i++]);
            for (int k = 0; k < count; ++k, i += 3)
                radii.push_back(std::hypot(fb[i] - 200.0, fb[i + 1] - 200.0));
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            i += 3;
        } else {
            i += 6;  // line tokens
        }
    }
    return radii;
}

double wrapDegrees(double a) { return std::remainder(a, 360.0); }

}  // namespace

TEST(CTavoplexCtrlGears, GearsMeshWhereAndHowFastTheyTurn)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    OpenGLLock lock(c);
    // Stand-ins for the three gears' lists: a marker, the centre and a point 10 along x.
    const GLuint base = glGenLists(3);
    for (GLuint i = 0; i < 3; ++i) {
        glNewList(base + i, GL_COMPILE);
        glPassThrough(GLfloat(i));
        glBegin(GL_POINTS);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(10.0f, 0.0f, 0.0f);
        glEnd();
        glEndList();
    }
    // G1 with an odd and an even tooth count (offset 2.5 and 3 teeth).
    const struct Case {
        float r1, r2, r3;
        double t;
    } cases[] = {{42, 20, 16, 2.5}, {48, 16, 18, 3.0}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.r1);
        c.Gears.ToothDepth = 6.0f;
        c.Gears.G1 = GearRecord{k.r1, 0.0f, 10.0f, k.r1 / 2};
        c.Gears.G2 = GearRecord{k.r2, 0.0f, 10.0f, k.r2 / 2};
        c.Gears.G3 = GearRecord{k.r3, 0.0f, 10.0f, k.r3 / 2};
        c.GearAngle = 40.0f;
        const std::vector<GLfloat> fb = feedbackOf([&] {
            glLoadIdentity();
            c.DrawGearSet(base, 1.0f, false);
        });
        // Per gear: the centre in the plane (the view is tipped 45 degrees about x) and the turn.
        double x[3] = {}, y[3] = {}, turn[3] = {};
        int seen = 0;
        for (size_t i = 0; i + 9 < fb.size(); ++i) {
            if (fb[i] != GL_PASS_THROUGH_TOKEN || fb[i + 2] != GL_POINT_TOKEN || fb[i + 6] != GL_POINT_TOKEN)
                continue;
            const int g = int(fb[i + 1]);
            x[g] = fb[i + 3] - 200.0;
            y[g] = (fb[i + 4] - 200.0) / std::sqrt(0.5);
            turn[g] = std::atan2((fb[i + 8] - 200.0) / std::sqrt(0.5) - y[g], fb[i + 7] - 200.0 - x[g]) * 180.0 / M_PI;
            ++seen;
        }
        ASSERT_EQ(seen, 3);
        const double h = 20.0, phi = 360.0 / (k.r1 / 2) * k.t + 270.0, d = 1.2 + k.r1 + k.r2;
        const double q1 = -h * k.r2 / k.r1;
        EXPECT_NEAR(x[1], std::sin(phi * M_PI / 180.0) * d, 1e-3);
        EXPECT_NEAR(y[1], std::cos(phi * M_PI / 180.0) * d, 1e-3);
        EXPECT_NEAR(wrapDegrees(turn[1] - (h - phi - 90.0 - 360.0 / (k.r2 / 2) * 0.3)), 0.0, 1e-2);
        EXPECT_NEAR(x[0], 0.0, 1e-3);
        EXPECT_NEAR(y[0], 0.0, 1e-3);
        EXPECT_NEAR(wrapDegrees(turn[0] - q1), 0.0, 1e-2);
        EXPECT_NEAR(x[2], 1.2 + k.r1 + k.r3, 1e-3);
        EXPECT_NEAR(y[2], 0.0, 1e-3);
        EXPECT_NEAR(wrapDegrees(turn[2] - (-q1 * k.r1 / k.r3 + 180.0 - 360.0 / (k.r3 / 2) * 0.3)), 0.0, 1e-2);
    }
    glDeleteLists(base, 3);
}

TEST(CTavoplexCtrlGears, TeethReachHalfTheDepthEachWayAndOnlyTheSquareHubIsDrawn)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    OpenGLLock lock(c);
    // Outer radius 60, depth 20: tooth roots at 50, tips at 70; the bore at 20.
    std::vector<double> radii = polygonRadii(feedbackOf([&] {
        glLoadIdentity();
        c.BuildGear(20.0f, 60.0f, 10.0f, 12, 20.0f, false);
    }));
    ASSERT_FALSE(radii.empty());
    for (double want : {20.0, 50.0, 70.0})
        EXPECT_TRUE(std::any_of(radii.begin(), radii.end(), [&](double r) { return std::fabs(r - want) < 1e-2; }))
            << want;
    EXPECT_NEAR(*std::max_element(radii.begin(), radii.end()), 70.0, 1e-2);

    for (int shape = 0; shape <= 4; ++shape) {
        radii = polygonRadii(feedbackOf([&] {
            glLoadIdentity();
            c.BuildHub(10.0f, shape, 30.0f, 80.0f, false);
        }));
        EXPECT_EQ(radii.empty(), shape != 2 && shape != 4) << shape;
        if (!radii.empty()) {
            EXPECT_NEAR(*std::max_element(radii.begin(), radii.end()), 30.0 * std::sqrt(2.0), 1e-2) << shape;
        }
    }
}

TEST(CTavoplexCtrlGears, OutlinesAreScaledAndSmoothOnlyWithAntialiasingOne)
{
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    c.WindowWidth = c.WindowHeight = 300;
    c.Gears.Uniform = [] { return 1.0; };
    c.DrawScale = 3.0f;
    auto shot = [&](int antialiasing) {
        c.Antialiasing = antialiasing;
        OpenGLLock lock(c);
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        c.DrawGears(1.0f);
        GLfloat width = 0.0f;
        glGetFloatv(GL_LINE_WIDTH, &width);
        EXPECT_FLOAT_EQ(width, 2.0f);
        EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
        c.PresentFrame();
        return v.frame().rgba;
    };
    const std::vector<uint8_t> plain = shot(0);
    EXPECT_NE(shot(1), plain);
    EXPECT_EQ(shot(2), plain);
}
