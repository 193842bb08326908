// Camera arithmetic of the viewer: standard view orientations, the zoom step, projection of points
// through stored matrices and the camera values that frame a box. No OpenGL context is needed.
#pragma once

#include "math/Point3D.h"
#include "math/TransformMatrix.h"

class FEDisplayPartListC;
class FEDisplayPartRefC;

// The number of quarter-turn steps of the oblique views; `ViewTurn` cycles through 0..5.
constexpr int kViewTurnCount = 6;

// Zoom bounds: never above this before a step, never below the box unit over this after it.
constexpr double kMaxZoom = 300000.0;
constexpr double kMinZoomDivisor = 10000.0;

// Degrees of rotation per pixel of a rotate drag.
constexpr double kRotateDegreesPerPixel = 0.45;

// Box of the placed instances of a model: of `only` when it is given, else of all of them. Each
// instance whose part has a box adds the eight corners of that box under its exploded placement
// (`exploded` true) or its assembled one, never the animated current placement. Instances whose
// part index names no part are skipped. When nothing was measured, or the box is not finite or
// has no size, the box is -50..50 on every axis.
void MeasureInstances(const FEDisplayPartListC& parts, bool exploded, const FEDisplayPartRefC* only, Point3D& min,
                      Point3D& max);

// Orientation of a standard view: 0 front, 1 back, 2 left, 3 right, 4 top, 5 bottom, 6 to 8 the
// oblique views (7 the isometric one) at quarter-turn `viewTurn` (0..5; used by 6 to 8 only). Any
// other view number gives the front view, any other turn no turn. The rows of the result are the
// model directions that point right, up and towards the viewer.
TransformMatrix StandardViewMatrix(int view, int viewTurn);

// Box unit of the zoom moves: the scene diagonal over 160.
double ZoomBoxUnit(const Point3D& sceneMin, const Point3D& sceneMax);

// One zoom step by `amount` (drag pixels, or a wheel delta over 12). Positive amounts enlarge the
// zoom (the model gets smaller). Far from the model the step is amount times the box unit; within
// half the scene diagonal it shrinks in proportion to the zoom. The zoom is capped at kMaxZoom
// before the step and kept at or above unit / kMinZoomDivisor after it.
// A scene box without size (or not finite) has no unit: the zoom is left alone and the result is
// false. True when the step was taken.
bool ApplyZoomStep(double& zoom, double amount, const Point3D& sceneMin, const Point3D& sceneMax);

// Rotation after a rotate drag of (dx, dy) window pixels: moving right turns the model's front to
// the right, moving down tips its top towards the viewer.
TransformMatrix RotatedByDrag(const TransformMatrix& rotation, double dx, double dy);

// gluProject / gluUnProject through a column-major modelview and projection and a viewport
// (x, y, width, height). Both fail (false, `out` untouched) on a viewport without area, on a
// singular transform and on a result that is not finite.
bool ProjectPoint(const Point3D& p, const double* modelView, const double* projection, const int* viewport,
                  Point3D& out);
bool UnprojectPoint(const Point3D& window, const double* modelView, const double* projection, const int* viewport,
                    Point3D& out);

// The camera values that frame a box: the view offset (minus the model point shown at the centre),
// the pan (always 0, 0) and the zoom.
struct FitCamera {
    double OffsetX = 0.0;
    double OffsetY = 0.0;
    double OffsetZ = 0.0;
    double PanX = 0.0;
    double PanY = 0.0;
    double Zoom = 0.0;
};

// Camera that frames the box [boxMin, boxMax] seen through `modelView` and the stored projection
// and viewport of a window of the given size whose current zoom is `zoom`: the box ends centred,
// filling the window but for a 4-pixel margin on each side along its limiting direction.
// False, and `out` untouched, when the window has no area or the box cannot be projected (empty
// viewport, singular matrices). A box that projects to a single point gives the zoom 1.0.
bool ComputeFitCameraValues(const Point3D& boxMin, const Point3D& boxMax, const double* modelView,
                            const double* projection, const int* viewport, int windowWidth, int windowHeight,
                            double zoom, FitCamera& out);
