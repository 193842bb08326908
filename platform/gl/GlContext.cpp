// GlContext over Mesa's off-screen renderer.
#include "platform/gl/GlContext.h"

#include <GL/osmesa.h>
#include <dirent.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "platform/AddressSpace.h"
#include "platform/gl/GlSurface.h"

#if defined(__SANITIZE_ADDRESS__)
// Mesa keeps the buffer records that make-current creates until the process ends; the leak
// checker is told so, and still reports everything else.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }
#endif

namespace platform::gl {

struct GlContext::Impl {
    OSMesaContext ctx = nullptr;
};

namespace {
thread_local GlContext* t_current = nullptr;

OSMesaContext makeContext(OSMesaContext share, int depthBits)
{
    const int attribs[] = {OSMESA_FORMAT, OSMESA_RGBA, OSMESA_DEPTH_BITS, depthBits, OSMESA_STENCIL_BITS, 0,
                           OSMESA_ACCUM_BITS, 0, OSMESA_PROFILE, OSMESA_COMPAT_PROFILE, 0};
    return OSMesaCreateContextAttribs(attribs, share);
}

// The renderer's drawing threads running now: each names itself "llvmpipe-N" as it starts.
unsigned drawingThreads()
{
    unsigned count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* task = readdir(tasks)) {
            std::string name;
            if (task->d_name[0] != '.' &&
                std::getline(std::ifstream(std::string("/proc/self/task/") + task->d_name + "/comm"), name) &&
                name.rfind("llvmpipe-", 0) == 0)
                ++count;
        }
        closedir(tasks);
    }
    return count;
}

// The renderer starts its drawing threads with its first context, and a frame waits for each
// of them: one that could not be started (no room left for its stack under a limit) keeps every
// frame waiting for ever. Under a limit (of address space or of the data segment) a context is
// made only where the renderer has its room or its threads run already, and kept only once all
// its drawing threads run. A thread names itself at once, or on a loaded machine after a while:
// the wait has a bound, and a later context looks again rather than taking the answer over.
std::mutex g_checkLock;
bool g_rendererRuns = false;  // a context was kept: its threads all ran
constexpr auto kThreadsStartWithin = std::chrono::seconds(10);

OSMesaContext makeCheckedContext(OSMesaContext share, int depthBits)
{
    if (sys::addressSpaceLimit() == SIZE_MAX && sys::dataSegmentLimit() == SIZE_MAX)
        return makeContext(share, depthBits);
    std::lock_guard<std::mutex> lock(g_checkLock);
    const unsigned threads = sys::rendererThreads();
    if (g_rendererRuns)
        return makeContext(share, depthBits);
    if (!sys::rendererHasRoom(threads) && drawingThreads() == 0)
        return nullptr;  // checked again when more room is left
    OSMesaContext ctx = makeContext(share, depthBits);
    if (ctx == nullptr)
        return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + kThreadsStartWithin;
    while (drawingThreads() < threads && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // A context whose threads are missing is left as it is: destroying it could wait for one.
    if (drawingThreads() < threads)
        return nullptr;
    g_rendererRuns = true;
    return ctx;
}
}  // namespace

GlContext::GlContext(std::unique_ptr<Impl> impl, int depthBits) : impl_(std::move(impl)), depthBits_(depthBits) {}

std::unique_ptr<GlContext> GlContext::create(const GlContext* shareWith, int depthBits)
{
    OSMesaContext share = shareWith != nullptr ? shareWith->impl_->ctx : nullptr;
    auto impl = std::make_unique<Impl>();
    int bits = depthBits;
    impl->ctx = makeCheckedContext(share, bits);
    if (impl->ctx == nullptr && bits > 24) {
        bits = 24;
        impl->ctx = makeCheckedContext(share, bits);
    }
    if (impl->ctx == nullptr)
        return nullptr;
    return std::unique_ptr<GlContext>(new GlContext(std::move(impl), bits));
}

GlContext::~GlContext()
{
    if (t_current == this)
        release();
    if (surface_ != nullptr && surface_->bound_ == this)
        surface_->bound_ = nullptr;
    OSMesaDestroyContext(impl_->ctx);
}

bool GlContext::makeCurrent(GlSurface& surface)
{
    ++makeCurrentCount_;
    if (surface_ != nullptr && surface_ != &surface && surface_->bound_ == this)
        surface_->bound_ = nullptr;
    if (!OSMesaMakeCurrent(impl_->ctx, surface.buffer(), GL_UNSIGNED_BYTE, surface.bufferWidth(),
                           surface.bufferHeight())) {
        surface_ = nullptr;
        if (t_current == this)
            t_current = nullptr;
        return false;
    }
    surface_ = &surface;
    surface.bound_ = this;
    t_current = this;
    // The renderer may give fewer depth bits than asked (Mesa's software renderer gives 24).
    GLint bits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &bits);
    if (bits > 0)
        depthBits_ = bits;
    return true;
}

void GlContext::release()
{
    if (t_current != this)
        return;
    ++releaseCount_;
    OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    t_current = nullptr;
}

bool GlContext::isCurrent() const { return t_current == this; }

GlContext* GlContext::current() { return t_current; }

std::string GlContext::rendererText()
{
    if (t_current == nullptr)
        return std::string();
    const GLubyte* r = glGetString(GL_RENDERER);
    const GLubyte* v = glGetString(GL_VERSION);
    std::string text = r ? reinterpret_cast<const char*>(r) : "";
    text += " / ";
    text += v ? reinterpret_cast<const char*>(v) : "";
    return text;
}

void GlContext::forgetSurface(GlSurface* surface)
{
    if (surface_ != surface)
        return;
    // The buffer goes away: nothing may draw into it any more.
    release();
    surface_ = nullptr;
}

}  // namespace platform::gl
