// CTavoplexCtrl, camera and view state: window-to-view unprojection, the boxes of the scene and of
// single instances, the camera that frames a box, and the three mouse moves (zoom, rotate, pan).
#include "geometry/display/FEDisplayPartListC.h"
#include "platform/host/Host.h"
#include "platform/host/Message.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/ui/CameraMath.h"

namespace {

const double kIdentity16[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

}  // namespace

bool CTavoplexCtrl::WindowToView(const Point2D& windowPoint, Point3D& viewPoint)
{
    OpenGLLock lock(*this, GLStep::AsksNoMemory);
    if (!lock)
        return false;
    const Point3D window(windowPoint.x(), WindowHeight - windowPoint.y(), 1.0);
    return UnprojectPoint(window, kIdentity16, ProjectionMatrix, Viewport, viewPoint);
}

Point3D CTavoplexCtrl::WindowToView(const Point2D& windowPoint)
{
    Point3D viewPoint;
    if (!WindowToView(windowPoint, viewPoint))
        return Point3D();
    return viewPoint;
}

void CTavoplexCtrl::ComputeBoundingBox(bool exploded, Point3D& min, Point3D& max, const FEDisplayPartRefC* instance)
{
    if (Parts == nullptr)
        return;
    MeasureInstances(*Parts, exploded, instance, min, max);
}

void CTavoplexCtrl::ComputeBoundingBoxes(bool exploded) { ComputeBoundingBox(exploded, SceneMin, SceneMax, nullptr); }

bool CTavoplexCtrl::ComputeFitCamera(const FEDisplayPartRefC* instance, double& offsetX, double& offsetY,
                                     double& offsetZ, double& panX, double& panY, double& zoom,
                                     const double* modelView16)
{
    ZoomPending = false;
    if (WindowWidth <= 0 || WindowHeight <= 0)
        return false;
    Point3D boxMin = SceneMin;
    Point3D boxMax = SceneMax;
    if (instance != nullptr)
        ComputeBoundingBox(Exploded, boxMin, boxMax, instance);
    FitCamera fit;
    if (!ComputeFitCameraValues(boxMin, boxMax, modelView16, ProjectionMatrix, Viewport, WindowWidth, WindowHeight,
                                Zoom, fit))
        return false;
    offsetX = fit.OffsetX;
    offsetY = fit.OffsetY;
    offsetZ = fit.OffsetZ;
    panX = fit.PanX;
    panY = fit.PanY;
    zoom = fit.Zoom;
    return true;
}

void CTavoplexCtrl::ZoomStep(double amount)
{
    // An empty scene box has no unit: the zoom stays, but the step still ends the view turn.
    ApplyZoomStep(Zoom, amount, SceneMin, SceneMax);
    ViewTurn = 0;
    InvalidateView();
}

void CTavoplexCtrl::RotateMove(int dx, int dy)
{
    Rotation = RotatedByDrag(Rotation, dx, dy);
    ViewTurn = 0;
    InvalidateView();
}

void CTavoplexCtrl::PanMove(const ControlPoint& last, int dx, int dy)
{
    // Before the first frame there is nothing to unproject through: the pan stays as it is.
    Point3D from, to;
    if (!WindowToView(Point2D(last.x, last.y), from) || !WindowToView(Point2D(last.x - dx, last.y - dy), to))
        return;
    PanX -= to.x() - from.x();
    PanY -= to.y() - from.y();
    ViewTurn = 0;
    InvalidateView();
}

void CTavoplexCtrl::InvalidateView()
{
    if (HostSite != nullptr)
        HostSite->requestRedraw();
}

void CTavoplexCtrl::RedrawViewNow()
{
    InvalidateView();
    if (HostSite != nullptr) {
        const platform::host::ClientSize size = HostSite->clientSize();
        if (size.width <= 0 || size.height <= 0)
            return;
    }
    WindowProc(platform::host::Message::paint());
}
