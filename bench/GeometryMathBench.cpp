// Cost of the math layer's per-entity helpers: number text, matrices, slerp and point in polygon.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "math/Geometry2D.h"
#include "math/NumberText.h"
#include "math/Quaternion.h"
#include "math/TransformMatrix.h"

static void BM_FormatDouble(benchmark::State& state) {
    double v = 1.0 / 3.0;
    for (auto _ : state) benchmark::DoNotOptimize(formatString("%.*f", 6, v));
}
BENCHMARK(BM_FormatDouble);

static void BM_StringToDouble(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(stringToDouble("-12345.6789e-3"));
}
BENCHMARK(BM_StringToDouble);

static void BM_InvertMatrix(benchmark::State& state) {
    TransformMatrix m;
    m.scale(2, 3, 4);
    m.rotate(10, 20, 30);
    m.translate(1, 2, 3);
    for (auto _ : state) {
        double a[16];
        m.copyTo(a);
        benchmark::DoNotOptimize(invertMatrix(a));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InvertMatrix);

static void BM_SlerpToMatrix(benchmark::State& state) {
    const Quaternion a(Point3D(1, 2, 3), 0.3), b(Point3D(-1, 0, 2), 2.0);
    double t = 0.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a.slerp(b, t).toMatrix());
        t = t < 1.0 ? t + 0.001 : 0.0;
    }
}
BENCHMARK(BM_SlerpToMatrix);

static void BM_PointInPolygon(benchmark::State& state) {
    // A star-shaped (concave) polygon of n points.
    const int n = static_cast<int>(state.range(0));
    std::vector<Point2D> pts;
    for (int i = 0; i < n; ++i) {
        const double a = 6.283185307179586 * i / n;
        const double r = (i % 2) ? 1.0 : 0.6;
        pts.emplace_back(r * std::cos(a), r * std::sin(a));
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(pointInPolygon(pts.data(), n, Point2D(0.1, 0.05), nullptr, nullptr, 1e-9));
}
BENCHMARK(BM_PointInPolygon)->Arg(16)->Arg(1024);
