// GlSurface: the off-screen colour buffer a context draws into.
#include "platform/gl/GlSurface.h"

#include <GL/gl.h>

#include <stdexcept>

#include "platform/gl/FrameSink.h"
#include "platform/gl/GlContext.h"

namespace platform::gl {

GlSurface::GlSurface(int width, int height) { resize(width, height); }

GlSurface::~GlSurface()
{
    if (bound_ != nullptr)
        bound_->forgetSurface(this);
}

void GlSurface::resize(int width, int height)
{
    if (width > kMaxEdge || height > kMaxEdge)
        throw std::length_error("drawing surface larger than the renderer allows");
    // The new buffer first: when it cannot be had, the surface keeps its old size and buffer.
    const size_t w = size_t(width > 0 ? width : 1), h = size_t(height > 0 ? height : 1);
    std::vector<uint8_t> buffer(w * h * 4, 0);
    buffer_.swap(buffer);
    width_ = width;
    height_ = height;
    if (bound_ != nullptr && bound_->isCurrent() && bound_->surface() == this)
        bound_->makeCurrent(*this);
}

bool GlSurface::present(FrameSink& sink)
{
    if (bound_ != nullptr && bound_->isCurrent() && bound_->surface() == this) {
        if (!GlContext::finishWithin())
            return false;
        // Everything is drawn by now: the renderer only copies its picture into the buffer.
        glFinish();
    }
    if (isEmpty())
        sink.present(0, 0, nullptr, true);
    else
        sink.present(width_, height_, buffer_.data(), true);
    return true;
}

}  // namespace platform::gl
