// GlContext: an off-screen OpenGL compatibility context (OpenGL 1.1 immediate mode, display
// lists, GLU) that draws into a GlSurface; it may share lists and textures with another one.
#pragma once

#include <cstdint>
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

    // The longest a wait for the renderer may take. A frame is drawn in well under a second;
    // the unthreaded renderer at the largest picture takes some seconds.
    static constexpr uint64_t kWaitLimitNs = uint64_t(60) * 1000 * 1000 * 1000;
    // Waits, within limitNs, until the renderer has drawn everything handed to the current
    // context (at once true when none is current). False when it has not by then: a drawing
    // thread that failed never draws its work, and waiting for it would keep the process for
    // ever. The renderer is then not to be trusted with any call but release(), and the context
    // and its surface must live to the process's end (keepToTheEnd).
    static bool finishWithin(uint64_t limitNs = kWaitLimitNs);
    // Waits within limitNs for a fence (a GLsync) of the current context; true once signalled.
    static bool fenceSignalled(void* fence, uint64_t limitNs);
    // Keeps a context whose renderer failed, with the surface it draws into, to the process's
    // end: destroying it would wait inside the renderer, and the renderer may still write into
    // the surface. Never freed, so that nothing destroys them as the process ends either.
    static void keepToTheEnd(std::unique_ptr<GlContext> context, std::unique_ptr<GlSurface> surface);

    // What makes and ends a context in the renderer (OSMesaCreateContextAttribs with the shared
    // context or null, and OSMesaDestroyContext), which a test wraps: never called by two threads
    // at once.
    using CreateInRenderer = void* (*)(void* shareWith, int depthBits);
    static CreateInRenderer createInRenderer;
    static void (*destroyInRenderer)(void* context);

    // What the waits call, which a test replaces: whether the current context has fences
    // (OpenGL 3.2 or its sync extension), the wait on one (glClientWaitSync), and glFinish,
    // which, having no bound of its own, is called on a thread of its own where fences are
    // missing.
    static bool (*hasFences)();
    using FenceWait = unsigned (*)(void* fence, uint64_t limitNs);
    static FenceWait fenceWait;
    static void (*finish)();

private:
    friend class GlSurface;
    struct Impl;
    explicit GlContext(std::unique_ptr<Impl> impl, int depthBits);
    void forgetSurface(GlSurface* surface);
    bool finishAside(uint64_t limitNs);

    std::unique_ptr<Impl> impl_;
    GlSurface* surface_ = nullptr;
    int depthBits_ = 0;
    unsigned makeCurrentCount_ = 0;
    unsigned releaseCount_ = 0;
};

}  // namespace platform::gl
