// FEDisplayPartC: the display part's triangle list.
#include "geometry/display/FEDisplayPartC.h"

FEDisplayPartC::~FEDisplayPartC() { clearTriangles(); }

void FEDisplayPartC::clearTriangles() { triangles.clearAndDestroy(); }

void FEDisplayPartC::addTriangle(const Point3D& p1, const Point3D& p2, const Point3D& p3, const Point3D& n1,
                                 const Point3D& n2, const Point3D& n3, const feColor& color)
{
    triangles.append(new FEDisplayTriangleC(p1, p2, p3, n1, n2, n3, color));
}
