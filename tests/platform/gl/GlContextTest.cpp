// Tests of the off-screen contexts, surfaces and the frame sink.
#include "platform/gl/GlContext.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/gl/FrameSink.h"
#include "platform/gl/GlSurface.h"

using namespace platform::gl;

TEST(GlContext, DrawsIntoItsSurfaceAndPresentsRowsFromTheTop)
{
    auto ctx = GlContext::create();
    ASSERT_NE(ctx, nullptr);
    GlSurface surface(4, 3);
    ASSERT_TRUE(ctx->makeCurrent(surface));
    EXPECT_GE(ctx->depthBits(), 24);
    EXPECT_EQ(GlContext::current(), ctx.get());
    EXPECT_NE(GlContext::rendererText(), "");
    glViewport(0, 0, 4, 3);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // The lowest row red.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 4, 1);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    FrameSink sink;
    surface.present(sink);
    EXPECT_EQ(sink.frameCount(), 1u);
    const Frame& f = sink.lastFrame();
    ASSERT_EQ(f.width, 4);
    ASSERT_EQ(f.height, 3);
    EXPECT_EQ(f.pixel(0, 2), (std::array<uint8_t, 4>{255, 0, 0, 255}));
    EXPECT_EQ(f.pixel(3, 0), (std::array<uint8_t, 4>{0, 0, 255, 255}));
    EXPECT_EQ(f.pixel(4, 0), (std::array<uint8_t, 4>{0, 0, 0, 0}));
    ctx->release();
    EXPECT_EQ(GlContext::current(), nullptr);
    EXPECT_EQ(ctx->makeCurrentCount(), 1u);
    EXPECT_EQ(ctx->releaseCount(), 1u);
}

TEST(GlContext, SharedContextSeesListsAndTextures)
{
    auto a = GlContext::create();
    ASSERT_NE(a, nullptr);
    GlSurface sa(8, 8);
    ASSERT_TRUE(a->makeCurrent(sa));
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glEndList();
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    const unsigned char texel[4] = {1, 2, 3, 4};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    a->release();

    auto b = GlContext::create(a.get());
    auto alone = GlContext::create();
    ASSERT_NE(b, nullptr);
    GlSurface sb(2, 2);
    ASSERT_TRUE(b->makeCurrent(sb));
    EXPECT_TRUE(glIsList(list));
    EXPECT_TRUE(glIsTexture(tex));
    ASSERT_TRUE(alone->makeCurrent(sb));
    EXPECT_FALSE(glIsList(list));
    alone->release();
}

TEST(GlSurface, ResizeRebindsTheCurrentContextAndEmptySurfacePresentsNothing)
{
    auto ctx = GlContext::create();
    GlSurface surface(2, 2);
    ASSERT_TRUE(ctx->makeCurrent(surface));
    surface.resize(6, 5);
    glViewport(0, 0, 6, 5);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    FrameSink sink;
    surface.present(sink);
    EXPECT_EQ(sink.lastFrame().pixel(5, 4), (std::array<uint8_t, 4>{0, 255, 0, 255}));

    surface.resize(0, 7);
    EXPECT_TRUE(surface.isEmpty());
    EXPECT_TRUE(ctx->isCurrent());  // still bound, to a one-pixel buffer
    surface.present(sink);
    EXPECT_TRUE(sink.lastFrame().empty());
    EXPECT_EQ(sink.frameCount(), 2u);
    ctx->release();
}

TEST(GlSurface, OversizedSurfaceIsRefusedAndTheOldOneStays)
{
    auto ctx = GlContext::create();
    GlSurface surface(3, 2);
    ASSERT_TRUE(ctx->makeCurrent(surface));
    EXPECT_THROW(surface.resize(GlSurface::kMaxEdge + 1, 10), std::length_error);
    EXPECT_THROW(surface.resize(10, 1 << 30), std::length_error);
    EXPECT_EQ(surface.width(), 3);
    EXPECT_EQ(surface.height(), 2);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    FrameSink sink;
    surface.present(sink);
    EXPECT_EQ(sink.lastFrame().pixel(2, 1), (std::array<uint8_t, 4>{255, 255, 255, 255}));
    ctx->release();
}

TEST(GlSurface, SurfaceThatGoesFirstLeavesTheContextUnbound)
{
    auto ctx = GlContext::create();
    {
        GlSurface surface(3, 3);
        ASSERT_TRUE(ctx->makeCurrent(surface));
    }
    EXPECT_FALSE(ctx->isCurrent());
    EXPECT_EQ(ctx->surface(), nullptr);
}

TEST(GlContext, GluQuadricsDrawThroughTheOffScreenRenderer)
{
    // GLU's own OpenGL calls must reach the off-screen renderer, not a window system's library.
    auto ctx = GlContext::create();
    GlSurface surface(20, 20);
    ASSERT_TRUE(ctx->makeCurrent(surface));
    glViewport(0, 0, 20, 20);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(-1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1, 1, 0);
    GLUquadric* q = gluNewQuadric();
    gluDisk(q, 0.0, 0.5, 16, 1);
    gluDeleteQuadric(q);
    FrameSink sink;
    surface.present(sink);
    EXPECT_EQ(sink.lastFrame().pixel(10, 10), (std::array<uint8_t, 4>{255, 255, 0, 255}));
    EXPECT_EQ(sink.lastFrame().pixel(1, 1), (std::array<uint8_t, 4>{0, 0, 0, 255}));
    ctx->release();
}

namespace {

// A renderer whose threads never draw: its wait for them is held until the test lets it go
// (a minute at most), and no fence of it signals.
std::mutex g_heldLock;
std::condition_variable g_heldLet;
bool g_heldGoes = false;
void heldFinish()
{
    std::unique_lock<std::mutex> hold(g_heldLock);
    g_heldLet.wait_for(hold, std::chrono::seconds(60), [] { return g_heldGoes; });
}
void letHeldFinishGo()
{
    const std::lock_guard<std::mutex> hold(g_heldLock);
    g_heldGoes = true;
    g_heldLet.notify_all();
}
bool noFences() { return false; }
unsigned neverSignalled(void*, uint64_t) { return GL_TIMEOUT_EXPIRED; }

// Puts the renderer's own waits back however the test ends.
struct RealWaits {
    bool (*const fences)() = GlContext::hasFences;
    const GlContext::FenceWait fenceWait = GlContext::fenceWait;
    void (*const finish)() = GlContext::finish;
    ~RealWaits()
    {
        GlContext::hasFences = fences;
        GlContext::fenceWait = fenceWait;
        GlContext::finish = finish;
    }
};

constexpr uint64_t kShortWaitNs = 200 * 1000 * 1000;

// A context drawing green into a surface of its own.
void drawGreen(GlContext& ctx, GlSurface& surface)
{
    ASSERT_TRUE(ctx.makeCurrent(surface));
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

}  // namespace

TEST(GlSurface, APictureTheRendererDoesNotFinishInTimeIsNotPresented)
{
    const RealWaits real;
    auto ctx = GlContext::create();
    ASSERT_NE(ctx, nullptr);
    auto surface = std::make_unique<GlSurface>(4, 4);
    drawGreen(*ctx, *surface);
    FrameSink sink;
    GlContext::fenceWait = neverSignalled;
    EXPECT_FALSE(surface->present(sink));
    EXPECT_EQ(sink.frameCount(), 0u);
    // The renderer is not to be trusted with being destroyed.
    ctx->release();
    GlContext::keepToTheEnd(std::move(ctx), std::move(surface));
}

TEST(GlContext, WithoutFencesTheWaitForTheRendererStillEndsAtItsBound)
{
    // Where the renderer has no fences, glFinish is the only wait, and it has no bound of its
    // own: it runs on a thread of its own, and this one waits for that within the bound.
    const RealWaits real;
    GlContext::hasFences = noFences;
    auto ctx = GlContext::create();
    ASSERT_NE(ctx, nullptr);
    auto surface = std::make_unique<GlSurface>(4, 4);
    drawGreen(*ctx, *surface);
    // A renderer that finishes: the picture is presented, the context current here again.
    FrameSink sink;
    EXPECT_TRUE(surface->present(sink));
    EXPECT_EQ(sink.lastFrame().pixel(1, 1), (std::array<uint8_t, 4>{0, 255, 0, 255}));
    EXPECT_EQ(GlContext::current(), ctx.get());
    // One that never does: the wait ends at its bound, the context left where the wait goes on.
    g_heldGoes = false;  // held anew when the test runs again in the same process
    GlContext::finish = heldFinish;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(GlContext::finishWithin(kShortWaitNs));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(GlContext::current(), nullptr);
    letHeldFinishGo();
    GlContext::keepToTheEnd(std::move(ctx), std::move(surface));
}

namespace {

// The renderer's own making and ending of contexts, wrapped to count the threads inside them.
std::atomic<int> g_inside{0};
std::atomic<int> g_mostInside{0};
GlContext::CreateInRenderer g_realCreate = nullptr;
void (*g_realDestroy)(void*) = nullptr;

// Long enough inside that threads let in together would meet there.
void stayInside()
{
    const int now = ++g_inside;
    for (int most = g_mostInside.load(); now > most && !g_mostInside.compare_exchange_weak(most, now);) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    --g_inside;
}
void* countedCreate(void* share, int depthBits)
{
    stayInside();
    return g_realCreate(share, depthBits);
}
void countedDestroy(void* context)
{
    stayInside();
    g_realDestroy(context);
}

}  // namespace

TEST(GlContext, ContextsOfAGroupAreMadeAndEndedOneThreadAtATime)
{
    // The renderer counts the holders of what a group's contexts share without a lock of its
    // own: threads making and ending contexts of one group (the list compile's helpers) must
    // never be inside it together, or the group's last context frees a shared object twice.
    // The threads start together, so that without the lock they would meet.
    auto window = GlContext::create();
    ASSERT_NE(window, nullptr);
    g_inside = 0;
    g_mostInside = 0;
    g_realCreate = GlContext::createInRenderer;
    g_realDestroy = GlContext::destroyInRenderer;
    GlContext::createInRenderer = countedCreate;
    GlContext::destroyInRenderer = countedDestroy;
    std::atomic<bool> go{false};
    std::atomic<int> made{0};
    std::vector<std::thread> helpers;
    for (int t = 0; t < 6; ++t)
        helpers.emplace_back([&] {
            while (!go.load()) {
            }
            for (int round = 0; round < 3; ++round) {
                GlSurface surface(1, 1);
                auto ctx = GlContext::create(window.get());
                if (ctx == nullptr || !ctx->makeCurrent(surface))
                    continue;
                glNewList(glGenLists(1), GL_COMPILE);
                glEndList();
                ctx->release();
                ++made;
            }
        });
    go = true;
    for (std::thread& t : helpers)
        t.join();
    window.reset();
    GlContext::createInRenderer = g_realCreate;
    GlContext::destroyInRenderer = g_realDestroy;
    EXPECT_EQ(made.load(), 18);
    EXPECT_EQ(g_mostInside.load(), 1);
}
