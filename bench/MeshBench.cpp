// Building (and completing) large meshes through addTriangle: a smooth torus and a gear with fanned faces.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "tests/support/BenchSupport.h"
#include "geometry/mesh/FEMeshPartC.h"

namespace {

using benchsupport::buildGear;
using benchsupport::buildTorus;
using benchsupport::peakMemoryMB;
using benchsupport::resetPeakMemory;

void BM_BuildTorus1M(benchmark::State& state)
{
    double peak = 0;
    for (auto _ : state) {
        resetPeakMemory();
        FEMeshPartC* part = new FEMeshPartC;
        buildTorus(*part, 1000, 500);
        peak = peakMemoryMB();
        benchmark::DoNotOptimize(part->getFaceCount());
        state.PauseTiming();
        delete part;
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_BuildTorus1M)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BuildGear400k(benchmark::State& state)
{
    double peak = 0;
    for (auto _ : state) {
        resetPeakMemory();
        FEMeshPartC* part = new FEMeshPartC;
        buildGear(*part, 100000);
        peak = peakMemoryMB();
        benchmark::DoNotOptimize(part->getFaceCount());
        state.PauseTiming();
        delete part;
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_BuildGear400k)->Unit(benchmark::kMillisecond)->Iterations(3);

// Finalizing and smoothing, as the loader does after reading; building is not timed.
void BM_FinalizeAndSmoothTorus1M(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        FEMeshPartC* part = new FEMeshPartC;
        buildTorus(*part, 1000, 500);
        state.ResumeTiming();
        part->finalize(-1.0);
        part->smoothNormals();
        benchmark::DoNotOptimize(part->getFaceCount());
        state.PauseTiming();
        state.counters["faces"] = double(part->getFaceCount());
        delete part;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FinalizeAndSmoothTorus1M)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_FinalizeAndSmoothGear400k(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        FEMeshPartC* part = new FEMeshPartC;
        buildGear(*part, 100000);
        state.ResumeTiming();
        part->finalize(-1.0);
        part->smoothNormals();
        benchmark::DoNotOptimize(part->getFaceCount());
        state.PauseTiming();
        state.counters["faces"] = double(part->getFaceCount());
        delete part;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FinalizeAndSmoothGear400k)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
