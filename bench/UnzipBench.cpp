// Unpacking a 48 MB deflated entry from an archive in memory, beside zlib's inflate alone on
// the same deflated bytes (the floor any reader pays). Reports MB/s of unpacked bytes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include "tests/support/ZipBuilder.h"
#include "viewer/loader/UnzipToBlock.h"

namespace {

constexpr size_t kEntryBytes = 48u << 20;

// ZJV-like text: numbers on lines, compressing about as well as real models do.
std::string modelText()
{
    std::string s;
    s.reserve(kEntryBytes + 64);
    uint32_t x = 7;
    char line[64];
    while (s.size() < kEntryBytes) {
        x = x * 1664525u + 1013904223u;
        const int n = std::snprintf(line, sizeof line, "V %u %.3f %.3f %.3f\n", x % 100000, (x >> 8) % 1000 / 7.0,
                                    (x >> 4) % 1000 / 3.0, (x >> 12) % 1000 / 9.0);
        s.append(line, size_t(n));
    }
    s.resize(kEntryBytes);
    return s;
}

struct Fixture {
    std::string zip;
    std::string deflated;  // the entry's raw deflate stream, cut out of the archive
    Fixture()
    {
        zip = buildZip({{"model.zjv", modelText()}});
        const auto u16 = [&](size_t at) { return size_t(uint8_t(zip[at])) | size_t(uint8_t(zip[at + 1])) << 8; };
        const size_t compressed = u16(18) | u16(20) << 16;
        deflated = zip.substr(30 + u16(26) + u16(28), compressed);
    }
};

const Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_UnzipIndexFromMemory(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        MemoryBlockC block;
        if (!UnzipIndexFromMemory(f.zip.data(), uint32_t(f.zip.size()), 0, "", block) || block.GetSize() != kEntryBytes)
            state.SkipWithError("unzip failed");
        benchmark::DoNotOptimize(block.GetData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kEntryBytes));
}

void BM_ZlibInflateAlone(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        std::unique_ptr<char[]> out(new char[kEntryBytes + 1]);
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(f.deflated.data()));
        z.avail_in = uInt(f.deflated.size());
        z.next_out = reinterpret_cast<Bytef*>(out.get());
        z.avail_out = uInt(kEntryBytes);
        const int r = inflate(&z, Z_FINISH);
        if (r != Z_STREAM_END || z.total_out != kEntryBytes)
            state.SkipWithError("inflate failed");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kEntryBytes));
}

}  // namespace

BENCHMARK(BM_UnzipIndexFromMemory)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZlibInflateAlone)->Unit(benchmark::kMillisecond)->MinTime(2.0);
