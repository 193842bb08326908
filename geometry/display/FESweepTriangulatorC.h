// FESweepTriangulatorC: cuts a plane region bounded by simple rings into triangles in O(n log n).
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

#include "math/Point2D.h"

// The region is what lies inside an odd number of rings (as the tessellator's odd winding rule
// gives), so the rings may run either way round. One sweep cuts it into monotone pieces, which are
// then cut into triangles; the general tessellator's time grows much faster on faces of many
// corners. Rings that touch or cross, or corners that coincide, are refused: the caller then uses
// the general tessellator, which handles them.
class FESweepTriangulatorC {
public:
    FESweepTriangulatorC() = default;
    FESweepTriangulatorC(const FESweepTriangulatorC&) = delete;
    FESweepTriangulatorC& operator=(const FESweepTriangulatorC&) = delete;

    // Ring r holds the points [ringStarts[r], ringStarts[r + 1]) (the last up to the end), each of
    // at least three points. Gives the triangles as corner indices, counter-clockwise, in
    // `triangles`; false (and no triangles) for rings it refuses.
    bool triangulate(const std::vector<Point2D>& points, const std::vector<uint32_t>& ringStarts,
                     std::vector<uint32_t>& triangles);
    // The point numbers in sweep order: downwards, of two points at one height the left one
    // first.
    static void sortDownwards(const std::vector<Point2D>& points, std::vector<uint32_t>& sorted);

private:
    struct EdgeOrder {
        const FESweepTriangulatorC* owner;
        bool operator()(uint32_t a, uint32_t b) const { return owner->leftOf(a, b); }
    };
    using Status = std::set<uint32_t, EdgeOrder>;

    // Whether edge a lies left of edge b on the sweep line (the probe edge stands for a point).
    bool leftOf(uint32_t a, uint32_t b) const;
    bool above(uint32_t a, uint32_t b) const;
    uint32_t upper(uint32_t e) const { return above(e, next[e]) ? e : next[e]; }
    uint32_t lower(uint32_t e) const { return above(e, next[e]) ? next[e] : e; }
    bool sweep();
    Status::iterator insert(uint32_t e);
    void erase(uint32_t e);
    bool crosses(uint32_t a, uint32_t b) const;
    bool leftNeighbour(uint32_t v, uint32_t& edge);
    void addDiagonal(uint32_t a, uint32_t b) { diagonals.push_back({a, b}); }
    bool cutPieces(std::vector<uint32_t>& triangles);
    bool triangulatePiece(const std::vector<uint32_t>& piece, std::vector<uint32_t>& triangles);

    const std::vector<Point2D>* pts = nullptr;
    uint32_t probe = 0;  // the id of the probe edge (one past the last corner)
    Point2D probePoint;
    mutable bool broken = false;  // touching or crossing edges met: the order cannot be trusted
    Status* status = nullptr;  // the edges crossing the sweep line, left to right
    std::vector<uint32_t> next, previous, order, rank;
    std::vector<unsigned char> insideRight, mergeVertex;
    std::vector<uint32_t> helper;
    std::vector<Status::iterator> where;
    std::vector<std::pair<uint32_t, uint32_t>> diagonals;
};
