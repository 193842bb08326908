// FEDisplayPartRefC: construction and the explode placement of an instance.
#include "geometry/display/FEDisplayPartRefC.h"

#include <algorithm>

FEDisplayPartRefC::FEDisplayPartRefC(int partIndex, FEDisplayPartC* part, const TransformMatrix& baseMatrix,
                                     const TransformMatrix& secondMatrix)
    : partIndex(partIndex), part(part), baseMatrix(baseMatrix), secondMatrix(secondMatrix)
{
}

void FEDisplayPartRefC::SetMatrix(const TransformMatrix& m)
{
    if (std::equal(m.getData(), m.getData() + 16, baseMatrix.getData()))
        movedMatrix.reset();
    else if (movedMatrix)
        *movedMatrix = m;
    else
        movedMatrix = std::make_unique<TransformMatrix>(m);
}

void FEDisplayPartRefC::SetExplodeFraction(double t)
{
    const Point3D base = baseMatrix.getTranslation();
    const Point3D exploded = secondMatrix.getTranslation();
    TransformMatrix m = current();
    m.setTranslation(base + t * (exploded - base));
    SetMatrix(m);
}
