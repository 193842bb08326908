// FEMeshVertexQueueC: the vertices a walk in key order still has to visit, with insertions during the walk.
#pragma once

#include <cstdint>
#include <functional>
#include <queue>
#include <utility>
#include <vector>

class FEMeshVertexC;

// Behaves as an ordered set walked by a cursor that erases what it leaves: a vertex inserted
// after the cursor is visited in the same pass, one inserted before it in the next pass, one
// already waiting is not added twice. Keys are unique per vertex; their upper half is a chain
// number, mostly small.
//
// Unlike a node-based set it allocates nothing per vertex: the pass's own list is a sorted
// array (with the start of each chain's run, so that a key is found in a few steps), insertions
// ahead of the cursor of vertices not in the list wait in a heap, and those behind it in a list
// sorted when the next pass starts.
//
// The vertices of the list may be marked known to fail their test as they stand; the walk then
// passes over them, unless they are inserted again before it gets there.
class FEMeshVertexQueueC {
public:
    using Entry = std::pair<uint64_t, FEMeshVertexC*>;

    // Before the first pass: appends in strictly increasing key order.
    void append(uint64_t key, FEMeshVertexC* v) { pass.push_back({key, v}); }
    void clear();

    // Starts a pass: what waits is now this pass's list, in key order (see entries).
    void startPass();
    // This pass's list, before its first vertex is visited.
    const std::vector<Entry>& entries() const { return pass; }
    // One flag per entry of this pass's list: known to fail.
    void setKnownToFail(std::vector<unsigned char>&& flags) { fails = std::move(flags); }
    // How many entries of this pass's list the cursor has passed.
    size_t passed() const { return at; }
    // Leaves the current vertex (the first call of a pass: none): the next one of this pass, or
    // null at the end of the pass.
    FEMeshVertexC* next();
    // The vertex n places after the current one in this pass's list (vertices inserted during the
    // pass aside), when there is one and it is not known to fail; null otherwise. For loading
    // ahead what the walk will read: it may be visited out of this order or not at all.
    FEMeshVertexC* upcoming(size_t n) const
    {
        const size_t i = at + n - 1;
        return i < pass.size() && !(i < fails.size() && fails[i]) ? pass[i].second : nullptr;
    }
    // Puts a vertex in: this pass when its key lies after the current one's, else the next.
    void insert(uint64_t key, FEMeshVertexC* v);

private:
    using Heap = std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>>;

    // Sorts `pass` (unless it is sorted and unique already), drops repeats and notes where each
    // chain's run starts.
    void sortPass(bool sorted);
    // The place of key in this pass's list after the cursor, or the list's size.
    size_t find(uint64_t key) const;

    std::vector<Entry> pass;           // this pass's vertices in key order; those before `at` are visited
    std::vector<unsigned char> fails;  // per entry of `pass`: known to fail (none when empty)
    std::vector<uint32_t> runStart;    // per chain number: its first entry (empty: keys not small)
    size_t at = 0;
    Heap ahead;                 // vertices not in the list inserted after the cursor during this pass
    std::vector<Entry> behind;  // inserted before the cursor: the next pass
    bool started = false;       // a vertex of this pass is current
    uint64_t currentKey = 0;
};
