// CTavoplexCtrl: the BMP file of a rendered picture: its header, colour table and rows,
// written whole or not at all.
#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/gl/GlSurface.h"
#include "platform/sys.h"
#include "services/files/WholeFileWriter.h"
#include "viewer/control/CTavoplexCtrl.h"

int RoundedBitCount(int planesTimesBits)
{
    if (planesTimesBits == 1)
        return 1;
    if (planesTimesBits < 5)
        return 4;
    if (planesTimesBits < 9)
        return 8;
    if (planesTimesBits < 17)
        return 16;
    if (planesTimesBits <= 24)
        return 24;
    return 32;
}

uint64_t BitmapRowBytes(int roundedBits, int width)
{
    return ((uint64_t(roundedBits) * uint64_t(width) + 31u) & ~uint64_t(31)) / 8u;
}

namespace {

void put16(uint8_t* at, uint32_t v)
{
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
}

void put32(uint8_t* at, uint32_t v)
{
    put16(at, v & 0xFFFFu);
    put16(at + 2, v >> 16);
}

// The bitmap's bits in the block's layout: rows from the bottom, blue, green, red (and a
// zero byte at 32 bits), each row padded to 4 bytes. False for a layout the bitmap cannot
// give (the true-colour surface has no palette indices) or sizes that do not match.
bool fetchBits(const MemoryBitmap& bitmap, const BitmapInfo& info, std::vector<uint8_t>& bits)
{
    const platform::gl::GlSurface* surface = bitmap.surface;
    if (surface == nullptr || info.width != surface->width() || info.height != surface->height() ||
        (info.bitCount != 24 && info.bitCount != 32))
        return false;
    const uint64_t rowBytes = BitmapRowBytes(info.bitCount, info.width);
    if (rowBytes * uint64_t(info.height) != info.sizeImage)
        return false;
    bits.assign(size_t(info.sizeImage), 0);
    const size_t step = info.bitCount / 8u;
    const uint8_t* rgba = surface->pixels();
    for (size_t y = 0; y < size_t(info.height); ++y) {
        uint8_t* out = bits.data() + y * rowBytes;
        const uint8_t* in = rgba + y * size_t(info.width) * 4u;
        for (size_t x = 0; x < size_t(info.width); ++x, out += step, in += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return true;
}

}  // namespace

std::unique_ptr<BitmapInfo> CTavoplexCtrl::BuildBitmapInfo(const MemoryBitmap& bitmap)
{
    if (bitmap.width < 1 || bitmap.height < 1 || bitmap.width > kMaxBitmapEdge || bitmap.height > kMaxBitmapEdge ||
        bitmap.planes < 1 || bitmap.bitsPerPixel < 1 || bitmap.planes * bitmap.bitsPerPixel > 32)
        return nullptr;
    const int bits = RoundedBitCount(bitmap.planes * bitmap.bitsPerPixel);
    auto info = std::make_unique<BitmapInfo>();
    info->width = bitmap.width;
    info->height = bitmap.height;
    info->planes = uint16_t(bitmap.planes);
    info->bitCount = uint16_t(bitmap.bitsPerPixel);
    info->compression = 0;
    const uint64_t imageSize = BitmapRowBytes(bits, bitmap.width) * uint64_t(bitmap.height);
    if (imageSize > 0xFFFFFFFFu - 4096u)
        return nullptr;
    info->sizeImage = uint32_t(imageSize);
    if (bits < 24) {
        info->colorsUsed = 1u << bits;
        info->colors.assign(info->colorsUsed, 0);
    }
    return info;
}

bool CTavoplexCtrl::WriteBitmapFile(const RWCString& filename, BitmapInfo& info, const MemoryBitmap& bitmap)
{
    std::vector<uint8_t> bits;
    try {
        if (!fetchBits(bitmap, info, bits))
            return false;
    } catch (const std::bad_alloc&) {
        // The picture cannot be made, whatever the file: the drawing failed, not the write.
        FailDrawing();
        return false;
    }

    uint8_t header[BitmapInfo::kFileHeaderSize + BitmapInfo::kHeaderSize] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, uint32_t(info.fileSize()));
    put32(header + 10, uint32_t(info.bitsOffset()));
    uint8_t* h = header + BitmapInfo::kFileHeaderSize;
    put32(h + 0, BitmapInfo::kHeaderSize);
    put32(h + 4, uint32_t(info.width));
    put32(h + 8, uint32_t(info.height));  // positive: the bottom row comes first
    put16(h + 12, info.planes);
    put16(h + 14, info.bitCount);
    put32(h + 16, info.compression);
    put32(h + 20, info.sizeImage);
    put32(h + 32, info.colorsUsed);
    std::vector<uint8_t> table(info.colors.size() * 4u);
    for (size_t i = 0; i < info.colors.size(); ++i)
        put32(table.data() + 4 * i, info.colors[i] & 0x00FFFFFFu);

    // Written whole or not at all; a device, a FIFO or a folder by that name is refused, never
    // replaced by a plain file.
    const std::string path(filename.data(), filename.length());
    WholeFileWriter writer;
    errno = 0;
    const WholeFileStatus opened = writer.open(path);
    const bool written = opened == WholeFileStatus::Written &&
                         writer.write(reinterpret_cast<const char*>(header), sizeof header) &&
                         writer.write(reinterpret_cast<const char*>(table.data()), table.size()) &&
                         writer.write(reinterpret_cast<const char*>(bits.data()), bits.size()) && writer.commit();
    if (!written && (opened == WholeFileStatus::NotRegular || errno != 0))
        BitmapFailure = opened == WholeFileStatus::NotRegular ? platform::sys::whyFileUnreadable(path)
                                                              : platform::sys::whyFileUnwritable(path, errno);
    return written;
}
