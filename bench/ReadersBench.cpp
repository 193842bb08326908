// Reading large models: binary and text STL (1,000,000 triangles) and ZJV (200,000 triangles), each
// into a display part with merged vertices, finalized and smoothed. Reports seconds and peak memory.
// Also inputs cheap to write and once expensive to read: 100,000 binary STL triangles that are all
// alike or all on one edge, a ZJV text of 350,000 empty parts and one of 100,000
// parts of one triangle each. ZJV texts are read under the viewer's limits, counted first as
// it does, and texts over them (1,000,001 placements or parts) must be refused at the count's
// cost, before anything is built.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "tests/support/BenchSupport.h"
#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/readers/STLImport.h"
#include "geometry/readers/ZJVReaderC.h"
#include "services/objects/refHandle.h"

namespace {

using benchsupport::kPi;
using benchsupport::peakMemoryMB;
using benchsupport::resetPeakMemory;

// The viewer's part and placement limits, for the count it makes before a ZJV text is built.
constexpr size_t kViewerLimit = 1000000;

// Fills a ZJV reader with the text and the viewer's limits.
void prepareZJV(ZJVReaderC& reader, const std::string& data)
{
    reader.buffer().Allocate(uint32_t(data.size()));
    std::memcpy(reader.buffer().GetData(), data.data(), data.size());
    reader.setPartLimit(kViewerLimit);
    reader.setPlacementLimit(kViewerLimit);
}

// A torus of radii 50 and 20 with rings x segments quads, two triangles each.
struct Torus {
    int rings, segments;
    std::vector<float> xyz;  // one point per grid node

    Torus(int r, int s) : rings(r), segments(s), xyz(size_t(r) * size_t(s) * 3)
    {
        for (int i = 0; i < rings; ++i)
            for (int j = 0; j < segments; ++j) {
                const double u = 2.0 * kPi * i / rings, v = 2.0 * kPi * j / segments;
                const double rr = 50.0 + 20.0 * std::cos(v);
                float* p = &xyz[(size_t(i) * segments + j) * 3];
                p[0] = float(rr * std::cos(u));
                p[1] = float(rr * std::sin(u));
                p[2] = float(20.0 * std::sin(v));
            }
    }
    int node(int i, int j) const { return (i % rings) * segments + (j % segments); }
    const float* at(int n) const { return &xyz[size_t(n) * 3]; }

    template <class F>
    void forEachTriangle(F f) const
    {
        for (int i = 0; i < rings; ++i)
            for (int j = 0; j < segments; ++j) {
                const int a = node(i, j), b = node(i + 1, j), c = node(i + 1, j + 1), d = node(i, j + 1);
                f(a, b, c);
                f(a, c, d);
            }
    }
    size_t triangles() const { return size_t(rings) * size_t(segments) * 2; }
};

void normalOf(const float* a, const float* b, const float* c, float* n)
{
    const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double v[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    double m[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double len = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    for (int k = 0; k < 3; ++k)
        n[k] = float(len > 0 ? m[k] / len : 0.0);
}

std::string binaryTorus()
{
    return [] {
        const Torus t(1000, 500);
        std::string s(84 + 50 * t.triangles(), '\0');
        std::memcpy(&s[0], "binary torus", 12);
        const uint32_t count = uint32_t(t.triangles());
        std::memcpy(&s[80], &count, 4);  // little-endian machines only, as this benchmark runs
        char* out = &s[84];
        t.forEachTriangle([&](int a, int b, int c) {
            float rec[12];
            normalOf(t.at(a), t.at(b), t.at(c), rec);
            std::memcpy(rec + 3, t.at(a), 12);
            std::memcpy(rec + 6, t.at(b), 12);
            std::memcpy(rec + 9, t.at(c), 12);
            std::memcpy(out, rec, 48);
            out += 50;
        });
        return s;
    }();
}

std::string textTorus()
{
    return [] {
        const Torus t(1000, 500);
        std::string s = "solid torus\n";
        s.reserve(t.triangles() * 260);
        char line[160];
        t.forEachTriangle([&](int a, int b, int c) {
            float n[3];
            normalOf(t.at(a), t.at(b), t.at(c), n);
            std::snprintf(line, sizeof line, "facet normal %.9g %.9g %.9g\n outer loop\n", n[0], n[1], n[2]);
            s += line;
            for (int k : {a, b, c}) {
                std::snprintf(line, sizeof line, "  vertex %.9g %.9g %.9g\n", t.at(k)[0], t.at(k)[1], t.at(k)[2]);
                s += line;
            }
            s += " endloop\nendfacet\n";
        });
        s += "endsolid torus\n";
        return s;
    }();
}

std::string zjvTorus()
{
    return [] {
        const Torus t(400, 250);
        std::string s = "P{N{torus}C{180 180 200 255}PL{";
        char num[64];
        for (size_t i = 0; i < t.xyz.size(); ++i) {
            std::snprintf(num, sizeof num, i + 1 < t.xyz.size() ? "%.9g " : "%.9g", double(t.xyz[i]));
            s += num;
        }
        s += "}\nFL3{";
        bool first = true;
        t.forEachTriangle([&](int a, int b, int c) {
            std::snprintf(num, sizeof num, first ? "%d %d %d" : " %d %d %d", a, b, c);
            first = false;
            s += num;
        });
        s += "}}\nS{M{0 1 0 0 0 1 0 0 0 1 0 0 0}ME{0 1 0 0 0 1 0 0 0 1 0 0 0}}\n";
        return s;
    }();
}

void readSTL(benchmark::State& state, const std::string& data)
{
    using Clock = std::chrono::steady_clock;
    size_t faces = 0;
    double peak = 0.0;
    // Read and build, finalize, smooth normals, free (seconds, last run).
    double steps[4] = {0, 0, 0, 0};
    for (auto _ : state) {
        resetPeakMemory();
        const auto t0 = Clock::now();
        refHandle<FEDisplayPartC> part(new FEDisplayPartC);
        if (!part->readSTLFromString(data.data(), data.size(), 15.0f, nullptr))
            state.SkipWithError("read failed");
        const auto t1 = Clock::now();
        part->finalize(-1.0);
        const auto t2 = Clock::now();
        part->smoothNormals();
        const auto t3 = Clock::now();
        faces = part->getFaceCount();
        peak = peakMemoryMB();
        // Freeing the mesh is not part of reading it; it is reported on its own.
        state.PauseTiming();
        part = nullptr;
        steps[3] = std::chrono::duration<double>(Clock::now() - t3).count();
        state.ResumeTiming();
        steps[0] = std::chrono::duration<double>(t1 - t0).count();
        steps[1] = std::chrono::duration<double>(t2 - t1).count();
        steps[2] = std::chrono::duration<double>(t3 - t2).count();
    }
    state.counters["read_s"] = steps[0];
    state.counters["finalize_s"] = steps[1];
    state.counters["smooth_s"] = steps[2];
    state.counters["free_s"] = steps[3];
    state.counters["faces"] = double(faces);
    state.counters["peak_MB"] = peak;
    state.counters["input_MB"] = double(data.size()) / (1024.0 * 1024.0);
}

void BM_BinarySTL1M(benchmark::State& state)
{
    const std::string data = binaryTorus();
    readSTL(state, data);
}

// The reader alone: triangles counted, no mesh built.
class CountingImporter : public stlImporterI {
public:
    void beginImport(int) override {}
    bool addTriangle(const Point3D&, const Point3D&, const Point3D&) override
    {
        ++count;
        return true;
    }
    void endImport() override {}
    size_t count = 0;
};

void BM_BinarySTL1MParseOnly(benchmark::State& state)
{
    const std::string data = binaryTorus();
    for (auto _ : state) {
        CountingImporter counter;
        importSTLString(data.data(), data.size(), &counter, nullptr);
        benchmark::DoNotOptimize(counter.count);
    }
}

void BM_TextSTL1MParseOnly(benchmark::State& state)
{
    const std::string data = textTorus();
    for (auto _ : state) {
        CountingImporter counter;
        importSTLString(data.data(), data.size(), &counter, nullptr);
        benchmark::DoNotOptimize(counter.count);
    }
}

void BM_TextSTL1M(benchmark::State& state)
{
    const std::string data = textTorus();
    readSTL(state, data);
}

void BM_ZJV200k(benchmark::State& state)
{
    const std::string data = zjvTorus();
    size_t faces = 0;
    double peak = 0.0;
    for (auto _ : state) {
        resetPeakMemory();
        ZJVReaderC reader;
        prepareZJV(reader, data);
        FEDisplayPartListC list;
        reader.parse(&list);
        faces = list.partCount() ? list.getPart(0)->getFaceCount() : 0;
        peak = peakMemoryMB();
    }
    state.counters["faces"] = double(faces);
    state.counters["peak_MB"] = peak;
}

// 100,000 facets of a binary STL, triangle i given by corners(i, out[9]).
template <class F>
std::string binarySTL(F corners)
{
    constexpr uint32_t kCount = 100000;
    std::string s(84 + 50 * size_t(kCount), '\0');
    std::memcpy(&s[80], &kCount, 4);  // little-endian machines only, as this benchmark runs
    for (uint32_t i = 0; i < kCount; ++i) {
        float rec[12] = {0, 0, 1};
        corners(i, rec + 3);
        std::memcpy(&s[84 + 50 * size_t(i)], rec, 48);
    }
    return s;
}

void BM_BinarySTL100kIdentical(benchmark::State& state)
{
    const std::string data = binarySTL([](uint32_t, float* p) {
        const float c[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        std::memcpy(p, c, sizeof c);
    });
    readSTL(state, data);
}

void BM_BinarySTL100kOnOneEdge(benchmark::State& state)
{
    const std::string data = binarySTL([](uint32_t i, float* p) {
        const float c[9] = {0, 0, 0, 1, 0, 0, 0.5f, 1.0f + 0.001f * float(i), 0};
        std::memcpy(p, c, sizeof c);
    });
    readSTL(state, data);
}

// Parses a ZJV text into a part list; reports the peak memory of the parse and whether the
// text was refused.
void parseZJV(benchmark::State& state, const std::string& data)
{
    double peak = 0.0;
    bool refused = false;
    for (auto _ : state) {
        resetPeakMemory();
        ZJVReaderC reader;
        prepareZJV(reader, data);
        FEDisplayPartListC list;
        reader.parse(&list);
        peak = peakMemoryMB();
        refused = reader.partLimitReached() || reader.placementLimitReached();
    }
    state.counters["peak_MB"] = peak;
    state.counters["refused"] = refused ? 1 : 0;
}

void BM_ZJV350kEmptyParts(benchmark::State& state)
{
    std::string data;
    for (int i = 0; i < 350000; ++i)
        data += "P{}";
    parseZJV(state, data);
}

constexpr const char* kOneTrianglePart = "P{PL{0 0 0 1 0 0 0 1 0}FL3{0 1 2}}\n";

// A part of one triangle each: what a part costs beyond what it holds.
void BM_ZJV100kOneTriangleParts(benchmark::State& state)
{
    std::string data;
    for (int i = 0; i < 100000; ++i)
        data += kOneTrianglePart;
    parseZJV(state, data);
}

void BM_ZJVRefused1MPlacements(benchmark::State& state)
{
    std::string data = std::string(kOneTrianglePart) + "S{M{0 1 0 0 0 1 0 0 0 1 0 0 0}";
    for (size_t i = 0; i <= kViewerLimit; ++i)
        data += "ME{}";
    parseZJV(state, data + "}\n");
}

void BM_ZJVRefused1MOneTriangleParts(benchmark::State& state)
{
    std::string data;
    for (size_t i = 0; i <= kViewerLimit; ++i)
        data += kOneTrianglePart;
    parseZJV(state, data);
}

}  // namespace

BENCHMARK(BM_BinarySTL100kIdentical)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_BinarySTL100kOnOneEdge)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_ZJV350kEmptyParts)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ZJV100kOneTriangleParts)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ZJVRefused1MPlacements)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ZJVRefused1MOneTriangleParts)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_BinarySTL1M)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_BinarySTL1MParseOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_TextSTL1MParseOnly)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_TextSTL1M)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ZJV200k)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
