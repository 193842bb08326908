// GlSurface: the RGBA8 colour buffer (with the context's depth buffer) that a GlContext draws
// into in place of a window; re-bound to the context when its size changes.
#pragma once

#include <cstdint>
#include <vector>

namespace platform::gl {

class FrameSink;
class GlContext;

class GlSurface {
public:
    // The largest edge the off-screen renderer draws.
    static constexpr int kMaxEdge = 16384;

    // Sizes below 1 are kept as given (width() and height() report them) but the buffer
    // always holds at least one pixel, so a context can still be made current on it.
    GlSurface(int width, int height);
    ~GlSurface();
    GlSurface(const GlSurface&) = delete;
    GlSurface& operator=(const GlSurface&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }

    // New size; the contents are undefined afterwards. A context current on this surface is
    // bound again to the new buffer at once. An edge above kMaxEdge (std::length_error) or
    // memory that is not there (std::bad_alloc) leaves the surface as it was.
    void resize(int width, int height);

    // Rows from the bottom (OpenGL's order), RGBA8.
    const uint8_t* pixels() const { return buffer_.data(); }
    int bufferWidth() const { return width_ > 0 ? width_ : 1; }
    int bufferHeight() const { return height_ > 0 ? height_ : 1; }

    // Finishes the drawing of the current context and hands the image to the sink ("swap").
    // An empty surface presents an empty frame. The wait for the renderer has the bound of
    // GlContext::finishWithin: false, and nothing presented, where it runs out.
    bool present(FrameSink& sink);

private:
    friend class GlContext;
    uint8_t* buffer() { return buffer_.data(); }

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> buffer_;
    GlContext* bound_ = nullptr;  // the context last made current on this surface
};

}  // namespace platform::gl
