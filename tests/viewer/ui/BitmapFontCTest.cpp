// Tests of the bitmap font: measuring, label boxes and the pixels of drawn labels.
#include "viewer/ui/BitmapFontC.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <utility>
#include <vector>

#include "tests/viewer/ViewerTestSupport.h"

namespace {

const feColor kRed(1.0f, 0.0f, 0.0f, 1.0f);
const feColor kGreen(0.0f, 1.0f, 0.0f, 1.0f);
const double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

class BitmapFontTest : public ::testing::Test {
protected:
    static constexpr int W = 160;
    static constexpr int H = 100;
    BitmapFontTest() : control(v.open()), font(control.Font) {}

    // Clears to black, runs the drawing inside the overlay's 2D frame, presents the frame.
    void drawOverlay(const std::function<void()>& draw)
    {
        OpenGLLock lock(control);
        ASSERT_TRUE(lock.locked());
        glViewport(0, 0, W, H);
        glClearColor(0, 0, 0, 1);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        BitmapFontC::PushOrtho2D(viewport);
        draw();
        BitmapFontC::PopOrtho2D();
        control.PresentFrame();
    }
    // The pixel at window coordinates (y upward).
    std::array<uint8_t, 4> at(int x, int y) const { return v.pixel(x, H - 1 - y); }
    // Pixels of pure text colour (red) inside a window rectangle (y upward, ends excluded).
    int redPixels(int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += pixelNear(at(x, y), {255, 0, 0}) ? 1 : 0;
        return n;
    }

    ViewerHarness v{W, H};
    CTavoplexCtrl& control;
    BitmapFontC& font;
    const int viewport[4] = {0, 0, W, H};
};

}  // namespace

TEST_F(BitmapFontTest, GlyphMetricsComeFromTheFont)
{
    // The font's own line height, not the default; every printable code has a width.
    EXPECT_GT(font.CharHeight, 10);
    EXPECT_LT(font.CharHeight, 20);
    for (int code : {int('A'), int('W'), int('0'), int(' '), 0xE9, 0xFF, 0x80})
        EXPECT_GT(font.CharWidths[code], 0) << code;
    EXPECT_GT(font.CharWidths['W'], font.CharWidths['i']);
    EXPECT_EQ(font.TextWidth("AW"), font.CharWidths['A'] + font.CharWidths['W']);
}

TEST_F(BitmapFontTest, MeasuringSplitsAtBackslashN)
{
    struct Case {
        const char* text;
        std::vector<std::string> lines;
    } cases[] = {
        {"A\\nB", {"A", "B"}},
        {"A\\n", {"A"}},
        {"", {}},
        {"A\\n\\nBB", {"A", "", "BB"}},
        {"-- Debugging active --\\n", {"-- Debugging active --"}},
        {"one\nline", {"one\nline"}},  // a newline character is no separator
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        BitmapFontC::LineVector lines;
        int w = -1, h = -1;
        font.MeasureText(k.text, lines, w, h);
        ASSERT_EQ(lines.entries(), k.lines.size());
        int widest = 0;
        for (size_t i = 0; i < k.lines.size(); ++i) {
            EXPECT_EQ(std::string(lines[i].data(), lines[i].length()), k.lines[i]);
            widest = std::max(widest, font.TextWidth(lines[i]));
        }
        EXPECT_EQ(w, widest);
        EXPECT_EQ(h, int(k.lines.size()) * font.CharHeight);
    }
}

TEST_F(BitmapFontTest, BoxIsTwoPixelsWiderThanTextAndMargin)
{
    Point3Df c[4];
    font.BoxCorners(10.0f, 20.0f, 0.5f, 30, 14, c, 3, 4);
    EXPECT_EQ(c[0], Point3Df(7, 16, 0.5f));
    EXPECT_EQ(c[1], Point3Df(7, 38, 0.5f));
    EXPECT_EQ(c[2], Point3Df(45, 38, 0.5f));
    EXPECT_EQ(c[3], Point3Df(45, 16, 0.5f));
}

TEST_F(BitmapFontTest, LabelDrawsFillFrameAndTextWhereMeasured)
{
    const RWCString text("Hello");
    const int w = font.TextWidth(text), h = font.CharHeight;
    // Alignment 0 at x = y = 0, margins 4 and 3: box from (2 - 4, 2 - 3) to (2 + w + 4 + 2, 2 + h + 3).
    drawOverlay([&] {
        font.DrawLabel(text, true, true, true, 0, 0, 0, 0, 0.0f, 4, 3, kRed, kGreen, kIdentity, kIdentity, viewport);
    });
    const int x0 = -2, y0 = -1, x1 = 2 + w + 4 + 2, y1 = 2 + h + 3;
    // Fill inside the box (between text and frame), background outside.
    EXPECT_TRUE(pixelNear(at(x1 - 2, y1 - 2), {0, 255, 0}));
    EXPECT_TRUE(pixelNear(at(x1 + 3, y1 - 2), {0, 0, 0}));
    EXPECT_TRUE(pixelNear(at(3, y1 + 3), {0, 0, 0}));
    // The frame's right and top edges in the line colour.
    EXPECT_TRUE(pixelNear(at(x1, (y0 + y1) / 2), {255, 0, 0}) || pixelNear(at(x1 - 1, (y0 + y1) / 2), {255, 0, 0}));
    EXPECT_TRUE(pixelNear(at((x0 + x1) / 2, y1), {255, 0, 0}) || pixelNear(at((x0 + x1) / 2, y1 - 1), {255, 0, 0}));
    // Text pixels inside the text block only.
    EXPECT_GT(redPixels(3, 1, 3 + w, 2 + h + 1), 10);
    EXPECT_EQ(redPixels(x1 + 2, 0, W, H), 0);
}

TEST_F(BitmapFontTest, LabelLeftOutDrawsNothingAndSetsTheSameState)
{
    // A frame of which nothing shows draws no label, yet what follows finds the state a drawn
    // one leaves, the raster position that the text moves included.
    const RWCString text("Hello");
    const int w = font.TextWidth(text), h = font.CharHeight;
    const int x1 = 2 + w + 4 + 2, y1 = 2 + h + 3;
    struct State {
        GLboolean cull, offsetFill;
        GLfloat offset[2], lineWidth, colour[4], raster[4];
        bool operator==(const State&) const = default;
    };
    State states[2]{};
    for (bool leftOut : {false, true}) {
        SCOPED_TRACE(leftOut ? "left out" : "drawn");
        drawOverlay([&] {
            glLineWidth(3.0f);
            font.LabelsLeftOut = leftOut;
            font.DrawLabel(text, true, true, true, 0, 0, 0, 0, 0.0f, 4, 3, kRed, kGreen, kIdentity, kIdentity, viewport);
            font.LabelsLeftOut = false;
            State& s = states[leftOut];
            s.cull = glIsEnabled(GL_CULL_FACE);
            s.offsetFill = glIsEnabled(GL_POLYGON_OFFSET_FILL);
            glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &s.offset[0]);
            glGetFloatv(GL_POLYGON_OFFSET_UNITS, &s.offset[1]);
            glGetFloatv(GL_LINE_WIDTH, &s.lineWidth);
            glGetFloatv(GL_CURRENT_COLOR, s.colour);
            glGetFloatv(GL_CURRENT_RASTER_POSITION, s.raster);
        });
        EXPECT_EQ(pixelNear(at(x1 - 2, y1 - 2), {0, 255, 0}), !leftOut);
        EXPECT_EQ(pixelNear(at((2 + w + x1) / 2, y1), {255, 0, 0}) || pixelNear(at((2 + w + x1) / 2, y1 - 1), {255, 0, 0}),
                  !leftOut);
        EXPECT_EQ(redPixels(3, 1, 3 + w, 2 + h + 1) > 10, !leftOut);
    }
    EXPECT_TRUE(states[1] == states[0]);
}

TEST_F(BitmapFontTest, LabelsLeftOutLeaveEveryStateAsDrawnOnes)
{
    // Labels of every kind the frames draw: several lines, text only at a projected point
    // whose window position is no whole pixel (the axis letters), a point outside the depth
    // range (no valid raster position). What follows a left-out label finds the state to
    // the last bit, the raster position moved by the text included.
    const RWCString atPoint("Calculating parts... Wj");
    // Window positions between pixels from which the text's glyphs, moved one by one, end
    // elsewhere than its whole width moved at once (float sums round at each step).
    std::vector<double> shifts;
    for (int i = 0; i < 4000 && shifts.size() < 4; ++i) {
        const double shift = -0.99 + 1e-4 * i;
        const float start = float(160.0 * (1.0 + shift) / 2.0) + 1.0f;
        float oneByOne = start;
        for (size_t c = 0; c < atPoint.length(); ++c)
            oneByOne += float(font.CharWidths[static_cast<unsigned char>(atPoint.data()[c])]);
        if (oneByOne != start + float(font.TextWidth(atPoint)))
            shifts.push_back(shift);
    }
    ASSERT_FALSE(shifts.empty());
    double nearEdge[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -0.3141593, 0, 1};
    std::vector<std::function<void()>> labels = {
        [&] {
            font.DrawLabel("-- Debugging active --\\nCalculating parts...", true, true, true, 1, 1, 0, 25, 1.0f, 40,
                           15, kRed, kGreen, kIdentity, kIdentity, viewport);
        },
        [&] {
            font.DrawLabelAtPoint("X", true, true, true, 0.0f, 0.0f, 3.0f, 2, 2, kRed, kGreen, kIdentity, kIdentity,
                                  viewport);
        },
    };
    for (double shift : shifts)
        labels.push_back([&, shift] {
            nearEdge[12] = shift;
            font.DrawLabelAtPoint(atPoint, true, false, false, 0.0f, 0.0f, 0.0f, 0, 0, kRed, kGreen, nearEdge,
                                  kIdentity, viewport);
        });
    const std::pair<GLenum, int> queried[] = {
        {GL_CURRENT_RASTER_POSITION, 4}, {GL_CURRENT_RASTER_POSITION_VALID, 1}, {GL_CURRENT_RASTER_COLOR, 4},
        {GL_CURRENT_RASTER_DISTANCE, 1}, {GL_CURRENT_RASTER_TEXTURE_COORDS, 4}, {GL_CURRENT_COLOR, 4},
        {GL_CURRENT_TEXTURE_COORDS, 4}, {GL_CURRENT_NORMAL, 3}, {GL_LINE_WIDTH, 1}, {GL_CULL_FACE, 1},
        {GL_POLYGON_OFFSET_FILL, 1}, {GL_POLYGON_OFFSET_FACTOR, 1}, {GL_POLYGON_OFFSET_UNITS, 1}, {GL_LIST_BASE, 1},
        {GL_ATTRIB_STACK_DEPTH, 1}, {GL_TEXTURE_BINDING_2D, 1}, {GL_UNPACK_ALIGNMENT, 1}, {GL_BLEND, 1},
        {GL_DEPTH_WRITEMASK, 1}, {GL_MATRIX_MODE, 1},
    };
    for (size_t k = 0; k < labels.size(); ++k) {
        SCOPED_TRACE(k);
        std::vector<GLfloat> states[2];
        for (bool leftOut : {false, true}) {
            drawOverlay([&] {
                glLineWidth(3.0f);
                glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
                font.LabelsLeftOut = leftOut;
                labels[k]();
                font.LabelsLeftOut = false;
                for (const auto& [name, count] : queried) {
                    GLfloat values[4] = {};
                    glGetFloatv(name, values);
                    states[leftOut].insert(states[leftOut].end(), values, values + count);
                }
            });
            EXPECT_EQ(redPixels(0, 0, W, H) > 0, !leftOut && k != 1);
        }
        EXPECT_EQ(states[1], states[0]);
    }
}

TEST_F(BitmapFontTest, TextStartsOnePixelRightAndThreeUpFromTheMarginAndWritesNoDepth)
{
    // Lowest and leftmost pixel of text colour (window coordinates, y upward).
    auto inkCorner = [&] {
        std::array<int, 2> corner{W, H};
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (pixelNear(at(x, y), {255, 0, 0}))
                    corner = {std::min(corner[0], x), std::min(corner[1], y)};
        return corner;
    };
    // The glyph drawn straight at (40, 40) is the reference.
    drawOverlay([&] {
        glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
        glRasterPos3f(40.0f, 40.0f, 0.0f);
        font.DrawText("H");
    });
    const std::array<int, 2> direct = inkCorner();
    ASSERT_LT(direct[0], W);
    // Alignment 0 at (30, 30) with margins 4 and 3: the box corner (28, 29), its text at
    // (28 + 4 + 1, 29 + 3 + 3).
    GLboolean writesDepth = GL_TRUE;
    drawOverlay([&] {
        glGetBooleanv(GL_DEPTH_WRITEMASK, &writesDepth);
        font.DrawLabel("H", true, false, false, 0, 0, 30, 30, 0.0f, 4, 3, kRed, kGreen, kIdentity, kIdentity, viewport);
    });
    const std::array<int, 2> label = inkCorner();
    EXPECT_EQ(label[0] - direct[0], 33 - 40);
    EXPECT_EQ(label[1] - direct[1], 35 - 40);
    // The overlay leaves the depth buffer alone, and writing is on again afterwards.
    EXPECT_EQ(writesDepth, GL_FALSE);
    OpenGLLock lock(control);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &writesDepth);
    EXPECT_EQ(writesDepth, GL_TRUE);
}

TEST_F(BitmapFontTest, TopRightAlignmentMeetsTheWindowEdges)
{
    const RWCString text("Tr");
    const int w = font.TextWidth(text), h = font.CharHeight;
    drawOverlay([&] {
        font.DrawLabel(text, false, true, false, 2, 2, 0, 0, 0.0f, 0, 0, kRed, kGreen, kIdentity, kIdentity, viewport);
    });
    // The box spans x from W - w + 1 to W + 3 and y from H - h + 1 to H + 1.
    EXPECT_TRUE(pixelNear(at(W - w + 2, H - h + 2), {0, 255, 0}));
    EXPECT_TRUE(pixelNear(at(W - w + 1, H - h + 1), {0, 255, 0}));  // its first column and row
    EXPECT_TRUE(pixelNear(at(W - 1, H - 1), {0, 255, 0}));
    EXPECT_TRUE(pixelNear(at(W - w - 1, H - 2), {0, 0, 0}));
    EXPECT_TRUE(pixelNear(at(W - 2, H - h - 1), {0, 0, 0}));
}

TEST_F(BitmapFontTest, TwoLinesDrawTheFirstAboveTheSecond)
{
    const int h = font.CharHeight;
    drawOverlay([&] {
        font.DrawLabel("A\\n ", true, false, false, 0, 0, 10, 10, 0.0f, 0, 0, kRed, kGreen, kIdentity, kIdentity,
                       viewport);
    });
    // The second line is a blank: all the ink lies in the upper line's band.
    EXPECT_GT(redPixels(12, 12 + h, 12 + font.CharWidths['A'] + 2, 12 + 2 * h + 2), 5);
    EXPECT_EQ(redPixels(0, 0, W, 12 + h - 2), 0);
}

TEST_F(BitmapFontTest, LastCodeIsDrawnAsWellAsMeasured)
{
    const RWCString text("\xFF\xFF\xFF");
    ASSERT_GT(font.TextWidth(text), 0);
    drawOverlay([&] {
        font.DrawLabel(text, true, false, false, 1, 1, 0, 0, 0.0f, 0, 0, kRed, kGreen, kIdentity, kIdentity, viewport);
    });
    EXPECT_GT(redPixels(0, 0, W, H), 6);
}

TEST_F(BitmapFontTest, LabelAtPointSitsAtTheProjectedPointAndUnprojectableDrawsNothing)
{
    // Model coordinates in window pixels: an orthographic projection of the window.
    double projection[16] = {2.0 / W, 0, 0, 0, 0, 2.0 / H, 0, 0, 0, 0, -1, 0, -1, -1, 0, 1};
    drawOverlay([&] {
        font.DrawLabelAtPoint("", false, true, false, 40.0f, 30.0f, 0.0f, 5, 5, kRed, kGreen, kIdentity, projection,
                              viewport);
    });
    // An empty text: a box of 2 pixels plus the margins around the point.
    EXPECT_TRUE(pixelNear(at(40, 30), {0, 255, 0}));
    EXPECT_TRUE(pixelNear(at(36, 26), {0, 255, 0}));
    EXPECT_TRUE(pixelNear(at(45, 33), {0, 255, 0}));
    EXPECT_TRUE(pixelNear(at(34, 30), {0, 0, 0}));
    EXPECT_TRUE(pixelNear(at(49, 30), {0, 0, 0}));

    // A projection that sends every point to w = 0 cannot be projected.
    const double flat[16] = {};
    GLint colourBefore = 0;
    drawOverlay([&] {
        glGetIntegerv(GL_CURRENT_COLOR, &colourBefore);
        font.DrawLabelAtPoint("X", true, true, true, 40.0f, 30.0f, 0.0f, 5, 5, kRed, kGreen, kIdentity, flat, viewport);
        GLint colourAfter = 0;
        glGetIntegerv(GL_CURRENT_COLOR, &colourAfter);
        EXPECT_EQ(colourAfter, colourBefore);
    });
    EXPECT_EQ(redPixels(0, 0, W, H), 0);
    EXPECT_TRUE(pixelNear(at(40, 30), {0, 0, 0}));
}

TEST_F(BitmapFontTest, FontWithoutListsDrawsNoOtherLists)
{
    // A font that has no lists (never built, or the renderer gave none) must not reach the
    // lists others made in the same context: here the control's own glyphs.
    BitmapFontC unbuilt;
    for (GLuint base : {GLuint(-1), GLuint(0)}) {
        SCOPED_TRACE(base);
        unbuilt.ListBase = base;
        drawOverlay([&] {
            glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
            glRasterPos3f(10.0f, 40.0f, 0.0f);
            unbuilt.DrawText("ABCDEFGH");
        });
        EXPECT_EQ(redPixels(0, 0, W, H), 0);
    }
}
