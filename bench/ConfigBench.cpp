// The configuration store: reading and saving a generated .cfg file of 10,000 items; reading
// files of 100,000 blocks and of 100,000 items in one block.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "services/config/CSConfig.h"

namespace {

constexpr int itemCount = 10000;
constexpr int itemsPerBlock = 100;

// A file of 100 blocks with 100 items each, comments above every tenth item; keys are
// written in an order that is not sorted, so the key index does real work.
std::string generatedText()
{
    std::string text = "; generated settings\n";
    for (int b = 0; b < itemCount / itemsPerBlock; ++b) {
        text += "[BLOCK_" + std::to_string(b) + "]\n";
        for (int i = 0; i < itemsPerBlock; ++i) {
            const int k = (i * 37) % itemsPerBlock;
            if (i % 10 == 0)
                text += "; note for item " + std::to_string(k) + "\n";
            text += "Key_" + std::to_string(k) + " = value " + std::to_string(b * k) + ",1.5,yes\n";
        }
    }
    return text;
}

std::string benchFile()
{
    const char* base = std::getenv("TMPDIR");
    std::string path = std::string(base && *base ? base : "/tmp") + "/config-bench-" + std::to_string(::getpid()) + ".cfg";
    std::ofstream(path) << generatedText();
    return path;
}

void BM_ConfigRead10000(benchmark::State& state)
{
    const std::string path = benchFile();
    for (auto _ : state) {
        CSConfig cfg(true);
        if (cfg.open(path.c_str()) != 1)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(cfg.blockCount());
    }
    state.SetItemsProcessed(state.iterations() * itemCount);
    std::remove(path.c_str());
}
BENCHMARK(BM_ConfigRead10000)->Unit(benchmark::kMillisecond);

void BM_ConfigSave10000(benchmark::State& state)
{
    const std::string path = benchFile();
    CSConfig cfg(true);
    cfg.open(path.c_str());
    for (auto _ : state) {
        cfg.getValue("Key_1", "BLOCK_1", "")->setInt(int(state.iterations()));
        if (cfg.save() != 1)
            state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(state.iterations() * itemCount);
    std::remove(path.c_str());
}
BENCHMARK(BM_ConfigSave10000)->Unit(benchmark::kMillisecond);

void BM_ConfigLookup10000(benchmark::State& state)
{
    const std::string path = benchFile();
    CSConfig cfg(true);
    cfg.open(path.c_str());
    int n = 0;
    for (auto _ : state) {
        const int b = n % (itemCount / itemsPerBlock), k = n % itemsPerBlock;
        benchmark::DoNotOptimize(cfg.findItem(("key_" + std::to_string(k)).c_str(), ("block_" + std::to_string(b)).c_str()));
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
    std::remove(path.c_str());
}
BENCHMARK(BM_ConfigLookup10000);

// Small files that are expensive when a lookup walks what was read: one line per block or item.
void readText(benchmark::State& state, const std::string& text)
{
    for (auto _ : state) {
        std::istringstream in(text);
        CSConfig cfg(&in, nullptr, true);
        benchmark::DoNotOptimize(cfg.blockCount());
    }
    state.counters["input_MB"] = double(text.size()) / (1024.0 * 1024.0);
}

void BM_ConfigRead100000Blocks(benchmark::State& state)
{
    std::string text;
    for (int b = 0; b < 100000; ++b)
        text += "[B" + std::to_string(b) + "]\nk=" + std::to_string(b) + "\n";
    readText(state, text);
}
BENCHMARK(BM_ConfigRead100000Blocks)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ConfigRead100000ItemsInOneBlock(benchmark::State& state)
{
    std::string text = "[B]\n";
    for (int k = 0; k < 100000; ++k)
        text += "k" + std::to_string(k) + "=" + std::to_string(k) + "\n";
    readText(state, text);
}
BENCHMARK(BM_ConfigRead100000ItemsInOneBlock)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
