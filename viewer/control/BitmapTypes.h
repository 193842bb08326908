// The records of off-screen rendering: the bitmap's pixel format, the memory bitmap, and the
// information block (header and colour table) of a BMP file.
#pragma once

#include <cstdint>
#include <vector>

namespace platform::gl {
class GlSurface;
}

// Pixel format flags and types, with the values a format descriptor gives them.
enum : uint32_t {
    kPixelFormatDoubleBuffer = 0x00000001,
    kPixelFormatDrawToWindow = 0x00000004,
    kPixelFormatDrawToBitmap = 0x00000008,
    kPixelFormatSupportGdi = 0x00000010,
    kPixelFormatSupportOpenGL = 0x00000020,
    kPixelFormatNeedPalette = 0x00000080,
};

// A pixel format as asked for and as described back (40 bytes, version 1, RGBA type).
struct PixelFormatRecord {
    uint16_t size = 40;
    uint16_t version = 1;
    uint32_t flags = 0;
    int colorBits = 0;
    int redBits = 0, redShift = 0;
    int greenBits = 0, greenShift = 0;
    int blueBits = 0, blueShift = 0;
    int alphaBits = 0;
    int depthBits = 0;
};

// The memory bitmap drawn into: its size, planes and bits per pixel as the system reports
// them, over the surface that holds its RGBA pixels (rows from the bottom).
struct MemoryBitmap {
    int width = 0;
    int height = 0;
    int planes = 1;
    int bitsPerPixel = 32;
    const platform::gl::GlSurface* surface = nullptr;
};

// The information header of a BMP file with its colour table (0x00RRGGBB per entry as the file
// stores it: blue, green, red, 0).
struct BitmapInfo {
    static constexpr uint32_t kHeaderSize = 40;
    static constexpr uint32_t kFileHeaderSize = 14;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = 0;  // uncompressed
    uint32_t sizeImage = 0;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> colors;

    // Offset of the pixel bits in the file, and the whole file's size.
    uint64_t bitsOffset() const { return kFileHeaderSize + kHeaderSize + 4u * uint64_t(colors.size()); }
    uint64_t fileSize() const { return bitsOffset() + sizeImage; }
};

// The bit count a BMP file rounds planes x bits per pixel to: 1, 4, 8, 16, 24 or 32.
int RoundedBitCount(int planesTimesBits);
// Bytes of one row at that bit count, padded to a multiple of 4 (64 bits: no overflow).
uint64_t BitmapRowBytes(int roundedBits, int width);
