// Collections beside the standard containers: append, index, find and iterate at 10^3 and 10^6.
#include "foundation/RWTValDlist.h"
#include "foundation/RWTValHashDictionary.h"
#include "foundation/RWTValOrderedVector.h"
#include "foundation/RWTValSlist.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <list>
#include <unordered_map>
#include <vector>

namespace {

unsigned intHash(const int& i)
{
    return unsigned(i);
}

// ---- append -------------------------------------------------------------------------------

// The usual parameters (0, no doubling, 64): every 64th append copies the whole array, so n
// appends copy about n^2 / 128 elements.
void BM_Append_ValOrderedVector_Step64(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        RWTValOrderedVector<int> v(0, false, 64);
        for (int i = 0; i < n; ++i)
            v.append(i);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Append_ValOrderedVector_Doubling(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        RWTValOrderedVector<int> v(0, true, 64);
        for (int i = 0; i < n; ++i)
            v.append(i);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Append_StdVector(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        std::vector<int> v;
        for (int i = 0; i < n; ++i)
            v.push_back(i);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Append_ValSlist(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        RWTValSlist<int> l;
        for (int i = 0; i < n; ++i)
            l.append(i);
        benchmark::DoNotOptimize(l.entries());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Append_ValDlist(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        RWTValDlist<int> l;
        for (int i = 0; i < n; ++i)
            l.append(i);
        benchmark::DoNotOptimize(l.entries());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Append_StdList(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        std::list<int> l;
        for (int i = 0; i < n; ++i)
            l.push_back(i);
        benchmark::DoNotOptimize(l.size());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Dictionary inserts with the bucket count fixed at 64 (the common choice): each insert walks
// its bucket, so n inserts cost about n^2 / 128 key comparisons.
void BM_Append_HashDictionary_64Buckets(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        RWTValHashDictionary<int, int> d(intHash, 64);
        for (int i = 0; i < n; ++i)
            d.insertKeyAndValue(i, i);
        benchmark::DoNotOptimize(d.entries());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The same with a bucket count given for the expected size.
void BM_Append_HashDictionary_NBuckets(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        RWTValHashDictionary<int, int> d(intHash, size_t(n));
        for (int i = 0; i < n; ++i)
            d.insertKeyAndValue(i, i);
        benchmark::DoNotOptimize(d.entries());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Append_StdUnorderedMap(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        std::unordered_map<int, int> d;
        for (int i = 0; i < n; ++i)
            d[i] = i;
        benchmark::DoNotOptimize(d.size());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// ---- index (checked access to every element) -------------------------------------------------

void BM_Index_ValOrderedVector(benchmark::State& state)
{
    const int n = int(state.range(0));
    RWTValOrderedVector<int> v(0, true, 64);
    for (int i = 0; i < n; ++i)
        v.append(i);
    for (auto _ : state) {
        long sum = 0;
        for (size_t i = 0; i < size_t(n); ++i)
            sum += v[i];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Index_StdVectorAt(benchmark::State& state)
{
    const int n = int(state.range(0));
    std::vector<int> v;
    for (int i = 0; i < n; ++i)
        v.push_back(i);
    for (auto _ : state) {
        long sum = 0;
        for (size_t i = 0; i < size_t(n); ++i)
            sum += v.at(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// A list's at(i) walks i links; 1000 spread indexes are looked up.
void BM_Index_ValSlist(benchmark::State& state)
{
    const int n = int(state.range(0));
    RWTValSlist<int> l;
    for (int i = 0; i < n; ++i)
        l.append(i);
    for (auto _ : state) {
        long sum = 0;
        for (size_t k = 0; k < 1000; ++k)
            sum += l.at(k * size_t(n) / 1000);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

void BM_Index_StdList(benchmark::State& state)
{
    const int n = int(state.range(0));
    std::list<int> l;
    for (int i = 0; i < n; ++i)
        l.push_back(i);
    for (auto _ : state) {
        long sum = 0;
        for (size_t k = 0; k < 1000; ++k)
            sum += *std::next(l.begin(), long(k * size_t(n) / 1000));
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

// ---- find ------------------------------------------------------------------------------------

// A linear search for the last element (the whole vector is scanned).
void BM_Find_ValOrderedVector(benchmark::State& state)
{
    const int n = int(state.range(0));
    RWTValOrderedVector<int> v(0, true, 64);
    for (int i = 0; i < n; ++i)
        v.append(i);
    for (auto _ : state)
        benchmark::DoNotOptimize(v.index(n - 1));
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Find_StdVector(benchmark::State& state)
{
    const int n = int(state.range(0));
    std::vector<int> v;
    for (int i = 0; i < n; ++i)
        v.push_back(i);
    for (auto _ : state)
        benchmark::DoNotOptimize(std::find(v.begin(), v.end(), n - 1));
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Find_ValSlist(benchmark::State& state)
{
    const int n = int(state.range(0));
    RWTValSlist<int> l;
    for (int i = 0; i < n; ++i)
        l.append(i);
    for (auto _ : state)
        benchmark::DoNotOptimize(l.contains(n - 1));
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Find_StdList(benchmark::State& state)
{
    const int n = int(state.range(0));
    std::list<int> l;
    for (int i = 0; i < n; ++i)
        l.push_back(i);
    for (auto _ : state)
        benchmark::DoNotOptimize(std::find(l.begin(), l.end(), n - 1));
    state.SetItemsProcessed(state.iterations() * n);
}

// 1000 key lookups spread over the keys.
template <size_t Buckets>
void BM_Find_HashDictionary(benchmark::State& state)
{
    const int n = int(state.range(0));
    RWTValHashDictionary<int, int> d(intHash, Buckets ? Buckets : size_t(n));
    for (int i = 0; i < n; ++i)
        d.insertKeyAndValue(i, i);
    for (auto _ : state) {
        long sum = 0;
        int value = 0;
        for (int k = 0; k < 1000; ++k)
            if (d.findValue(int(long(k) * n / 1000), value))
                sum += value;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

void BM_Find_StdUnorderedMap(benchmark::State& state)
{
    const int n = int(state.range(0));
    std::unordered_map<int, int> d;
    for (int i = 0; i < n; ++i)
        d[i] = i;
    for (auto _ : state) {
        long sum = 0;
        for (int k = 0; k < 1000; ++k) {
            auto it = d.find(int(long(k) * n / 1000));
            if (it != d.end())
                sum += it->second;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

// ---- iterate ---------------------------------------------------------------------------------

void BM_Iterate_ValSlist(benchmark::State& state)
{
    const int n = int(state.range(0));
    RWTValSlist<int> l;
    for (int i = 0; i < n; ++i)
        l.append(i);
    for (auto _ : state) {
        long sum = 0;
        RWTValSlistIterator<int> it(l);
        while (++it)
            sum += it.key();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Iterate_ValDlist(benchmark::State& state)
{
    const int n = int(state.range(0));
    RWTValDlist<int> l;
    for (int i = 0; i < n; ++i)
        l.append(i);
    for (auto _ : state) {
        long sum = 0;
        RWTValDlistIterator<int> it(l);
        while (++it)
            sum += it.key();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Iterate_StdList(benchmark::State& state)
{
    const int n = int(state.range(0));
    std::list<int> l;
    for (int i = 0; i < n; ++i)
        l.push_back(i);
    for (auto _ : state) {
        long sum = 0;
        for (int x : l)
            sum += x;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Iterate_HashDictionary(benchmark::State& state)
{
    const int n = int(state.range(0));
    RWTValHashDictionary<int, int> d(intHash, size_t(n));
    for (int i = 0; i < n; ++i)
        d.insertKeyAndValue(i, i);
    for (auto _ : state) {
        long sum = 0;
        RWTValHashDictionaryIterator<int, int> it(d);
        while (it())
            sum += it.value();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Iterate_StdUnorderedMap(benchmark::State& state)
{
    const int n = int(state.range(0));
    std::unordered_map<int, int> d;
    for (int i = 0; i < n; ++i)
        d[i] = i;
    for (auto _ : state) {
        long sum = 0;
        for (const auto& kv : d)
            sum += kv.second;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

#define SIZES Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)

BENCHMARK(BM_Append_ValOrderedVector_Step64)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)->Iterations(3);
BENCHMARK(BM_Append_ValOrderedVector_Doubling)->SIZES;
BENCHMARK(BM_Append_StdVector)->SIZES;
BENCHMARK(BM_Append_ValSlist)->SIZES;
BENCHMARK(BM_Append_ValDlist)->SIZES;
BENCHMARK(BM_Append_StdList)->SIZES;
// 10^6 keys in 64 buckets would take minutes; 10^5 shows the quadratic growth.
BENCHMARK(BM_Append_HashDictionary_64Buckets)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Iterations(3);
BENCHMARK(BM_Append_HashDictionary_NBuckets)->SIZES;
BENCHMARK(BM_Append_StdUnorderedMap)->SIZES;

BENCHMARK(BM_Index_ValOrderedVector)->SIZES;
BENCHMARK(BM_Index_StdVectorAt)->SIZES;
BENCHMARK(BM_Index_ValSlist)->SIZES;
BENCHMARK(BM_Index_StdList)->SIZES;

BENCHMARK(BM_Find_ValOrderedVector)->SIZES;
BENCHMARK(BM_Find_StdVector)->SIZES;
BENCHMARK(BM_Find_ValSlist)->SIZES;
BENCHMARK(BM_Find_StdList)->SIZES;
BENCHMARK_TEMPLATE(BM_Find_HashDictionary, 64)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Find_HashDictionary, 0)->SIZES;
BENCHMARK(BM_Find_StdUnorderedMap)->SIZES;

BENCHMARK(BM_Iterate_ValSlist)->SIZES;
BENCHMARK(BM_Iterate_ValDlist)->SIZES;
BENCHMARK(BM_Iterate_StdList)->SIZES;
BENCHMARK(BM_Iterate_HashDictionary)->SIZES;
BENCHMARK(BM_Iterate_StdUnorderedMap)->SIZES;
