// The file streams on a generated 100 MB text: the gzip layer beside zlib's own gzwrite and
// gzread at the same level (9), and the RC4 and plain layers. Figures are in bytes per second
// of uncompressed text.
#include <cstdlib>
#include <string>

#include <zlib.h>

#include <benchmark/benchmark.h>

#include "services/streams/rc4fstream.h"
#include "tests/support/TempDir.h"

namespace {

constexpr size_t kTextSize = 100u << 20;
constexpr size_t kChunk = 65536;

// Lines of words and numbers, compressible as real text is.
const std::string& benchText()
{
    static const std::string text = [] {
        static const char* words[] = {"vertex", "edge", "face", "loop", "part", "normal", "crease", "mesh",
                                      "shell", "thread", "point", "matrix", "colour", "shadow", "panel", "gear"};
        std::string s;
        s.reserve(kTextSize + 64);
        unsigned x = 2117;
        while (s.size() < kTextSize) {
            x = x * 1103515245u + 12345u;
            const unsigned r = x >> 8;
            s += words[r % 16];
            if (r % 5 == 0) {
                s += ' ';
                s += std::to_string(r % 100000);
            }
            s += r % 11 == 0 ? '\n' : ' ';
        }
        s.resize(kTextSize);
        return s;
    }();
    return text;
}

TempDir& benchDir()
{
    static TempDir dir;
    return dir;
}

enum class Layer { plain, rc4, gzip };

void writeLayer(Layer layer, const std::string& path)
{
    const std::string& text = benchText();
    rc4ofstream out(path.c_str(), csopenmode::out | csopenmode::binary | (layer == Layer::gzip ? csopenmode::compressFlag : 0));
    if (layer == Layer::rc4)
        out.rdbuf()->writeHeader("bench");
    for (size_t at = 0; at < text.size(); at += kChunk)
        out.write(text.data() + at, std::streamsize(std::min(kChunk, text.size() - at)));
    if (!out.close())
        std::abort();
}

size_t readLayer(Layer layer, const std::string& path)
{
    rc4ifstream in(path.c_str(), csopenmode::in | csopenmode::binary);
    if (layer == Layer::rc4)
        in.rdbuf()->readHeader("bench");
    static std::string block(kChunk, '\0');
    size_t total = 0;
    while (in.read(block.data(), std::streamsize(kChunk)) || in.gcount() > 0)
        total += size_t(in.gcount());
    return total;
}

const std::string& layerFile(Layer layer)
{
    static std::string paths[3];
    std::string& p = paths[int(layer)];
    if (p.empty()) {
        p = benchDir().file("layer" + std::to_string(int(layer)));
        writeLayer(layer, p);
    }
    return p;
}

void BM_LayerWrite(benchmark::State& state, Layer layer)
{
    benchText();
    const std::string path = benchDir().file("write" + std::to_string(int(layer)));
    for (auto _ : state)
        writeLayer(layer, path);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTextSize));
}

void BM_LayerRead(benchmark::State& state, Layer layer)
{
    const std::string& path = layerFile(layer);
    for (auto _ : state)
        if (readLayer(layer, path) != kTextSize)
            state.SkipWithError("short read");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTextSize));
}

void BM_ZlibGzWrite(benchmark::State& state)
{
    const std::string& text = benchText();
    const std::string path = benchDir().file("gzwrite");
    for (auto _ : state) {
        gzFile f = gzopen(path.c_str(), "wb9");
        for (size_t at = 0; at < text.size(); at += kChunk)
            gzwrite(f, text.data() + at, unsigned(std::min(kChunk, text.size() - at)));
        gzclose(f);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTextSize));
}

// Reads the file the gzip layer wrote: it is a standard gzip file.
void BM_ZlibGzRead(benchmark::State& state)
{
    const std::string& path = layerFile(Layer::gzip);
    static std::string block(kChunk, '\0');
    for (auto _ : state) {
        gzFile f = gzopen(path.c_str(), "rb");
        size_t total = 0;
        for (int n; (n = gzread(f, block.data(), unsigned(kChunk))) > 0;)
            total += size_t(n);
        gzclose(f);
        if (total != kTextSize)
            state.SkipWithError("short read");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTextSize));
}

}  // namespace

BENCHMARK(BM_ZlibGzWrite)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_LayerWrite, gzip, Layer::gzip)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ZlibGzRead)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_LayerRead, gzip, Layer::gzip)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_LayerWrite, rc4, Layer::rc4)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_LayerRead, rc4, Layer::rc4)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_LayerWrite, plain, Layer::plain)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_LayerRead, plain, Layer::plain)->Unit(benchmark::kMillisecond)->Iterations(3);
