// FEMeshLoopTree: which loops of a face lie inside which, as a tree, for separating a face
// whose loops bound several regions.
#pragma once

#include <cstddef>
#include <vector>

#include "math/Point2D.h"

// One loop of a face, projected on the face's plane.
struct FEMeshLoopOutline {
    // The corners in loop order, the first again at the end; empty for a loop without corners.
    std::vector<Point2D> polygon;
    // The corners' extent (meaningless while the polygon is empty); the y range is not a
    // number when a corner's y is not.
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    // Whether the loop has a first corner, and where it lies: a loop is inside another when
    // this corner lies strictly inside the other's polygon (1e-4 being on its boundary).
    bool hasFirst = false;
    Point2D first;

    // Fills the extent from the polygon.
    void measure();
};

// Loop i of the face is node i; -1 ends a list.
struct FEMeshLoopTreeNode {
    int firstChild = -1;
    int nextSibling = -1;
};

// The containment tree of the loops, each inserted in turn from the root: into the children of
// the first sibling that contains it, or else in front of the siblings, taking over (to the
// front of its children, in sibling order) the siblings it contains. Gives the first root.
// The loops' extents keep each insertion to the loops that may answer, so that a face with
// many holes costs about as much per hole as one with few.
int BuildLoopTree(const std::vector<FEMeshLoopOutline>& loops, std::vector<FEMeshLoopTreeNode>& nodes);

// The same tree by testing every sibling in turn (quadratic in the loops of one level): what
// BuildLoopTree must give, and what it uses for few loops.
int BuildLoopTreeByScan(const std::vector<FEMeshLoopOutline>& loops, std::vector<FEMeshLoopTreeNode>& nodes);
