// FEMeshFanIndexC: a spatial index over the incident-edge list of a vertex with a very large fan.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "geometry/mesh/FEMeshVertexHashC.h"
#include "math/Point3D.h"

class FEMeshEdgeC;
class FEMeshVertexC;

// Pairing an edge searches the incident list of one vertex for the last edge that joins two
// given positions. At the centre of a fan of 100,000 triangles that walk would make building
// quadratic. The index files each list entry under the cell of the edge's far end and keeps its
// place in the list as an ordinal, so a search looks at the few entries whose far end lies near
// the wanted position and still picks the one the walk would have picked (the highest ordinal
// among those that qualify). Entries whose far end is unknown or not finite are always looked at.
// New entries wait in a pending list, in list order, with their far end's cell: a fan whose pair
// is always one of the latest edges finds it there in a step or two and never pays for filing
// into the scattered cell table. Pending entries are filed in one go once searches have scanned
// about as much as filing would cost (or on a removal), so building stays linear.
class FEMeshFanIndexC {
public:
    struct Entry {
        FEMeshEdgeC* edge;
        uint32_t ordinal;  // place in the vertex's list; higher is later
    };

    explicit FEMeshFanIndexC(double cellSize);

    // Files a new entry at the end of the list; farEnd may be null (unknown).
    void append(FEMeshEdgeC* edge, const FEMeshVertexC* farEnd);
    // Drops the earliest entry of edge; farEnd is a hint where to look. False when none.
    bool remove(FEMeshEdgeC* edge, const FEMeshVertexC* farEnd);

    // Calls f(entry) for the pending entries, latest first, whose far end may lie within
    // tolerance of one of the `count` points (at most two: an edge's ends), or is unknown; stops
    // when f returns true. May file the pending entries instead (then calls nothing): a later
    // forCandidates sees them.
    template <class F>
    void forPending(const Point3Df* points, int count, double tolerance, F&& f);

    // Calls f(entry) for the filed entries whose far end may lie within tolerance of p, latest
    // first within each cell; f returns true when no earlier entry of that cell can matter, and
    // the rest of the cell is skipped. (Many edges between the same two places all share one
    // cell: the latest that qualifies is found at once instead of after all the others.)
    template <class F>
    void forCandidates(const Point3Df& p, double tolerance, F&& f) const;
    // The same for the entries without a filed far end.
    template <class F>
    void forUnfiled(F&& f) const
    {
        latestFirst(unfiled, f);
    }

    double getCellSize() const { return cellSize; }

private:
    // The filed entries of a cell form a chain through the node array, latest first; a fan of a
    // million edges has nearly as many cells, so neither cells nor entries are allocated one by
    // one. Cells sit in an open-addressed table (at most half full).
    struct Node {
        Entry entry;
        uint32_t older;  // node number + 1 of the next older entry of the cell, 0 at the end
    };
    struct Pending {
        Entry entry;
        int64_t cell[3];
        bool filed;  // false: the far end is unknown or not finite
    };
    struct Cell {
        uint64_t key;
        uint32_t latest;  // node number + 1, 0 for an empty slot (cells are never emptied out)
        uint32_t used;    // 1 once the slot holds a cell
    };

    // Unfiled entries are kept in ordinal order (appended last, removed in place).
    template <class F>
    static void latestFirst(const std::vector<Entry>& entries, F& f)
    {
        for (auto it = entries.rbegin(); it != entries.rend(); ++it)
            if (f(*it))
                return;
    }
    template <class F>
    void chainLatestFirst(uint32_t latest, F& f) const
    {
        for (uint32_t n = latest; n; n = nodes[n - 1].older)
            if (f(nodes[n - 1].entry))
                return;
    }
    // Placed as the vertex store places positions.
    int64_t cellOf(double v) const { return FEMeshVertexHashC::cellOf(v, cellSize); }
    static uint64_t cellKey(int64_t cx, int64_t cy, int64_t cz);
    bool fileKey(const FEMeshVertexC* farEnd, uint64_t& key) const;
    bool fileCell(const FEMeshVertexC* farEnd, int64_t cell[3]) const;
    // Files every pending entry, in order.
    void settle();
    // The slot of the cell, or cells.size() when there is none.
    size_t findCell(uint64_t key) const;
    Cell& cellFor(uint64_t key);
    // Drops the earliest entry of edge from a cell's chain; false when the chain has none.
    bool removeFromCell(Cell& cell, FEMeshEdgeC* edge);

    double cellSize;
    uint32_t nextOrdinal = 0;
    std::vector<Cell> cells;  // a power of two slots
    size_t cellCount = 0;
    std::vector<Node> nodes;
    std::vector<Entry> unfiled;
    std::vector<Pending> pending;
    // Entries a pending scan may still look at before the pending ones are filed: each entry
    // earns a few (filing one is a scattered write, a scan step a sequential read).
    int64_t scanCredit = 0;
    static constexpr int64_t kScanCreditPerEntry = 4;
    static constexpr size_t kAlwaysScan = 256;  // pending lists this short are scanned anyway
    static constexpr int kMaxPendingPoints = 2;  // points forPending looks near at most
};

template <class F>
void FEMeshFanIndexC::forPending(const Point3Df* points, int count, double tolerance, F&& f)
{
    if (pending.empty())
        return;
    if (pending.size() > kAlwaysScan && scanCredit <= 0) {
        settle();
        return;
    }
    // An edge has two ends: more points than that would not fit the bounds below.
    count = std::clamp(count, 0, kMaxPendingPoints);
    int64_t lo[kMaxPendingPoints][3], hi[kMaxPendingPoints][3];
    for (int k = 0; k < count; ++k) {
        const double v[3] = {double(points[k].x()), double(points[k].y()), double(points[k].z())};
        for (int axis = 0; axis < 3; ++axis) {
            lo[k][axis] = cellOf(v[axis] - tolerance);
            hi[k][axis] = cellOf(v[axis] + tolerance);
        }
    }
    int64_t scanned = 0;
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        ++scanned;
        bool near = !it->filed;
        for (int k = 0; k < count && !near; ++k)
            near = lo[k][0] <= it->cell[0] && it->cell[0] <= hi[k][0] && lo[k][1] <= it->cell[1] &&
                   it->cell[1] <= hi[k][1] && lo[k][2] <= it->cell[2] && it->cell[2] <= hi[k][2];
        if (near && f(it->entry))
            break;
    }
    scanCredit -= scanned;
}

template <class F>
void FEMeshFanIndexC::forCandidates(const Point3Df& p, double tolerance, F&& f) const
{
    const double reach = tolerance;  // the very bounds the compare tests; rounding is monotonic
    const int64_t x0 = cellOf(double(p.x()) - reach), x1 = cellOf(double(p.x()) + reach);
    const int64_t y0 = cellOf(double(p.y()) - reach), y1 = cellOf(double(p.y()) + reach);
    const int64_t z0 = cellOf(double(p.z()) - reach), z1 = cellOf(double(p.z()) + reach);
    for (int64_t cx = x0; cx <= x1; ++cx)
        for (int64_t cy = y0; cy <= y1; ++cy)
            for (int64_t cz = z0; cz <= z1; ++cz) {
                const size_t slot = findCell(cellKey(cx, cy, cz));
                if (slot < cells.size())
                    chainLatestFirst(cells[slot].latest, f);
            }
}
