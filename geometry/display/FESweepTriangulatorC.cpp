// FESweepTriangulatorC: monotone pieces by one plane sweep, then each piece fanned along its two chains.
#include "geometry/display/FESweepTriangulatorC.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

double orient(const Point2D& a, const Point2D& b, const Point2D& c)
{
    return (b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x());
}

bool within(const Point2D& a, const Point2D& b, const Point2D& p)
{
    return std::min(a.x(), b.x()) <= p.x() && p.x() <= std::max(a.x(), b.x()) && std::min(a.y(), b.y()) <= p.y() &&
           p.y() <= std::max(a.y(), b.y());
}

}  // namespace

// The sweep runs downwards; of two points at one height the left one comes first.
bool FESweepTriangulatorC::above(uint32_t a, uint32_t b) const
{
    const Point2D& p = (*pts)[a];
    const Point2D& q = (*pts)[b];
    return p.y() > q.y() || (p.y() == q.y() && p.x() < q.x());
}

void FESweepTriangulatorC::sortDownwards(const std::vector<Point2D>& p, std::vector<uint32_t>& sorted)
{
    const uint32_t n = uint32_t(p.size());
    sorted.resize(n);
    // The sort compares each point many times: it goes through copies of the coordinates
    // beside the numbers, not through the numbers into the points. With every coordinate a
    // number, distinct points have one order only, so it is the order the indirect sort
    // gives; points that coincide stop the sweep whatever their order.
    struct Key {
        double y, x;
        uint32_t index;
    };
    std::vector<Key> keys(n);
    bool numbers = true;
    for (uint32_t i = 0; i < n; ++i) {
        keys[i] = {p[i].y(), p[i].x(), i};
        numbers = numbers && p[i].x() == p[i].x() && p[i].y() == p[i].y();
    }
    if (numbers) {
        std::sort(keys.begin(), keys.end(),
                  [](const Key& a, const Key& b) { return a.y > b.y || (a.y == b.y && a.x < b.x); });
        for (uint32_t i = 0; i < n; ++i)
            sorted[i] = keys[i].index;
        return;
    }
    for (uint32_t i = 0; i < n; ++i)
        sorted[i] = i;
    std::sort(sorted.begin(), sorted.end(), [&](uint32_t a, uint32_t b) {
        return p[a].y() > p[b].y() || (p[a].y() == p[b].y() && p[a].x() < p[b].x());
    });
}

bool FESweepTriangulatorC::leftOf(uint32_t a, uint32_t b) const
{
    if (a == b)
        return false;
    const std::vector<Point2D>& p = *pts;
    // side(e, r) > 0: r lies right of e.
    auto side = [&](uint32_t e, const Point2D& r) {
        const double s = orient(p[lower(e)], p[upper(e)], r);
        return s < 0 ? 1 : (s > 0 ? -1 : 0);
    };
    auto decided = [&](int s) {
        if (s == 0)
            broken = true;
        return s;
    };
    if (a == probe)
        return decided(side(b, probePoint)) < 0;
    if (b == probe)
        return decided(side(a, probePoint)) > 0;
    const uint32_t ua = upper(a), ub = upper(b);
    if (ua == ub)
        return decided(side(b, p[lower(a)])) < 0;
    if (above(ua, ub)) {
        int s = side(a, p[ub]);
        if (s == 0 && ub == lower(a))
            s = side(a, p[lower(b)]);
        return decided(s) > 0;
    }
    int s = side(b, p[ua]);
    if (s == 0 && ua == lower(b))
        s = side(b, p[lower(a)]);
    return decided(s) < 0;
}

bool FESweepTriangulatorC::crosses(uint32_t a, uint32_t b) const
{
    const std::vector<Point2D>& p = *pts;
    const uint32_t a0 = a, a1 = next[a], b0 = b, b1 = next[b];
    // Neighbours on a ring share a corner; they only meet wrongly when they run along each other.
    if (a0 == b1 || a1 == b0) {
        const uint32_t shared = a0 == b1 ? a0 : a1;
        const uint32_t oa = shared == a0 ? a1 : a0, ob = shared == b0 ? b1 : b0;
        const Point2D& s = p[shared];
        if (orient(s, p[oa], p[ob]) != 0)
            return false;
        return (p[oa].x() - s.x()) * (p[ob].x() - s.x()) + (p[oa].y() - s.y()) * (p[ob].y() - s.y()) > 0;
    }
    const double d1 = orient(p[a0], p[a1], p[b0]), d2 = orient(p[a0], p[a1], p[b1]);
    const double d3 = orient(p[b0], p[b1], p[a0]), d4 = orient(p[b0], p[b1], p[a1]);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return true;
    return (d1 == 0 && within(p[a0], p[a1], p[b0])) || (d2 == 0 && within(p[a0], p[a1], p[b1])) ||
           (d3 == 0 && within(p[b0], p[b1], p[a0])) || (d4 == 0 && within(p[b0], p[b1], p[a1]));
}

FESweepTriangulatorC::Status::iterator FESweepTriangulatorC::insert(uint32_t e)
{
    auto [it, added] = status->insert(e);
    if (!added)
        broken = true;
    where[e] = it;
    // Edges that become neighbours on the sweep line are checked for crossing; the first
    // crossing of any two edges is always between neighbours.
    if (it != status->begin() && crosses(*std::prev(it), e))
        broken = true;
    if (std::next(it) != status->end() && crosses(*std::next(it), e))
        broken = true;
    return it;
}

void FESweepTriangulatorC::erase(uint32_t e)
{
    auto it = where[e];
    const bool hasLeft = it != status->begin();
    auto right = std::next(it);
    if (hasLeft && right != status->end() && crosses(*std::prev(it), *right))
        broken = true;
    status->erase(it);
}

bool FESweepTriangulatorC::leftNeighbour(uint32_t v, uint32_t& edge)
{
    probePoint = (*pts)[v];
    auto it = status->lower_bound(probe);
    if (it == status->begin())
        return false;
    edge = *std::prev(it);
    return true;
}

bool FESweepTriangulatorC::sweep()
{
    const std::vector<Point2D>& p = *pts;
    const uint32_t n = uint32_t(p.size());
    order.resize(n);
    sortDownwards(p, order);
    rank.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        rank[order[i]] = i;
        if (i > 0 && p[order[i]].x() == p[order[i - 1]].x() && p[order[i]].y() == p[order[i - 1]].y())
            return false;  // two corners at one point
    }
    insideRight.assign(n, 0);
    mergeVertex.assign(n, 0);
    helper.assign(n, 0);
    where.assign(n, Status::iterator());
    diagonals.clear();
    Status statusSet(EdgeOrder{this});
    status = &statusSet;

    for (uint32_t v : order) {
        const uint32_t pv = previous[v], qv = next[v];
        const bool prevAbove = rank[pv] < rank[v], nextAbove = rank[qv] < rank[v];
        const uint32_t ePrev = pv, eNext = v;  // edge i runs from corner i to next[i]
        uint32_t ej = 0;
        if (!prevAbove && !nextAbove) {
            // Both edges go down: the region starts here, or v splits the region it lies in.
            const double o = orient(p[v], p[pv], p[qv]);
            if (o == 0)
                return false;
            const uint32_t left = o > 0 ? ePrev : eNext, right = o > 0 ? eNext : ePrev;
            const bool inside = leftNeighbour(v, ej) && insideRight[ej];
            if (inside) {
                addDiagonal(v, helper[ej]);
                helper[ej] = v;
            }
            insideRight[left] = !inside;
            insideRight[right] = inside;
            helper[left] = helper[right] = v;
            insert(left);
            insert(right);
        } else if (prevAbove && nextAbove) {
            // Both edges come from above: a region ends here, or two regions merge.
            const double o = orient(p[v], p[qv], p[pv]);
            if (o == 0)
                return false;
            const uint32_t left = o > 0 ? ePrev : eNext, right = o > 0 ? eNext : ePrev;
            if (insideRight[left]) {
                if (mergeVertex[helper[left]])
                    addDiagonal(v, helper[left]);
                erase(left);
                erase(right);
            } else {
                mergeVertex[v] = 1;
                if (!insideRight[right])
                    return false;
                if (mergeVertex[helper[right]])
                    addDiagonal(v, helper[right]);
                erase(left);
                erase(right);
                if (!leftNeighbour(v, ej) || !insideRight[ej])
                    return false;
                if (mergeVertex[helper[ej]])
                    addDiagonal(v, helper[ej]);
                helper[ej] = v;
            }
        } else {
            const uint32_t up = prevAbove ? ePrev : eNext, down = prevAbove ? eNext : ePrev;
            insideRight[down] = insideRight[up];
            if (insideRight[up]) {
                // The region lies right of the chain through v.
                if (mergeVertex[helper[up]])
                    addDiagonal(v, helper[up]);
                erase(up);
                insert(down);
                helper[down] = v;
            } else {
                erase(up);
                auto it = insert(down);
                if (it == status->begin())
                    return false;
                ej = *std::prev(it);
                if (!insideRight[ej])
                    return false;
                if (mergeVertex[helper[ej]])
                    addDiagonal(v, helper[ej]);
                helper[ej] = v;
                helper[down] = v;
            }
        }
        if (broken)
            return false;
    }
    status = nullptr;
    return !broken;
}

bool FESweepTriangulatorC::cutPieces(std::vector<uint32_t>& triangles)
{
    const std::vector<Point2D>& p = *pts;
    const uint32_t n = uint32_t(p.size());
    const uint32_t edgeCount = n + uint32_t(diagonals.size());
    auto endsOf = [&](uint32_t k) {
        return k < n ? std::pair<uint32_t, uint32_t>(k, next[k]) : diagonals[k - n];
    };
    // The edges around each corner, counter-clockwise (a compact adjacency table).
    std::vector<uint32_t> start(n + 1, 0);
    for (uint32_t k = 0; k < edgeCount; ++k) {
        auto [a, b] = endsOf(k);
        ++start[a + 1];
        ++start[b + 1];
    }
    for (uint32_t i = 0; i < n; ++i)
        start[i + 1] += start[i];
    struct Entry {
        double angle;
        uint32_t to, edge;
    };
    std::vector<Entry> entries(start[n]);
    {
        std::vector<uint32_t> fill(start.begin(), start.end() - 1);
        for (uint32_t k = 0; k < edgeCount; ++k) {
            auto [a, b] = endsOf(k);
            entries[fill[a]++] = {std::atan2(p[b].y() - p[a].y(), p[b].x() - p[a].x()), b, k};
            entries[fill[b]++] = {std::atan2(p[a].y() - p[b].y(), p[a].x() - p[b].x()), a, k};
        }
    }
    // Where each edge sits around its two ends.
    std::vector<uint32_t> at(2 * size_t(edgeCount));
    for (uint32_t i = 0; i < n; ++i) {
        std::sort(entries.begin() + start[i], entries.begin() + start[i + 1],
                  [](const Entry& x, const Entry& y) { return x.angle < y.angle; });
        for (uint32_t s = start[i]; s < start[i + 1]; ++s) {
            const uint32_t k = entries[s].edge;
            at[2 * size_t(k) + (endsOf(k).first == i ? 0 : 1)] = s;
        }
    }
    // A ring edge bounds the region on one side only; diagonals run through it.
    auto regionOnLeft = [&](uint32_t from, const Entry& e) {
        if (e.edge >= n)
            return true;
        const bool downwards = rank[from] < rank[e.to];
        return downwards ? insideRight[e.edge] != 0 : insideRight[e.edge] == 0;
    };
    std::vector<unsigned char> visited(entries.size(), 0);
    std::vector<uint32_t> piece;
    for (uint32_t u = 0; u < n; ++u)
        for (uint32_t s = start[u]; s < start[u + 1]; ++s) {
            if (visited[s] || !regionOnLeft(u, entries[s]))
                continue;
            // Walk the piece with the region on the left: at each corner turn to the edge just
            // clockwise of the one arrived by.
            piece.clear();
            uint32_t corner = u, slot = s;
            do {
                if (visited[slot] || piece.size() > entries.size())
                    return false;
                visited[slot] = 1;
                piece.push_back(corner);
                const Entry& e = entries[slot];
                const uint32_t w = e.to;
                const uint32_t back = at[2 * size_t(e.edge) + (endsOf(e.edge).first == w ? 0 : 1)];
                slot = back == start[w] ? start[w + 1] - 1 : back - 1;
                corner = w;
            } while (slot != s || corner != u);
            if (!triangulatePiece(piece, triangles))
                return false;
        }
    return true;
}

bool FESweepTriangulatorC::triangulatePiece(const std::vector<uint32_t>& piece, std::vector<uint32_t>& triangles)
{
    const std::vector<Point2D>& p = *pts;
    const size_t k = piece.size();
    if (k < 3)
        return false;
    size_t top = 0, bottom = 0;
    for (size_t i = 1; i < k; ++i) {
        if (rank[piece[i]] < rank[piece[top]])
            top = i;
        if (rank[piece[i]] > rank[piece[bottom]])
            bottom = i;
    }
    // The piece runs counter-clockwise: from the top down its left chain, back up its right one.
    // Both chains must run monotonely; merged, they give the corners in sweep order.
    std::vector<std::pair<uint32_t, bool>> sorted;  // corner, on the right chain
    sorted.reserve(k);
    std::vector<uint32_t> right;
    for (size_t i = top;; i = (i + 1) % k) {
        if (!sorted.empty() && rank[piece[i]] <= rank[sorted.back().first])
            return false;
        if (i == bottom)
            break;
        sorted.push_back({piece[i], false});
    }
    for (size_t i = (top + k - 1) % k; i != bottom; i = (i + k - 1) % k) {
        if (!right.empty() && rank[piece[i]] <= rank[right.back()])
            return false;
        right.push_back(piece[i]);
    }
    if (!right.empty() && rank[right.back()] >= rank[piece[bottom]])
        return false;
    {
        std::vector<std::pair<uint32_t, bool>> left;
        left.swap(sorted);
        size_t a = 0, b = 0;
        while (a < left.size() || b < right.size()) {
            if (b == right.size() || (a < left.size() && rank[left[a].first] < rank[right[b]]))
                sorted.push_back(left[a++]);
            else
                sorted.push_back({right[b++], true});
        }
        sorted.push_back({piece[bottom], false});
    }

    auto emit = [&](uint32_t a, uint32_t b, uint32_t c) {
        if (orient(p[a], p[b], p[c]) < 0)
            std::swap(b, c);
        triangles.insert(triangles.end(), {a, b, c});
    };
    std::vector<std::pair<uint32_t, bool>> stack = {sorted[0], sorted[1]};
    for (size_t j = 2; j + 1 < sorted.size(); ++j) {
        const auto [uj, onRight] = sorted[j];
        if (onRight != stack.back().second) {
            for (size_t i = 0; i + 1 < stack.size(); ++i)
                emit(uj, stack[i].first, stack[i + 1].first);
            const auto previousCorner = stack.back();
            stack.assign({previousCorner, sorted[j]});
            continue;
        }
        auto last = stack.back();
        stack.pop_back();
        while (!stack.empty()) {
            const uint32_t t = stack.back().first;
            const bool inside = onRight ? orient(p[uj], p[last.first], p[t]) > 0 : orient(p[t], p[last.first], p[uj]) > 0;
            if (!inside)
                break;
            emit(uj, last.first, t);
            last = stack.back();
            stack.pop_back();
        }
        stack.push_back(last);
        stack.push_back(sorted[j]);
    }
    const uint32_t lastCorner = sorted.back().first;
    for (size_t i = 0; i + 1 < stack.size(); ++i)
        emit(lastCorner, stack[i].first, stack[i + 1].first);
    return true;
}

bool FESweepTriangulatorC::triangulate(const std::vector<Point2D>& points, const std::vector<uint32_t>& ringStarts,
                                       std::vector<uint32_t>& triangles)
{
    triangles.clear();
    const size_t n = points.size();
    if (n < 3 || n >= 0xffffffffu || ringStarts.empty())
        return false;
    for (const Point2D& q : points)
        if (!std::isfinite(q.x()) || !std::isfinite(q.y()))
            return false;
    pts = &points;
    probe = uint32_t(n);
    broken = false;
    next.resize(n);
    previous.resize(n);
    for (size_t r = 0; r < ringStarts.size(); ++r) {
        const uint32_t first = ringStarts[r];
        const uint32_t end = r + 1 < ringStarts.size() ? ringStarts[r + 1] : uint32_t(n);
        if (end > n || end < first + 3)
            return false;
        for (uint32_t i = first; i < end; ++i) {
            next[i] = i + 1 < end ? i + 1 : first;
            previous[i] = i > first ? i - 1 : end - 1;
        }
    }
    const bool done = sweep() && cutPieces(triangles);
    pts = nullptr;
    if (!done)
        triangles.clear();
    return done;
}
