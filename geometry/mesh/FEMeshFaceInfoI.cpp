// FEMeshFaceInfoColorC: construction of a face colour.
#include "geometry/mesh/FEMeshFaceInfoI.h"

FEMeshFaceInfoColorC::FEMeshFaceInfoColorC(float r, float g, float b, float a, float h, float l, float s)
    : color(r, g, b, a, h, l, s)
{
}
