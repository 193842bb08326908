// GlContext: an off-screen OpenGL compatibility context (OpenGL 1.1 immediate mode, display
// lists, GLU) that draws into a GlSurface; it may share lists and textures with another one.
#pragma once

#include <memory>
#include <string>

#include "platform/Reason.h"

namespace platform::gl {

class GlSurface;

class GlContext {
public:
    // A new context with an RGBA colour buffer and a depth buffer of depthBits (32 asked;
    // 24 taken when the renderer offers no 32-bit depth). shareWith, when given, shares its
    // display lists and textures with the new one. Null when no context can be made.
    static std::unique_ptr<GlContext> create(const GlContext* shareWith = nullptr, int depthBits = 32);
    // Why create() made none where the renderer itself is the cause (its drawing threads could
    // not start: no context is made for the rest of the process); empty otherwise.
    static ReasonText failureReason();
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    // Makes this context current on the thread, drawing into surface; false when the
    // renderer refuses (the previous binding is then undefined).
    bool makeCurrent(GlSurface& surface);
    // Leaves no context current on the thread (only when this one is current).
    void release();

    bool isCurrent() const;
    GlSurface* surface() const { return surface_; }
    // Depth bits asked for; once the context has been current, those the renderer gave.
    int depthBits() const { return depthBits_; }

    // The context current on this thread, or null.
    static GlContext* current();

    // How often makeCurrent and release reached the renderer (tests count transitions).
    unsigned makeCurrentCount() const { return makeCurrentCount_; }
    unsigned releaseCount() const { return releaseCount_; }

    // GL_RENDERER and GL_VERSION of the current context ("" when none is current).
    static std::string rendererText();

    // Keeps a context whose renderer failed, with the surface it draws into, to the process's
    // end: destroying it would wait inside the renderer, and the renderer may still write into
    // the surface. Never freed, so that nothing destroys them as the process ends either.
    static void keepToTheEnd(std::unique_ptr<GlContext> context, std::unique_ptr<GlSurface> surface);

private:
    friend class GlSurface;
    struct Impl;
    explicit GlContext(std::unique_ptr<Impl> impl, int depthBits);
    void forgetSurface(GlSurface* surface);

    std::unique_ptr<Impl> impl_;
    GlSurface* surface_ = nullptr;
    int depthBits_ = 0;
    unsigned makeCurrentCount_ = 0;
    unsigned releaseCount_ = 0;
};

}  // namespace platform::gl
