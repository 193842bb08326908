// CTavoplexCtrl: picking: window lengths measured in the model.
#include <GL/gl.h>
#include <GL/glu.h>

#include "viewer/control/CTavoplexCtrl.h"

namespace {

// The view-space point under a window point (y counted from the top) at the far plane,
// through the stored projection and viewport; the origin when nothing can be drawn.
Point3D windowToView(CTavoplexCtrl& c, double x, double y)
{
    OpenGLLock lock(c);
    if (!lock)
        return Point3D(0.0, 0.0, 0.0);
    static const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double vx = 0.0, vy = 0.0, vz = 0.0;
    if (gluUnProject(x, c.WindowHeight - y, 1.0, identity, c.ProjectionMatrix, c.Viewport, &vx, &vy, &vz) != GL_TRUE)
        return Point3D(0.0, 0.0, 0.0);
    return Point3D(vx, vy, vz);
}

}  // namespace

double CTavoplexCtrl::PixelsToWorld(int pixels)
{
    return (windowToView(*this, 0.0, pixels) - windowToView(*this, 0.0, 0.0)).length();
}
