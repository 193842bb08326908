// A current off-screen OpenGL context for the texture tests.
#pragma once

#include <memory>

#include "platform/gl/GlContext.h"
#include "platform/gl/GlSurface.h"

// Mesa's off-screen renderer keeps a few small allocations of its own past the destruction of
// every context (480 bytes even for a context that drew nothing); the leak checker of
// sanitized builds is told so. Weak, so that a definition of the same list elsewhere wins.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions()
{
    return "leak:libOSMesa.so\n";
}

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
