// The whole model pipeline (build, finalize, smooth normals, triangulate for display) per triangle
// over a range of sizes for a torus, a gear and a cone, the worst single cases (a zigzag fan, a huge
// flat face), and a binary STL file to display-ready triangles beside f3d rendering the same file.
// Display-ready triangles are the display list's corner array; the triangle collector's time for the
// same faces is given beside it (collector_s), outside the totals and after the peak is taken.
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "tests/support/BenchSupport.h"
#include "geometry/display/FEDisplayCornersC.h"
#include "geometry/display/FETriangleCollectorC.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "tests/support/TempDir.h"

namespace {

using benchsupport::kPi;
using benchsupport::peakMemoryMB;
using benchsupport::resetPeakMemory;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// A flat fan around a hub whose rim zigzags in and out: finalize merges it into one star-shaped
// face, taking every edge of the hub away.
void buildZigzagFan(FEMeshPartC& part, int triangles)
{
    auto rim = [&](int k) {
        const double a = kPi * k / triangles, r = (k % 2) ? 103.0 : 100.0;
        return Point3D(r * std::cos(a), r * std::sin(a), 0);
    };
    for (int k = 0; k < triangles; ++k)
        part.addTriangle(Point3D(0, 0, 0), rim(k), rim(k + 1));
}

// A flat plate of side x side unit squares, two triangles each, with every other square of
// every other row left out: one face around a quarter as many holes as squares.
void buildPlateWithHoles(FEMeshPartC& part, int side)
{
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            if (i % 2 == 1 && j % 2 == 1 && i + 1 < side && j + 1 < side)
                continue;
            const Point3D a(i, j, 0), b(i + 1, j, 0), c(i + 1, j + 1, 0), d(i, j + 1, 0);
            part.addTriangle(a, b, c);
            part.addTriangle(a, c, d);
        }
}

// One flat face with `points` corners: a gear outline with 100 teeth.
void buildHugeFace(FEMeshPartC& part, int points)
{
    std::vector<Point3D> outline(static_cast<size_t>(points));
    for (int k = 0; k < points; ++k) {
        const double a = 2.0 * kPi * k / points;
        const double r = std::fmod(a * 100 / (2.0 * kPi), 1.0) < 0.5 ? 40.0 : 44.0;
        outline[size_t(k)] = Point3D(r * std::cos(a), r * std::sin(a), 0);
    }
    part.addFace(outline.data(), outline.size(), Point3D(0, 0, 1), nullptr, 15.0f, 0);
    part.endFace();
}

struct Stages {
    double build = 0, finalize = 0, smooth = 0, triangulate = 0, collector = 0, peak = 0;
    size_t triangles = 0;
};

// The same faces into the triangle collector (the former display path), for comparison.
double collectorSeconds(FEMeshPartC& part)
{
    const auto t = Clock::now();
    FETriangleCollectorC collector(16384);
    part.triangulate(&collector);
    benchmark::DoNotOptimize(collector.entries());
    return secondsSince(t);
}

template <class Build>
Stages runPipeline(Build build)
{
    Stages s;
    resetPeakMemory();
    auto part = std::make_unique<FEMeshPartC>();
    auto t = Clock::now();
    build(*part);
    s.build = secondsSince(t);
    t = Clock::now();
    part->finalize(-1.0);
    s.finalize = secondsSince(t);
    t = Clock::now();
    part->smoothNormals();
    s.smooth = secondsSince(t);
    t = Clock::now();
    {
        FEDisplayCornersC corners;
        corners.fromFaces(part->getFirstFace());
        s.triangulate = secondsSince(t);
        s.triangles = corners.triangles();
        s.peak = peakMemoryMB();
    }
    s.collector = collectorSeconds(*part);
    return s;
}

template <class Build>
void pipeline(benchmark::State& state, double inputTriangles, Build build)
{
    Stages last;
    for (auto _ : state) {
        last = runPipeline(build);
        benchmark::DoNotOptimize(last.triangles);
    }
    state.counters["us_per_tri"] = 1e6 * (last.build + last.finalize + last.smooth + last.triangulate) / inputTriangles;
    state.counters["build_s"] = last.build;
    state.counters["finalize_s"] = last.finalize;
    state.counters["smooth_s"] = last.smooth;
    state.counters["triangulate_s"] = last.triangulate;
    state.counters["collector_s"] = last.collector;
    state.counters["peak_MB"] = last.peak;
}

void BM_PipelineTorus(benchmark::State& state)
{
    // 2 * rings * segments triangles with rings = 2 * segments.
    const int segments = int(std::lround(std::sqrt(double(state.range(0)) / 4.0)));
    pipeline(state, 4.0 * segments * segments,
             [&](FEMeshPartC& p) { benchsupport::buildTorus(p, 2 * segments, segments); });
}
BENCHMARK(BM_PipelineTorus)->Arg(100000)->Arg(500000)->Arg(2000000)->Arg(4000000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PipelineGear(benchmark::State& state)
{
    const int points = int(state.range(0) / 4);
    pipeline(state, 4.0 * points, [&](FEMeshPartC& p) { benchsupport::buildGear(p, points); });
}
BENCHMARK(BM_PipelineGear)->Arg(100000)->Arg(500000)->Arg(2000000)->Arg(4000000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PipelineCone(benchmark::State& state)
{
    const int triangles = int(state.range(0));
    pipeline(state, triangles, [&](FEMeshPartC& p) { benchsupport::buildCone(p, triangles); });
}
BENCHMARK(BM_PipelineCone)->Arg(100000)->Arg(200000)->Arg(320000)->Arg(2000000)->Arg(4000000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PipelineZigzagFan(benchmark::State& state)
{
    const int triangles = int(state.range(0));
    pipeline(state, triangles, [&](FEMeshPartC& p) { buildZigzagFan(p, triangles); });
}
BENCHMARK(BM_PipelineZigzagFan)->Arg(80000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Many holes in one face: the time per triangle should not grow with the plate.
void BM_PipelinePlateWithHoles(benchmark::State& state)
{
    const int side = int(state.range(0));
    pipeline(state, 1.5 * side * side, [&](FEMeshPartC& p) { buildPlateWithHoles(p, side); });
}
BENCHMARK(BM_PipelinePlateWithHoles)->Arg(150)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond)->Iterations(1);

// Triangulating one flat face of many corners (building it is not timed).
void BM_TriangulateHugeFace(benchmark::State& state)
{
    FEMeshPartC part;
    buildHugeFace(part, int(state.range(0)));
    part.smoothNormals();
    FEDisplayCornersC corners;
    for (auto _ : state) {
        corners.fromFaces(part.getFirstFace());
        benchmark::DoNotOptimize(corners.triangles());
    }
    state.counters["triangles"] = double(corners.triangles());
    state.counters["collector_s"] = collectorSeconds(part);
}
BENCHMARK(BM_TriangulateHugeFace)->Arg(50000)->Arg(400000)->Unit(benchmark::kMillisecond)->Iterations(1);

// ---- A binary STL file to display-ready triangles, beside f3d rendering the same file ----

std::string torusFile(TempDir& dir)
{
    const std::string path = dir.file("torus1M.stl");
    const bool written = benchsupport::writeBinaryStl(path, 1000000, [](auto add) {
        benchsupport::torusTriangles(1000, 500, add);
    });
    return written ? path : std::string();
}

void BM_TorusFileToDisplay1M(benchmark::State& state)
{
    TempDir dir;
    const std::string path = torusFile(dir);
    Stages last;
    double read = 0;
    for (auto _ : state) {
        resetPeakMemory();
        const auto t = Clock::now();
        auto part = std::make_unique<FEMeshPartC>();
        if (!part->readSTLFromFile(path.c_str(), 15.0f, nullptr))
            state.SkipWithError("read failed");
        read = secondsSince(t);
        auto t2 = Clock::now();
        part->finalize(-1.0);
        last.finalize = secondsSince(t2);
        t2 = Clock::now();
        part->smoothNormals();
        last.smooth = secondsSince(t2);
        t2 = Clock::now();
        auto corners = std::make_unique<FEDisplayCornersC>();
        corners->fromFaces(part->getFirstFace());
        last.triangulate = secondsSince(t2);
        last.triangles = corners->triangles();
        last.peak = peakMemoryMB();
        // Freeing is not part of loading.
        state.PauseTiming();
        corners.reset();
        last.collector = collectorSeconds(*part);
        part.reset();
        state.ResumeTiming();
    }
    state.counters["read_s"] = read;
    state.counters["finalize_s"] = last.finalize;
    state.counters["smooth_s"] = last.smooth;
    state.counters["triangulate_s"] = last.triangulate;
    state.counters["collector_s"] = last.collector;
    state.counters["peak_MB"] = last.peak;
}
BENCHMARK(BM_TorusFileToDisplay1M)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

// The read stage alone (file to merged mesh part); the first repetition of a process meets fresh
// memory, the later ones reuse what the earlier parts gave back.
void fileRead(benchmark::State& state, const std::string& path, double triangles)
{
    double peak = 0;
    for (auto _ : state) {
        resetPeakMemory();
        auto part = std::make_unique<FEMeshPartC>();
        if (!part->readSTLFromFile(path.c_str(), 15.0f, nullptr))
            state.SkipWithError("read failed");
        peak = peakMemoryMB();
        state.PauseTiming();
        part.reset();
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
    state.counters["us_per_triangle"] = benchmark::Counter(triangles * 1e-6 * double(state.iterations()),
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_TorusFileRead1M(benchmark::State& state)
{
    TempDir dir;
    fileRead(state, torusFile(dir), 1000000);
}
BENCHMARK(BM_TorusFileRead1M)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

// Flat faces cut into long fans: vertices with very many incident edges.
void BM_GearFileRead(benchmark::State& state)
{
    TempDir dir;
    const std::string path = dir.file("gear.stl");
    const int points = 100000;
    if (!benchsupport::writeBinaryStl(path, 4 * points, [&](auto add) { benchsupport::gearTriangles(points, add); }))
        state.SkipWithError("write failed");
    fileRead(state, path, 4.0 * points);
}
BENCHMARK(BM_GearFileRead)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

void BM_ConeFileRead(benchmark::State& state)
{
    TempDir dir;
    const std::string path = dir.file("cone.stl");
    const int triangles = 320000;
    if (!benchsupport::writeBinaryStl(path, triangles, [&](auto add) { benchsupport::coneTriangles(triangles, add); }))
        state.SkipWithError("write failed");
    fileRead(state, path, triangles);
}
BENCHMARK(BM_ConeFileRead)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

// The peer: f3d reading the same file and rendering it to an 800x600 image, as a fresh process
// under a virtual X server (the X server's start is measured alone with a one-triangle file).
void f3dToImage(benchmark::State& state, bool whole)
{
    if (std::system("command -v f3d >/dev/null 2>&1 && command -v xvfb-run >/dev/null 2>&1") != 0) {
        state.SkipWithError("f3d or xvfb-run is not installed");
        return;
    }
    TempDir dir;
    std::string path = dir.file("one.stl");
    if (whole) {
        path = torusFile(dir);
    } else {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        const char header[80] = {};
        const uint32_t count = 1;
        const float rec[12] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
        const uint16_t attr = 0;
        if (f) {
            std::fwrite(header, 1, 80, f);
            std::fwrite(&count, 4, 1, f);
            std::fwrite(rec, 4, 12, f);
            std::fwrite(&attr, 2, 1, f);
            std::fclose(f);
        }
    }
    const std::string command = "xvfb-run -a f3d --dry-run --resolution=800,600 --output=" + dir.file("f3d.png") + " " +
                                path + " >/dev/null 2>&1";
    for (auto _ : state) {
        const int rc = std::system(command.c_str());
        if (rc == -1 || !WIFEXITED(rc) || WEXITSTATUS(rc) != 0)
            state.SkipWithError("f3d failed");
    }
}

void BM_F3dFileToImage1M(benchmark::State& state) { f3dToImage(state, true); }
BENCHMARK(BM_F3dFileToImage1M)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

void BM_F3dOneTriangleToImage(benchmark::State& state) { f3dToImage(state, false); }
BENCHMARK(BM_F3dOneTriangleToImage)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

}  // namespace
