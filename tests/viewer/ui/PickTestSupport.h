// Test support for picking and the mouse: a model of box-shaped parts placed by translations,
// seen head-on through the frame view of CameraTestSupport.h (300 x 300 window, zoom 10: 15
// pixels a unit, the origin at the window's centre, +z towards the viewer).
#pragma once

#include "geometry/display/FEDisplayPartListC.h"
#include "viewer/ui/CameraTestSupport.h"

// A closed box mesh from min to max, one square face a side, normals outward.
inline FEDisplayPartC* boxPart(const char* name, const char* mid, const Point3D& a, const Point3D& b)
{
    FEDisplayPartC* part = new FEDisplayPartC();
    part->setName(name);
    part->setMID(mid);
    auto quad = [part](Point3D p0, Point3D p1, Point3D p2, Point3D p3, Point3D n) {
        const Point3D pts[4] = {p0, p1, p2, p3};
        part->addFace(pts, 4, n, nullptr, 15.0f, 0);
        part->endFace();
    };
    const double x0 = a.x(), y0 = a.y(), z0 = a.z(), x1 = b.x(), y1 = b.y(), z1 = b.z();
    quad({x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {0, 0, -1});
    quad({x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}, {0, 0, 1});
    quad({x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}, {0, -1, 0});
    quad({x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {0, 1, 0});
    quad({x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}, {-1, 0, 0});
    quad({x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}, {1, 0, 0});
    return part;
}

inline TransformMatrix translation(double x, double y, double z)
{
    TransformMatrix m;
    m.translate(x, y, z);
    return m;
}

// Window pixel (x, y from the top) of a model point seen head-on at zoom 10 in 300 x 300.
inline ControlPoint pixelOf(double x, double y) { return ControlPoint{int(150 + 15 * x), int(150 - 15 * y)}; }

// The cube [-1, 1]^3 as part 0 ("cube", MID "M-100") and instances at the given translations
// (exploded: 10 further along x).
inline FEDisplayPartListC* cubeModel(std::initializer_list<Point3D> places)
{
    FEDisplayPartListC* list = new FEDisplayPartListC();
    FEDisplayPartC* part = boxPart("cube", "M-100", {-1, -1, -1}, {1, 1, 1});
    list->addPart(part);
    for (const Point3D& p : places)
        list->addInstance(
            new FEDisplayPartRefC(0, part, translation(p.x(), p.y(), p.z()), translation(p.x() + 10, p.y(), p.z())));
    return list;
}

// Opens nothing: puts the model into an open control and makes a head-on frame view.
inline void showModel(CTavoplexCtrl& c, FEDisplayPartListC* model)
{
    delete c.Parts;
    c.Parts = model;
    c.Zoom = 10.0;
    c.ViewOffset = Point3D(0, 0, 0);
    setUpFrameView(c, 300, 300);
}
