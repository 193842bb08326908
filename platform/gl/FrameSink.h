// FrameSink: receives each presented frame (what a window would show) and keeps the last one.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace platform::gl {

// One presented image: RGBA8, rows from the top, as a window shows it.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;

    bool empty() const { return width <= 0 || height <= 0; }
    // The pixel at column x, row y counted from the top; {0,0,0,0} outside the image.
    std::array<uint8_t, 4> pixel(int x, int y) const;
};

// The default sink only keeps the last frame; window hosts derive and show it as well.
class FrameSink {
public:
    virtual ~FrameSink() = default;

    // rgba holds width * height pixels; bottomUp says that its first row is the lowest one
    // (OpenGL's order), otherwise the top one.
    virtual void present(int width, int height, const uint8_t* rgba, bool bottomUp);

    const Frame& lastFrame() const { return last_; }
    unsigned frameCount() const { return frames_; }

private:
    Frame last_;
    unsigned frames_ = 0;
};

}  // namespace platform::gl
