// BitmapFontC: glyph lists, measuring and labels.
#include "viewer/ui/BitmapFontC.h"

#include <GL/glu.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <system_error>

#include "platform/gl/GlyphRasterizer.h"

namespace {

const char kLineSeparator[] = "\\n";

using SharedGlyphs = std::shared_ptr<const platform::gl::GlyphSet>;

SharedGlyphs rasterizeGlyphs()
{
    auto set = std::make_shared<platform::gl::GlyphSet>();
    if (platform::gl::GlyphRasterizer::rasterizeUserInterfaceFont(*set).empty())
        return nullptr;
    return set;
}

// The glyphs are the same for every control: rasterized once per process.
std::shared_future<SharedGlyphs>& glyphsInMaking()
{
    static std::shared_future<SharedGlyphs> glyphs;
    return glyphs;
}

const platform::gl::GlyphSet* sharedGlyphs()
{
    BitmapFontC::PrepareGlyphs();
    static std::mutex retrying;
    std::lock_guard<std::mutex> lock(retrying);
    try {
        return glyphsInMaking().get().get();
    } catch (...) {
        // A failure (out of memory) is this font's only: the next one rasterizes again.
        glyphsInMaking() = std::async(std::launch::deferred, rasterizeGlyphs).share();
        throw;
    }
}

}  // namespace

void BitmapFontC::PrepareGlyphs()
{
    static std::once_flag started;
    std::call_once(started, [] {
        try {
            glyphsInMaking() = std::async(std::launch::async, rasterizeGlyphs).share();
        } catch (const std::system_error&) {
            // No thread to be had: the first font made rasterizes them itself.
            glyphsInMaking() = std::async(std::launch::deferred, rasterizeGlyphs).share();
        }
    });
}

BitmapFontC::BitmapFontC() : ListBase(GLuint(-1)), CharHeight(14), LabelsLeftOut(false) { std::fill(CharWidths, CharWidths + 256, 0); }

bool BitmapFontC::Create(platform::gl::GlSurface*)
{
    Destroy();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    ListBase = glGenLists(256);
    const platform::gl::GlyphSet* glyphs = sharedGlyphs();
    if (glyphs == nullptr)
        return false;  // lists stay empty; measuring keeps the default height
    // Every code gets its glyph, 255 included, so that what is measured is also drawn.
    for (int code = 0; code < 256; ++code) {
        const platform::gl::Glyph& g = glyphs->glyphs[size_t(code)];
        CharWidths[code] = g.advance;
        if (ListBase == 0)
            continue;
        glNewList(ListBase + GLuint(code), GL_COMPILE);
        glBitmap(g.width, g.height, float(g.originX), float(g.originY), float(g.advance), 0.0f,
                 g.bits.empty() ? nullptr : g.bits.data());
        glEndList();
    }
    CharHeight = glyphs->height;
    return true;
}

void BitmapFontC::Destroy()
{
    if (ListBase != GLuint(-1) && ListBase != 0)
        glDeleteLists(ListBase, 256);
    ListBase = GLuint(-1);
}

void BitmapFontC::DrawText(const char* text) const
{
    // Without lists of its own the list base would reach lists made by others (list 0 never
    // exists, and the base of none wraps to the names just below each code).
    if (text == nullptr || ListBase == GLuint(-1) || ListBase == 0)
        return;
    glPushAttrib(GL_LIST_BIT);
    glListBase(ListBase);
    glCallLists(GLsizei(std::strlen(text)), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

int BitmapFontC::TextWidth(const RWCString& line) const
{
    int w = 0;
    for (size_t i = 0; i < line.length(); ++i)
        w += CharWidths[static_cast<unsigned char>(line.data()[i])];
    return w;
}

void BitmapFontC::MeasureText(const RWCString& text, LineVector& lines, int& width, int& height) const
{
    RWCString rest = text;
    width = 0;
    size_t count = 0;
    for (size_t at = rest.index(kLineSeparator); at != RW_NPOS; at = rest.index(kLineSeparator)) {
        RWCString line(rest.data(), at);
        width = std::max(width, TextWidth(line));
        lines.append(line);
        ++count;
        rest = RWCString(rest.data() + at + 2, rest.length() - at - 2);
    }
    if (!rest.isNull()) {
        width = std::max(width, TextWidth(rest));
        lines.append(rest);
        ++count;
    }
    height = int(count) * CharHeight;
}

void BitmapFontC::BoxCorners(float x, float y, float z, int textWidth, int textHeight, Point3Df corners[4],
                             int marginX, int marginY) const
{
    const float w = float(textWidth), h = float(textHeight), px = float(marginX), py = float(marginY);
    corners[0] = Point3Df(x - px, y - py, z);
    corners[1] = Point3Df(x - px, y + h + py, z);
    corners[2] = Point3Df(x + w + px + 2.0f, y + h + py, z);
    corners[3] = Point3Df(x + w + px + 2.0f, y - py, z);
}

void BitmapFontC::DrawToolTipBox(const LineVector& lines, int, int, bool drawText, bool fill, bool frame,
                                 const Point3Df corners[4], int marginX, int marginY, feColor lineColor,
                                 feColor fillColor) const
{
    auto vertex = [](const Point3Df& c) { glVertex3f(c.x(), c.y(), -c.z()); };
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(2.0f, 2.0f);
    if (fill) {
        glDisable(GL_CULL_FACE);
        glColor4f(fillColor.r(), fillColor.g(), fillColor.b(), fillColor.alpha());
        if (!LabelsLeftOut) {
            glBegin(GL_TRIANGLE_STRIP);
            vertex(corners[0]);
            vertex(corners[1]);
            vertex(corners[3]);
            vertex(corners[2]);
            glEnd();
        }
        glEnable(GL_CULL_FACE);
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    if (frame) {
        glLineWidth(1.0f);
        glColor4f(lineColor.r(), lineColor.g(), lineColor.b(), lineColor.alpha());
        if (!LabelsLeftOut) {
            glBegin(GL_LINE_STRIP);
            vertex(corners[0]);
            vertex(corners[1]);
            vertex(corners[2]);
            vertex(corners[3]);
            vertex(corners[0]);
            glEnd();
        }
    }
    if (drawText) {
        glColor4f(lineColor.r(), lineColor.g(), lineColor.b(), lineColor.alpha());
        const size_t n = lines.entries();
        const GLubyte zero = 0;
        for (size_t i = 0; i < n; ++i) {
            // A raster position inside the viewport moved by a bitmap stays valid where a
            // direct position outside the viewport would not.
            glRasterPos3f(0.0f, 0.0f, -corners[0].z());
            // Left out, an empty bitmap makes the same moves without drawing.
            const GLsizei dot = LabelsLeftOut ? 0 : 1;
            glBitmap(dot, dot, 0.0f, 0.0f, corners[0].x() + float(marginX) + 1.0f,
                     corners[0].y() + float(marginY) + 3.0f + float(n - 1 - i) * float(CharHeight),
                     LabelsLeftOut ? nullptr : &zero);
            if (!LabelsLeftOut)
                DrawText(lines[i].data());
            else if (ListBase != GLuint(-1) && ListBase != 0)
                // Glyph by glyph as the lists move it: float sums round at every step, and
                // the whole width at once could end a bit elsewhere.
                for (size_t c = 0; c < lines[i].length(); ++c)
                    glBitmap(0, 0, 0.0f, 0.0f, float(CharWidths[static_cast<unsigned char>(lines[i].data()[c])]),
                             0.0f, nullptr);
        }
    }
}

static float alignedOrigin(int align, int at, int extent, int size, int margin)
{
    switch (align) {
    case 0:
        return float(at + 2);
    case 1:
        return float(at + extent / 2 - size / 2);
    case 2:
        return float(at + extent - size - 2 * margin + 1);
    default:
        return 0.0f;
    }
}

void BitmapFontC::DrawLabel(const RWCString& text, bool drawText, bool fill, bool frame, int alignX, int alignY, int x,
                            int y, float depth, int marginX, int marginY, feColor lineColor, feColor fillColor,
                            const double*, const double*, const int viewport[4]) const
{
    LineVector lines;
    int w = 0, h = 0;
    MeasureText(text, lines, w, h);
    const float bx = alignedOrigin(alignX, x, viewport[2], w, marginX);
    const float by = alignedOrigin(alignY, y, viewport[3], h, marginY);
    Point3Df corners[4];
    BoxCorners(bx, by, -depth, w, h, corners, marginX, marginY);
    DrawToolTipBox(lines, w, h, drawText, fill, frame, corners, marginX, marginY, lineColor, fillColor);
}

void BitmapFontC::DrawLabelAtPoint(const RWCString& text, bool drawText, bool fill, bool frame, float x, float y,
                                   float z, int marginX, int marginY, feColor lineColor, feColor fillColor,
                                   const double modelView[16], const double projection[16],
                                   const int viewport[4]) const
{
    GLdouble wx = 0, wy = 0, wz = 0;
    if (gluProject(x, y, z, modelView, projection, viewport, &wx, &wy, &wz) != GL_TRUE)
        return;
    LineVector lines;
    int w = 0, h = 0;
    MeasureText(text, lines, w, h);
    Point3Df corners[4];
    BoxCorners(float(wx), float(wy), float(-wz), w, h, corners, marginX, marginY);
    DrawToolTipBox(lines, w, h, drawText, fill, frame, corners, marginX, marginY, lineColor, fillColor);
}

void BitmapFontC::PushOrtho2D(const int viewport[4])
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, double(viewport[2]), 0.0, double(viewport[3]), -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
}

void BitmapFontC::PopOrtho2D()
{
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
}
