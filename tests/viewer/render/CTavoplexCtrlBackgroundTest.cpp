// Tests of the background gradient with its floor grid and of the window border, read back
// from the presented frame.
#include <GL/gl.h>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/viewer/ViewerTestSupport.h"
#include "tests/viewer/render/DrawTestSupport.h"

namespace {

const feColor kWhite(1.0f, 1.0f, 1.0f, 1.0f);
const feColor kBlack(0.0f, 0.0f, 0.0f, 1.0f);

std::array<int, 3> bytes(const feColor& c)
{
    return {int(std::lround(c.r() * 255)), int(std::lround(c.g() * 255)), int(std::lround(c.b() * 255))};
}

// A control whose window has the harness's size, white all over, black grid, no smoothing.
CTavoplexCtrl& plainControl(ViewerHarness& v)
{
    CTavoplexCtrl& c = v.open();
    c.WindowWidth = v.host().clientSize().width;
    c.WindowHeight = v.host().clientSize().height;
    c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = kWhite;
    c.ColorFadeInValue = kWhite;
    c.ColorGridValue = kBlack;
    c.Antialiasing = 0;
    c.PanelsActive = true;
    c.IntroFade = 1.0f;
    return c;
}

// Clears to magenta, runs the passes and presents the frame.
void drawFrame(CTavoplexCtrl& c, const std::function<void()>& passes)
{
    OpenGLLock lock(c);
    ASSERT_TRUE(lock.locked());
    while (glGetError() != GL_NO_ERROR) {
    }
    glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    passes();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    c.PresentFrame();
}

bool isBackground(std::array<uint8_t, 4> p) { return pixelNear(p, {255, 255, 255}); }

// Row counted from the top of the pixel row whose centre lies at frame height y (-50..50).
int rowOf(double y, int height) { return height - 1 - int(std::floor((y + 50.0) / 100.0 * height)); }

}  // namespace

TEST(CTavoplexCtrlBackground, CornersBlendAndFadeInFromTheFadeInColour)
{
    ViewerHarness v(200, 200);
    CTavoplexCtrl& c = plainControl(v);
    c.Grid = 0;
    c.ColorFadeInValue = feColor(0.2f, 0.2f, 0.2f, 1.0f);
    c.ColorTLValue = feColor(1.0f, 0.0f, 0.0f, 1.0f);
    c.ColorTRValue = feColor(0.0f, 1.0f, 0.0f, 1.0f);
    c.ColorBRValue = feColor(0.0f, 0.0f, 1.0f, 1.0f);
    c.ColorBLValue = feColor(1.0f, 1.0f, 0.0f, 1.0f);

    struct Case {
        bool panelsActive;
        float introFade;
        float expectedFade;  // how far the corners have come from the fade-in colour
    } cases[] = {{false, 1.0f, 0.0f}, {true, 0.0f, 0.0f}, {true, 0.5f, 0.5f}, {true, 1.0f, 1.0f}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "panels " << k.panelsActive << " fade " << k.introFade);
        c.PanelsActive = k.panelsActive;
        c.IntroFade = k.introFade;
        drawFrame(c, [&] { c.DrawBackground(); });
        auto expect = [&](const feColor& corner) {
            const feColor& from = c.ColorFadeInValue;
            const float f = k.expectedFade;
            return bytes(feColor(from.r() + (corner.r() - from.r()) * f, from.g() + (corner.g() - from.g()) * f,
                                 from.b() + (corner.b() - from.b()) * f, 1.0f));
        };
        EXPECT_TRUE(pixelNear(v.pixel(0, 0), expect(c.ColorTLValue), 3));
        EXPECT_TRUE(pixelNear(v.pixel(199, 0), expect(c.ColorTRValue), 3));
        EXPECT_TRUE(pixelNear(v.pixel(199, 199), expect(c.ColorBRValue), 3));
        EXPECT_TRUE(pixelNear(v.pixel(0, 199), expect(c.ColorBLValue), 3));
        // The centre lies on the diagonal from top left to bottom right.
        const std::array<int, 3> tl = expect(c.ColorTLValue), br = expect(c.ColorBRValue);
        EXPECT_TRUE(pixelNear(v.pixel(100, 100), {(tl[0] + br[0]) / 2, (tl[1] + br[1]) / 2, (tl[2] + br[2]) / 2}, 3));
    }
}

TEST(CTavoplexCtrlBackground, GradientStaysInEveryFrameWithoutAShadow)
{
    // Without the shadow texture pass the gradient is the first drawing of a scene frame; in
    // the frames after the first, whose lines leave flat shading behind, it must still run
    // from corner to corner, with the model, with lines and without.
    for (const int mode : {4, 3}) {
        SCOPED_TRACE(testing::Message() << "display mode " << mode);
        ViewerHarness v(200, 200);
        CTavoplexCtrl& c = v.open();
        c.ColorFadeInValue = kWhite;
        c.ColorTLValue = feColor(0.2f, 0.4f, 0.9f, 1.0f);
        c.ColorTRValue = c.ColorBLValue = kWhite;
        c.ColorBRValue = feColor(0.9f, 0.8f, 0.3f, 1.0f);
        c.Grid = 0;
        c.Border = 0;
        c.ShadowQuality = 0;
        c.DisplayMode = mode;
        installParts(c, modelOf(makeCube(10.0, feColor(0.5f, 0.5f, 0.5f, 1.0f))));
        renderSettled(v);
        for (int frame = 0; frame < 3; ++frame) {
            SCOPED_TRACE(testing::Message() << "frame " << frame);
            c.RenderFrame();
            EXPECT_TRUE(pixelNear(v.pixel(0, 0), bytes(c.ColorTLValue), 3));
            EXPECT_TRUE(pixelNear(v.pixel(199, 199), bytes(c.ColorBRValue), 3));
            EXPECT_TRUE(pixelNear(v.pixel(199, 0), {255, 255, 255}, 3));
        }
    }
}

TEST(CTavoplexCtrlBackground, GridOnlyWithGridSetAndPanelsActive)
{
    ViewerHarness v(400, 400);
    CTavoplexCtrl& c = plainControl(v);
    const int crossRow = rowOf(-43.25, 400);
    struct Case {
        int grid;
        bool panelsActive;
        bool drawn;
    } cases[] = {{1, true, true}, {0, true, false}, {1, false, false}, {7, true, true}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "grid " << k.grid << " panels " << k.panelsActive);
        c.Grid = k.grid;
        c.PanelsActive = k.panelsActive;
        drawFrame(c, [&] { c.DrawBackground(); });
        bool darkRow = false;
        for (int dy = -1; dy <= 1; ++dy)
            darkRow = darkRow || !isBackground(v.pixel(150, crossRow + dy));
        EXPECT_EQ(darkRow, k.drawn);
        // Nothing of the grid above the horizon.
        for (int y = 0; y < 190; y += 7)
            EXPECT_TRUE(isBackground(v.pixel(150, y))) << "row " << y;
    }
}

TEST(CTavoplexCtrlBackground, CrossLinesCloseUpTowardsTheHorizonAndFade)
{
    ViewerHarness v(400, 400);
    CTavoplexCtrl& c = plainControl(v);
    drawFrame(c, [&] { c.DrawBackground(); });

    // y = -50, -43.25, -37.175, ...: the gaps shrink by 0.9 each. The first line lies on the
    // window's lower edge; the next seven are checked, with the rows half-way between them.
    const double expected[] = {-43.25, -37.175, -31.7075, -26.78675, -22.358075, -18.3722675, -14.78504075};
    // A row crossed by a cross line is dark nearly all across; the converging lines darken
    // only a few of its pixels.
    auto backgroundShare = [&](int row) {
        int count = 0;
        for (int x = 0; x < 400; ++x)
            count += isBackground(v.pixel(x, row)) ? 1 : 0;
        return count / 400.0;
    };
    double previous = -50.0;
    int previousLevel = 0;
    for (const double y : expected) {
        SCOPED_TRACE(testing::Message() << "line at " << y);
        int row = rowOf(y, 400);
        for (int dy = -1; dy <= 1; ++dy)
            if (backgroundShare(rowOf(y, 400) + dy) < backgroundShare(row))
                row = rowOf(y, 400) + dy;
        EXPECT_LT(backgroundShare(row), 0.1);
        // The line's grey matches its alpha 0.7 y / -50 over white.
        const int level = v.pixel(7, row)[0];
        EXPECT_NEAR(level, 255.0 * (1.0 - 0.7 * y / -50.0), 3.0);
        EXPECT_GT(level, previousLevel) << "fades towards the horizon";
        previousLevel = level;
        EXPECT_GT(backgroundShare(rowOf((y + previous) / 2.0, 400)), 0.8) << "between the lines";
        previous = y;
    }
}

TEST(CTavoplexCtrlBackground, ConvergingLineSpacingFollowsTheWindowRatio)
{
    // The ratio is height over width in floating point, at least 0.16: 0.25 for a window four
    // times wider than high. Near the bottom the lines lie 2.5 x ratio x spread apart, spread
    // being how far they have fanned out at that height; seven of them lie within 3.5 gaps of
    // the centre line.
    struct Case {
        int width, height;
        double ratio;
    } cases[] = {{400, 100, 0.25}, {500, 50, 0.16}, {300, 200, 2.0 / 3.0}, {200, 200, 1.0}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.width << " x " << k.height);
        ViewerHarness v(k.width, k.height);
        CTavoplexCtrl& c = plainControl(v);
        drawFrame(c, [&] { c.DrawBackground(); });
        // A row near the bottom that no cross line touches.
        const double y = -50.0 + 100.0 * (std::floor(k.height * 0.045) + 0.5) / k.height;
        const double gap = k.ratio * 2.5 * (1.0 + 2.0 * (-y / 50.0));
        const double reach = 3.5 * gap / 100.0 * k.width;
        const int row = rowOf(y, k.height);
        int runs = 0;
        bool inRun = false;
        for (int x = int(std::ceil(k.width / 2.0 - reach)); x < k.width / 2.0 + reach; ++x) {
            const bool dark = !isBackground(v.pixel(x, row));
            runs += dark && !inRun ? 1 : 0;
            inRun = dark;
        }
        EXPECT_EQ(runs, 7);
    }
}

TEST(CTavoplexCtrlBackground, BorderStripsAreBorderSizePixelsWide)
{
    ViewerHarness v(400, 200);
    CTavoplexCtrl& c = plainControl(v);
    c.Grid = 0;
    c.ColorFadeInValue = kBlack;  // the border's colour; the background stays white
    c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = kWhite;
    struct Case {
        int border, size;
        float alpha;
    } cases[] = {{1, 10, 1.0f}, {1, 20, 0.5f}, {0, 10, 1.0f}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "border " << k.border << " size " << k.size);
        c.Border = k.border;
        c.BorderSize = k.size;
        c.BorderAlpha = k.alpha;
        drawFrame(c, [&] {
            c.DrawBackground();
            c.DrawBorderTransition();
        });
        // From the border's alpha at the outer edge to nothing BorderSize pixels in: the grey
        // of the pixel whose centre lies d + 0.5 pixels in.
        auto level = [&](int d) {
            const double alpha = k.border != 0 ? k.alpha * (1.0 - (d + 0.5) / k.size) : 0.0;
            const int g = int(std::lround(255 * (1.0 - alpha)));
            return std::array<int, 3>{g, g, g};
        };
        for (const int d : {0, k.size / 2, k.size - 1}) {
            SCOPED_TRACE(testing::Message() << d << " pixels in");
            EXPECT_TRUE(pixelNear(v.pixel(d, 100), level(d), 3));
            EXPECT_TRUE(pixelNear(v.pixel(399 - d, 100), level(d), 3));
            EXPECT_TRUE(pixelNear(v.pixel(200, d), level(d), 3));
            EXPECT_TRUE(pixelNear(v.pixel(200, 199 - d), level(d), 3));
        }
        for (const auto& [x, y] : {std::pair{k.size + 1, 100}, {398 - k.size, 100}, {200, k.size + 1}, {200, 198 - k.size}})
            EXPECT_TRUE(isBackground(v.pixel(x, y))) << x << ", " << y;
    }
}

TEST(CTavoplexCtrlBackground, WindowWithoutAreaDrawsNothing)
{
    ViewerHarness v(100, 100);
    CTavoplexCtrl& c = plainControl(v);
    for (const auto& [w, h] : {std::pair{0, 100}, {100, 0}, {0, 0}}) {
        c.WindowWidth = w;
        c.WindowHeight = h;
        drawFrame(c, [&] {
            c.DrawBackground();
            c.DrawBorderTransition();
        });
        EXPECT_TRUE(pixelNear(v.pixel(50, 90), {255, 0, 255}));
        EXPECT_TRUE(pixelNear(v.pixel(0, 50), {255, 0, 255}));
    }
}

// Tests of the axis triad in whole scene frames: drawn only with Axes set, reaching past the
// scene box, with its hidden part showing faintly through the model, and its letters.
namespace {

bool reddish(std::array<uint8_t, 4> p) { return int(p[0]) > int(p[1]) + 40 && int(p[0]) > int(p[2]) + 40; }

}  // namespace

TEST(CTavoplexCtrlAxes, TriadOnlyWithAxesSet)
{
    // A cube of half side 10 seen head-on in a 300 x 300 window (1.875 pixels per unit): the
    // X axis runs to 12 (a fifth of the largest extent past the box), its cone 8 pixels long,
    // its letter two cone lengths further.
    std::array<uint8_t, 4> throughCube[2];
    for (const int axes : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "axes " << axes);
        ViewerHarness v(300, 300);
        v.writeConfig("[COMMON]\nDEBUG=1\n");
        CTavoplexCtrl& c = v.open();
        c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = c.ColorFadeInValue = kWhite;
        c.Grid = 0;
        c.Border = 0;
        c.ShadowQuality = 0;
        c.Axes = axes;
        installParts(c, modelOf(makeCube(10.0, feColor(0.5f, 0.5f, 0.5f, 1.0f))));
        renderSettled(v);

        // The visible line between the box and the cone, and the cone.
        EXPECT_EQ(reddish(v.pixel(171, 149)) || reddish(v.pixel(171, 150)), axes != 0);
        EXPECT_EQ(reddish(v.pixel(175, 149)) || reddish(v.pixel(175, 150)), axes != 0);
        // Nothing beyond the letter's place.
        EXPECT_TRUE(pixelNear(v.pixel(230, 150), {255, 255, 255}));
        // The letter: dark pixels right of its projected point.
        int dark = 0;
        for (int y = 125; y < 152; ++y)
            for (int x = 188; x < 210; ++x)
                dark += v.pixel(x, y)[0] < 128 ? 1 : 0;
        EXPECT_EQ(dark > 0, axes != 0);
        throughCube[axes] = v.pixel(160, 149);

        // The background and the border log their passes, the border also while it is off;
        // the axes write nothing.
        const std::string log = TempDir::read(v.userFile("tavoplex.log"));
        EXPECT_NE(log.find("  Draw Background.\n"), std::string::npos);
        EXPECT_NE(log.find("  Draw Border Transition.\n"), std::string::npos);
    }
    // Behind the cube's face the axis shows faintly (alpha 0.3): the grey face turns reddish.
    EXPECT_LE(std::abs(int(throughCube[0][0]) - int(throughCube[0][1])), 3);
    EXPECT_GT(int(throughCube[1][0]) - int(throughCube[1][1]), 10);
}

TEST(CTavoplexCtrlAxes, AxisTheSceneDoesNotReachKeepsOnlyItsMargin)
{
    // The cube spans x from -30 to -10, so the X axis runs only a fifth of the largest extent
    // (2 units, 3.75 pixels) to the right, its 8-pixel cone right after it.
    ViewerHarness v(300, 300);
    CTavoplexCtrl& c = v.open();
    c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue = c.ColorFadeInValue = kWhite;
    c.Grid = 0;
    c.Border = 0;
    c.ShadowQuality = 0;
    c.Axes = 1;
    installParts(c, modelOf(makeCube(10.0, feColor(0.5f, 0.5f, 0.5f, 1.0f)), {translation(-20, 0, 0)}));
    c.SceneMin = Point3D(-30, -10, -10);
    c.SceneMax = Point3D(-10, 10, 10);
    renderSettled(v);
    EXPECT_TRUE(reddish(v.pixel(158, 149)) || reddish(v.pixel(158, 150)));
    for (int x = 166; x < 185; ++x)
        EXPECT_FALSE(reddish(v.pixel(x, 149)) || reddish(v.pixel(x, 150))) << x;
}
