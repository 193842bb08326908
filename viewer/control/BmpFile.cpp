// WriteBmpFile: the 14-byte file header, the 40-byte information header and the pixel bits.
#include "viewer/control/BmpFile.h"

#include <cstdio>
#include <vector>

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

}  // namespace

bool WriteBmpFile(const std::string& path, int width, int height, const uint8_t* rgba)
{
    if (width <= 0 || height <= 0 || rgba == nullptr || width > 65536 || height > 65536)
        return false;
    const uint64_t imageSize = uint64_t(width) * 4u * uint64_t(height);  // 32-bit rows need no padding
    if (imageSize + 54u > 0xFFFFFFFFu)
        return false;
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(54 + imageSize));
    bytes.push_back('B');
    bytes.push_back('M');
    put32(bytes, uint32_t(54 + imageSize));
    put16(bytes, 0);
    put16(bytes, 0);
    put32(bytes, 54);
    put32(bytes, 40);
    put32(bytes, uint32_t(width));
    put32(bytes, uint32_t(height));  // positive: bottom row first
    put16(bytes, 1);
    put16(bytes, 32);
    put32(bytes, 0);  // BI_RGB
    put32(bytes, uint32_t(imageSize));
    put32(bytes, 0);
    put32(bytes, 0);
    put32(bytes, 0);
    put32(bytes, 0);
    const size_t pixels = size_t(width) * size_t(height);
    for (size_t i = 0; i < pixels; ++i) {
        bytes.push_back(rgba[4 * i + 2]);
        bytes.push_back(rgba[4 * i + 1]);
        bytes.push_back(rgba[4 * i + 0]);
        bytes.push_back(0);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(path.c_str());
        return false;
    }
    return true;
}
