// Test support for the camera: the view set-up a scene frame makes, read back into the control,
// a small model, and the screen box of a model box under the control's stored matrices.
#pragma once

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "geometry/display/FEDisplayPartListC.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/ui/CameraMath.h"

// What the scene frame does before drawing parts: an orthographic projection with the zoom as the
// half extent of the shorter side, the modelview T(pan, -80) Rotation T(offset), then the matrices
// and the viewport read back into the control.
inline void setUpFrameView(CTavoplexCtrl& c, int width, int height)
{
    OpenGLLock lock(c);
    ASSERT_TRUE(lock.locked());
    c.WindowWidth = width;
    c.WindowHeight = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double w = width, h = height;
    if (width > height)
        glOrtho(-c.Zoom * w / h, c.Zoom * w / h, -c.Zoom, c.Zoom, -1000.0, 1000.0);
    else
        glOrtho(-c.Zoom, c.Zoom, -c.Zoom * h / w, c.Zoom * h / w, -1000.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(c.PanX, c.PanY, -80.0);
    float rotation[16];
    c.Rotation.getOpenGLMatrix(rotation);
    glMultMatrixf(rotation);
    glTranslated(c.ViewOffset.x(), c.ViewOffset.y(), c.ViewOffset.z());
    glGetDoublev(GL_MODELVIEW_MATRIX, c.ModelViewMatrix);
    glGetDoublev(GL_PROJECTION_MATRIX, c.ProjectionMatrix);
    glGetIntegerv(GL_VIEWPORT, c.Viewport);
}

// Window-space box (x0, y0, x1, y1) of a model box under the control's stored matrices.
struct ScreenBox {
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    double width() const { return x1 - x0; }
    double height() const { return y1 - y0; }
};

inline ScreenBox screenBoxOf(const CTavoplexCtrl& c, const Point3D& min, const Point3D& max)
{
    ScreenBox b;
    for (int corner = 0; corner < 8; ++corner) {
        const Point3D p((corner & 1) ? max.x() : min.x(), (corner & 2) ? max.y() : min.y(),
                        (corner & 4) ? max.z() : min.z());
        Point3D w;
        EXPECT_TRUE(ProjectPoint(p, c.ModelViewMatrix, c.ProjectionMatrix, c.Viewport, w));
        b.x0 = std::min(b.x0, w.x()), b.x1 = std::max(b.x1, w.x());
        b.y0 = std::min(b.y0, w.y()), b.y1 = std::max(b.y1, w.y());
    }
    return b;
}

// A model of two instances of one part, a triangle spanning (0, 0, 0)..(10, 20, 30): one at the
// origin (exploded 100 to the right), one 50 up (exploded 50 further up).
inline FEDisplayPartListC* twoInstanceModel()
{
    FEDisplayPartListC* list = new FEDisplayPartListC();
    FEDisplayPartC* part = new FEDisplayPartC();
    part->addTriangle(Point3D(0, 0, 0), Point3D(10, 0, 0), Point3D(10, 20, 30));
    list->addPart(part);
    TransformMatrix base, exploded;
    exploded.translate(100, 0, 0);
    list->addInstance(new FEDisplayPartRefC(0, part, base, exploded));
    base.translate(0, 50, 0);
    exploded.setIdentity();
    exploded.translate(0, 100, 0);
    list->addInstance(new FEDisplayPartRefC(0, part, base, exploded));
    return list;
}
