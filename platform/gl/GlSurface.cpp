// GlSurface: the off-screen colour buffer a context draws into.
#include "platform/gl/GlSurface.h"

#include <GL/gl.h>

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
    width_ = width;
    height_ = height;
    buffer_.assign(size_t(bufferWidth()) * size_t(bufferHeight()) * 4, 0);
    if (bound_ != nullptr && bound_->isCurrent() && bound_->surface() == this)
        bound_->makeCurrent(*this);
}

void GlSurface::present(FrameSink& sink)
{
    if (bound_ != nullptr && bound_->isCurrent() && bound_->surface() == this)
        glFinish();
    if (isEmpty())
        sink.present(0, 0, nullptr, true);
    else
        sink.present(width_, height_, buffer_.data(), true);
}

}  // namespace platform::gl
