// FrameSink: keeps the last presented frame with its rows from the top.
#include "platform/gl/FrameSink.h"

#include <cstring>

namespace platform::gl {

std::array<uint8_t, 4> Frame::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return {0, 0, 0, 0};
    const uint8_t* p = rgba.data() + (size_t(y) * size_t(width) + size_t(x)) * 4;
    return {p[0], p[1], p[2], p[3]};
}

void FrameSink::present(int width, int height, const uint8_t* rgba, bool bottomUp)
{
    ++frames_;
    if (width <= 0 || height <= 0 || rgba == nullptr) {
        last_ = Frame{};
        return;
    }
    const size_t row = size_t(width) * 4;
    last_.width = width;
    last_.height = height;
    last_.rgba.resize(row * size_t(height));
    for (int y = 0; y < height; ++y) {
        const int from = bottomUp ? height - 1 - y : y;
        std::memcpy(last_.rgba.data() + row * size_t(y), rgba + row * size_t(from), row);
    }
}

}  // namespace platform::gl
