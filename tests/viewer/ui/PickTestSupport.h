// Test support for picking and the mouse: a model of cubes placed by translations, seen head-on
// through the frame view of CameraTestSupport.h (300 x 300 window, zoom 10: 15 pixels a unit,
// the origin at the window's centre, +z towards the viewer).
#pragma once

#include "tests/viewer/render/DrawTestSupport.h"
#include "tests/viewer/ui/CameraTestSupport.h"

// Window pixel (x, y from the top) of a model point seen head-on at zoom 10 in 300 x 300.
inline ControlPoint pixelOf(double x, double y) { return ControlPoint{int(150 + 15 * x), int(150 - 15 * y)}; }

// The cube [-1, 1]^3 as part 0 ("cube", MID "M-100") and instances at the given translations
// (exploded: 10 further along x).
inline FEDisplayPartListC* cubeModel(std::initializer_list<Point3D> places)
{
    FEDisplayPartListC* list = new FEDisplayPartListC();
    FEDisplayPartC* part = makeCube(1.0, feColor(0.5f, 0.5f, 0.5f, 1.0f));
    part->setName("cube");
    part->setMID("M-100");
    list->addPart(part);
    for (const Point3D& p : places)
        list->addInstance(
            new FEDisplayPartRefC(0, part, translation(p.x(), p.y(), p.z()), translation(p.x() + 10, p.y(), p.z())));
    return list;
}

// Puts the model into an open control and makes a head-on frame view.
inline void showModel(CTavoplexCtrl& c, FEDisplayPartListC* model)
{
    c.Parts.reset(model);
    c.Zoom = 10.0;
    c.ViewOffset = Point3D(0, 0, 0);
    setUpFrameView(c, 300, 300);
}
