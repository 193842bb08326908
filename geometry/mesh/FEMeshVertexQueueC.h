// FEMeshVertexQueueC: the vertices a walk in key order still has to visit, with insertions during the walk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <queue>
#include <utility>
#include <vector>

class FEMeshVertexC;

// Behaves as an ordered set walked by a cursor that erases what it leaves: a vertex inserted
// after the cursor is visited in the same pass, one inserted before it in the next pass, one
// already waiting is not added twice. Keys are unique per vertex. Unlike a node-based set it
// allocates no node per vertex: the pass's own list is a sorted array, insertions ahead of the
// cursor wait in a heap and those behind it in a list sorted when the next pass starts. On a tie
// the heap's entry is taken first, so a vertex inserted again is visited even where its entry in
// the list is known to fail.
class FEMeshVertexQueueC {
public:
    using Entry = std::pair<uint64_t, FEMeshVertexC*>;

    // Before the first pass: appends in strictly increasing key order.
    void append(uint64_t key, FEMeshVertexC* v) { pass.push_back({key, v}); }
    void clear()
    {
        pass.clear();
        fails.clear();
        behind.clear();
        ahead = Heap();
        at = 0;
        started = false;
    }
    size_t size() const { return pass.size() - at + ahead.size() + behind.size(); }

    // Starts a pass: what waits is now this pass's list, in key order (see entries).
    void startPass()
    {
        if (!behind.empty()) {
            pass.erase(pass.begin(), pass.begin() + std::ptrdiff_t(at));
            pass.insert(pass.end(), behind.begin(), behind.end());
            behind.clear();
            sortUnique(pass);
            at = 0;
        }
        fails.clear();
        started = false;
    }
    // This pass's list, before its first vertex is visited.
    const std::vector<Entry>& entries() const { return pass; }
    // Marks the vertices of this pass's list known to fail their test as they stand: they are
    // passed over unless inserted again during the pass (something they look at changed).
    void setKnownToFail(std::vector<unsigned char>&& flags) { fails = std::move(flags); }
    // Leaves the current vertex: the next one of this pass, or null at the end of the pass.
    FEMeshVertexC* next() { return pick(); }
    // Puts a vertex in: this pass when its key lies after the current one's, else the next.
    void insert(uint64_t key, FEMeshVertexC* v)
    {
        if (started && key > currentKey)
            ahead.push({key, v});
        else if (!started || key < currentKey)
            behind.push_back({key, v});
    }

private:
    // Sorts and drops repeats. Keys whose upper half is small (a chain number) are first dealt
    // out by it, so that only short runs are sorted: a pass may start with millions of entries,
    // most of them repeats.
    static void sortUnique(std::vector<Entry>& v)
    {
        constexpr uint64_t kRuns = 1u << 16;
        bool small = true;
        for (const Entry& e : v)
            small = small && (e.first >> 32) < kRuns;
        if (!small || v.size() < kRuns) {
            std::sort(v.begin(), v.end());
        } else {
            std::vector<uint32_t> start(kRuns + 1, 0);
            for (const Entry& e : v)
                ++start[(e.first >> 32) + 1];
            for (size_t r = 0; r < kRuns; ++r)
                start[r + 1] += start[r];
            std::vector<Entry> dealt(v.size());
            std::vector<uint32_t> fill(start.begin(), start.end() - 1);
            for (const Entry& e : v)
                dealt[fill[e.first >> 32]++] = e;
            for (size_t r = 0; r < kRuns; ++r)
                if (start[r + 1] - start[r] > 1)
                    std::sort(dealt.begin() + start[r], dealt.begin() + start[r + 1]);
            v.swap(dealt);
        }
        v.erase(std::unique(v.begin(), v.end()), v.end());
    }

    using Heap = std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>>;

    FEMeshVertexC* pick()
    {
        for (;;) {
            const bool fromPass = at < pass.size();
            const bool fromHeap = !ahead.empty();
            if (!fromPass && !fromHeap) {
                // The pass is over; what was visited is gone.
                pass.clear();
                fails.clear();
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

    std::vector<Entry> pass;    // this pass's vertices in key order; those before `at` are visited
    std::vector<unsigned char> fails;  // per entry of `pass`: known to fail (none when empty)
    size_t at = 0;
    Heap ahead;                 // inserted after the cursor during this pass
    std::vector<Entry> behind;  // inserted before the cursor: the next pass
    bool started = false;       // a vertex of this pass is current
    uint64_t currentKey = 0;
};
