// Saving and loading the finalized, smoothed 1,000,000-triangle torus as a tagged record file:
// seconds, file size and peak memory of each direction (target: each under 1.5 s).
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "tests/support/BenchSupport.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "services/streams/csrecordfile.h"
#include "tests/support/TempDir.h"

namespace {

using benchsupport::buildTorus;
using benchsupport::peakMemoryMB;
using benchsupport::resetPeakMemory;

constexpr int kMeshTag = 1;

TempDir& benchDir()
{
    static TempDir dir;
    return dir;
}

FEMeshPartC& torus()
{
    static FEMeshPartC* part = [] {
        auto* p = new FEMeshPartC;
        buildTorus(*p, 1000, 500);
        p->finalize(-1.0);
        p->smoothNormals();
        return p;
    }();
    return *part;
}

const std::string& savedFile()
{
    static const std::string path = benchDir().file("torus.rec");
    return path;
}

bool saveTorus()
{
    csrecordfile out(savedFile().c_str(), true);
    return out.writeHeader("torus", "1000 x 500") && torus().save(out, kMeshTag) && out.finishFile() && out.close();
}

void BM_SaveTorus1M(benchmark::State& state)
{
    torus();
    double peak = 0;
    for (auto _ : state) {
        resetPeakMemory();
        if (!saveTorus())
            state.SkipWithError("save failed");
        peak = peakMemoryMB();
    }
    state.counters["peak_MB"] = peak;
    state.counters["file_MB"] = double(std::filesystem::file_size(savedFile())) / (1 << 20);
    state.counters["faces"] = double(torus().getFaceCount());
}
BENCHMARK(BM_SaveTorus1M)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadTorus1M(benchmark::State& state)
{
    if (!std::filesystem::exists(savedFile()))
        saveTorus();
    double peak = 0;
    size_t faces = 0;
    for (auto _ : state) {
        resetPeakMemory();
        FEMeshPartC* part = new FEMeshPartC;
        csrecordfile in(savedFile().c_str(), false);
        RWCString first, second;
        unsigned roots = 0, tag = 0, count = 0;
        if (!in.readHeader(first, second, roots) || in.readRecordHead(tag, count) || !part->load(in, count))
            state.SkipWithError("load failed");
        peak = peakMemoryMB();
        faces = part->getFaceCount();
        state.PauseTiming();
        delete part;
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
    state.counters["faces"] = double(faces);
}
BENCHMARK(BM_LoadTorus1M)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
