// FEDisplayPartRefC: construction and the explode placement of an instance.
#include "geometry/display/FEDisplayPartRefC.h"

FEDisplayPartRefC::FEDisplayPartRefC(int partIndex, FEDisplayPartC* part, const TransformMatrix& baseMatrix,
                                     const TransformMatrix& secondMatrix)
    : partIndex(partIndex), part(part), baseMatrix(baseMatrix), secondMatrix(secondMatrix), currentMatrix(baseMatrix)
{
}

void FEDisplayPartRefC::SetExplodeFraction(double t)
{
    const Point3D base = baseMatrix.getTranslation();
    const Point3D exploded = secondMatrix.getTranslation();
    currentMatrix.setTranslation(base + t * (exploded - base));
}
