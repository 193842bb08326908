// Tests of the parts' surfaces, face colours, placements, lines and screw threads in the
// presented frame, and of the draw pacer that keeps the renderer's queue short.
#include <GL/gl.h>
#include <GL/glext.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

#include "geometry/mesh/FEMeshThreadC.h"
#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"
#include "tests/support/FailingAllocation.h"
#include "tests/viewer/render/DrawTestSupport.h"
#include "viewer/render/DrawPacerC.h"
#include "viewer/render/LineVisibilityC.h"

namespace {

using Pixel = std::array<uint8_t, 4>;

std::array<int, 3> rgb(Pixel p) { return {p[0], p[1], p[2]}; }

bool differs(Pixel a, Pixel b) { return !pixelNear(a, rgb(b)); }

// The frame's pixels at the points before and after the model goes in: the background, then
// the model over it. Display mode and transparency are set before the model's frames.
struct Shot {
    std::vector<Pixel> background;
    std::vector<Pixel> model;
};

Shot shoot(FEDisplayPartListC* model, int displayMode, std::initializer_list<std::pair<int, int>> points,
           int size = 300)
{
    ViewerHarness v(size, size);
    CTavoplexCtrl& c = v.open();
    // A plain white background without grid, so that black lines show.
    c.ColorFadeInValue = feColor(1, 1, 1, 1);
    c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = feColor(1, 1, 1, 1);
    c.Grid = 0;
    c.Start = 0;
    c.RenderFrame();
    installParts(c, new FEDisplayPartListC());
    renderSettled(v);
    Shot shot;
    for (auto [x, y] : points)
        shot.background.push_back(v.pixel(x, y));
    installParts(c, model);
    c.DisplayMode = displayMode;
    c.RenderFrame();
    for (auto [x, y] : points)
        shot.model.push_back(v.pixel(x, y));
    return shot;
}

feColor grey() { return feColor(0.6f, 0.6f, 0.6f, 1.0f); }

// What the lines passes of every instance give the renderer, fed back in order: each segment's
// two ends with their colours. A segment that starts a new primitive is taken alike with one
// that continues it.
std::vector<GLfloat> fedBackLines(CTavoplexCtrl& c)
{
    OpenGLLock lock(c);
    std::vector<GLfloat> fb(size_t(1) << 23);
    glFeedbackBuffer(GLsizei(fb.size()), GL_3D_COLOR, fb.data());
    glRenderMode(GL_FEEDBACK);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1000, 1000, -1000, 1000, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (size_t i = 0; i < c.Parts->getInstances().entries(); ++i)
        c.DrawPartLines(*c.Parts->getInstance(i));
    const GLint values = glRenderMode(GL_RENDER);
    EXPECT_GE(values, 0) << "feedback overflow";
    fb.resize(size_t(std::max(values, 0)));
    std::vector<GLfloat> lines;
    for (size_t i = 0; i + 15 <= fb.size(); i += 15) {
        const GLfloat token = fb[i];
        EXPECT_TRUE(token == GLfloat(GL_LINE_TOKEN) || token == GLfloat(GL_LINE_RESET_TOKEN)) << i;
        lines.insert(lines.end(), fb.begin() + long(i) + 1, fb.begin() + long(i) + 15);
    }
    return lines;
}

}  // namespace

TEST(CTavoplexCtrlDrawParts, DisplayModesShowSurfacesAndLinesAsTheyShould)
{
    // The cube's centre, a point inside its outline near the border, and a point outside.
    const std::initializer_list<std::pair<int, int>> points = {{150, 150}, {150, 126}, {40, 40}};
    struct Case {
        int mode;
        bool surface;  // the interior differs from the background
    } cases[] = {{4, true}, {3, true}, {1, false}, {2, false}, {0, true}};
    for (const Case& k : cases) {
        const Shot s = shoot(modelOf(makeCube(15, grey())), k.mode, points);
        EXPECT_EQ(differs(s.model[0], s.background[0]), k.surface) << "mode " << k.mode;
        EXPECT_EQ(differs(s.model[1], s.background[1]), k.surface) << "mode " << k.mode;
        EXPECT_TRUE(pixelNear(s.model[2], rgb(s.background[2]))) << "mode " << k.mode;
    }
}

TEST(CTavoplexCtrlDrawParts, LinesFollowTheOutlineOnlyInLineModes)
{
    // The cube's front face spans 150 +- 28 pixels; its top border runs along row 122.
    for (int mode : {1, 3, 4}) {
        const Shot s = shoot(modelOf(makeCube(15, feColor(1, 1, 1, 1))), mode, {{150, 122}, {150, 121}});
        const bool line = differs(s.model[0], s.background[0]) || differs(s.model[1], s.background[1]);
        if (mode == 3) {
            // Shaded only: the border pixel is surface or background, never a dark line.
            EXPECT_GT(int(s.model[1][0]) + int(s.model[0][0]), 100) << "mode 3";
        } else {
            EXPECT_TRUE(line) << "mode " << mode;
        }
    }
}

TEST(CTavoplexCtrlDrawParts, FaceColourShowsOverThePartColour)
{
    auto* red = new FEMeshFaceInfoColorC(1, 0, 0, 1, 0, 0.5f, 1);
    const Shot s = shoot(modelOf(makeCube(15, feColor(0, 1, 0, 1), red)), 3, {{150, 150}});
    EXPECT_GT(int(s.model[0][0]), 200);
    EXPECT_LT(int(s.model[0][1]), 100);
    const Shot plain = shoot(modelOf(makeCube(15, feColor(0, 1, 0, 1))), 3, {{150, 150}});
    EXPECT_GT(int(plain.model[0][1]), 200);
    EXPECT_LT(int(plain.model[0][0]), 100);
}

TEST(CTavoplexCtrlDrawParts, InstanceAppearsWhereItsPlacementPutsIt)
{
    // Zoom 80 spans 150 pixels from the centre of a 300 x 300 window: (40, -30) lands at
    // column 225, row 206.
    FEDisplayPartC* cube = makeCube(5, grey());
    const Shot s = shoot(modelOf(cube, {translation(40, -30, 0), translation(-40, 40, 0)}), 3,
                         {{225, 206}, {75, 75}, {150, 150}, {75, 206}});
    EXPECT_TRUE(differs(s.model[0], s.background[0]));
    EXPECT_TRUE(differs(s.model[1], s.background[1]));
    EXPECT_TRUE(pixelNear(s.model[2], rgb(s.background[2])));
    EXPECT_TRUE(pixelNear(s.model[3], rgb(s.background[3])));
}

TEST(CTavoplexCtrlDrawParts, TransparencyDecidesTheSurfacePass)
{
    struct Case {
        float t;
        int mode;
        bool surface;
    } cases[] = {{0.0f, 3, true}, {0.5f, 3, true}, {-1.0f, 3, false}, {-1.0f, 0, true}};
    Pixel opaque{};
    for (const Case& k : cases) {
        FEDisplayPartListC* model = modelOf(makeCube(15, grey()));
        model->getInstance(0)->SetTransparency(k.t);
        const Shot s = shoot(model, k.mode, {{150, 150}});
        EXPECT_EQ(differs(s.model[0], s.background[0]), k.surface) << k.t << " mode " << k.mode;
        if (k.t == 0.0f)
            opaque = s.model[0];
        if (k.t == 0.5f) {
            EXPECT_TRUE(differs(s.model[0], opaque)) << "half see-through";
        }
    }
}

TEST(CTavoplexCtrlDrawParts, SeeThroughAndGhostSurfacesTakeTheirAlpha)
{
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    installParts(c, modelOf(makeCube(5, grey())));
    c.IntroFade = 1.0f;
    const struct Case {
        float t;
        int mode;
        float alpha;
    } cases[] = {{0.0f, 3, 1.0f}, {0.5f, 3, 0.5f}, {0.25f, 4, 0.75f}, {0.0f, 0, 0.09f}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "transparency " << k.t << " mode " << k.mode);
        c.Parts->getInstance(0)->SetTransparency(k.t);
        c.DisplayMode = k.mode;
        OpenGLLock lock(c);
        // The surfaces' colours through feedback: per vertex x, y, z and r, g, b, a.
        std::vector<GLfloat> fb(1 << 16);
        glFeedbackBuffer(GLsizei(fb.size()), GL_3D_COLOR, fb.data());
        glRenderMode(GL_FEEDBACK);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-10, 10, -10, 10, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        c.DrawParts();
        fb.resize(size_t(std::max(glRenderMode(GL_RENDER), 0)));
        std::vector<float> alphas;
        for (size_t i = 0; i < fb.size();) {
            const GLfloat token = fb[i++];
            if (token == GL_POLYGON_TOKEN) {
                const int n = int(fb[i++]);
                for (int j = 0; j < n; ++j, i += 7)
                    alphas.push_back(fb[i + 6]);
            } else if (token == GL_PASS_THROUGH_TOKEN) {
                i += 1;
            } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
                i += 14;
            } else {
                i += 7;
            }
        }
        ASSERT_FALSE(alphas.empty());
        for (float a : alphas)
            ASSERT_NEAR(a, k.alpha, 1e-3f);
    }
}

TEST(CTavoplexCtrlDrawParts, SmoothEdgesShowOnlyOnTheSilhouette)
{
    // A shallow roof: two triangles meeting along the x axis, both turned towards +z.
    FEDisplayPartC* roof = new FEDisplayPartC();
    const Point3D a[3] = {{0, 0, 0}, {1, 0, 0}, {0.5, 1, -0.2}};
    const Point3D b[3] = {{1, 0, 0}, {0, 0, 0}, {0.5, -1, -0.2}};
    roof->addFace(a, 3, Point3D(0, 0.2, 1).normalized(), nullptr, 60.0f, 0);
    roof->endFace();
    roof->addFace(b, 3, Point3D(0, -0.2, 1).normalized(), nullptr, 60.0f, 0);
    roof->endFace();
    refHandle<FEDisplayPartC> keep(roof);
    FEMeshEdgeC* ridge = nullptr;
    FEMeshEdgeC* border = nullptr;
    for (FEMeshEdgeC* e = roof->getFirstEdge(); e != nullptr; e = e->getNext())
        (e->getFirstHalfEdge() && e->getSecondHalfEdge() ? ridge : border) = e;
    ASSERT_NE(ridge, nullptr);
    ASSERT_NE(border, nullptr);

    struct Case {
        double tilt;  // degrees about x
        bool smooth;
        bool visible;
    } cases[] = {
        {0, true, false},   // both faces towards the viewer
        {180, true, false}, // both away
        {85, true, true},   // one each way: the silhouette
        {-85, true, true},
        {0, false, true},   // a crease always shows
    };
    for (const Case& k : cases) {
        TransformMatrix m;
        m.rotate(k.tilt, 0, 0);
        ridge->setSmooth(k.smooth);
        EXPECT_EQ(EdgeShowsAsLine(*ridge, m), k.visible) << k.tilt << " smooth " << k.smooth;
        border->setSmooth(true);
        EXPECT_TRUE(EdgeShowsAsLine(*border, m));
    }
}

TEST(CTavoplexCtrlDrawParts, LinesAreTheSameWhetherTheirVisibilityIsFoundOnOneThreadOrMany)
{
    // A torus with creases (its normals are left flat) and enough edges to be cut into pieces;
    // lines only, ghosts too (mode 0 draws hidden lines), so that every line pass shows.
    auto picture = [](const char* threads, int mode) {
        setenv("TAVOPLEX_THREADS", threads, 1);
        FEDisplayPartC* torus = new FEDisplayPartC();
        benchsupport::buildTorus(*torus, 240, 160);
        torus->finalize(-1.0);
        ViewerHarness v(200, 200);
        CTavoplexCtrl& c = v.open();
        c.Grid = 0;
        installParts(c, modelOf(torus));
        c.Rotation.rotate(-50.0, 0.0, 20.0);
        c.DisplayMode = mode;
        renderSettled(v);
        std::vector<Pixel> pixels;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                pixels.push_back(v.pixel(x, y));
        return pixels;
    };
    for (int mode : {1, 0}) {
        const std::vector<Pixel> serial = picture("1", mode);
        const std::vector<Pixel> parallel = picture("8", mode);
        int dark = 0;
        for (const Pixel& p : serial)
            dark += p[0] < 100;
        EXPECT_GT(dark, 200) << "mode " << mode;
        EXPECT_TRUE(serial == parallel) << "mode " << mode;
    }
    unsetenv("TAVOPLEX_THREADS");
}

TEST(CTavoplexCtrlDrawParts, LinesInOneRunDrawTheSamePictureAsLinesOneByOne)
{
    // A creased torus with thousands of lines, on a gradient with the border, grid and axes,
    // which the renderer draws after the lines: every frame, including what follows the
    // lines, must be the one drawn with the lines one by one. Shaded and line modes take the
    // run; see-through instances and ghosts draw hidden lines, one by one either way. (The
    // picture of a loaded model is compared with the bitmap's tests.)
    struct Case {
        int mode;
        float transparency;
        int antialiasing;
    } cases[] = {{4, 0.0f, 1}, {1, 0.0f, 1}, {4, 0.0f, 0}, {2, 0.0f, 1}, {4, 0.4f, 1}, {0, 0.0f, 1}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << k.mode << " transparency " << k.transparency
                                        << " antialiasing " << k.antialiasing);
        std::vector<uint8_t> frames[2][2];
        for (bool oneRun : {false, true}) {
            FEDisplayPartC* torus = new FEDisplayPartC();
            benchsupport::buildTorus(*torus, 240, 160);
            torus->finalize(-1.0);
            ViewerHarness v(220, 180);
            CTavoplexCtrl& c = v.open();
            c.ColorTLValue = feColor(0.2f, 0.4f, 0.9f, 1.0f);
            c.ColorBRValue = feColor(0.9f, 0.8f, 0.3f, 1.0f);
            c.Border = 1;
            c.Axes = 1;
            installParts(c, modelOf(torus));
            c.Parts->getInstance(0)->SetTransparency(k.transparency);
            c.Rotation.rotate(-50.0, 0.0, 20.0);
            c.DisplayMode = k.mode;
            c.Antialiasing = k.antialiasing;
            c.LinesInOneRun = oneRun;
            renderSettled(v);
            frames[oneRun][0] = v.frame().rgba;
            c.RenderFrame();
            frames[oneRun][1] = v.frame().rgba;
        }
        EXPECT_TRUE(frames[1][0] == frames[0][0]);
        EXPECT_TRUE(frames[1][1] == frames[0][1]);
    }
}

TEST(CTavoplexCtrlDrawParts, LinesInOneRunMatchLinesOneByOneWhateverTheirCountAndInstances)
{
    // Line counts around and far above the few drawn one by one at the end, one and two
    // instances (the second's lines follow the first's), window sizes whose border and line
    // widths differ: every frame must be the one drawn with all lines one by one.
    // A see-through second instance draws hidden lines after the first's run; a screw thread
    // follows the lines of its part.
    // A creased torus shows every edge: runs of tens of thousands of lines, handed over in
    // several arrays and flushed between them.
    struct Case {
        int ring, tube, instances, width, height, mode;
        bool seeThroughSecond = false, thread = false, creased = false;
    } cases[] = {{6, 4, 1, 160, 120, 4},          {10, 7, 1, 160, 120, 4},  {12, 8, 2, 160, 120, 4},
                 {40, 30, 2, 201, 157, 4},        {90, 60, 2, 257, 311, 1}, {300, 200, 1, 97, 61, 4},
                 {150, 100, 2, 400, 300, 2},      {40, 30, 2, 201, 157, 4, true},
                 {60, 40, 1, 180, 140, 4, false, true},
                 {64, 43, 1, 160, 120, 4, false, false, true},
                 {120, 100, 2, 201, 157, 1, false, false, true},
                 {160, 120, 1, 120, 90, 4, false, false, true}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "torus " << k.ring << "x" << k.tube << " instances " << k.instances
                                        << " window " << k.width << "x" << k.height << " mode " << k.mode
                                        << (k.seeThroughSecond ? " see-through" : "") << (k.thread ? " thread" : "")
                                        << (k.creased ? " creased" : ""));
        std::vector<uint8_t> frames[2];
        std::vector<GLfloat> lines[2];
        for (bool oneRun : {false, true}) {
            FEDisplayPartC* torus = new FEDisplayPartC();
            benchsupport::buildTorus(*torus, k.ring, k.tube);
            torus->finalize(-1.0);
            for (FEMeshEdgeC* e = torus->getFirstEdge(); k.creased && e != nullptr; e = e->getNext())
                e->setSmooth(false);
            if (k.thread)
                torus->addThread(new FEMeshThreadC(TransformMatrix(), 0, 0, 0, false, 0, 20.0, 0, 3.0, 0));
            ViewerHarness v(k.width, k.height);
            CTavoplexCtrl& c = v.open();
            c.Border = 1;
            installParts(c, k.instances == 1 ? modelOf(torus)
                                             : modelOf(torus, {translation(-8, 0, 0), translation(8, 3, 0)}));
            if (k.seeThroughSecond)
                c.Parts->getInstance(1)->SetTransparency(0.4f);
            c.Rotation.rotate(-50.0, 0.0, 20.0);
            c.DisplayMode = k.mode;
            c.LinesInOneRun = oneRun;
            renderSettled(v);
            frames[oneRun] = v.frame().rgba;
            // Every line, even one a later one covers in the picture, in the same order.
            lines[oneRun] = fedBackLines(c);
        }
        EXPECT_TRUE(frames[1] == frames[0]);
        EXPECT_FALSE(lines[0].empty());
        EXPECT_EQ(lines[1].size(), lines[0].size());
        EXPECT_TRUE(lines[1] == lines[0]);
    }
}

TEST(CTavoplexCtrlDrawParts, ThreadHelixHasItsVertexCountAndBadRadiiAreSkipped)
{
    ViewerHarness v(32, 32);
    CTavoplexCtrl& c = v.open();
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double length, radius;
        int mode;
        float t;
        int segments;  // line segments fed back
        long limit = CTavoplexCtrl::kDefaultThreadVertexLimit;  // helix vertices left in the frame
    } cases[] = {
        {2, 1, 4, 0.0f, 143},    // 6 turns, 2160 degrees, 144 vertices
        {2, 1, 0, 0.0f, 286},    // ghosts add the hidden strip
        {2, 1, 4, 0.5f, 286},    // so does a see-through instance
        {2, 1, 4, -1.0f, 143},
        {0, 1, 4, 0.0f, 0},      // coinciding ends: an empty strip
        {2, 0, 4, 0.0f, 0},      // no finite turn count
        {2, -1, 4, 0.0f, 0},
        {2, nan, 4, 0.0f, 0},
        {2, inf, 4, 0.0f, 0},
        {2, 1e-9, 4, 0.0f, 65535},  // capped
        {2, 1, 4, 0.0f, 99, 100},   // what the frame has left
        {2, 1, 0, 0.0f, 198, 100},  // the hidden strip repeats the same vertices
        {2, 1, 4, 0.0f, 0, 0},
    };
    for (const Case& k : cases) {
        FEDisplayPartC* part = new FEDisplayPartC();
        part->addThread(new FEMeshThreadC(TransformMatrix(), 0, 0, 0, false, 0, k.length, 0, k.radius, 0));
        FEDisplayPartListC* model = modelOf(part);
        model->getInstance(0)->SetTransparency(k.t);
        installParts(c, model);
        c.DisplayMode = k.mode;
        c.ThreadVerticesLeft = k.limit;
        c.ThreadLimitLogged = false;

        ASSERT_TRUE(c.LockOpenGL());
        std::vector<GLfloat> feedback(600000);
        startFeedback(feedback);
        glDisable(GL_DEPTH_TEST);
        c.DrawThreads(*model->getInstance(0), 1, 1, 1, 1);
        const GLint values = glRenderMode(GL_RENDER);
        c.UnlockOpenGL();
        ASSERT_GE(values, 0) << "feedback overflow";
        int segments = 0;
        for (GLint i = 0; i < values; i += 7) {
            EXPECT_TRUE(feedback[size_t(i)] == GLfloat(GL_LINE_TOKEN) || feedback[size_t(i)] == GLfloat(GL_LINE_RESET_TOKEN));
            ++segments;
        }
        EXPECT_EQ(segments, k.segments) << k.length << " " << k.radius << " mode " << k.mode << " t " << k.t;
        EXPECT_EQ(c.ThreadLimitLogged, k.limit < 144 && k.radius == 1) << k.limit;
    }
}

TEST(CTavoplexCtrlDrawParts, EveryFrameHasTheWholeThreadBudgetAgain)
{
    ViewerHarness v(32, 32);
    CTavoplexCtrl& c = v.open();
    // Threads of as many helix vertices as one may have (65,536), together just within what
    // one frame may draw: every frame draws all of them, however many earlier frames drew.
    constexpr int kThreads = 15;
    static_assert(kThreads * 65536L <= CTavoplexCtrl::kDefaultThreadVertexLimit);
    FEDisplayPartC* part = new FEDisplayPartC();
    for (int i = 0; i < kThreads; ++i)
        part->addThread(new FEMeshThreadC(TransformMatrix(), 0, 0, 0, false, 0, 2.0, 0, 1e-9, 0));
    installParts(c, modelOf(part));
    c.DisplayMode = 1;
    std::vector<GLfloat> feedback(size_t(7) * 65535 * kThreads + 1);
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_TRUE(c.LockOpenGL());
        startFeedback(feedback);
        c.DrawParts();
        const GLint values = glRenderMode(GL_RENDER);
        c.UnlockOpenGL();
        ASSERT_GE(values, 0) << "feedback overflow";
        EXPECT_EQ(values / 7, kThreads * 65535) << "frame " << frame;  // a token and two corners a segment
    }
}

TEST(CTavoplexCtrlDrawParts, MetallicLookNeedsTheSettingExactlyOneAndTheTexture)
{
    struct Case {
        int metallic;
        bool texture;
        bool changed;  // the centre differs from plain shading
    } cases[] = {{1, true, true}, {2, true, false}, {0, true, false}, {1, false, false}};
    for (const Case& k : cases) {
        ViewerHarness v(100, 100);
        CTavoplexCtrl& c = v.open();
        installParts(c, modelOf(makeCube(15, feColor(0.2f, 0.3f, 0.9f, 1))));
        c.DisplayMode = 3;
        renderSettled(v);
        const Pixel plain = v.pixel(50, 50);
        std::unique_ptr<TextureC> metal;
        if (k.texture) {
            OpenGLLock lock(c);
            metal = makePlainTexture(200, 200, 200);
        }
        c.MetalTexture = std::move(metal);
        c.Metallic = k.metallic;
        c.RenderFrame();
        EXPECT_EQ(differs(v.pixel(50, 50), plain), k.changed) << "metallic " << k.metallic << " texture " << k.texture;
        OpenGLLock lock(c);
        c.MetalTexture.reset();
    }
}

TEST(CTavoplexCtrlDrawParts, PendingZoomBecomesACameraAnimationInTheNextFrame)
{
    ViewerHarness v(200, 200);
    CTavoplexCtrl& c = v.open();
    installParts(c, modelOf(makeCube(5, grey()), {translation(20, 0, 0)}));
    renderSettled(v);
    ASSERT_TRUE(c.Animations.IsEmpty());
    const Pixel background = v.pixel(100, 100);
    c.ZoomPending = true;
    c.ZoomPart = c.Parts->getInstance(0);
    c.ZoomDuration = 0;
    c.RenderFrame();
    EXPECT_FALSE(c.ZoomPending);
    EXPECT_EQ(c.Animations.Count(), 1u);
    c.Animations.Update(v.clock().now());
    // The view now centres the instance and frames it far closer than the default.
    EXPECT_LT(c.Zoom, 40.0);
    c.RenderFrame();
    EXPECT_TRUE(differs(v.pixel(100, 100), background));
}

// The line pass when memory runs out part way: the lines drawn stay the same.
namespace {

// A torus with creases (flat normals) and more edges than one run of the line pass, in a
// 64 x 64 window, lines over ghosts, so that hidden lines show too.
struct LinedTorus {
    ViewerHarness v{64, 64};
    CTavoplexCtrl& c = v.open();

    LinedTorus()
    {
        c.Grid = 0;
        FEDisplayPartC* torus = new FEDisplayPartC();
        benchsupport::buildTorus(*torus, 240, 160);
        torus->finalize(-1.0);
        installParts(c, modelOf(torus));
        c.Rotation.rotate(-50.0, 0.0, 20.0);
        c.DisplayMode = 0;
        renderSettled(v);
    }
    const FEDisplayPartRefC& instance() const { return *c.Parts->getInstance(0); }

    // The instance's line pass recorded into a list (the lock held), so that it can be drawn
    // alone and nothing but the pass itself runs while it is recorded.
    template <typename Pass>
    GLuint record(Pass pass)
    {
        const GLuint list = glGenLists(1);
        glNewList(list, GL_COMPILE);
        pass();
        glEndList();
        return list;
    }
    // The recorded lines alone in the frame's view, white behind; the list is deleted.
    std::vector<uint8_t> picture(GLuint list)
    {
        glViewport(0, 0, 64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(c.ProjectionMatrix);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(c.ModelViewMatrix);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glCallList(list);
        std::vector<uint8_t> rgba(64 * 64 * 4);
        glReadPixels(0, 0, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glDeleteLists(list, 1);
        return rgba;
    }
};

size_t darkPixels(const std::vector<uint8_t>& rgba)
{
    size_t dark = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        dark += rgba[i] < 128;
    return dark;
}

}  // namespace

TEST(CTavoplexCtrlListMemory, LinePassWithoutRoomForItsTablesOrArraysDrawsTheSameLines)
{
    // Ghosts draw every line one by one; the shaded mode takes its visible lines as one run,
    // from edges it finds itself or found ahead by the frame (then the run's own arrays are
    // what finds no room). A large request failing, or the first, second or third request of
    // the pass: the same lines, nothing thrown, the renderer's client state as it was.
    struct Case {
        int mode;
        bool ahead;
        size_t failFrom;
        long failRequest;
    } cases[] = {{0, false, 128 * 1024, 0}, {4, false, 128 * 1024, 0}, {4, true, 1024, 0},
                 {4, true, 0, 1},           {4, true, 0, 2},            {4, true, 0, 3}};
    LinedTorus t;
    ASSERT_TRUE(t.c.LockOpenGL());
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << k.mode << (k.ahead ? " found ahead" : "") << " failing from "
                                        << k.failFrom << " request " << k.failRequest);
        t.c.DisplayMode = k.mode;
        const FEDisplayPartRefC* placed[] = {&t.instance()};
        LineVisibilityC ahead(placed, 1, t.c.ModelViewMatrix);
        TransformMatrix view;
        view.setFromColumnMajor(t.c.ModelViewMatrix);
        ASSERT_NE(ahead.shownEdges(t.instance(), view * t.instance().GetMatrix()), nullptr);  // found by now
        auto lines = [&](bool starved) {
            return t.record([&] {
                GLint depths[2];
                glGetIntegerv(GL_CLIENT_ATTRIB_STACK_DEPTH, &depths[0]);
                t.c.PendingLineVisibility = k.ahead ? &ahead : nullptr;
                {
                    failingallocation::Scope scope(starved ? k.failFrom : 0);
                    failingallocation::CountdownScope countdown(starved ? k.failRequest : 0);
                    EXPECT_NO_THROW(t.c.DrawPartLines(t.instance()));
                }
                t.c.PendingLineVisibility = nullptr;
                glGetIntegerv(GL_CLIENT_ATTRIB_STACK_DEPTH, &depths[1]);
                EXPECT_EQ(depths[1], depths[0]);
            });
        };
        const std::vector<uint8_t> roomy = t.picture(lines(false));
        const std::vector<uint8_t> starved = t.picture(lines(true));
        EXPECT_GT(darkPixels(roomy), 100u);
        EXPECT_TRUE(starved == roomy);
    }
    t.c.UnlockOpenGL();
}

TEST(CTavoplexCtrlDrawParts, EdgesFoundAheadAreFoundOnceForInstancesTurnedAlike)
{
    // A part placed many times: the instances moved apart but turned alike share one search,
    // one turned otherwise has its own; each gets the edges its own transform shows.
    refHandle<FEDisplayPartC> torus(new FEDisplayPartC);
    benchsupport::buildTorus(*torus, 60, 40);
    torus->finalize(-1.0);
    TransformMatrix moved, turned;
    moved.translate(5.0, -2.0, 7.0);
    turned.rotate(0.0, 40.0, 0.0);
    const FEDisplayPartRefC a(0, torus.get(), TransformMatrix(), TransformMatrix());
    const FEDisplayPartRefC b(0, torus.get(), moved, moved);
    const FEDisplayPartRefC c(0, torus.get(), turned, turned);
    // Mirrored in y: a depth row a's but for one sign, and other edges on the silhouette.
    TransformMatrix mirrored;
    mirrored.set(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    const FEDisplayPartRefC d(0, torus.get(), mirrored, mirrored);
    // Turned as c and half exploded: only its translation differs, so it shares c's search.
    TransformMatrix explodedTo = turned;
    explodedTo.setTranslation(Point3D(30.0, 0.0, -8.0));
    FEDisplayPartRefC e(0, torus.get(), turned, explodedTo);
    e.SetExplodeFraction(0.5);
    TransformMatrix view;
    view.rotate(-50.0, 0.0, 20.0);
    double columns[16];
    view.getColumnMajor(columns);
    const FEDisplayPartRefC* placed[] = {&a, &b, &c, &d, &e};
    LineVisibilityC ahead(placed, 5, columns);
    const std::vector<const FEMeshEdgeC*>* found[5];
    for (int i = 0; i < 5; ++i) {
        const TransformMatrix eye = view * placed[i]->GetMatrix();
        found[i] = ahead.shownEdges(*placed[i], eye);
        ASSERT_NE(found[i], nullptr) << i;
        std::vector<const FEMeshEdgeC*> expected;
        for (const FEMeshEdgeC* e = torus->getFirstEdge(); e != nullptr; e = e->getNext())
            if (EdgeShowsAsLine(*e, eye))
                expected.push_back(e);
        EXPECT_TRUE(*found[i] == expected) << i;
    }
    EXPECT_EQ(found[0], found[1]);
    EXPECT_NE(found[0], found[2]);
    EXPECT_FALSE(*found[0] == *found[2]);  // else sharing it by mistake would not show
    EXPECT_FALSE(*found[0] == *found[3]);
    EXPECT_EQ(found[2], found[4]);
}

TEST(CTavoplexCtrlDrawParts, EdgesFoundAheadAreTakenOnlyUnderTheTransformTheyWereFoundFor)
{
    LinedTorus t;
    CTavoplexCtrl& c = t.c;
    ASSERT_TRUE(c.LockOpenGL());
    TransformMatrix view;
    view.setFromColumnMajor(c.ModelViewMatrix);
    const TransformMatrix eye = view * t.instance().GetMatrix();
    // Found ahead under the frame's view, and under a view turned a little.
    const FEDisplayPartRefC* placed[] = {&t.instance()};
    LineVisibilityC ahead(placed, 1, c.ModelViewMatrix);
    double turned[16];
    for (int k = 0; k < 16; ++k)
        turned[k] = c.ModelViewMatrix[k];
    turned[2] += 0.25;  // the x axis tips towards the eye
    LineVisibilityC aside(placed, 1, turned);

    // What the pass finds itself, edge by edge.
    std::vector<const FEMeshEdgeC*> expected;
    for (const FEMeshEdgeC* e = t.instance().GetPart()->getFirstEdge(); e != nullptr; e = e->getNext())
        if (EdgeShowsAsLine(*e, eye))
            expected.push_back(e);
    const std::vector<const FEMeshEdgeC*>* found = ahead.shownEdges(t.instance(), eye);
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(*found == expected);
    EXPECT_EQ(aside.shownEdges(t.instance(), eye), nullptr);
    TransformMatrix turnedView;
    turnedView.setFromColumnMajor(turned);
    const std::vector<const FEMeshEdgeC*>* other = aside.shownEdges(t.instance(), turnedView * t.instance().GetMatrix());
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(*other == expected);  // else taking it by mistake would not show

    auto lines = [&](LineVisibilityC* pending) {
        return t.record([&] {
            c.PendingLineVisibility = pending;
            c.DrawPartLines(t.instance());
            c.PendingLineVisibility = nullptr;
        });
    };
    const std::vector<uint8_t> itself = t.picture(lines(nullptr));
    const std::vector<uint8_t> fromAhead = t.picture(lines(&ahead));
    const std::vector<uint8_t> fromAside = t.picture(lines(&aside));
    c.UnlockOpenGL();
    EXPECT_GT(darkPixels(itself), 100u);
    EXPECT_TRUE(fromAhead == itself);
    EXPECT_TRUE(fromAside == itself);

    // A frame finds them ahead and leaves nothing pending behind it.
    c.RenderFrame();
    EXPECT_EQ(c.PendingLineVisibility, nullptr);
}

namespace {

// The renderer's own wait, and what the pacer saw of it.
platform::gl::GlContext::FenceWait g_realWait = nullptr;
int g_waits = 0, g_signalled = 0;

unsigned countedWait(void* fence, uint64_t limitNs)
{
    const unsigned status = g_realWait(fence, limitNs);
    ++g_waits;
    g_signalled += status == GL_ALREADY_SIGNALED || status == GL_CONDITION_SATISFIED;
    return status;
}

// A renderer whose threads never draw: no fence signals in time.
unsigned neverSignalled(void*, uint64_t) { return GL_TIMEOUT_EXPIRED; }

// Puts the renderer's own wait back however the test ends; counts from nothing, so that a test
// run again in the same process sees its own waits only.
struct RealFenceWait {
    RealFenceWait()
    {
        g_realWait = platform::gl::GlContext::fenceWait;
        g_waits = g_signalled = 0;
    }
    ~RealFenceWait() { platform::gl::GlContext::fenceWait = g_realWait; }
};

// A control that went without deleting leaves its context, and the lists it shares, in place.
void expectListKept(platform::gl::GlContext* context, GLuint list)
{
    platform::gl::GlSurface surface(4, 4);
    const std::unique_ptr<platform::gl::GlContext> other = platform::gl::GlContext::create(context, 24);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(other->makeCurrent(surface));
    EXPECT_TRUE(glIsList(list));
    other->release();
}

}  // namespace

TEST(DrawPacerC, PacedPassDrawsTheSamePixelsAndWaitsForEachStepBeforeTheLastTwo)
{
    // Three and a half steps of small triangles in draws of 4,096, each draw a colour of its
    // own over the one before: handed over paced and not, the same pixels.
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    const RealFenceWait real;
    platform::gl::GlContext::fenceWait = countedWait;
    ASSERT_TRUE(c.LockOpenGL());
    constexpr size_t kPerDraw = 4096;
    const size_t draws = (DrawPacerC::kWorkPerStep * 7 / 2) / (kPerDraw + DrawPacerC::kWorkPerDraw) + 1;
    std::vector<GLfloat> corners;
    for (size_t i = 0; i < kPerDraw; ++i) {
        const float x = float(i % 64) / 32.0f - 1.0f, y = float(i / 64 % 64) / 32.0f - 1.0f;
        corners.insert(corners.end(), {x, y, x + 0.05f, y, x, y + 0.05f});
    }
    auto pass = [&](bool paced) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(2, GL_FLOAT, 0, corners.data());
        DrawPacerC pacer;
        for (size_t d = 0; d < draws; ++d) {
            glColor3ub(GLubyte(d * 37), GLubyte(d * 11), GLubyte(d));
            glDrawArrays(GL_TRIANGLES, 0, GLsizei(kPerDraw * 3));
            if (paced)
                pacer.add(kPerDraw);
        }
        glDisableClientState(GL_VERTEX_ARRAY);
        std::vector<uint8_t> rgba(64 * 64 * 4);
        glReadPixels(0, 0, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        EXPECT_EQ(pacer.steps(), paced ? 3u : 0u);
        return rgba;
    };
    const std::vector<uint8_t> unpaced = pass(false);
    EXPECT_EQ(g_waits, 0);
    const std::vector<uint8_t> paced = pass(true);
    // The third step waits for the first; each wait ends with its fence signalled.
    EXPECT_EQ(g_waits, 1);
    EXPECT_EQ(g_signalled, 1);
    EXPECT_TRUE(paced == unpaced);
    EXPECT_NE(std::count(unpaced.begin(), unpaced.end(), 0), std::ptrdiff_t(unpaced.size() * 3 / 4));  // not black
    c.UnlockOpenGL();
}

// The gate of the renderer's room is asked before the first draw and once per step after, and
// a pass it refused stays closed.
TEST(DrawPacerC, AGateIsAskedOncePerStepAndClosesThePassForGood)
{
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    ASSERT_TRUE(c.LockOpenGL());
    int asked = 0;
    DrawPacerC pacer([&asked] { return ++asked < 3; });
    EXPECT_TRUE(pacer.open());
    EXPECT_TRUE(pacer.open());
    EXPECT_EQ(asked, 1);
    pacer.add(DrawPacerC::kWorkPerStep / 2);  // no step ended
    EXPECT_TRUE(pacer.open());
    EXPECT_EQ(asked, 1);
    pacer.add(DrawPacerC::kWorkPerStep);
    EXPECT_TRUE(pacer.open());
    EXPECT_EQ(asked, 2);
    pacer.add(DrawPacerC::kWorkPerStep);
    EXPECT_FALSE(pacer.open());
    pacer.add(DrawPacerC::kWorkPerStep);
    EXPECT_FALSE(pacer.open());
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(DrawPacerC().open());  // without a gate every step passes
    c.UnlockOpenGL();
}

TEST(DrawPacerC, RendererThatDoesNotDrawInTimeIsLeftWithTheControlsObjects)
{
    // A frame whose step is not drawn within the bound ends, the renderer lost: later frames
    // draw nothing, and the control goes without deleting its lists (which would wait inside
    // the renderer without a bound) or its context.
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    FEDisplayPartC* cube = makeCube(1.0, feColor(0.2f, 0.4f, 0.8f, 0.0f));
    auto* model = modelOf(cube, {});
    // Enough placements for three of the pacer's steps in one pass.
    for (int i = 0; i < 50000; ++i) {
        const TransformMatrix at = translation(double(i % 250), double(i / 250), 0.0);
        model->addInstance(new FEDisplayPartRefC(0, cube, at, at));
    }
    installParts(c, model);
    const GLuint font = c.Font.ListBase;
    ASSERT_NE(font, GLuint(-1));
    const RealFenceWait real;
    platform::gl::GlContext::fenceWait = neverSignalled;
    v.paint();
    EXPECT_TRUE(c.RendererLost);
    EXPECT_FALSE(c.LockOpenGL());
    platform::gl::GlContext* context = c.WindowContext.get();
    v.close();
    // The context is left in place with the lists it shares.
    expectListKept(context, font);
}

TEST(DrawPacerC, ControlGoesWithoutDeletingWhereTheRendererHasNotCaughtUp)
{
    // No frame stalled, but the renderer has not drawn what it was given when the control goes.
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    const GLuint font = c.Font.ListBase;
    platform::gl::GlContext* context = c.WindowContext.get();
    {
        const RealFenceWait real;
        platform::gl::GlContext::fenceWait = neverSignalled;
        v.close();
    }
    expectListKept(context, font);
}

TEST(DrawPacerC, AWindowFrameTheRendererDoesNotFinishInTimeLosesTheRenderer)
{
    // A frame of a few primitives takes no step of the pacer: the wait before it is shown is
    // bounded too, and a renderer that does not finish within it is lost, the frame unshown.
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    installParts(c, modelOf(makeCube(1.0, feColor(0.2f, 0.4f, 0.8f, 0.0f)), {}));
    c.ShadowQuality = 0;  // no shadow copy, which waits before it
    const unsigned shown = v.host().frameSink().frameCount();
    {
        const RealFenceWait real;
        platform::gl::GlContext::fenceWait = neverSignalled;
        v.paint();
    }
    EXPECT_TRUE(c.RendererLost);
    EXPECT_EQ(v.host().frameSink().frameCount(), shown);
}

TEST(DrawPacerC, ALostRendererIsNeitherMadeCurrentNorWaitedForAsTheControlGoesAndKeepsItsBuffer)
{
    // Lost after a frame (as when a wait for it ran out): the control goes without making its
    // context current again or waiting for the renderer, which would never finish, and leaves
    // the context and the buffer it draws into (the renderer may still write there) to the
    // process's end.
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    v.paint();
    c.LoseRenderer();
    platform::gl::GlContext* context = c.WindowContext.get();
    platform::gl::GlSurface* surface = c.WindowSurface.get();
    const unsigned madeCurrent = context->makeCurrentCount();
    const RealFenceWait real;
    g_waits = 0;
    platform::gl::GlContext::fenceWait = [](void*, uint64_t) -> unsigned {
        ++g_waits;
        return GL_TIMEOUT_EXPIRED;
    };
    // A new size for the window neither: the buffer stays as the renderer was last given it.
    const uint8_t* buffer = surface->pixels();
    v.resize(100, 80);
    v.send(platform::host::Message::size(100, 80));
    EXPECT_EQ(surface->pixels(), buffer);
    v.close();
    EXPECT_EQ(context->makeCurrentCount(), madeCurrent);
    EXPECT_EQ(g_waits, 0);
    ASSERT_EQ(context->surface(), surface);
    EXPECT_EQ(surface->width(), 64);
}

TEST(DrawPacerC, APictureTheRendererDoesNotFinishInTimeFailsUnwritten)
{
    // A frame of a few primitives takes no step of the pacer: the picture's own last wait is
    // bounded too, and a renderer that does not finish within it ends the picture, not the run.
    ViewerHarness v(64, 64);
    CTavoplexCtrl& c = v.open();
    installParts(c, modelOf(makeCube(1.0, feColor(0.2f, 0.4f, 0.8f, 0.0f)), {}));
    const std::string bmp = v.folder().file("p.bmp");
    // Asked for within a drawing step: the window's context, lost with the picture's renderer,
    // is not made current again afterwards.
    ASSERT_TRUE(c.LockOpenGL());
    const unsigned madeCurrent = c.WindowContext->makeCurrentCount();
    {
        const RealFenceWait real;
        platform::gl::GlContext::fenceWait = neverSignalled;
        EXPECT_EQ(c.CreateBMP(RWCString(bmp.c_str()), 16, 16), 1);
    }
    EXPECT_TRUE(c.RendererLost);
    EXPECT_FALSE(std::filesystem::exists(bmp));
    EXPECT_EQ(c.WindowContext->makeCurrentCount(), madeCurrent);
    c.UnlockOpenGL();
}
