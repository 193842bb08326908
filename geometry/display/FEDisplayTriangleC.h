// FEDisplayTriangleC: a triangle of a coloured face, kept by its display part for drawing.
#pragma once

#include "math/Point3D.h"
#include "math/feColor.h"

class FEDisplayTriangleC {
public:
    FEDisplayTriangleC(const Point3D& p1, const Point3D& p2, const Point3D& p3, const Point3D& n1,
                       const Point3D& n2, const Point3D& n3, const feColor& color)
        : positions{p1, p2, p3}, normals{n1, n2, n3}, color(color)
    {
    }

    // Corners 0, 1 and 2.
    const Point3D& getPosition(int corner) const { return positions[corner]; }
    const Point3D& getNormal(int corner) const { return normals[corner]; }
    const feColor& getColor() const { return color; }

private:
    Point3D positions[3];
    Point3D normals[3];
    feColor color;
};
