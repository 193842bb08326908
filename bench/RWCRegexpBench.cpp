// RWCRegexp search over a 1 MB text beside std::regex (ECMAScript), three patterns.
#include "foundation/RWCRegexp.h"
#include "foundation/RWCString.h"

#include <benchmark/benchmark.h>

#include <random>
#include <regex>
#include <string>

namespace {

// About 1 MB of words, numbers and line breaks.
const std::string& text()
{
    static const std::string t = [] {
        std::mt19937 rng(7);
        const char* words[] = {"alpha", "beta", "gamma", "delta", "part", "mesh", "vertex", "edge"};
        std::string s;
        s.reserve(1 << 20);
        while (s.size() < (1u << 20)) {
            unsigned r = rng() % 10;
            if (r < 7)
                s += words[rng() % 8];
            else if (r < 9)
                s += std::to_string(rng() % 100000) + "." + std::to_string(rng() % 1000);
            else
                s += "\n";
            s += ' ';
        }
        return s;
    }();
    return t;
}

const char* const patterns[] = {
    "vertex",              // a literal word
    "[0-9]+\\.[0-9]+",     // a number with a fraction
    "e[a-z]*x",            // a closure that backtracks
};

void rwRegexp(benchmark::State& state)
{
    RWCString s(text().c_str());
    RWCRegexp re(patterns[state.range(0)]);
    size_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        size_t len = 0;
        size_t pos = re.index(s, &len, 0);
        while (pos != RW_NPOS) {
            ++matches;
            pos = re.index(s, &len, pos + (len ? len : 1));
        }
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = double(matches);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text().size()));
}

void stdRegex(benchmark::State& state)
{
    const std::string& s = text();
    std::regex re(patterns[state.range(0)], std::regex::ECMAScript);
    size_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        for (auto it = std::sregex_iterator(s.begin(), s.end(), re); it != std::sregex_iterator(); ++it)
            ++matches;
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = double(matches);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.size()));
}

} // namespace

BENCHMARK(rwRegexp)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(stdRegex)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
