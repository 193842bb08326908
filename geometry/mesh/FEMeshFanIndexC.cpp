// FEMeshFanIndexC: filing and removal of incident-list entries by the position of the far end.
#include "geometry/mesh/FEMeshFanIndexC.h"

#include <climits>
#include <cmath>
#include <cstdint>

#include "geometry/mesh/FEMeshTopology.h"

FEMeshFanIndexC::FEMeshFanIndexC(double cellSize) : cellSize(cellSize) {}

uint64_t FEMeshFanIndexC::cellKey(int64_t cx, int64_t cy, int64_t cz)
{
    uint64_t h = uint64_t(cx) * 0x9E3779B97F4A7C15ULL;
    h ^= uint64_t(cy) * 0xC2B2AE3D27D4EB4FULL + (h << 6) + (h >> 2);
    h ^= uint64_t(cz) * 0x165667B19E3779F9ULL + (h << 6) + (h >> 2);
    return h ^ (h >> 29);
}

bool FEMeshFanIndexC::fileCell(const FEMeshVertexC* farEnd, int64_t cell[3]) const
{
    if (!farEnd)
        return false;
    const Point3Df& p = farEnd->getPosition();
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()) || !std::isfinite(p.z()))
        return false;
    cell[0] = cellOf(p.x());
    cell[1] = cellOf(p.y());
    cell[2] = cellOf(p.z());
    return true;
}

bool FEMeshFanIndexC::fileKey(const FEMeshVertexC* farEnd, uint64_t& key) const
{
    int64_t cell[3];
    if (!fileCell(farEnd, cell))
        return false;
    key = cellKey(cell[0], cell[1], cell[2]);
    return true;
}

size_t FEMeshFanIndexC::findCell(uint64_t key) const
{
    if (cells.empty())
        return 0;
    const size_t mask = cells.size() - 1;
    for (size_t i = size_t(key) & mask;; i = (i + 1) & mask) {
        if (!cells[i].used)
            return cells.size();
        if (cells[i].key == key)
            return i;
    }
}

FEMeshFanIndexC::Cell& FEMeshFanIndexC::cellFor(uint64_t key)
{
    if (2 * (cellCount + 1) > cells.size()) {
        std::vector<Cell> old(cells.size() ? 2 * cells.size() : 64, Cell{0, 0, 0});
        old.swap(cells);
        const size_t mask = cells.size() - 1;
        for (const Cell& c : old)
            if (c.used) {
                size_t i = size_t(c.key) & mask;
                while (cells[i].used)
                    i = (i + 1) & mask;
                cells[i] = c;
            }
    }
    const size_t mask = cells.size() - 1;
    size_t i = size_t(key) & mask;
    while (cells[i].used && cells[i].key != key)
        i = (i + 1) & mask;
    if (!cells[i].used) {
        cells[i] = Cell{key, 0, 1};
        ++cellCount;
    }
    return cells[i];
}

void FEMeshFanIndexC::append(FEMeshEdgeC* edge, const FEMeshVertexC* farEnd)
{
    Pending p;
    p.entry = Entry{edge, nextOrdinal++};
    p.filed = fileCell(farEnd, p.cell);
    pending.push_back(p);
    scanCredit += kScanCreditPerEntry;
}

void FEMeshFanIndexC::settle()
{
    for (const Pending& p : pending) {
        if (p.filed) {
            Cell& cell = cellFor(cellKey(p.cell[0], p.cell[1], p.cell[2]));
            nodes.push_back(Node{p.entry, cell.latest});
            cell.latest = uint32_t(nodes.size());
        } else {
            unfiled.push_back(p.entry);
        }
    }
    pending.clear();
    scanCredit = 0;
}

bool FEMeshFanIndexC::removeFromCell(Cell& cell, FEMeshEdgeC* edge)
{
    // The chain runs latest first: the earliest entry of the edge is the last one met.
    uint32_t* link = &cell.latest;
    uint32_t* found = nullptr;
    for (uint32_t n = *link; n; link = &nodes[n - 1].older, n = *link)
        if (nodes[n - 1].entry.edge == edge)
            found = link;
    if (!found)
        return false;
    *found = nodes[*found - 1].older;
    return true;
}

namespace {

// Removes the entry of edge with the lowest ordinal from v; true when there was one.
bool removeEarliest(std::vector<FEMeshFanIndexC::Entry>& v, FEMeshEdgeC* edge)
{
    size_t found = v.size();
    for (size_t i = 0; i < v.size(); ++i)
        if (v[i].edge == edge && (found == v.size() || v[i].ordinal < v[found].ordinal))
            found = i;
    if (found == v.size())
        return false;
    v.erase(v.begin() + std::ptrdiff_t(found));
    return true;
}

}  // namespace

bool FEMeshFanIndexC::remove(FEMeshEdgeC* edge, const FEMeshVertexC* farEnd)
{
    // An edge can be filed twice in one list (both ends at this vertex); the earliest goes, as
    // the list drops its first link holding the edge. Look where the far end files it and among
    // the unfiled entries; only when neither holds it, everywhere.
    settle();
    uint32_t cellBest = UINT32_MAX, unfiledBest = UINT32_MAX;
    Cell* hinted = nullptr;
    uint64_t key;
    if (fileKey(farEnd, key)) {
        const size_t slot = findCell(key);
        if (slot < cells.size())
            hinted = &cells[slot];
    }
    if (hinted)
        for (uint32_t n = hinted->latest; n; n = nodes[n - 1].older)
            if (nodes[n - 1].entry.edge == edge)
                cellBest = nodes[n - 1].entry.ordinal;
    for (const Entry& e : unfiled)
        if (e.edge == edge && e.ordinal < unfiledBest)
            unfiledBest = e.ordinal;
    if (cellBest != UINT32_MAX || unfiledBest != UINT32_MAX)
        return cellBest < unfiledBest ? removeFromCell(*hinted, edge) : removeEarliest(unfiled, edge);
    // Not where the hint says: the earliest entry of the edge in any cell.
    Cell* home = nullptr;
    uint32_t best = UINT32_MAX;
    for (Cell& cell : cells)
        if (cell.used)
            for (uint32_t n = cell.latest; n; n = nodes[n - 1].older)
                if (nodes[n - 1].entry.edge == edge && nodes[n - 1].entry.ordinal < best) {
                    best = nodes[n - 1].entry.ordinal;
                    home = &cell;
                }
    return home && removeFromCell(*home, edge);
}
