// Reading a PNG file into memory with libpng.
//
// libpng reports errors by longjmp to the last setjmp. Each function below that calls setjmp
// holds only plain values, and every object with a destructor (the row storage, the guard of
// the read structures) lives in decodePng, whose frame no longjmp crosses.
#include "viewer/textures/PngDecode.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include "viewer/textures/PngTexture.h"

namespace {

// The file's gamma when it names none: 1 / 2.2, in fixed point.
constexpr png_fixed_point kDefaultFileGamma = 45455;

// The largest value libpng's fixed point holds.
constexpr double kFixedMax = 2147483647.0;

// libpng reads a chunk whole before looking at it, so a chunk length read from the file would
// otherwise size an allocation. Image data streams through and is not held by this limit.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(1) << 20;

// Chunks of unbounded size that a texture never needs: skipped unread.
constexpr png_byte kSkippedChunks[] = {'t', 'E', 'X', 't', '\0', 'z', 'T', 'X', 't', '\0', 'i', 'T', 'X', 't', '\0',
                                       'i', 'C', 'C', 'P', '\0', 's', 'P', 'L', 'T', '\0', 'e', 'X', 'I', 'f', '\0',
                                       'p', 'C', 'A', 'L', '\0', 's', 'C', 'A', 'L', '\0'};

[[noreturn]] void pngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp)
{
}

struct PngHeader {
    png_uint_32 width;
    png_uint_32 height;
    int depth;
    int colorType;
    size_t rowBytes;
    int channels;
};

// Destroys the read structures however decodePng leaves.
struct ReadStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void keepRow(png_structp, png_row_infop, png_bytep)
{
}

// libpng corrects by the exponent 1 / (file gamma x screen gamma), and holds both that exponent
// and the product in its fixed point. A product below about 0.0000466 overflows the exponent,
// which libpng then takes as 0 (white for black); one above about 21474.8 overflows the
// product, which its 16-bit tables take as 0 (black for white). Beyond either bound every
// sample of 8 bits already comes out black or white, so the screen gamma is moved to the bound.
png_fixed_point screenGammaWithin(png_fixed_point screen, png_fixed_point file)
{
    const double low = 1e15 / kFixedMax, high = kFixedMax * 1e5;  // products, in units of 1e-10
    const double product = double(screen) * double(file);
    if (product < low)
        return png_fixed_point(std::ceil(low / file));
    if (product > high)
        return png_fixed_point(std::floor(high / file));
    return screen;
}

void setTransforms(png_structp png, png_infop info, const PngDecodeRequest* request, const PngHeader* h)
{
    const bool hasAlpha = (h->colorType & PNG_COLOR_MASK_ALPHA) != 0;
    const bool grey = h->colorType == PNG_COLOR_TYPE_GRAY || h->colorType == PNG_COLOR_TYPE_GRAY_ALPHA;
    if (h->depth == 16)
        png_set_strip_16(png);
    if (grey && h->depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (request->ForTexture) {
        if (grey)
            png_set_gray_to_rgb(png);
        if (h->colorType == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(png);
        const bool transparentColour = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
        if (request->KeepAlpha) {
            if (transparentColour)
                png_set_tRNS_to_alpha(png);
        } else if (hasAlpha || transparentColour) {
            // Expanding a palette turns its transparency table into alpha as well: strip that
            // too, so that the rows are the RGB the computed and solid modes expect.
            png_set_strip_alpha(png);
        }
    } else if (h->colorType == PNG_COLOR_TYPE_PALETTE && h->depth < 8) {
        png_set_packing(png);
    }
    png_fixed_point fileGamma = kDefaultFileGamma;
    if (!png_get_gAMA_fixed(png, info, &fileGamma) || fileGamma <= 0)
        fileGamma = kDefaultFileGamma;
    png_set_gamma_fixed(png, screenGammaWithin(request->ScreenGamma, fileGamma), fileGamma);
    // libpng corrects a kept palette only when some row transform runs, which an 8-bit
    // non-interlaced file has none of: a row transform that does nothing corrects it always.
    if (!request->ForTexture && h->colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_read_user_transform_fn(png, keepRow);
    png_set_interlace_handling(png);
}

bool readHeader(png_structp png, png_infop info, const PngDecodeRequest* request, PngHeader* h)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, PNG_MAX_SIDE, PNG_MAX_SIDE);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, 64);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks, int(sizeof kSkippedChunks / 5));
    png_read_info(png, info);
    png_get_IHDR(png, info, &h->width, &h->height, &h->depth, &h->colorType, nullptr, nullptr, nullptr);
    setTransforms(png, info, request, h);
    png_read_update_info(png, info);
    h->rowBytes = png_get_rowbytes(png, info);
    h->channels = png_get_channels(png, info);
    return true;
}

bool readRows(png_structp png, png_infop info, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

// The palette belongs to the read structures: copied before they go. An index past its end
// expands to black in a texture; here the palette grows black entries up to the largest index,
// so that no index read from the file points past it.
void copyPalette(png_structp png, png_infop info, PngDecoded& out)
{
    png_colorp palette = nullptr;
    int entries = 0;
    if (!png_get_PLTE(png, info, &palette, &entries) || !palette)
        entries = 0;
    const std::vector<uint8_t>& indices = out.Image.Pixels;
    const int used = indices.empty() ? 0 : *std::max_element(indices.begin(), indices.end()) + 1;
    out.Palette.assign(size_t(std::max(entries, used)) * 3, 0);
    for (int i = 0; i < entries; ++i) {
        out.Palette[3 * i] = palette[i].red;
        out.Palette[3 * i + 1] = palette[i].green;
        out.Palette[3 * i + 2] = palette[i].blue;
    }
}

} // namespace

int32_t pngScreenGammaFor(double viewingGamma)
{
    if (!std::isfinite(viewingGamma) || !(viewingGamma > 0))
        return 0;
    const double fixed = std::floor(2.2 / viewingGamma * 1e5 + 0.5);
    return fixed >= 1 && fixed <= kFixedMax ? int32_t(fixed) : 0;
}

bool decodePng(std::FILE* file, const PngDecodeRequest& request, PngDecoded& out)
{
    if (!file)
        return false;
    png_byte signature[8];
    if (std::fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0)
        return false;

    // The installed library's own version text: libpng 1.6 refuses structures for older ones.
    ReadStructs rs;
    rs.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!rs.png)
        return false;
    rs.info = png_create_info_struct(rs.png);
    if (!rs.info)
        return false;
    png_init_io(rs.png, file);

    PngHeader h{};
    if (!readHeader(rs.png, rs.info, &request, &h))
        return false;
    // Rows are one byte per component after the transforms; bound the whole before allocating.
    const uint64_t bytes = uint64_t(h.rowBytes) * h.height;
    if (h.width == 0 || h.height == 0 || h.channels <= 0 || h.rowBytes != size_t(h.width) * h.channels ||
        bytes > PNG_MAX_IMAGE_BYTES)
        return false;

    out.Width = h.width;
    out.Height = h.height;
    out.Depth = unsigned(h.depth);
    out.AlphaChannel = (h.colorType & PNG_COLOR_MASK_ALPHA) != 0;
    out.Image.Width = int(h.width);
    out.Image.Height = int(h.height);
    out.Image.Components = h.channels;
    std::vector<png_bytep> rows;
    try {
        out.Image.Pixels.assign(size_t(bytes), 0);
        rows.resize(h.height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (png_uint_32 i = 0; i < h.height; ++i) {
        const png_uint_32 at = request.BottomUp ? h.height - 1 - i : i;
        rows[i] = out.Image.Pixels.data() + size_t(at) * h.rowBytes;
    }
    if (!readRows(rs.png, rs.info, rows.data()))
        return false;

    out.Palette.clear();
    if (!request.ForTexture && h.colorType == PNG_COLOR_TYPE_PALETTE)
        copyPalette(rs.png, rs.info, out);
    return true;
}
