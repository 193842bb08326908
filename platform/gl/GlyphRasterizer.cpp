// GlyphRasterizer over FreeType.
#include "platform/gl/GlyphRasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>
#include <memory>

namespace platform::gl {

namespace {

// Bytes 0x80..0x9F of code page 1252; 0 marks the five undefined codes.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

struct Library {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    ~Library()
    {
        if (face != nullptr)
            FT_Done_Face(face);
        if (lib != nullptr)
            FT_Done_FreeType(lib);
    }
};

int ceil26(FT_Pos v) { return int((v + 63) >> 6); }
int floor26(FT_Pos v) { return int(v >> 6); }

void copyBitmap(const FT_Bitmap& bm, Glyph& g)
{
    g.width = int(bm.width);
    g.height = int(bm.rows);
    const int rowBytes = (g.width + 7) / 8;
    g.bits.assign(size_t(rowBytes) * size_t(g.height), 0);
    for (int row = 0; row < g.height; ++row) {
        const unsigned char* src = bm.buffer + ptrdiff_t(row) * bm.pitch;
        uint8_t* dst = g.bits.data() + size_t(g.height - 1 - row) * size_t(rowBytes);
        for (int b = 0; b < rowBytes; ++b)
            dst[b] = src[b];
    }
}

// The best match fontconfig has for the pattern: its file, empty when there is none or when
// `family` is given and the match is of another family (fontconfig always offers something).
std::string matchFont(FcConfig* config, const char* pattern, const char* family)
{
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> wanted(FcNameParse(reinterpret_cast<const FcChar8*>(pattern)),
                                                                   FcPatternDestroy);
    if (!wanted)
        return {};
    FcConfigSubstitute(config, wanted.get(), FcMatchPattern);
    FcDefaultSubstitute(wanted.get());
    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> found(FcFontMatch(config, wanted.get(), &result),
                                                                  FcPatternDestroy);
    if (!found)
        return {};
    FcChar8* file = nullptr;
    if (FcPatternGetString(found.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr)
        return {};
    if (family != nullptr) {
        bool same = false;
        FcChar8* name = nullptr;
        for (int i = 0; !same && FcPatternGetString(found.get(), FC_FAMILY, i, &name) == FcResultMatch; ++i)
            same = name != nullptr && std::strcmp(reinterpret_cast<const char*>(name), family) == 0;
        if (!same)
            return {};
    }
    return reinterpret_cast<const char*>(file);
}

}  // namespace

std::string& GlyphRasterizer::fixedFontFile()
{
    static std::string file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    return file;
}

std::vector<std::string> GlyphRasterizer::fontFiles()
{
    std::vector<std::string> files;
    // A configuration of our own, dropped afterwards: fontconfig's process-wide one would
    // stay until the process ends.
    if (FcConfig* config = FcInitLoadConfigAndFonts()) {
        for (const std::string& file : {matchFont(config, "DejaVu Sans", "DejaVu Sans"),
                                        matchFont(config, "sans-serif", nullptr)})
            if (!file.empty() && std::find(files.begin(), files.end(), file) == files.end())
                files.push_back(file);
        FcConfigDestroy(config);
    }
    if (std::find(files.begin(), files.end(), fixedFontFile()) == files.end())
        files.push_back(fixedFontFile());
    return files;
}

std::string GlyphRasterizer::rasterizeUserInterfaceFont(GlyphSet& out)
{
    for (const std::string& file : fontFiles())
        if (rasterize(out, file))
            return file;
    return {};
}

char32_t GlyphRasterizer::codePage1252(uint8_t byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kHighControls[byte - 0x80];
    return char32_t(byte);
}

bool GlyphRasterizer::rasterize(GlyphSet& out, const std::string& fontFile, int maxPixelSize, int maxDescent)
{
    Library ft;
    if (FT_Init_FreeType(&ft.lib) != 0)
        return false;
    if (FT_New_Face(ft.lib, fontFile.c_str(), 0, &ft.face) != 0)
        return false;
    int size = maxPixelSize;
    for (; size > 1; --size) {
        if (FT_Set_Pixel_Sizes(ft.face, 0, FT_UInt(size)) != 0)
            return false;
        if (-floor26(ft.face->size->metrics.descender) <= maxDescent)
            break;
    }
    GlyphSet set;
    set.pixelSize = size;
    set.ascent = ceil26(ft.face->size->metrics.ascender);
    set.descent = -floor26(ft.face->size->metrics.descender);
    set.height = set.ascent + set.descent;
    for (int code = 0; code < 256; ++code) {
        Glyph& g = set.glyphs[size_t(code)];
        const char32_t ch = codePage1252(uint8_t(code));
        if (ch < 32 || ch == 0x7F)
            continue;
        const FT_UInt index = FT_Get_Char_Index(ft.face, FT_ULong(ch));
        if (index == 0)
            continue;
        if (FT_Load_Glyph(ft.face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0)
            continue;
        const FT_GlyphSlot slot = ft.face->glyph;
        if (slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO && slot->bitmap.width > 0)
            continue;
        g.advance = ceil26(slot->advance.x);
        copyBitmap(slot->bitmap, g);
        g.originX = -slot->bitmap_left;
        g.originY = g.height - slot->bitmap_top;
    }
    out = std::move(set);
    return true;
}

}  // namespace platform::gl
