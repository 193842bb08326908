// FEMeshLoopTree: the containment tree of a face's loops, by scanning and through a grid of the
// loops' extents.
#include "geometry/mesh/FEMeshLoopTree.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "math/Geometry2D.h"

namespace {

// A point this close to a polygon's boundary is on it, not inside.
constexpr double kOnBoundary = 1e-4;
// Below this many loops the grid costs more than testing every sibling.
constexpr size_t kLoopsForGrid = 64;
// A loop whose extent covers more cells than this is tried for every point instead.
constexpr int64_t kMostCellsOfALoop = 16;
// From this many corners a loop tried for many points has its edges sorted by height first.
constexpr size_t kCornersForBands = 64;

// False where the point test would find at once that p is not inside a: p beside the
// polygon's x range, or every corner of the polygon above or below the band around p's ray.
bool mayContain(const FEMeshLoopOutline& a, const Point2D& p)
{
    return !(p.x() > a.xmax || p.x() < a.xmin || a.ymax < p.y() - kOnBoundary || a.ymin > p.y() + kOnBoundary);
}

// Whether b's first corner lies strictly inside a.
bool contains(const FEMeshLoopOutline& a, const FEMeshLoopOutline& b)
{
    if (!b.hasFirst || a.polygon.empty() || !mayContain(a, b.first))
        return false;
    return pointInPolygon(a.polygon.data(), int(a.polygon.size()), b.first, &a.xmin, &a.xmax, kOnBoundary) == 0;
}

// The y range a point must lie in to be inside a loop of extent [lo, hi], widened beyond the
// band and any rounding of it.
double widenedBelow(double lo) { return lo - 2.0 * kOnBoundary - 1e-9 * std::fabs(lo); }
double widenedAbove(double hi) { return hi + 2.0 * kOnBoundary + 1e-9 * std::fabs(hi); }

// Cells over the extent of all loops; each loop listed in the cells its extent covers (or
// among the wide loops), and in the cell of its first corner.
class LoopGrid {
public:
    // False when the loops cannot be placed (a coordinate that is not finite).
    bool build(const std::vector<FEMeshLoopOutline>& loops)
    {
        double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
        for (const FEMeshLoopOutline& l : loops) {
            if (l.polygon.empty())
                continue;
            for (double v : {l.xmin, l.xmax, l.ymin, l.ymax, widenedBelow(l.ymin), widenedAbove(l.ymax)})
                if (!std::isfinite(v))
                    return false;
            x0 = std::min(x0, l.xmin);
            x1 = std::max(x1, l.xmax);
            y0 = std::min(y0, widenedBelow(l.ymin));
            y1 = std::max(y1, widenedAbove(l.ymax));
        }
        // A corner that is not finite hides from the extents; the scan takes such loops.
        for (const FEMeshLoopOutline& l : loops)
            for (const Point2D& p : l.polygon)
                if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
                    return false;
        if (x0 > x1)
            return false;  // no loop has corners
        // About one cell per loop, shaped like the extent.
        const double n = double(loops.size());
        const double wx = x1 - x0, wy = y1 - y0;
        const double ratio = wy > 0.0 && wx > 0.0 ? wx / wy : 1.0;
        cols = int(std::clamp(std::round(std::sqrt(n * ratio)), 1.0, 4096.0));
        rows = int(std::clamp(std::round(n / cols), 1.0, 4096.0));
        if (wx <= 0.0)
            cols = 1;
        if (wy <= 0.0)
            rows = 1;
        originX = x0;
        originY = y0;
        cellWidth = wx > 0.0 ? wx / cols : 1.0;
        cellHeight = wy > 0.0 ? wy / rows : 1.0;

        // Counted, then filled: two flat arrays rather than a vector per cell.
        const size_t cells = size_t(cols) * size_t(rows);
        boxStart.assign(cells + 1, 0);
        firstStart.assign(cells + 1, 0);
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<uint32_t> boxAt, firstAt;
            if (pass == 1) {
                for (size_t c = 0; c < cells; ++c) {
                    boxStart[c + 1] += boxStart[c];
                    firstStart[c + 1] += firstStart[c];
                }
                boxLoops.resize(boxStart[cells]);
                firstLoops.resize(firstStart[cells]);
                boxAt.assign(boxStart.begin(), boxStart.end() - 1);
                firstAt.assign(firstStart.begin(), firstStart.end() - 1);
            }
            for (size_t i = 0; i < loops.size(); ++i) {
                const FEMeshLoopOutline& l = loops[i];
                if (l.hasFirst) {
                    const size_t c = cell(column(l.first.x()), row(l.first.y()));
                    if (pass == 0)
                        ++firstStart[c + 1];
                    else
                        firstLoops[firstAt[c]++] = int(i);
                }
                if (l.polygon.empty())
                    continue;
                const int c0 = column(l.xmin), c1 = column(l.xmax);
                const int r0 = row(widenedBelow(l.ymin)), r1 = row(widenedAbove(l.ymax));
                if (int64_t(c1 - c0 + 1) * int64_t(r1 - r0 + 1) > kMostCellsOfALoop) {
                    if (pass == 0)
                        wideLoops.push_back(int(i));
                    continue;
                }
                for (int r = r0; r <= r1; ++r)
                    for (int c = c0; c <= c1; ++c) {
                        if (pass == 0)
                            ++boxStart[cell(c, r) + 1];
                        else
                            boxLoops[boxAt[cell(c, r)]++] = int(i);
                    }
            }
        }
        return true;
    }

    int column(double x) const { return clampedCell((x - originX) / cellWidth, cols); }
    int row(double y) const { return clampedCell((y - originY) / cellHeight, rows); }
    size_t cell(int c, int r) const { return size_t(r) * size_t(cols) + size_t(c); }

    // The loops whose extent may hold point p.
    template <class Visit>
    void loopsAround(const Point2D& p, Visit visit) const
    {
        const size_t c = cell(column(p.x()), row(p.y()));
        for (uint32_t k = boxStart[c]; k < boxStart[c + 1]; ++k)
            visit(boxLoops[k]);
        for (int i : wideLoops)
            visit(i);
    }

    // The loops whose first corner lies in the cells of the extent of l; false (nothing
    // visited) when those cells are many.
    template <class Visit>
    bool firstCornersWithin(const FEMeshLoopOutline& l, Visit visit) const
    {
        const int c0 = column(l.xmin), c1 = column(l.xmax);
        const int r0 = row(widenedBelow(l.ymin)), r1 = row(widenedAbove(l.ymax));
        if (int64_t(c1 - c0 + 1) * int64_t(r1 - r0 + 1) > kMostCellsOfALoop)
            return false;
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                for (uint32_t k = firstStart[cell(c, r)]; k < firstStart[cell(c, r) + 1]; ++k)
                    visit(firstLoops[k]);
        return true;
    }

private:
    static int clampedCell(double at, int count)
    {
        // Monotone in the coordinate, so that a range of coordinates maps to a range of cells.
        if (!(at > 0.0))
            return 0;
        return at >= double(count) ? count - 1 : int(at);
    }

    int cols = 1, rows = 1;
    double originX = 0.0, originY = 0.0, cellWidth = 1.0, cellHeight = 1.0;
    std::vector<uint32_t> boxStart, firstStart;
    std::vector<int> boxLoops, firstLoops, wideLoops;
};

}  // namespace

void FEMeshLoopOutline::measure()
{
    xmin = ymin = HUGE_VAL;
    xmax = ymax = -HUGE_VAL;
    bool yUnknown = false;
    for (const Point2D& p : polygon) {
        xmin = std::min(xmin, p.x());
        xmax = std::max(xmax, p.x());
        ymin = std::min(ymin, p.y());
        ymax = std::max(ymax, p.y());
        yUnknown = yUnknown || std::isnan(p.y());
    }
    // The point test takes a corner whose y is not a number as lying in the band around any
    // point, so such a loop may hold points beyond its other corners' y range: no y range,
    // which keeps it from the grid and from the quick refusal.
    if (yUnknown)
        ymin = ymax = std::nan("");
}

int BuildLoopTreeByScan(const std::vector<FEMeshLoopOutline>& loops, std::vector<FEMeshLoopTreeNode>& nodes)
{
    nodes.assign(loops.size(), FEMeshLoopTreeNode());
    int roots = -1;
    for (int n = 0; n < int(loops.size()); ++n) {
        int* siblings = &roots;
        for (;;) {
            int holder = -1;
            for (int s = *siblings; s != -1; s = nodes[s].nextSibling)
                if (contains(loops[s], loops[n])) {
                    holder = s;
                    break;
                }
            if (holder != -1) {
                siblings = &nodes[holder].firstChild;
                continue;
            }
            int* link = siblings;
            while (*link != -1) {
                const int s = *link;
                if (contains(loops[n], loops[s])) {
                    *link = nodes[s].nextSibling;
                    nodes[s].nextSibling = nodes[n].firstChild;
                    nodes[n].firstChild = s;
                } else {
                    link = &nodes[s].nextSibling;
                }
            }
            nodes[n].nextSibling = *siblings;
            *siblings = n;
            break;
        }
    }
    return roots;
}

int BuildLoopTree(const std::vector<FEMeshLoopOutline>& loops, std::vector<FEMeshLoopTreeNode>& nodes)
{
    LoopGrid grid;
    if (loops.size() < kLoopsForGrid || !grid.build(loops))
        return BuildLoopTreeByScan(loops, nodes);

    // The scan's tree, found through the grid. Each loop keeps the level it sits in (the loop
    // whose children it is among, kRoot, or kOutside before its turn) and a stamp: a level's
    // list runs from the highest stamp down, as every loop joins a list at its front with the
    // next stamp. Among the loops the grid gives, the first in a list is then the one with the
    // highest stamp.
    constexpr int kRoot = -1, kOutside = -2;
    const int count = int(loops.size());
    nodes.assign(loops.size(), FEMeshLoopTreeNode());
    std::vector<int> level(loops.size(), kOutside);
    std::vector<int> previous(loops.size(), -1);
    std::vector<uint64_t> stamp(loops.size(), 0);
    uint64_t clock = 0;
    int roots = -1;
    auto head = [&](int at) -> int& { return at == kRoot ? roots : nodes[at].firstChild; };
    auto pushFront = [&](int at, int n) {
        int& first = head(at);
        nodes[n].nextSibling = first;
        previous[n] = -1;
        if (first != -1)
            previous[first] = n;
        first = n;
        level[n] = at;
        stamp[n] = ++clock;
    };
    auto unlink = [&](int n) {
        const int next = nodes[n].nextSibling;
        if (previous[n] != -1)
            nodes[previous[n]].nextSibling = next;
        else
            head(level[n]) = next;
        if (next != -1)
            previous[next] = previous[n];
    };
    auto higherStamp = [&](int a, int b) { return stamp[a] > stamp[b]; };
    // A loop of many corners around many others (a plate's outline round its holes) answers
    // through its edges by height.
    std::vector<std::unique_ptr<PolygonBands>> bands(loops.size());
    auto holds = [&](int a, int b) {
        const FEMeshLoopOutline& outer = loops[size_t(a)];
        if (!loops[size_t(b)].hasFirst || outer.polygon.empty() || !mayContain(outer, loops[size_t(b)].first))
            return false;
        if (outer.polygon.size() < kCornersForBands)
            return contains(outer, loops[size_t(b)]);
        if (!bands[size_t(a)])
            bands[size_t(a)] = std::make_unique<PolygonBands>(outer.polygon.data(), int(outer.polygon.size()),
                                                              kOnBoundary);
        return bands[size_t(a)]->locate(loops[size_t(b)].first, outer.xmin, outer.xmax) == 0;
    };

    // The placed loops around the first corner that may hold it, by level and within a level
    // from the highest stamp down: gathered once per loop, not once per level it descends
    // (loops nested a thousand deep are all around the innermost's corner).
    auto byLevel = [&](int a, int b) { return level[a] != level[b] ? level[a] < level[b] : stamp[a] > stamp[b]; };
    auto belowLevel = [&](int s, int at) { return level[s] < at; };
    std::vector<int> around, taken;
    for (int n = 0; n < count; ++n) {
        around.clear();
        if (loops[n].hasFirst)
            grid.loopsAround(loops[n].first, [&](int s) {
                if (level[s] != kOutside && mayContain(loops[s], loops[n].first))
                    around.push_back(s);
            });
        std::sort(around.begin(), around.end(), byLevel);
        int at = kRoot;
        for (;;) {
            int holder = -1;
            for (auto s = std::lower_bound(around.begin(), around.end(), at, belowLevel);
                 s != around.end() && level[*s] == at; ++s)
                if (holds(*s, n)) {
                    holder = *s;
                    break;
                }
            if (holder != -1) {
                at = holder;
                continue;
            }
            taken.clear();
            if (!loops[n].polygon.empty()) {
                auto consider = [&](int s) {
                    if (level[s] == at && holds(n, s))
                        taken.push_back(s);
                };
                if (grid.firstCornersWithin(loops[n], consider)) {
                    std::sort(taken.begin(), taken.end(), higherStamp);
                } else {
                    for (int s = head(at); s != -1; s = nodes[s].nextSibling)
                        consider(s);
                }
            }
            for (int s : taken) {
                unlink(s);
                pushFront(n, s);
            }
            pushFront(at, n);
            break;
        }
    }
    return roots;
}
