// FEMeshPartGroupC: adding placed parts.
#include "geometry/mesh/FEMeshPartGroupC.h"

#include "math/TransformMatrix.h"

FEMeshPartGroupC::FEMeshPartGroupC()
    : parts(1, false, 64), boxMin(1e300, 1e300, 1e300), boxMax(-1e300, -1e300, -1e300), attributes(&RWCString::staticHash, 64)
{
}

void FEMeshPartGroupC::addPart(const refHandle<FEMeshPartC>& part)
{
    if (!part.get())
        return;
    parts.append(part);
    const Point3D lo = part->getMinPoint();
    const Point3D hi = part->getMaxPoint();
    double m[16];
    part->getPlacement(m);
    for (int corner = 0; corner < 8; ++corner) {
        const Point3D c((corner & 1) ? hi.x() : lo.x(), (corner & 2) ? hi.y() : lo.y(), (corner & 4) ? hi.z() : lo.z());
        const Point3D p = transformPoint(m, c);
        for (int axis = 0; axis < 3; ++axis) {
            if (p.component(axis) < boxMin.component(axis))
                boxMin.component(axis) = p.component(axis);
            if (p.component(axis) > boxMax.component(axis))
                boxMax.component(axis) = p.component(axis);
        }
    }
}
