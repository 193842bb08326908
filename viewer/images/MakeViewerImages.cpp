// Draws the viewer's own images (panel buttons, panel pieces, mouse help, metal, logo) from code.
// Regenerate: `cmake --build build --target make_viewer_images && build/viewer/images/make_viewer_images viewer/images`
//
// Everything is drawn with a small supersampling rasteriser (8 x 8 samples per pixel) over
// premultiplied RGBA, text with FreeType and DejaVu Sans. The output is deterministic.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgba {
    double r, g, b, a;
};

Rgba rgb(unsigned hex, double a = 1.0)
{
    return {((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0, a};
}

Rgba mix(const Rgba& x, const Rgba& y, double t)
{
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

struct Pt {
    double x, y;
};

using Inside = std::function<bool(double, double)>;
using Paint = std::function<Rgba(double, double)>;

struct Shape {
    Inside inside;
    double x0, y0, x1, y1;  // bounds
};

Paint solid(Rgba c)
{
    return [c](double, double) { return c; };
}

// Premultiplied RGBA canvas with source-over compositing.
class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * h * 4, 0.0) {}
    int width() const { return w_; }
    int height() const { return h_; }

    void blend(int x, int y, Rgba c, double coverage)
    {
        if (x < 0 || y < 0 || x >= w_ || y >= h_)
            return;
        const double a = std::clamp(c.a * coverage, 0.0, 1.0);
        double* p = &px_[(size_t(y) * w_ + x) * 4];
        p[0] = c.r * a + p[0] * (1 - a);
        p[1] = c.g * a + p[1] * (1 - a);
        p[2] = c.b * a + p[2] * (1 - a);
        p[3] = a + p[3] * (1 - a);
    }

    void fill(const Shape& s, const Paint& paint)
    {
        constexpr int n = 8;
        const int xa = std::max(0, int(std::floor(s.x0)) - 1), xb = std::min(w_ - 1, int(std::ceil(s.x1)) + 1);
        const int ya = std::max(0, int(std::floor(s.y0)) - 1), yb = std::min(h_ - 1, int(std::ceil(s.y1)) + 1);
        for (int y = ya; y <= yb; ++y)
            for (int x = xa; x <= xb; ++x) {
                int hits = 0;
                for (int j = 0; j < n; ++j)
                    for (int i = 0; i < n; ++i)
                        hits += s.inside(x + (i + 0.5) / n, y + (j + 0.5) / n) ? 1 : 0;
                if (hits)
                    blend(x, y, paint(x + 0.5, y + 0.5), hits / double(n * n));
            }
    }
    void fill(const Shape& s, Rgba c) { fill(s, solid(c)); }

    // Straight-alpha 8-bit RGBA rows, top row first.
    std::vector<uint8_t> bytes() const
    {
        std::vector<uint8_t> out(px_.size());
        for (size_t i = 0; i < px_.size(); i += 4) {
            const double a = px_[i + 3];
            for (int k = 0; k < 3; ++k)
                out[i + k] = a > 0 ? uint8_t(std::lround(std::clamp(px_[i + k] / a, 0.0, 1.0) * 255)) : 0;
            out[i + 3] = uint8_t(std::lround(std::clamp(a, 0.0, 1.0) * 255));
        }
        return out;
    }

private:
    int w_, h_;
    std::vector<double> px_;
};

// ---- shapes ----------------------------------------------------------------------------------

Shape polygon(std::vector<Pt> p)
{
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (const Pt& q : p) {
        x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
    }
    return {[p](double x, double y) {
                bool in = false;
                for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
                    if ((p[i].y > y) != (p[j].y > y) &&
                        x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x)
                        in = !in;
                return in;
            },
            x0, y0, x1, y1};
}

Shape circle(double cx, double cy, double r)
{
    return {[=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; },
            cx - r, cy - r, cx + r, cy + r};
}

Shape ring(double cx, double cy, double r0, double r1)
{
    return {[=](double x, double y) {
                const double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                return d >= r0 * r0 && d <= r1 * r1;
            },
            cx - r1, cy - r1, cx + r1, cy + r1};
}

Shape roundRect(double x0, double y0, double x1, double y1, double r)
{
    return {[=](double x, double y) {
                if (x < x0 || x > x1 || y < y0 || y > y1)
                    return false;
                const double cx = std::clamp(x, x0 + r, x1 - r), cy = std::clamp(y, y0 + r, y1 - r);
                return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
            },
            x0, y0, x1, y1};
}

double segmentDistance(Pt a, Pt b, double x, double y)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
    const double ex = a.x + t * dx - x, ey = a.y + t * dy - y;
    return std::sqrt(ex * ex + ey * ey);
}

// A polyline stroked with round joins and caps.
Shape stroke(std::vector<Pt> p, double width, bool closed = false)
{
    if (closed)
        p.push_back(p.front());
    const double hw = width / 2;
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (const Pt& q : p) {
        x0 = std::min(x0, q.x - hw), y0 = std::min(y0, q.y - hw);
        x1 = std::max(x1, q.x + hw), y1 = std::max(y1, q.y + hw);
    }
    return {[p, hw](double x, double y) {
                for (size_t i = 0; i + 1 < p.size(); ++i)
                    if (segmentDistance(p[i], p[i + 1], x, y) <= hw)
                        return true;
                return p.size() == 1 && segmentDistance(p[0], p[0], x, y) <= hw;
            },
            x0, y0, x1, y1};
}

// A dashed straight line: dashes of `on` length separated by `off`, centred on the segment.
Shape dashed(Pt a, Pt b, double width, double on, double off)
{
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    const int count = std::max(1, int((len + off) / (on + off)));
    const double used = count * on + (count - 1) * off, start = (len - used) / 2;
    std::vector<std::pair<Pt, Pt>> dashes;
    for (int i = 0; i < count; ++i) {
        const double t0 = (start + i * (on + off)) / len, t1 = (start + i * (on + off) + on) / len;
        dashes.push_back({{a.x + (b.x - a.x) * t0, a.y + (b.y - a.y) * t0},
                          {a.x + (b.x - a.x) * t1, a.y + (b.y - a.y) * t1}});
    }
    const double hw = width / 2;
    return {[dashes, hw](double x, double y) {
                for (const auto& d : dashes)
                    if (segmentDistance(d.first, d.second, x, y) <= hw)
                        return true;
                return false;
            },
            std::min(a.x, b.x) - hw, std::min(a.y, b.y) - hw, std::max(a.x, b.x) + hw, std::max(a.y, b.y) + hw};
}

Shape intersect(Shape a, Shape b)
{
    return {[a, b](double x, double y) { return a.inside(x, y) && b.inside(x, y); },
            std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

Shape subtract(Shape a, Shape b)
{
    return {[a, b](double x, double y) { return a.inside(x, y) && !b.inside(x, y); }, a.x0, a.y0, a.x1, a.y1};
}

Paint verticalGradient(double y0, Rgba top, double y1, Rgba bottom)
{
    return [=](double, double y) { return mix(top, bottom, std::clamp((y - y0) / (y1 - y0), 0.0, 1.0)); };
}

// ---- text ------------------------------------------------------------------------------------

class Font {
public:
    Font(FT_Library lib, const char* path)
    {
        if (FT_New_Face(lib, path, 0, &face_)) {
            std::fprintf(stderr, "cannot open font %s\n", path);
            std::exit(1);
        }
    }
    ~Font() { FT_Done_Face(face_); }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    double width(const std::string& text, double px, double tracking = 0)
    {
        FT_Set_Char_Size(face_, 0, FT_F26Dot6(px * 64), 72, 72);
        double w = 0;
        FT_UInt prev = 0;
        for (unsigned char c : text) {
            const FT_UInt glyph = FT_Get_Char_Index(face_, c);
            w += kerning(prev, glyph);
            FT_Load_Glyph(face_, glyph, FT_LOAD_NO_HINTING);
            w += face_->glyph->advance.x / 64.0 + tracking;
            prev = glyph;
        }
        return w - tracking;
    }

    // Draws text with its baseline starting at (x, y); sub-pixel placement through the outline.
    void draw(Canvas& canvas, const std::string& text, double x, double y, double px, Rgba colour,
              double tracking = 0)
    {
        FT_Set_Char_Size(face_, 0, FT_F26Dot6(px * 64), 72, 72);
        double pen = x;
        FT_UInt prev = 0;
        for (unsigned char c : text) {
            const FT_UInt glyph = FT_Get_Char_Index(face_, c);
            pen += kerning(prev, glyph);
            const double fx = pen - std::floor(pen), fy = y - std::floor(y);
            FT_Vector shift{FT_Pos(fx * 64), FT_Pos(-fy * 64)};
            FT_Set_Transform(face_, nullptr, &shift);
            FT_Load_Glyph(face_, glyph, FT_LOAD_NO_HINTING | FT_LOAD_RENDER);
            const FT_GlyphSlot g = face_->glyph;
            const int ox = int(std::floor(pen)) + g->bitmap_left, oy = int(std::floor(y)) - g->bitmap_top;
            for (unsigned row = 0; row < g->bitmap.rows; ++row)
                for (unsigned col = 0; col < g->bitmap.width; ++col) {
                    const unsigned char v = g->bitmap.buffer[row * g->bitmap.pitch + col];
                    if (v)
                        canvas.blend(ox + int(col), oy + int(row), colour, v / 255.0);
                }
            pen += g->advance.x / 64.0 + tracking;
            prev = glyph;
            FT_Set_Transform(face_, nullptr, nullptr);
        }
    }

private:
    double kerning(FT_UInt prev, FT_UInt glyph)
    {
        if (!prev || !FT_HAS_KERNING(face_))
            return 0;
        FT_Vector k;
        FT_Get_Kerning(face_, prev, glyph, FT_KERNING_UNFITTED, &k);
        return k.x / 64.0;
    }

    FT_Face face_ = nullptr;
};

// ---- PNG output ------------------------------------------------------------------------------

// libpng reports errors by longjmp, so nothing with a destructor lives in this frame.
bool writeRows(std::FILE* f, int w, int h, png_bytep* rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writePng(const std::string& path, const Canvas& canvas)
{
    std::vector<uint8_t> data = canvas.bytes();
    std::vector<png_bytep> rows(canvas.height());
    for (int y = 0; y < canvas.height(); ++y)
        rows[y] = &data[size_t(y) * canvas.width() * 4];
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = writeRows(f, canvas.width(), canvas.height(), rows.data());
    return std::fclose(f) == 0 && written;
}

// ---- palette and the cube pictograms ---------------------------------------------------------

const Rgba kInk = rgb(0x1E2A36);          // outlines and text on light ground
const Rgba kAccent = rgb(0x1F6FD0);       // the marked face
const Rgba kAccentLight = rgb(0x5C9BE6);
const Rgba kAccentDark = rgb(0x15509A);
const Rgba kTop = rgb(0xFFFFFF), kFront = rgb(0xD9DEE4), kRight = rgb(0xAEB7C1);

// A parallel view from the front, a little from the right and from above: x right, y up, z
// towards the viewer. The front face shows broadest, so the front view reads as "front".
struct Iso {
    double cx, cy, scale;
    static constexpr double kYaw = 0.52, kPitch = 0.44;
    static Pt project(double x, double y, double z)
    {
        const double sy = std::sin(kYaw), cy = std::cos(kYaw), sp = std::sin(kPitch), cp = std::cos(kPitch);
        return {x * cy - z * sy, -(-x * sy * sp + y * cp - z * cy * sp)};
    }
    Pt operator()(double x, double y, double z) const
    {
        const Pt p = project(x, y, z);
        return {cx + p.x * scale, cy + p.y * scale};
    }
    // Depth towards the viewer, larger is nearer.
    static double depth(double x, double y, double z)
    {
        return x * std::sin(kYaw) * std::cos(kPitch) + y * std::sin(kPitch) + z * std::cos(kYaw) * std::cos(kPitch);
    }
    // The view that fits the box [-e, e]^3 into a square of `size` pixels centred at (mx, my).
    static Iso fit(double mx, double my, double size, double e)
    {
        double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
        for (int i = 0; i < 8; ++i) {
            const Pt p = project(i & 1 ? e : -e, i & 2 ? e : -e, i & 4 ? e : -e);
            x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
        }
        const double scale = size / std::max(x1 - x0, y1 - y0);
        return {mx - (x0 + x1) / 2 * scale, my - (y0 + y1) / 2 * scale, scale};
    }
};

enum Face { kFaceFront, kFaceBack, kFaceTop, kFaceBottom, kFaceLeft, kFaceRight };

// The four corners of a face of the cube [-1, 1]^3 centred at (ox, oy, oz) with half-size h.
std::vector<Pt> faceCorners(const Iso& iso, Face f, double ox = 0, double oy = 0, double oz = 0, double h = 1)
{
    auto p = [&](double x, double y, double z) { return iso(ox + x * h, oy + y * h, oz + z * h); };
    switch (f) {
    case kFaceFront: return {p(-1, -1, 1), p(1, -1, 1), p(1, 1, 1), p(-1, 1, 1)};
    case kFaceBack: return {p(-1, -1, -1), p(1, -1, -1), p(1, 1, -1), p(-1, 1, -1)};
    case kFaceTop: return {p(-1, 1, -1), p(1, 1, -1), p(1, 1, 1), p(-1, 1, 1)};
    case kFaceBottom: return {p(-1, -1, -1), p(1, -1, -1), p(1, -1, 1), p(-1, -1, 1)};
    case kFaceLeft: return {p(-1, -1, -1), p(-1, -1, 1), p(-1, 1, 1), p(-1, 1, -1)};
    case kFaceRight: return {p(1, -1, -1), p(1, -1, 1), p(1, 1, 1), p(1, 1, -1)};
    }
    return {};
}

// The twelve edges; the three that meet at the far corner (-1, -1, -1) are hidden.
void cubeEdges(const Iso& iso, std::vector<std::pair<Pt, Pt>>& visible, std::vector<std::pair<Pt, Pt>>& hidden)
{
    for (int axis = 0; axis < 3; ++axis)
        for (int a = -1; a <= 1; a += 2)
            for (int b = -1; b <= 1; b += 2) {
                double s[3], e[3];
                const int u = (axis + 1) % 3, v = (axis + 2) % 3;
                s[axis] = -1, e[axis] = 1, s[u] = e[u] = a, s[v] = e[v] = b;
                const std::pair<Pt, Pt> edge{iso(s[0], s[1], s[2]), iso(e[0], e[1], e[2])};
                (a == -1 && b == -1 ? hidden : visible).push_back(edge);
            }
}

Iso buttonIso() { return Iso::fit(16.0, 16.0, 27.0, 1.0); }

void strokeEdges(Canvas& c, const std::vector<std::pair<Pt, Pt>>& edges, double w, Rgba colour)
{
    for (const auto& e : edges)
        c.fill(stroke({e.first, e.second}, w), colour);
}

void dashEdges(Canvas& c, const std::vector<std::pair<Pt, Pt>>& edges, double w, Rgba colour)
{
    for (const auto& e : edges)
        c.fill(dashed(e.first, e.second, w, 2.0, 1.6), colour);
}

// A standard-view button: the cube with the face that the view looks at marked.
Canvas viewButton(Face marked)
{
    Canvas c(32, 32);
    const Iso iso = buttonIso();
    std::vector<std::pair<Pt, Pt>> visible, hidden;
    cubeEdges(iso, visible, hidden);
    const bool seen = marked == kFaceFront || marked == kFaceTop || marked == kFaceRight;
    if (seen) {
        c.fill(polygon(faceCorners(iso, kFaceTop)), marked == kFaceTop ? kAccentLight : kTop);
        c.fill(polygon(faceCorners(iso, kFaceFront)), marked == kFaceFront ? kAccent : kFront);
        c.fill(polygon(faceCorners(iso, kFaceRight)), marked == kFaceRight ? kAccentDark : kRight);
    } else {
        // The marked face lies behind: show it through a glassy cube.
        c.fill(polygon(faceCorners(iso, marked)), kAccent);
        dashEdges(c, hidden, 1.1, kInk);
        c.fill(polygon(faceCorners(iso, kFaceTop)), rgb(0xFFFFFF, 0.45));
        c.fill(polygon(faceCorners(iso, kFaceFront)), rgb(0xE8ECF0, 0.40));
        c.fill(polygon(faceCorners(iso, kFaceRight)), rgb(0xC8D0D8, 0.40));
    }
    strokeEdges(c, visible, 1.6, kInk);
    return c;
}

Canvas isometricButton()
{
    Canvas c(32, 32);
    const Iso iso = buttonIso();
    std::vector<std::pair<Pt, Pt>> visible, hidden;
    cubeEdges(iso, visible, hidden);
    c.fill(polygon(faceCorners(iso, kFaceTop)), kAccentLight);
    c.fill(polygon(faceCorners(iso, kFaceFront)), kAccent);
    c.fill(polygon(faceCorners(iso, kFaceRight)), kAccentDark);
    strokeEdges(c, visible, 1.6, kInk);
    return c;
}

Canvas lineButton()
{
    Canvas c(32, 32);
    const Iso iso = buttonIso();
    std::vector<std::pair<Pt, Pt>> visible, hidden;
    cubeEdges(iso, visible, hidden);
    dashEdges(c, hidden, 1.1, rgb(0x1E2A36, 0.8));
    strokeEdges(c, visible, 1.7, kInk);
    return c;
}

Canvas shadeButton(bool withLines)
{
    Canvas c(32, 32);
    const Iso iso = buttonIso();
    std::vector<std::pair<Pt, Pt>> visible, hidden;
    cubeEdges(iso, visible, hidden);
    // Soft gradients suggest lit surfaces.
    const Shape top = polygon(faceCorners(iso, kFaceTop));
    const Shape front = polygon(faceCorners(iso, kFaceFront));
    const Shape right = polygon(faceCorners(iso, kFaceRight));
    c.fill(top, verticalGradient(top.y0, rgb(0xFFFFFF), top.y1, rgb(0xE6EAEE)));
    c.fill(front, verticalGradient(front.y0, rgb(0xC9D0D8), front.y1, rgb(0x9AA5B1)));
    c.fill(right, verticalGradient(right.y0, rgb(0x7D8894), right.y1, rgb(0x56616D)));
    if (withLines)
        strokeEdges(c, visible, 1.6, kInk);
    return c;
}

Canvas zoomButton()
{
    Canvas c(32, 32);
    // Frame corners: the zoom fits everything into view.
    const double a = 3.0, b = 29.0, l = 6.0, w = 1.8;
    const Rgba corner = rgb(0x1E2A36, 0.85);
    c.fill(stroke({{a, a + l}, {a, a}, {a + l, a}}, w), corner);
    c.fill(stroke({{b - l, a}, {b, a}, {b, a + l}}, w), corner);
    c.fill(stroke({{a, b - l}, {a, b}, {a + l, b}}, w), corner);
    c.fill(stroke({{b - l, b}, {b, b}, {b, b - l}}, w), corner);
    // The magnifier: glass, rim, handle.
    const double cx = 13.5, cy = 13.5, r = 7.0;
    c.fill(circle(cx, cy, r), verticalGradient(cy - r, rgb(0xFFFFFF, 0.95), cy + r, rgb(0xCFE0F5, 0.95)));
    c.fill(ring(cx, cy, r - 0.2, r + 1.9), kInk);
    c.fill(stroke({{cx + 6.3, cy + 6.3}, {24.5, 24.5}}, 4.2), kInk);
    c.fill(stroke({{cx - 3.2, cy}, {cx + 3.2, cy}}, 1.8), kAccent);
    c.fill(stroke({{cx, cy - 3.2}, {cx, cy + 3.2}}, 1.8), kAccent);
    return c;
}

Canvas helpButton(Font& bold)
{
    Canvas c(32, 32);
    c.fill(circle(16, 16, 13.2), kInk);
    c.fill(circle(16, 16, 11.6), verticalGradient(4, rgb(0xFFFFFF), 28, rgb(0xDCE3EA)));
    const double px = 18.0, w = bold.width("?", px);
    bold.draw(c, "?", 16 - w / 2, 22.6, px, kAccent);
    return c;
}

Canvas optionsButton()
{
    Canvas c(32, 32);
    const double cx = 16, cy = 16, r0 = 9.4, r1 = 13.2;
    const int teeth = 8;
    std::vector<Pt> outline;
    for (int i = 0; i < teeth * 4; ++i) {
        // Each tooth: rise, top, fall, root, with slightly narrower tops.
        const double base = 2 * kPi * (i / 4) / teeth;
        static const double offs[4] = {-0.20, -0.13, 0.13, 0.20};
        static const bool outer[4] = {false, true, true, false};
        const double ang = base + offs[i % 4];
        const double rr = outer[i % 4] ? r1 : r0;
        outline.push_back({cx + rr * std::cos(ang), cy + rr * std::sin(ang)});
    }
    // Roots between teeth run along the inner circle.
    std::vector<Pt> gear;
    for (size_t i = 0; i < outline.size(); ++i) {
        gear.push_back(outline[i]);
        if (i % 4 == 3) {
            const double from = 2 * kPi * (i / 4) / teeth + 0.20, to = 2 * kPi * (i / 4 + 1) / teeth - 0.20;
            for (int k = 1; k < 4; ++k) {
                const double ang = from + (to - from) * k / 4;
                gear.push_back({cx + r0 * std::cos(ang), cy + r0 * std::sin(ang)});
            }
        }
    }
    const Shape body = subtract(polygon(gear), circle(cx, cy, 4.0));
    c.fill(body, kInk);
    // The face of the gear, inset from the outline.
    std::vector<Pt> inner;
    for (const Pt& p : gear) {
        const double dx = p.x - cx, dy = p.y - cy, d = std::hypot(dx, dy);
        inner.push_back({cx + dx * (d - 1.6) / d, cy + dy * (d - 1.6) / d});
    }
    c.fill(subtract(polygon(inner), circle(cx, cy, 5.6)), verticalGradient(3, rgb(0xFFFFFF), 29, rgb(0xC3CCD6)));
    return c;
}

// One small cube of a set, drawn with its three visible faces and outline.
void smallCube(Canvas& c, const Iso& iso, double ox, double oy, double oz, double h, bool accent)
{
    const Shape top = polygon(faceCorners(iso, kFaceTop, ox, oy, oz, h));
    const Shape front = polygon(faceCorners(iso, kFaceFront, ox, oy, oz, h));
    const Shape right = polygon(faceCorners(iso, kFaceRight, ox, oy, oz, h));
    c.fill(top, accent ? kAccentLight : kTop);
    c.fill(front, accent ? kAccent : kFront);
    c.fill(right, accent ? kAccentDark : kRight);
    std::vector<Pt> hull = {iso(ox - h, oy + h, oz - h), iso(ox + h, oy + h, oz - h), iso(ox + h, oy - h, oz - h),
                            iso(ox + h, oy - h, oz + h), iso(ox - h, oy - h, oz + h), iso(ox - h, oy + h, oz + h)};
    c.fill(stroke(hull, 1.1, true), kInk);
    c.fill(stroke({iso(ox + h, oy + h, oz + h), iso(ox - h, oy + h, oz + h)}, 0.9), kInk);
    c.fill(stroke({iso(ox + h, oy + h, oz + h), iso(ox + h, oy + h, oz - h)}, 0.9), kInk);
    c.fill(stroke({iso(ox + h, oy + h, oz + h), iso(ox + h, oy - h, oz + h)}, 0.9), kInk);
}

Canvas explodeButton()
{
    Canvas c(32, 32);
    const Iso iso = Iso::fit(16.0, 16.0, 30.0, 2.65);
    // Eight cubes of a block pushed apart; the far ones first so that near ones cover them.
    struct Piece {
        double x, y, z;
    };
    std::vector<Piece> pieces;
    for (int x = -1; x <= 1; x += 2)
        for (int y = -1; y <= 1; y += 2)
            for (int z = -1; z <= 1; z += 2)
                pieces.push_back({x * 1.65, y * 1.65, z * 1.65});
    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
        return Iso::depth(a.x, a.y, a.z) < Iso::depth(b.x, b.y, b.z);
    });
    for (const Piece& p : pieces)
        smallCube(c, iso, p.x, p.y, p.z, 1.0, p.x > 0 && p.y > 0 && p.z > 0);
    return c;
}

// ---- panel pieces ----------------------------------------------------------------------------

Canvas panelPiece(int w, int h, bool roundLeft, bool roundRight)
{
    Canvas c(w, h);
    const double r = 10;
    const double x0 = roundLeft ? 1 : -r - 2, x1 = roundRight ? w - 1 : w + r + 2;
    const Shape outer = roundRect(x0, 1, x1, h - 1, r);
    c.fill(outer, verticalGradient(1, rgb(0xFFFFFF, 0.92), h - 1, rgb(0xE4EAF0, 0.92)));
    c.fill(subtract(outer, roundRect(x0 + 1.2, 2.2, x1 - 1.2, h - 2.2, r - 1.2)), rgb(0x8C9AA8, 0.9));
    // A faint gloss on the upper half.
    c.fill(roundRect(x0 + 2, 2.5, x1 - 2, h * 0.45, r - 2), rgb(0xFFFFFF, 0.35));
    return c;
}

// ---- mouse help ------------------------------------------------------------------------------

enum MouseButtons { kLeftButton = 1, kRightButton = 2, kWheel = 4 };

// A mouse seen from above, 22 x 34 pixels, top-left at (x, y); lit buttons are white.
void drawMouse(Canvas& c, double x, double y, int lit)
{
    const double w = 22, h = 34, split = 14, mid = x + w / 2;
    const Rgba rim = rgb(0xC8D3DE), body = rgb(0x4A5866), off = rgb(0x32404D), on = rgb(0xFFFFFF);
    const Shape shell = roundRect(x, y, x + w, y + h, 10.5);
    const Shape inner = roundRect(x + 1.4, y + 1.4, x + w - 1.4, y + h - 1.4, 9.1);
    c.fill(shell, rim);
    c.fill(inner, body);
    const Shape left = intersect(inner, roundRect(x, y, mid - 0.7, y + split, 0));
    const Shape right = intersect(inner, roundRect(mid + 0.7, y, x + w, y + split, 0));
    c.fill(left, (lit & kLeftButton) ? on : off);
    c.fill(right, (lit & kRightButton) ? on : off);
    c.fill(roundRect(mid - 2.0, y + 4.5, mid + 2.0, y + 11.5, 2.0), (lit & kWheel) ? on : rim);
}

void arrowHead(Canvas& c, Pt tip, double dx, double dy, double size, Rgba colour)
{
    const double len = std::hypot(dx, dy);
    dx /= len, dy /= len;
    c.fill(polygon({tip, {tip.x - dx * size - dy * size * 0.6, tip.y - dy * size + dx * size * 0.6},
                    {tip.x - dx * size + dy * size * 0.6, tip.y - dy * size - dx * size * 0.6}}),
           colour);
}

Canvas mouseHelp(Font& bold, Font& regular)
{
    Canvas c(256, 256);
    const Shape card = roundRect(1, 1, 255, 255, 16);
    c.fill(card, verticalGradient(0, rgb(0x24384C, 0.92), 256, rgb(0x142230, 0.92)));
    c.fill(subtract(card, roundRect(2.4, 2.4, 253.6, 253.6, 14.6)), rgb(0xFFFFFF, 0.55));

    const Rgba title = rgb(0xFFFFFF), action = rgb(0xFFFFFF), gesture = rgb(0xB9C8D6);
    bold.draw(c, "Mouse controls", 16, 29, 16, title);
    c.fill(roundRect(16, 37, 240, 38.2, 0.6), rgb(0xFFFFFF, 0.35));

    struct Row {
        int lit;
        const char* action;
        const char* gesture;
    };
    const Row rows[] = {
        {kLeftButton, "Rotate", "drag with the left button"},
        {kLeftButton | kRightButton, "Pan", "drag with both buttons"},
        {kRightButton | kWheel, "Zoom", "right button drag, or the wheel"},
        {kLeftButton, "Zoom to part", "double click on a part"},
        {kRightButton, "Fade part", "right click on a part"},
    };
    const Rgba mark = rgb(0xFFFFFF);
    for (int i = 0; i < 5; ++i) {
        const double top = 46 + i * 41.5;
        const double mx = 20, my = top + 3;
        drawMouse(c, mx, my, rows[i].lit);
        // A small sign right of the mouse for the kind of gesture.
        const double sx = 57, sy = my + 16;
        switch (i) {
        case 0: {  // rotate: an arc over the top with an arrow at its end
            const double r = 7, from = kPi * 1.0, to = kPi * 1.95;
            std::vector<Pt> arc;
            for (int k = 0; k <= 24; ++k) {
                const double a = from + (to - from) * k / 24.0;
                arc.push_back({sx + r * std::cos(a), sy + r * std::sin(a)});
            }
            c.fill(stroke(arc, 1.8), mark);
            const double tx = -std::sin(to), ty = std::cos(to);
            arrowHead(c, {sx + r * std::cos(to) + tx * 3.4, sy + r * std::sin(to) + ty * 3.4}, tx, ty, 4.6, mark);
            break;
        }
        case 1: {  // pan: four arrows
            c.fill(stroke({{sx - 7, sy}, {sx + 7, sy}}, 1.6), mark);
            c.fill(stroke({{sx, sy - 7}, {sx, sy + 7}}, 1.6), mark);
            arrowHead(c, {sx + 9, sy}, 1, 0, 3.6, mark);
            arrowHead(c, {sx - 9, sy}, -1, 0, 3.6, mark);
            arrowHead(c, {sx, sy + 9}, 0, 1, 3.6, mark);
            arrowHead(c, {sx, sy - 9}, 0, -1, 3.6, mark);
            break;
        }
        case 2: {  // zoom: up and down
            c.fill(stroke({{sx, sy - 6}, {sx, sy + 6}}, 1.6), mark);
            arrowHead(c, {sx, sy - 9}, 0, -1, 4, mark);
            arrowHead(c, {sx, sy + 9}, 0, 1, 4, mark);
            break;
        }
        case 3: {  // double click: two clicks
            const double w = bold.width("2x", 13);
            bold.draw(c, "2x", sx - w / 2, sy + 5, 13, mark);
            break;
        }
        default: {  // single click
            const double w = bold.width("1x", 13);
            bold.draw(c, "1x", sx - w / 2, sy + 5, 13, mark);
            break;
        }
        }
        bold.draw(c, rows[i].action, 75, top + 17, 14, action);
        regular.draw(c, rows[i].gesture, 75, top + 32, 10.5, gesture);
    }
    return c;
}

// ---- metal -----------------------------------------------------------------------------------

uint32_t hash(uint32_t x)
{
    x ^= x >> 16, x *= 0x7FEB352Du, x ^= x >> 15, x *= 0x846CA68Bu, x ^= x >> 16;
    return x;
}

double noise1(int i, uint32_t seed) { return (hash(uint32_t(i) * 2654435761u ^ seed) & 0xFFFF) / 65535.0 - 0.5; }

// Smooth 1D value noise.
double smoothNoise(double t, uint32_t seed)
{
    const int i = int(std::floor(t));
    const double f = t - i, s = f * f * (3 - 2 * f);
    return noise1(i, seed) * (1 - s) + noise1(i + 1, seed) * s;
}

// A studio environment seen in a reflecting sphere: bright sky, soft light boxes, a dark floor;
// fine horizontal streaks give the brushed look.
Canvas metal()
{
    const int n = 256;
    Canvas c(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            double u = (x + 0.5) / n * 2 - 1, v = (y + 0.5) / n * 2 - 1;
            const double r = std::hypot(u, v);
            if (r > 0.998)  // outside the disc: continue the rim so filtering finds no seam
                u *= 0.998 / r, v *= 0.998 / r;
            const double nz = std::sqrt(std::max(0.0, 1 - u * u - v * v)), nx = u, ny = -v;
            const double rx = 2 * nz * nx, ry = 2 * nz * ny, rz = 2 * nz * nz - 1;
            // Sky above, a soft floor below, blended smoothly across the horizon.
            const double skyPart = 0.80 + 0.14 * std::pow(std::max(0.0, ry), 0.6);
            const double floorPart = 0.46 + 0.16 * std::exp(std::min(0.0, ry) * 3.0);
            const double t = std::clamp((ry + 0.18) / 0.36, 0.0, 1.0);
            double sky = floorPart + (skyPart - floorPart) * t * t * (3 - 2 * t);
            sky += 0.06 * std::exp(-ry * ry * 40);
            // Two broad light boxes, upper left and upper right.
            auto light = [&](double lx, double ly, double lz, double sharp) {
                const double d = (rx * lx + ry * ly + rz * lz) / std::sqrt(lx * lx + ly * ly + lz * lz);
                return std::pow(std::max(0.0, d), sharp);
            };
            sky += 0.22 * light(-0.6, 0.7, 0.4, 14) + 0.14 * light(0.8, 0.35, 0.3, 8);
            // Darken towards the grazing rim.
            sky *= 0.82 + 0.18 * nz;
            // Brushing: fine streaks across rows, varying slowly along them.
            const double streak = smoothNoise(y * 1.7 + smoothNoise(x * 0.02, 7) * 6, 11) * 0.09 +
                                  smoothNoise(y * 5.3 + x * 0.05, 23) * 0.05 + noise1(y * 977 + x, 31) * 0.03;
            const double lum = std::clamp(sky * (1 + streak), 0.0, 1.0);
            // A cool steel tint.
            c.blend(x, y, {lum * 0.96, lum * 0.98, lum * 1.0, 1.0}, 1.0);
        }
    return c;
}

// ---- logo ------------------------------------------------------------------------------------

Canvas logo(Font& bold, Font& regular)
{
    Canvas c(256, 32);
    // The mark: a small block of cubes (the viewer's subject), 27 pixels high.
    const Iso iso = Iso::fit(14.5, 14.5, 26.0, 1.0);
    c.fill(polygon(faceCorners(iso, kFaceTop)), kAccentLight);
    c.fill(polygon(faceCorners(iso, kFaceFront)), kAccent);
    c.fill(polygon(faceCorners(iso, kFaceRight)), kAccentDark);
    const std::vector<Pt> hull = {iso(-1, 1, -1), iso(1, 1, -1), iso(1, -1, -1),
                                  iso(1, -1, 1),  iso(-1, -1, 1), iso(-1, 1, 1)};
    c.fill(stroke(hull, 1.4, true), kInk);
    c.fill(stroke({iso(1, 1, 1), iso(-1, 1, 1)}, 1.1), rgb(0xFFFFFF, 0.9));
    c.fill(stroke({iso(1, 1, 1), iso(1, 1, -1)}, 1.1), rgb(0xFFFFFF, 0.9));
    c.fill(stroke({iso(1, 1, 1), iso(1, -1, 1)}, 1.1), rgb(0xFFFFFF, 0.9));
    // The word mark over a spaced tag line, both fitting the 142 x 29 corner.
    const double x0 = 32, avail = 140 - x0;
    const double px = 19.5, tracking = 1.4;
    const double scale = std::min(1.0, avail / bold.width("KORVANE", px, tracking));
    bold.draw(c, "KORVANE", x0, 17.0, px * scale, kInk, tracking * scale);
    const double tagPx = 7.6, tagWidth = regular.width("3D PART VIEWER", tagPx, 0);
    const double tagTracking = (avail - tagWidth) / 13.0;
    regular.draw(c, "3D PART VIEWER", x0 + 0.5, 27.0, tagPx, kAccent, std::min(tagTracking, 3.0));
    return c;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) {
        std::fprintf(stderr, "cannot start FreeType\n");
        return 1;
    }
    int failures = 0;
    {
        Font bold(lib, "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
        Font regular(lib, "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        const std::vector<std::pair<std::string, Canvas>> images = {
            {"front.png", viewButton(kFaceFront)},
            {"back.png", viewButton(kFaceBack)},
            {"top.png", viewButton(kFaceTop)},
            {"bottom.png", viewButton(kFaceBottom)},
            {"left.png", viewButton(kFaceLeft)},
            {"right.png", viewButton(kFaceRight)},
            {"isometric.png", isometricButton()},
            {"panel_left.png", panelPiece(16, 64, true, false)},
            {"panel_center.png", panelPiece(32, 64, false, false)},
            {"panel_right.png", panelPiece(16, 64, false, true)},
            {"line.png", lineButton()},
            {"shade.png", shadeButton(false)},
            {"shade_line.png", shadeButton(true)},
            {"zoom.png", zoomButton()},
            {"help.png", helpButton(bold)},
            {"explode.png", explodeButton()},
            {"options.png", optionsButton()},
            {"mouse_help.png", mouseHelp(bold, regular)},
            {"metal.png", metal()},
            {"korvane.png", logo(bold, regular)},
        };
        for (const auto& [name, canvas] : images)
            if (!writePng(out + "/" + name, canvas)) {
                std::fprintf(stderr, "cannot write %s/%s\n", out.c_str(), name.c_str());
                ++failures;
            }
    }
    FT_Done_FreeType(lib);
    return failures ? 1 : 0;
}
