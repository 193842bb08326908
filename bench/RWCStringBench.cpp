// The counted string beside std::string: copy, assign, append in a loop, find and hash.
#include "foundation/RWCString.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <string_view>

namespace {

const char kShort[] = "config.key";
const char kLong[] = "services/config/user settings/viewer.cfg";

std::string longText()
{
    std::string t;
    for (int i = 0; i < 64; ++i)
        t += "the quick brown fox jumps over the lazy dog ";
    t += "needle";
    return t;
}

template <class S>
void copyLoop(benchmark::State& state, const char* text)
{
    S a(text);
    for (auto _ : state) {
        S b(a);
        benchmark::DoNotOptimize(b);
    }
}

template <class S>
void assignLoop(benchmark::State& state, const char* text)
{
    S a(text);
    S b;
    S empty;
    for (auto _ : state) {
        b = a;
        benchmark::DoNotOptimize(b);
        b = empty;
        benchmark::DoNotOptimize(b);
    }
}

template <class S>
void appendLoop(benchmark::State& state)
{
    const int pieces = static_cast<int>(state.range(0));
    for (auto _ : state) {
        S s;
        for (int i = 0; i < pieces; ++i)
            s.append("piece-of-text/");
        benchmark::DoNotOptimize(s);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * pieces * 14);
}

}  // namespace

static void BM_CopyShort_RWCString(benchmark::State& s) { copyLoop<RWCString>(s, kShort); }
static void BM_CopyShort_StdString(benchmark::State& s) { copyLoop<std::string>(s, kShort); }
static void BM_CopyLong_RWCString(benchmark::State& s) { copyLoop<RWCString>(s, kLong); }
static void BM_CopyLong_StdString(benchmark::State& s) { copyLoop<std::string>(s, kLong); }
BENCHMARK(BM_CopyShort_RWCString);
BENCHMARK(BM_CopyShort_StdString);
BENCHMARK(BM_CopyLong_RWCString);
BENCHMARK(BM_CopyLong_StdString);

static void BM_AssignShort_RWCString(benchmark::State& s) { assignLoop<RWCString>(s, kShort); }
static void BM_AssignShort_StdString(benchmark::State& s) { assignLoop<std::string>(s, kShort); }
static void BM_AssignLong_RWCString(benchmark::State& s) { assignLoop<RWCString>(s, kLong); }
static void BM_AssignLong_StdString(benchmark::State& s) { assignLoop<std::string>(s, kLong); }
BENCHMARK(BM_AssignShort_RWCString);
BENCHMARK(BM_AssignShort_StdString);
BENCHMARK(BM_AssignLong_RWCString);
BENCHMARK(BM_AssignLong_StdString);

BENCHMARK_TEMPLATE(appendLoop, RWCString)->Arg(8)->Arg(100)->Arg(10000);
BENCHMARK_TEMPLATE(appendLoop, std::string)->Arg(8)->Arg(100)->Arg(10000);

static void BM_Find_RWCString(benchmark::State& state)
{
    RWCString text(longText().c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(text.index("needle"));
}
static void BM_Find_StdString(benchmark::State& state)
{
    std::string text = longText();
    for (auto _ : state)
        benchmark::DoNotOptimize(text.find("needle"));
}
static void BM_FindIgnoreCase_RWCString(benchmark::State& state)
{
    RWCString text(longText().c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(text.index("NEEDLE", 0, RWCString::ignoreCase));
}
BENCHMARK(BM_Find_RWCString);
BENCHMARK(BM_Find_StdString);
BENCHMARK(BM_FindIgnoreCase_RWCString);

static void BM_HashLong_RWCString(benchmark::State& state)
{
    RWCString text(kLong);
    for (auto _ : state)
        benchmark::DoNotOptimize(text.hash());
}
static void BM_HashLong_StdString(benchmark::State& state)
{
    std::string text(kLong);
    std::hash<std::string> h;
    for (auto _ : state)
        benchmark::DoNotOptimize(h(text));
}
static void BM_HashLongIgnoreCase_RWCString(benchmark::State& state)
{
    RWCString text(kLong);
    for (auto _ : state)
        benchmark::DoNotOptimize(text.hash(RWCString::ignoreCase));
}
BENCHMARK(BM_HashLong_RWCString);
BENCHMARK(BM_HashLong_StdString);
BENCHMARK(BM_HashLongIgnoreCase_RWCString);
