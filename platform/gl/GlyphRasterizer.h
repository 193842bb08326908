// GlyphRasterizer: one-bit glyph bitmaps and advance widths of the 256 byte codes of a
// single-byte text (code page 1252) in the user-interface font, ready for glBitmap.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::gl {

// One glyph as glBitmap takes it: rows from the bottom, one bit per pixel, most significant
// bit first, each row padded to whole bytes (unpack alignment 1).
struct Glyph {
    int width = 0;    // pixels of the bitmap
    int height = 0;
    int originX = 0;  // glBitmap's xorig: the raster position's column inside the bitmap
    int originY = 0;  // glBitmap's yorig: rows of the bitmap below the baseline
    int advance = 0;  // pixels the raster position moves on
    std::vector<uint8_t> bits;
};

struct GlyphSet {
    int pixelSize = 0;  // the font's pixel size
    int ascent = 0;     // pixels above the baseline
    int descent = 0;    // pixels below the baseline
    int height = 0;     // ascent + descent: the line height
    std::array<Glyph, 256> glyphs;
};

class GlyphRasterizer {
public:
    // The last resort when fontconfig offers nothing: DejaVu Sans where Debian's package puts
    // it. Process-wide; tests point it elsewhere.
    static std::string& fixedFontFile();
    // The font files to try for the user-interface font, best first: DejaVu Sans as fontconfig
    // finds it, else fontconfig's default sans-serif font, then fixedFontFile(). Fontconfig
    // reads its configuration as usual (FONTCONFIG_FILE included).
    static std::vector<std::string> fontFiles();
    // The first of fontFiles() that can be read: the file's name, empty (and out untouched)
    // when none can.
    static std::string rasterizeUserInterfaceFont(GlyphSet& out);

    // Rasterizes every byte code 0..255 of the font file at the largest pixel size (at most
    // maxPixelSize) whose descent is at most maxDescent pixels. Codes below 32, 127, the codes
    // that code page 1252 leaves undefined and characters the font lacks get an empty glyph
    // of advance 0. False (and out untouched) when the font cannot be read.
    static bool rasterize(GlyphSet& out, const std::string& fontFile, int maxPixelSize = 14, int maxDescent = 3);

    // The Unicode character of a byte in code page 1252; 0 for the undefined codes.
    static char32_t codePage1252(uint8_t byte);
};

}  // namespace platform::gl
