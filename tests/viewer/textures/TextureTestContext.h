// A current off-screen OpenGL context for the texture tests.
#pragma once

#include <memory>

#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"

class TextureTestContext {
public:
    TextureTestContext() : surface_(16, 16), context_(platform::gl::GlContext::create())
    {
        ok_ = context_ && context_->makeCurrent(surface_);
    }
    ~TextureTestContext()
    {
        if (context_)
            context_->release();
    }
    TextureTestContext(const TextureTestContext&) = delete;
    TextureTestContext& operator=(const TextureTestContext&) = delete;
    bool ok() const { return ok_; }

private:
    platform::gl::GlSurface surface_;
    std::unique_ptr<platform::gl::GlContext> context_;
    bool ok_ = false;
};
