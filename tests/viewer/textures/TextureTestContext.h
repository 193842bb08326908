// A current off-screen OpenGL context for the texture tests.
#pragma once

#include <GL/osmesa.h>

#include <vector>

class TextureTestContext {
public:
    TextureTestContext() : buffer_(16 * 16 * 4)
    {
        ctx_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        ok_ = ctx_ && OSMesaMakeCurrent(ctx_, buffer_.data(), GL_UNSIGNED_BYTE, 16, 16);
    }
    ~TextureTestContext()
    {
        if (ctx_)
            OSMesaDestroyContext(ctx_);
    }
    bool ok() const { return ok_; }

private:
    OSMesaContext ctx_ = nullptr;
    bool ok_ = false;
    std::vector<unsigned char> buffer_;
};
