// ShadowGeometry: transformed box extents, squared extents and the copies of the shadow quad.
#include "viewer/render/ShadowGeometry.h"

#include <algorithm>
#include <cmath>

#include "math/TransformMatrix.h"

void TransformBoxExtents(const double* m, Point3D& min, Point3D& max)
{
    const Point3D lo = min, hi = max;
    for (int corner = 0; corner < 8; ++corner) {
        const Point3D p = transformPoint(
            m, Point3D(corner & 1 ? hi.x() : lo.x(), corner & 2 ? hi.y() : lo.y(), corner & 4 ? hi.z() : lo.z()));
        if (corner == 0) {
            min = max = p;
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            min.component(k) = std::min(min.component(k), p.component(k));
            max.component(k) = std::max(max.component(k), p.component(k));
        }
    }
}

void SquareExtents(Point3D& lo, Point3D& hi, int a, int b)
{
    const double da = hi.component(a) - lo.component(a), db = hi.component(b) - lo.component(b);
    if (da > db) {
        lo.component(b) -= (da - db) / 2.0;
        hi.component(b) += (da - db) / 2.0;
    } else if (db > da) {
        lo.component(a) -= (db - da) / 2.0;
        hi.component(a) += (db - da) / 2.0;
    }
}

namespace {

// One ring of copies: the angle is summed in 32-bit floats and compared with 2 pi in double,
// so the ring of six steps ends just short of a full turn and draws its first direction twice.
void addRing(std::vector<ShadowOffset>& offsets, double radius, float step)
{
    const double fullTurn = 2.0 * M_PI;
    for (float a = 0.0f; double(a) < fullTurn; a += step)
        offsets.push_back({std::sin(double(a)) * radius, std::cos(double(a)) * radius});
}

}  // namespace

std::vector<ShadowOffset> ShadowQuadOffsets(int quality, double diag)
{
    std::vector<ShadowOffset> offsets;
    if (quality == 1) {
        offsets.push_back({0.0, 0.0});
    } else if (quality == 2) {
        addRing(offsets, 0.01 * diag, 1.0471976f);
        addRing(offsets, 0.005 * diag, 0.6981317f);
    }
    return offsets;
}
