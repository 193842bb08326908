// FEMeshVertexQueueC: passes, insertions and the sorting of the vertices waiting for the next pass.
#include "geometry/mesh/FEMeshVertexQueueC.h"

#include <algorithm>

namespace {

// Chain numbers below this are dealt out into runs; larger keys are sorted as they are.
constexpr uint64_t kRuns = uint64_t(1) << 16;

uint64_t runOf(uint64_t key) { return key >> 32; }

}  // namespace

void FEMeshVertexQueueC::clear()
{
    pass.clear();
    fails.clear();
    runStart.clear();
    behind.clear();
    ahead = Heap();
    at = 0;
    started = false;
}

void FEMeshVertexQueueC::startPass()
{
    pass.erase(pass.begin(), pass.begin() + std::ptrdiff_t(at));
    const bool sorted = behind.empty();  // the first pass's list, appended in order
    pass.insert(pass.end(), behind.begin(), behind.end());
    behind.clear();
    sortPass(sorted);
    at = 0;
    fails.clear();
    started = false;
}

void FEMeshVertexQueueC::sortPass(bool sorted)
{
    // A pass may start with millions of entries, most of them repeats: dealt out by chain first,
    // only short runs are left to sort.
    runStart.clear();
    uint64_t runs = 0;
    for (const Entry& e : pass) {
        if (runOf(e.first) >= kRuns) {
            runs = 0;
            break;
        }
        runs = std::max(runs, runOf(e.first) + 1);
    }
    if (runs == 0) {
        if (!sorted) {
            std::sort(pass.begin(), pass.end());
            pass.erase(std::unique(pass.begin(), pass.end()), pass.end());
        }
        return;
    }
    if (sorted) {
        runStart.assign(runs + 1, uint32_t(pass.size()));
        for (size_t i = pass.size(); i-- > 0;)
            runStart[runOf(pass[i].first)] = uint32_t(i);
        for (size_t r = runs; r-- > 0;)
            runStart[r] = std::min(runStart[r], runStart[r + 1]);
        return;
    }
    std::vector<uint32_t> start(runs + 1, 0);
    for (const Entry& e : pass)
        ++start[runOf(e.first) + 1];
    for (size_t r = 0; r < runs; ++r)
        start[r + 1] += start[r];
    std::vector<Entry> dealt(pass.size());
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (const Entry& e : pass)
        dealt[fill[runOf(e.first)]++] = e;
    // Sorted and made unique run by run, moving each run down to where the kept entries end.
    size_t kept = 0;
    runStart.assign(runs + 1, 0);
    for (size_t r = 0; r < runs; ++r) {
        runStart[r] = uint32_t(kept);
        auto first = dealt.begin() + start[r], last = dealt.begin() + start[r + 1];
        std::sort(first, last);
        last = std::unique(first, last);
        for (auto it = first; it != last; ++it)
            dealt[kept++] = *it;
    }
    runStart[runs] = uint32_t(kept);
    dealt.resize(kept);
    pass.swap(dealt);
}

size_t FEMeshVertexQueueC::find(uint64_t key) const
{
    size_t lo = at, hi = pass.size();
    if (!runStart.empty()) {
        const uint64_t r = runOf(key);
        if (r + 1 >= runStart.size())
            return pass.size();
        lo = std::max<size_t>(lo, runStart[r]);
        hi = runStart[r + 1];
    }
    if (lo >= hi)
        return pass.size();
    auto it = std::lower_bound(pass.begin() + std::ptrdiff_t(lo), pass.begin() + std::ptrdiff_t(hi), key,
                               [](const Entry& e, uint64_t k) { return e.first < k; });
    return it != pass.begin() + std::ptrdiff_t(hi) && it->first == key ? size_t(it - pass.begin()) : pass.size();
}

void FEMeshVertexQueueC::insert(uint64_t key, FEMeshVertexC* v)
{
    if (!started || key < currentKey) {
        behind.push_back({key, v});
        return;
    }
    if (key == currentKey)
        return;
    // Still ahead in the list: visited anyway, and tested again.
    const size_t j = find(key);
    if (j < pass.size()) {
        if (!fails.empty())
            fails[j] = 0;
        return;
    }
    ahead.push({key, v});
}

FEMeshVertexC* FEMeshVertexQueueC::next()
{
    for (;;) {
        const bool fromPass = at < pass.size();
        const bool fromHeap = !ahead.empty();
        if (!fromPass && !fromHeap) {
            // The pass is over; what was visited is gone.
            pass.clear();
            fails.clear();
            runStart.clear();
            at = 0;
            started = false;
            return nullptr;
        }
        Entry e;
        bool knownToFail = false;
        if (fromPass && (!fromHeap || pass[at].first < ahead.top().first)) {
            knownToFail = at < fails.size() && fails[at];
            e = pass[at++];
        } else {
            e = ahead.top();
            ahead.pop();
        }
        if (started && e.first <= currentKey)
            continue;  // inserted twice
        started = true;
        currentKey = e.first;
        if (!knownToFail)
            return e.second;
    }
}
