// FEMeshFanIndexC: filing and removal of incident-list entries by the position of the far end.
#include "geometry/mesh/FEMeshFanIndexC.h"

#include <cmath>

#include "geometry/mesh/FEMeshTopology.h"

FEMeshFanIndexC::FEMeshFanIndexC(double cellSize) : cellSize(cellSize) {}

int64_t FEMeshFanIndexC::cellOf(double v) const
{
    const double c = std::floor(v / cellSize);
    constexpr double limit = 4.0e18;
    if (!(c > -limit))
        return -4000000000000000000LL;
    if (c > limit)
        return 4000000000000000000LL;
    return int64_t(c);
}

uint64_t FEMeshFanIndexC::cellKey(int64_t cx, int64_t cy, int64_t cz)
{
    uint64_t h = uint64_t(cx) * 0x9E3779B97F4A7C15ULL;
    h ^= uint64_t(cy) * 0xC2B2AE3D27D4EB4FULL + (h << 6) + (h >> 2);
    h ^= uint64_t(cz) * 0x165667B19E3779F9ULL + (h << 6) + (h >> 2);
    return h ^ (h >> 29);
}

bool FEMeshFanIndexC::fileKey(const FEMeshVertexC* farEnd, uint64_t& key) const
{
    if (!farEnd)
        return false;
    const Point3Df& p = farEnd->getPosition();
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()) || !std::isfinite(p.z()))
        return false;
    key = cellKey(cellOf(p.x()), cellOf(p.y()), cellOf(p.z()));
    return true;
}

void FEMeshFanIndexC::append(FEMeshEdgeC* edge, const FEMeshVertexC* farEnd)
{
    const Entry entry{edge, nextOrdinal++};
    uint64_t key;
    if (fileKey(farEnd, key))
        cells[key].push_back(entry);
    else
        unfiled.push_back(entry);
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
    // the list drops its first link holding the edge. Look everywhere the edge may be filed.
    const FEMeshFanIndexC::Entry* best = nullptr;
    std::vector<Entry>* home = nullptr;
    auto scan = [&](std::vector<Entry>& v) {
        for (const Entry& e : v)
            if (e.edge == edge && (!best || e.ordinal < best->ordinal)) {
                best = &e;
                home = &v;
            }
    };
    uint64_t key;
    if (fileKey(farEnd, key)) {
        auto it = cells.find(key);
        if (it != cells.end())
            scan(it->second);
    }
    scan(unfiled);
    if (!best) {
        for (auto& cell : cells)
            scan(cell.second);
    }
    if (!best)
        return false;
    return removeEarliest(*home, edge);
}
