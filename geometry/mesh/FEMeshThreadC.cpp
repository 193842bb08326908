// FEMeshThreadC: construction of a cosmetic screw thread.
#include "geometry/mesh/FEMeshThreadC.h"

FEMeshThreadC::FEMeshThreadC(const TransformMatrix& placement, double s1, double s2, double s3, bool flag,
                             double s4, double s5, double s6, double s7, double s8)
    : placement(placement), s1(s1), s2(s2), s3(s3), flag(flag ? 1 : 0), s4(s4), s5(s5), s6(s6), s7(s7), s8(s8)
{
    startPoint = transformPoint(placement.getData(), Point3D(0.0, 0.0, s4));
    endPoint = transformPoint(placement.getData(), Point3D(0.0, 0.0, s4 + s5));
}
