// Baseline: cost of reading the millisecond tick.
#include "platform/sys.h"

#include <benchmark/benchmark.h>

static void BM_TickCount(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::sys::tickCount());
}
BENCHMARK(BM_TickCount);
