// FEMeshThreadC: a cosmetic screw thread of a part, drawn between its start and end points.
#pragma once

#include "math/Point3D.h"
#include "math/TransformMatrix.h"

class FEMeshThreadC {
public:
    // The scalars are stored as given; start = placement (0, 0, s4), end = placement (0, 0, s4 + s5).
    FEMeshThreadC(const TransformMatrix& placement, double s1, double s2, double s3, bool flag, double s4,
                  double s5, double s6, double s7, double s8);

    TransformMatrix getMatrix() const { return placement; }
    bool getFlag() const { return flag != 0; }
    double getParameter1() const { return s1; }
    double getParameter2() const { return s2; }
    double getParameter3() const { return s3; }
    double getParameter4() const { return s4; }
    double getParameter5() const { return s5; }
    double getParameter6() const { return s6; }
    double getParameter7() const { return s7; }
    double getParameter8() const { return s8; }
    Point3D getStartPoint() const { return startPoint; }
    Point3D getEndPoint() const { return endPoint; }
    Point3Df getStartPointF() const { return Point3Df(startPoint); }
    Point3Df getEndPointF() const { return Point3Df(endPoint); }

private:
    TransformMatrix placement;
    double s1, s2, s3;
    unsigned char flag;
    double s4, s5, s6, s7, s8;
    Point3D startPoint;
    Point3D endPoint;
};
