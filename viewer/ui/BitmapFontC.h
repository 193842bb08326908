// BitmapFontC: the overlay's text font as 256 OpenGL display lists, text measuring, and labels
// (text in an optional filled and framed box) placed in window pixels.
#pragma once

#include <GL/gl.h>

#include "foundation/RWCString.h"
#include "foundation/RWTValOrderedVector.h"
#include "math/Point3D.h"
#include "math/feColor.h"

namespace platform::gl {
class GlSurface;
}

// Label texts separate their lines with the two characters backslash and "n". Every drawing
// operation needs the control's OpenGL context current. Window y runs upward.
class BitmapFontC {
public:
    using LineVector = RWTValOrderedVector<RWCString>;

    BitmapFontC();
    BitmapFontC(const BitmapFontC&) = delete;
    BitmapFontC& operator=(const BitmapFontC&) = delete;

    // Builds one glyph list per byte code 0..255 and the widths and line height from the
    // user-interface font; lists made earlier in the same context are deleted first. False
    // when no font was found: the lists stay empty and texts draw nothing.
    bool Create(platform::gl::GlSurface* surface);
    // Starts rasterizing the user-interface font's glyphs on a thread of their own, once per
    // process, so that they are ready when the first font is created (which waits for them).
    // Needs no context; font settings (fontconfig's and the fixed font file) must be in place.
    static void PrepareGlyphs();
    // Deletes the lists (the context that made them must be current).
    void Destroy();

    // Draws the text at the current raster position; a font without lists draws nothing.
    void DrawText(const char* text) const;
    int GetHeight() const { return CharHeight; }
    // Sum of the widths of the bytes of one line.
    int TextWidth(const RWCString& line) const;
    // Appends the lines of the text to lines; width = the widest, height = lines x line height.
    void MeasureText(const RWCString& text, LineVector& lines, int& width, int& height) const;
    void BoxCorners(float x, float y, float z, int textWidth, int textHeight, Point3Df corners[4], int marginX,
                    int marginY) const;
    void DrawToolTipBox(const LineVector& lines, int width, int height, bool drawText, bool fill, bool frame,
                        const Point3Df corners[4], int marginX, int marginY, feColor lineColor,
                        feColor fillColor) const;
    // Alignments: 0 left/bottom, 1 centre, 2 right/top, other values put the box at 0. Only the
    // viewport's width and height are read; the matrices are not used.
    void DrawLabel(const RWCString& text, bool drawText, bool fill, bool frame, int alignX, int alignY, int x, int y,
                   float depth, int marginX, int marginY, feColor lineColor, feColor fillColor,
                   const double modelView[16], const double projection[16], const int viewport[4]) const;
    // The label's box starts at the projected point; nothing is drawn when it cannot be
    // projected.
    void DrawLabelAtPoint(const RWCString& text, bool drawText, bool fill, bool frame, float x, float y, float z,
                          int marginX, int marginY, feColor lineColor, feColor fillColor,
                          const double modelView[16], const double projection[16], const int viewport[4]) const;

    // The 2D pixel projection and overlay state of all overlay drawing, and its undoing.
    static void PushOrtho2D(const int viewport[4]);
    static void PopOrtho2D();

    GLuint ListBase;
    int CharHeight;
    int CharWidths[256];
    // Set for frames of which nothing shows (a later frame paints over all of them, or the
    // window has no area): labels set all the state they set otherwise, the raster position
    // that their text moves included, but draw no fill, frame or glyph, whose shaders the
    // renderer would make for nothing.
    bool LabelsLeftOut;
};
