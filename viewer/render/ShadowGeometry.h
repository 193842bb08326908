// ShadowGeometry: the box and quad arithmetic of the shadow passes.
#pragma once

#include <vector>

#include "math/Point3D.h"

// Replaces min and max by the axis-aligned box of the eight corners of the box they span,
// each transformed by the 3 x 4 part of the row-major matrix m.
void TransformBoxExtents(const double* m, Point3D& min, Point3D& max);

// Widens the narrower of the box's extents along axes a and b (0 x, 1 y, 2 z) on both sides
// to the wider one, so that the box becomes square in that plane.
void SquareExtents(Point3D& lo, Point3D& hi, int a, int b);

// One copy of the shadow quad: its corners move by dx along x and dz along z (model units).
struct ShadowOffset {
    double dx;
    double dz;
};

// The copies of the shadow quad for a quality: one unshifted copy for 1; for 2 two rings of
// shifted copies (radius 0.01 and 0.005 of diag, 7 and 10 copies); none for any other value.
std::vector<ShadowOffset> ShadowQuadOffsets(int quality, double diag);
