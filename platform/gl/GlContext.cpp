// GlContext over Mesa's off-screen renderer.
#include "platform/gl/GlContext.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/osmesa.h>
#include <GL/glext.h>
#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/AddressSpace.h"
#include "platform/gl/GlSurface.h"

#if defined(__SANITIZE_ADDRESS__)
// Mesa keeps the buffer records that make-current creates until the process ends; the leak
// checker is told so, and still reports everything else. Weak: a program with a list of its own
// keeps it.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }
#endif

namespace platform::gl {

struct GlContext::Impl {
    OSMesaContext ctx = nullptr;
};

namespace {
thread_local GlContext* t_current = nullptr;

void* createRendererContext(void* share, int depthBits)
{
    const int attribs[] = {OSMESA_FORMAT, OSMESA_RGBA, OSMESA_DEPTH_BITS, depthBits, OSMESA_STENCIL_BITS, 0,
                           OSMESA_ACCUM_BITS, 0, OSMESA_PROFILE, OSMESA_COMPAT_PROFILE, 0};
    return OSMesaCreateContextAttribs(attribs, static_cast<OSMesaContext>(share));
}

void destroyRendererContext(void* context) { OSMesaDestroyContext(static_cast<OSMesaContext>(context)); }

// Making or ending a context changes counts the renderer keeps on objects the contexts of a
// group share, without a lock of its own: Mesa counts the holders of the group's default ATI
// fragment shader with a plain increment and decrement. Two threads doing so at once lose a
// count, the shader is freed while contexts still hold it, and the group's last context frees it
// again, corrupting the heap. The list compile's helpers make and end contexts of the window's
// group all at once, so every context is made and ended under this one lock.
std::mutex g_makeOrEnd;

OSMesaContext makeContext(OSMesaContext share, int depthBits)
{
    const std::lock_guard<std::mutex> hold(g_makeOrEnd);
    return static_cast<OSMesaContext>(GlContext::createInRenderer(share, depthBits));
}

std::string taskName(const std::string& task)
{
    std::string name;
    std::getline(std::ifstream("/proc/self/task/" + task + "/comm"), name);
    return name;
}

// The renderer's drawing threads running now: each names itself "llvmpipe-N" as it starts. In
// `unnamed`, when asked, the other threads that bear this thread's name: a thread started by
// this one has it until it names itself.
unsigned drawingThreads(unsigned* unnamed = nullptr)
{
    unsigned count = 0;
    const std::string self = std::to_string(gettid());
    const std::string selfName = unnamed != nullptr ? taskName(self) : std::string();
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* task = readdir(tasks)) {
            if (task->d_name[0] == '.' || task->d_name == self)
                continue;
            const std::string name = taskName(task->d_name);
            if (name.rfind("llvmpipe-", 0) == 0)
                ++count;
            else if (unnamed != nullptr && name == selfName)
                ++*unnamed;
        }
        closedir(tasks);
    }
    return count;
}

// The renderer starts its drawing threads with its first context, and a frame waits for each
// of them: one that could not be started (a task limit reached, or no room left for its stack
// under a memory limit) keeps every frame waiting for ever. So the first context is kept only
// once all its drawing threads run, and where they do not, no context is made for the rest of
// the process: asking again would only wait again. A thread names itself at once, or on a
// loaded machine after a while: the wait has a bound. Under a limit (of address space or of the
// data segment) the first context is made only where the renderer has its room.
enum class DrawingThreads { Unchecked, Run, Missing };
std::mutex g_checkLock;
std::atomic<DrawingThreads> g_threads{DrawingThreads::Unchecked};
constexpr auto kThreadsStartWithin = std::chrono::seconds(10);

// Called on the thread that made the first context, once it is made.
bool drawingThreadsStart(unsigned threads)
{
    const auto deadline = std::chrono::steady_clock::now() + kThreadsStartWithin;
    for (;;) {
        unsigned unnamed = 0;
        const unsigned named = drawingThreads(&unnamed);
        if (named >= threads)
            return true;
        // The renderer's threads are started by now: one that could not be is no thread at
        // all, and no wait brings it.
        if (named + unnamed < threads || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

OSMesaContext makeCheckedContext(OSMesaContext share, int depthBits)
{
    if (g_threads.load() == DrawingThreads::Run)
        return makeContext(share, depthBits);
    std::lock_guard<std::mutex> lock(g_checkLock);
    if (g_threads.load() != DrawingThreads::Unchecked)
        return g_threads.load() == DrawingThreads::Run ? makeContext(share, depthBits) : nullptr;
    const unsigned threads = sys::rendererThreads();
    const bool limited = sys::addressSpaceLimit() != SIZE_MAX || sys::dataSegmentLimit() != SIZE_MAX;
    if (limited && !sys::rendererHasRoom(threads) && drawingThreads() == 0)
        return nullptr;  // checked again when more room is left
    OSMesaContext ctx = makeContext(share, depthBits);
    if (ctx == nullptr)
        return nullptr;
    // A context whose threads are missing is left as it is: destroying it could wait for one.
    g_threads = drawingThreadsStart(threads) ? DrawingThreads::Run : DrawingThreads::Missing;
    return g_threads.load() == DrawingThreads::Run ? ctx : nullptr;
}

// Fences came with OpenGL 3.2, or as its sync extension before.
bool currentHasFences()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version == nullptr)
        return false;
    char* end = nullptr;
    const long major = std::strtol(version, &end, 10);
    const long minor = *end == '.' ? std::strtol(end + 1, nullptr, 10) : 0;
    if (major > 3 || (major == 3 && minor >= 2))
        return true;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    for (const char* at = extensions; at != nullptr && (at = std::strstr(at, "GL_ARB_sync")) != nullptr; at += 11)
        if ((at == extensions || at[-1] == ' ') && (at[11] == ' ' || at[11] == '\0'))
            return true;
    return false;
}

unsigned clientWait(void* fence, uint64_t limitNs)
{
    // Without a flush the fence might never be reached; a wait ends when it is.
    return glClientWaitSync(static_cast<GLsync>(fence), GL_SYNC_FLUSH_COMMANDS_BIT, limitNs);
}

void finishCurrent() { glFinish(); }

// A wait handed to a thread of its own, and whether it has ended.
struct AsideWait {
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    bool finished = false;  // the renderer finished (else the context could not be made current there)
};
}  // namespace

GlContext::CreateInRenderer GlContext::createInRenderer = createRendererContext;
void (*GlContext::destroyInRenderer)(void*) = destroyRendererContext;
bool (*GlContext::hasFences)() = currentHasFences;
GlContext::FenceWait GlContext::fenceWait = clientWait;
void (*GlContext::finish)() = finishCurrent;

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

ReasonText GlContext::failureReason()
{
    return g_threads.load() == DrawingThreads::Missing ? reasonText(Reason::DrawingThreadsMissing) : ReasonText();
}

GlContext::~GlContext()
{
    if (t_current == this)
        release();
    if (surface_ != nullptr && surface_->bound_ == this)
        surface_->bound_ = nullptr;
    const std::lock_guard<std::mutex> hold(g_makeOrEnd);
    destroyInRenderer(impl_->ctx);
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

bool GlContext::finishWithin(uint64_t limitNs)
{
    if (t_current == nullptr)
        return true;
    if (!hasFences())
        return t_current->finishAside(limitNs);
    GLsync fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    if (fence == nullptr)
        return false;
    const bool done = fenceSignalled(fence, limitNs);
    glDeleteSync(fence);
    return done;
}

bool GlContext::fenceSignalled(void* fence, uint64_t limitNs)
{
    const unsigned status = fenceWait(fence, limitNs);
    return status == GL_ALREADY_SIGNALED || status == GL_CONDITION_SATISFIED;
}

bool GlContext::finishAside(uint64_t limitNs)
{
    // The context goes over to a thread that waits for the renderer, and comes back once it has.
    // One that has not within the bound keeps the context current there for ever.
    GlSurface* const surface = surface_;
    const OSMesaContext ctx = impl_->ctx;
    uint8_t* const buffer = surface->buffer();
    const int width = surface->bufferWidth(), height = surface->bufferHeight();
    OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    t_current = nullptr;
    const auto wait = std::make_shared<AsideWait>();
    try {
        std::thread([wait, ctx, buffer, width, height] {
            if (OSMesaMakeCurrent(ctx, buffer, GL_UNSIGNED_BYTE, width, height)) {
                finish();
                OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
                wait->finished = true;
            }
            const std::lock_guard<std::mutex> hold(wait->lock);
            wait->done = true;
            wait->ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had. A renderer that draws on this thread alone has no thread of its
        // own to wait for, so it finishes here; any other cannot be waited for within a bound.
        if (sys::rendererThreads() != 0 || !OSMesaMakeCurrent(ctx, buffer, GL_UNSIGNED_BYTE, width, height))
            return false;
        t_current = this;
        finish();
        return true;
    }
    std::unique_lock<std::mutex> hold(wait->lock);
    if (!wait->ended.wait_for(hold, std::chrono::nanoseconds(limitNs), [&] { return wait->done; }))
        return false;
    if (!OSMesaMakeCurrent(ctx, buffer, GL_UNSIGNED_BYTE, width, height))
        return false;
    t_current = this;
    return wait->finished;
}

void GlContext::keepToTheEnd(std::unique_ptr<GlContext> context, std::unique_ptr<GlSurface> surface)
{
    static std::mutex lock;
    static auto* const kept = new std::vector<std::pair<std::unique_ptr<GlContext>, std::unique_ptr<GlSurface>>>();
    const std::lock_guard<std::mutex> hold(lock);
    kept->emplace_back(std::move(context), std::move(surface));
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
