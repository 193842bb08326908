// Camera arithmetic: standard view table, zoom step, drag rotation, projection and box fitting.
#include "viewer/ui/CameraMath.h"

#include "geometry/display/FEDisplayPartListC.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace {

// Fixed rows of the oblique views 6, 7 and 8, applied on the left after the base turns. They are
// used as they stand, without normalising, so the orientations match the ones users know.
const double kObliqueRows[3][9] = {
    {0.707106781186546, 0.0, -0.707106781186549, 0.408204055911359, -0.816540811885746, 0.408204055911358,
     -0.577381545199981, -0.577287712085548, -0.577381545199979},
    {0.707106781186546, 0.0, -0.707106781186549, 0.189441721529601, -0.963443650810883, 0.1894417215296,
     -0.681257538779501, -0.267911051866468, -0.681257538779498},
    {0.884418121677421, 0.0, -0.466695388930062, 0.240365894683924, -0.85716730070213, 0.455509006804279,
     -0.400036026779312, -0.515038074910024, -0.758094294050284},
};

bool isFinite(const Point3D& p) { return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z()); }

bool hasArea(const int* viewport) { return viewport[2] > 0 && viewport[3] > 0; }

}  // namespace

void MeasureInstances(const FEDisplayPartListC& parts, bool exploded, const FEDisplayPartRefC* only, Point3D& min,
                      Point3D& max) {
    Point3D low(1e20, 1e20, 1e20), high(-1e20, -1e20, -1e20);
    int count = 0;
    for (size_t i = 0; i < parts.instanceCount(); ++i) {
        const FEDisplayPartRefC* instance = parts.getInstance(i);
        if (!instance || (only && instance != only)) continue;
        const int index = instance->GetPartIndex();
        if (index < 0 || size_t(index) >= parts.partCount()) continue;
        const FEDisplayPartC* part = parts.getPart(size_t(index));
        Point3D partMin, partMax;
        if (!part || !part->getBoundingBox(partMin, partMax)) continue;
        ++count;
        const TransformMatrix placement = exploded ? instance->GetSecondMatrix() : instance->GetBaseMatrix();
        for (int corner = 0; corner < 8; ++corner) {
            const Point3D p = placement.transform(Point3D((corner & 1) ? partMax.x() : partMin.x(),
                                                          (corner & 2) ? partMax.y() : partMin.y(),
                                                          (corner & 4) ? partMax.z() : partMin.z()));
            // Written so that a coordinate that is no number never enters the box.
            for (int k = 0; k < 3; ++k) {
                if (p.component(k) < low.component(k)) low.component(k) = p.component(k);
                if (p.component(k) > high.component(k)) high.component(k) = p.component(k);
            }
        }
    }
    const double size = (high - low).length();
    const bool inverted = low.x() > high.x() || low.y() > high.y() || low.z() > high.z();
    if (count == 0 || low.x() < -1e20 || size < 1e-18 || !std::isfinite(size) || inverted) {
        low = Point3D(-50, -50, -50);
        high = Point3D(50, 50, 50);
    }
    min = low;
    max = high;
}

TransformMatrix StandardViewMatrix(int view, int viewTurn) {
    TransformMatrix m;
    switch (view) {
    case 1: m.rotate(0, 180, 0); return m;
    case 2: m.rotate(0, 90, 0); return m;
    case 3: m.rotate(0, -90, 0); return m;
    case 4: m.rotate(-90, 0, 0); return m;
    case 5: m.rotate(90, 0, 0); return m;
    case 6:
    case 7:
    case 8: break;
    default: return m;
    }
    m.rotate(180, 0, 0);
    m.rotate(0, view == 8 ? 55 : 90, 0);
    switch (viewTurn) {
    case 1: m.rotate(0, 90, 0); break;
    case 2: m.rotate(0, 180, 0); break;
    case 3: m.rotate(0, 270, 0); break;
    case 4: m.rotate(0, 0, 90); break;
    case 5: m.rotate(0, 0, -90); break;
    default: break;
    }
    const double* r = kObliqueRows[view - 6];
    TransformMatrix fixed;
    fixed.set(r[0], r[1], r[2], 0, r[3], r[4], r[5], 0, r[6], r[7], r[8], 0, 0, 0, 0, 1);
    return fixed * m;
}

double ZoomBoxUnit(const Point3D& sceneMin, const Point3D& sceneMax) { return (sceneMax - sceneMin).length() / 160.0; }

bool ApplyZoomStep(double& zoom, double amount, const Point3D& sceneMin, const Point3D& sceneMax) {
    const double unit = ZoomBoxUnit(sceneMin, sceneMax);
    // Without a unit the near-model step would divide 0 by 0.
    if (!(unit > 0.0) || !std::isfinite(unit)) return false;
    const double threshold = 80.0 * unit;
    if (zoom > kMaxZoom) zoom = kMaxZoom;
    if (zoom > threshold)
        zoom += amount * unit;
    else
        zoom += amount * unit * zoom / threshold;
    const double lowest = unit / kMinZoomDivisor;
    if (zoom < lowest || std::isnan(zoom)) zoom = lowest;
    return true;
}

TransformMatrix RotatedByDrag(const TransformMatrix& rotation, double dx, double dy) {
    TransformMatrix r = rotation;
    r.rotate(-kRotateDegreesPerPixel * dy, kRotateDegreesPerPixel * dx, 0.0);
    return r;
}

bool ProjectPoint(const Point3D& p, const double* modelView, const double* projection, const int* viewport,
                  Point3D& out) {
    if (!hasArea(viewport)) return false;
    double x = 0.0, y = 0.0, z = 0.0;
    if (gluProject(p.x(), p.y(), p.z(), modelView, projection, viewport, &x, &y, &z) != GL_TRUE) return false;
    const Point3D result(x, y, z);
    if (!isFinite(result)) return false;
    out = result;
    return true;
}

bool UnprojectPoint(const Point3D& window, const double* modelView, const double* projection, const int* viewport,
                    Point3D& out) {
    if (!hasArea(viewport)) return false;
    double x = 0.0, y = 0.0, z = 0.0;
    if (gluUnProject(window.x(), window.y(), window.z(), modelView, projection, viewport, &x, &y, &z) != GL_TRUE)
        return false;
    const Point3D result(x, y, z);
    if (!isFinite(result)) return false;
    out = result;
    return true;
}

bool ComputeFitCameraValues(const Point3D& boxMin, const Point3D& boxMax, const double* modelView,
                            const double* projection, const int* viewport, int windowWidth, int windowHeight,
                            double zoom, FitCamera& out) {
    if (windowWidth <= 0 || windowHeight <= 0) return false;

    // Screen box of the eight corners.
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (int corner = 0; corner < 8; ++corner) {
        const Point3D p((corner & 1) ? boxMax.x() : boxMin.x(), (corner & 2) ? boxMax.y() : boxMin.y(),
                        (corner & 4) ? boxMax.z() : boxMin.z());
        Point3D w;
        if (!ProjectPoint(p, modelView, projection, viewport, w)) return false;
        minX = std::min(minX, w.x());
        minY = std::min(minY, w.y());
        maxX = std::max(maxX, w.x());
        maxY = std::max(maxY, w.y());
    }
    const double sizeX = maxX - minX;
    const double sizeY = maxY - minY;

    // Room left by a margin of 4 pixels on each side.
    const double roomX = std::max(windowWidth - 8.0, 1.0);
    const double roomY = std::max(windowHeight - 8.0, 1.0);

    double newZoom;
    if (sizeX <= 0.0 && sizeY <= 0.0)
        newZoom = 1.0;  // the whole box projects to one point: nothing to scale by
    else if (sizeY <= 0.0)
        newZoom = zoom / (roomX / sizeX);  // a flat line across: its width limits
    else if (sizeX <= 0.0)
        newZoom = zoom / (roomY / sizeY);  // a flat line upright: its height limits
    else if (roomX / roomY <= sizeX / sizeY)
        newZoom = zoom / (roomX / sizeX);
    else
        newZoom = zoom / (roomY / sizeY);
    if (newZoom < 1e-18) newZoom = 1.0;
    if (!std::isfinite(newZoom)) return false;

    // The model point drawn at the centre of the screen box, at the depth of the box centre.
    const Point3D centre = (boxMin + boxMax) * 0.5;
    Point3D centreWindow;
    if (!ProjectPoint(centre, modelView, projection, viewport, centreWindow)) return false;
    Point3D shown;
    const Point3D screenCentre((minX + maxX) / 2.0, (minY + maxY) / 2.0, centreWindow.z());
    if (!UnprojectPoint(screenCentre, modelView, projection, viewport, shown)) return false;

    out.OffsetX = -shown.x();
    out.OffsetY = -shown.y();
    out.OffsetZ = -shown.z();
    out.PanX = 0.0;
    out.PanY = 0.0;
    out.Zoom = newZoom;
    return true;
}
