// PNG files made in memory for the texture tests with libpng's writer, and header-only files
// built byte by byte for the refusals.
#pragma once

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

struct PngTestImage {
    int Width = 1;
    int Height = 1;
    int ColorType = PNG_COLOR_TYPE_RGB;
    int Depth = 8;
    bool Interlaced = false;
    std::vector<unsigned> Samples;        // Width x Height x channels sample values, rows top first
    std::vector<png_color> Palette;       // palette images
    std::vector<png_byte> PaletteAlpha;   // tRNS of a palette image
    double Gamma = 0;                     // gAMA chunk when above 0
};

namespace pngtest {

inline int channels(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

inline void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

inline void noFlush(png_structp)
{
}

// The libpng calls, in a frame that holds nothing with a destructor (libpng errors longjmp).
inline bool writeRows(const PngTestImage* image, png_bytepp rows, std::string* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendBytes, noFlush);
    png_set_IHDR(png, info, image->Width, image->Height, image->Depth, image->ColorType,
                 image->Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!image->Palette.empty())
        png_set_PLTE(png, info, image->Palette.data(), int(image->Palette.size()));
    if (!image->PaletteAlpha.empty())
        png_set_tRNS(png, info, image->PaletteAlpha.data(), int(image->PaletteAlpha.size()), nullptr);
    if (image->Gamma > 0)
        png_set_gAMA_fixed(png, info, png_fixed_point(image->Gamma * 100000 + 0.5));
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace pngtest

// The encoded file; empty when libpng refuses the description.
inline std::string makePng(const PngTestImage& image)
{
    const int perRow = image.Width * pngtest::channels(image.ColorType);
    const size_t rowBytes = (size_t(perRow) * image.Depth + 7) / 8;
    std::vector<png_byte> bytes(rowBytes * image.Height, 0);
    for (int y = 0; y < image.Height; ++y)
        for (int i = 0; i < perRow; ++i) {
            const unsigned v = image.Samples.at(size_t(y) * perRow + i);
            png_byte* row = &bytes[y * rowBytes];
            if (image.Depth == 16) {
                row[2 * i] = png_byte(v >> 8);
                row[2 * i + 1] = png_byte(v);
            } else if (image.Depth == 8) {
                row[i] = png_byte(v);
            } else {  // packed, first sample in the high bits
                const int bit = i * image.Depth;
                row[bit / 8] |= png_byte(v << (8 - image.Depth - bit % 8));
            }
        }
    std::vector<png_bytep> rows(image.Height);
    for (int y = 0; y < image.Height; ++y)
        rows[y] = &bytes[y * rowBytes];
    std::string out;
    if (!pngtest::writeRows(&image, rows.data(), &out))
        return std::string();
    return out;
}

// A chunk as the file holds it: length, type, data and CRC.
inline std::string pngChunk(const char type[4], const std::string& data, uint32_t declaredLength)
{
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const std::string body = std::string(type, 4) + data;
    return be32(declaredLength) + body +
           be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// The file with a chunk put right after its header chunk.
inline std::string withChunkAfterHeader(const std::string& file, const std::string& chunk)
{
    return file.substr(0, 33) + chunk + file.substr(33);
}

// A file of the signature and an IHDR chunk (with its right CRC) only.
inline std::string pngHeaderOnly(uint32_t width, uint32_t height, int depth, int colorType)
{
    std::string out("\x89PNG\r\n\x1a\n", 8);
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    std::string chunk = "IHDR" + be32(width) + be32(height) + char(depth) + char(colorType) + std::string(3, '\0');
    out += be32(13) + chunk;
    out += be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), uInt(chunk.size()))));
    return out;
}
