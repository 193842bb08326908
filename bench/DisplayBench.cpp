// Triangulating finished meshes for display (a smooth torus and a gear) and picking the torus.
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "tests/support/BenchSupport.h"
#include "geometry/display/FETriangleCollectorC.h"
#include "geometry/mesh/FEMeshPartC.h"

namespace {

using benchsupport::buildGear;
using benchsupport::buildTorus;

// A plate of cols x rows cells, each with a square hole: one flat face with many holes.
void buildPerforatedPlate(FEMeshPartC& part, int cols, int rows)
{
    const Point3D outer[4] = {{0, 0, 0}, {double(cols), 0, 0}, {double(cols), double(rows), 0}, {0, double(rows), 0}};
    part.addFace(outer, 4, Point3D(0, 0, 1), nullptr, 15.0f, 0);
    for (int i = 0; i < cols; ++i)
        for (int j = 0; j < rows; ++j) {
            const Point3D hole[4] = {
                {i + 0.25, j + 0.25, 0}, {i + 0.25, j + 0.75, 0}, {i + 0.75, j + 0.75, 0}, {i + 0.75, j + 0.25, 0}};
            part.addLoop(hole, 4);
        }
    part.endFace();
}

// The parts are built once per process; each benchmark times only its own step.
FEMeshPartC& finishedTorus()
{
    static FEMeshPartC* part = [] {
        FEMeshPartC* p = new FEMeshPartC();
        buildTorus(*p, 1000, 500);
        p->finalize(-1.0);
        p->smoothNormals();
        return p;
    }();
    return *part;
}

FEMeshPartC& finishedGear()
{
    static FEMeshPartC* part = [] {
        FEMeshPartC* p = new FEMeshPartC();
        buildGear(*p, 100000);
        p->finalize(-1.0);
        p->smoothNormals();
        return p;
    }();
    return *part;
}

void triangulateOnce(benchmark::State& state, FEMeshPartC& part)
{
    auto collector = std::make_unique<FETriangleCollectorC>(16384);
    for (auto _ : state) {
        part.triangulate(collector.get());
        benchmark::DoNotOptimize(collector->entries());
    }
    state.counters["faces"] = double(part.getFaceCount());
    state.counters["triangles"] = double(collector->entries());
    state.counters["positions"] = double(collector->getPositionHash().entries());
}

void BM_TriangulateTorus1M(benchmark::State& state) { triangulateOnce(state, finishedTorus()); }
BENCHMARK(BM_TriangulateTorus1M)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TriangulateGear400k(benchmark::State& state) { triangulateOnce(state, finishedGear()); }
BENCHMARK(BM_TriangulateGear400k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TriangulateTorus1MUnfinalized(benchmark::State& state)
{
    static FEMeshPartC* part = [] {
        FEMeshPartC* p = new FEMeshPartC();
        buildTorus(*p, 1000, 500);
        return p;
    }();
    triangulateOnce(state, *part);
}
BENCHMARK(BM_TriangulateTorus1MUnfinalized)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TriangulatePlate10kHoles(benchmark::State& state)
{
    static FEMeshPartC* part = [] {
        FEMeshPartC* p = new FEMeshPartC();
        buildPerforatedPlate(*p, 100, 100);
        return p;
    }();
    triangulateOnce(state, *part);
}
BENCHMARK(BM_TriangulatePlate10kHoles)->Unit(benchmark::kMillisecond)->Iterations(3);

// One pick straight through the torus's tube: edges (1), faces (2) or both, as the viewer
// picks (3).
void BM_PickTorus1M(benchmark::State& state)
{
    FEMeshPartC& part = finishedTorus();
    const int flags = int(state.range(0));
    size_t hits = 0;
    for (auto _ : state) {
        RWTPtrSortedVector<FEMeshPickListEntryC> list =
            part.pick(Point3D(50.3, 0.2, 100), Point3D(50.3, 0.2, -100), 0.05, flags);
        hits = list.entries();
        list.clearAndDestroy();
    }
    state.counters["hits"] = double(hits);
}
BENCHMARK(BM_PickTorus1M)->Arg(3)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
