// Drawing a finished 1,000,000-triangle torus in an 800 x 600 window under the software
// renderer: building its display list, whole scene frames in the shaded and line modes, and
// the floor beneath them (the list alone).
#include <algorithm>
#include <cstdlib>
#include <memory>

#include <benchmark/benchmark.h>

#include "tests/support/BenchSupport.h"
#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "geometry/display/FETriangleCollectorC.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/Message.h"
#include "tests/support/TempDir.h"
#include "viewer/control/CTavoplexCtrl.h"

namespace {

using platform::host::Message;

// One control in a headless 800 x 600 window, its per-user folder in a temporary folder, and
// the torus; made once per process.
struct Scene {
    TempDir folder;
    platform::host::HeadlessHost host{800, 600, 1000};
    std::unique_ptr<CTavoplexCtrl> control;
    refHandle<FEDisplayPartC> torus;

    Scene()
    {
        setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
        control = std::make_unique<CTavoplexCtrl>();
        control->AttachHost(&host);
        control->WindowProc(Message::create());
        control->WindowProc(Message::size(800, 600));
        FEDisplayPartC* part = new FEDisplayPartC();
        benchsupport::buildTorus(*part, 1000, 500);
        part->finalize(-1.0);
        part->smoothNormals();
        part->setColor(feColor(0.6f, 0.6f, 0.6f, 1.0f));
        torus = refHandle<FEDisplayPartC>(part);
    }
    ~Scene()
    {
        control->WindowProc(Message::destroy());
        control.reset();
    }
};

Scene& scene()
{
    static Scene* s = new Scene();
    return *s;
}

void deleteList(CTavoplexCtrl& c, FEDisplayPartC& part)
{
    OpenGLLock lock(c);
    if (part.getDisplayList() >= 0)
        glDeleteLists(GLuint(part.getDisplayList()), GLsizei(part.getDisplayListCount()));
    part.setDisplayList(-1);
}

// Also the memory the build takes: at its highest above what the process held before, and
// what it leaves held (the lists, and whatever else stays), in MB, the most of any round.
void BM_MakeListTorus1M(benchmark::State& state)
{
    Scene& s = scene();
    CTavoplexCtrl& c = *s.control;
    double rise = 0.0, held = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        const double before = double(benchsupport::residentBytes()) / 1048576.0;
        benchsupport::resetPeakMemory();
        state.ResumeTiming();
        {
            OpenGLLock lock(c);
            c.MakeListFromMesh(s.torus);
            c.FinishPartLists();
            glFinish();
        }
        state.PauseTiming();
        rise = std::max(rise, benchsupport::peakMemoryMB() - before);
        held = std::max(held, double(benchsupport::residentBytes()) / 1048576.0 - before);
        deleteList(c, *s.torus);
        state.ResumeTiming();
    }
    state.counters["rise_MB"] = rise;
    state.counters["held_MB"] = held;
}
BENCHMARK(BM_MakeListTorus1M)->Unit(benchmark::kMillisecond)->Iterations(3);

// The triangulation that the list build starts with, alone: the rest of the build is the
// list itself.
void BM_TriangulateTorus1MForList(benchmark::State& state)
{
    Scene& s = scene();
    for (auto _ : state) {
        FETriangleCollectorC collector(16384);
        s.torus->triangulate(&collector);
        benchmark::DoNotOptimize(collector.entries());
    }
}
BENCHMARK(BM_TriangulateTorus1MForList)->Unit(benchmark::kMillisecond)->Iterations(3);

// The torus placed in the control, seen from an oblique view, after the fade-in.
void placeTorus(Scene& s)
{
    CTavoplexCtrl& c = *s.control;
    if (c.Parts == nullptr) {
        {
            OpenGLLock lock(c);
            c.MakeListFromMesh(s.torus);
            c.FinishPartLists();
        }
        auto* model = new FEDisplayPartListC();
        model->addPart(s.torus.get());
        model->addInstance(new FEDisplayPartRefC(0, s.torus.get(), TransformMatrix(), TransformMatrix()));
        c.Parts.reset(model);
        c.SceneMin = Point3D(-70, -70, -20);
        c.SceneMax = Point3D(70, 70, 20);
        c.Rotation.rotate(-55.0, 0.0, 30.0);
        // A light background, as the page's colours give it, so that the black lines show.
        c.ColorFadeInValue = c.ColorTLValue = c.ColorTRValue = c.ColorBLValue = c.ColorBRValue =
            feColor(0.9f, 0.9f, 0.9f, 1.0f);
        c.Loading = false;
        c.Start = 1;
        c.RenderFrame();
        c.Animations.Update(1000);
        c.Animations.Update(5000);
    }
}

// How much of the window the last frame covers: a frame that draws nothing is not fast.
void countCovered(benchmark::State& state, Scene& s)
{
    const platform::gl::Frame& f = s.host.lastFrame();
    const auto corner = f.pixel(0, 0);
    int covered = 0;
    for (int y = 0; y < f.height; y += 4)
        for (int x = 0; x < f.width; x += 4) {
            // Colour only: the alpha the passes leave in the buffer is never shown.
            const auto p = f.pixel(x, y);
            covered += p[0] != corner[0] || p[1] != corner[1] || p[2] != corner[2];
        }
    state.counters["covered%"] = 100.0 * covered / double((f.width / 4) * (f.height / 4));
}

// Scene frames of the placed torus.
void frames(benchmark::State& state, int displayMode, int shadowQuality = 1)
{
    Scene& s = scene();
    CTavoplexCtrl& c = *s.control;
    placeTorus(s);
    c.DisplayMode = displayMode;
    c.ShadowQuality = shadowQuality;
    for (auto _ : state)
        c.RenderFrame();
    countCovered(state, s);
}

// What a frame of the torus cannot go below: its display list alone, lit, in the scene's
// view, in the same context and window, presented the same way; no background, shadow or
// lines.
void BM_FrameTorus1MFloor(benchmark::State& state)
{
    Scene& s = scene();
    CTavoplexCtrl& c = *s.control;
    placeTorus(s);
    for (auto _ : state) {
        OpenGLLock lock(c);
        glClearColor(0.9f, 0.9f, 0.9f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        c.SetupViewport();
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glShadeModel(GL_SMOOTH);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glEnable(GL_DEPTH_TEST);
        glColor4f(0.6f, 0.6f, 0.6f, 1.0f);
        glCallList(GLuint(s.torus->getDisplayList()));
        c.PresentFrame();
    }
    countCovered(state, s);
}
BENCHMARK(BM_FrameTorus1MFloor)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_FrameTorus1MShadedWithLines(benchmark::State& state) { frames(state, 4); }
BENCHMARK(BM_FrameTorus1MShadedWithLines)->Unit(benchmark::kMillisecond)->Iterations(20);

// The same while the view turns a little every frame, as under the mouse: nothing drawn from
// the view can be kept from one frame to the next.
void BM_FrameTorus1MShadedWithLinesTurning(benchmark::State& state)
{
    Scene& s = scene();
    CTavoplexCtrl& c = *s.control;
    placeTorus(s);
    c.DisplayMode = 4;
    c.ShadowQuality = 1;
    double step = 0.5;
    for (auto _ : state) {
        c.Rotation.rotate(0.0, 0.0, step);
        step = -step;
        c.RenderFrame();
    }
    countCovered(state, s);
}
BENCHMARK(BM_FrameTorus1MShadedWithLinesTurning)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_FrameTorus1MShaded(benchmark::State& state) { frames(state, 3); }
BENCHMARK(BM_FrameTorus1MShaded)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_FrameTorus1MLines(benchmark::State& state) { frames(state, 1); }
BENCHMARK(BM_FrameTorus1MLines)->Unit(benchmark::kMillisecond)->Iterations(20);

// The shadow's cost: shaded frames with lines without a shadow, with the hard one (the
// parts drawn once more into the texture, one quad) and with the soft one (17 quads).
void BM_FrameTorus1MShadow0(benchmark::State& state) { frames(state, 4, 0); }
BENCHMARK(BM_FrameTorus1MShadow0)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_FrameTorus1MShadow1(benchmark::State& state) { frames(state, 4, 1); }
BENCHMARK(BM_FrameTorus1MShadow1)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_FrameTorus1MShadow2(benchmark::State& state) { frames(state, 4, 2); }
BENCHMARK(BM_FrameTorus1MShadow2)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
