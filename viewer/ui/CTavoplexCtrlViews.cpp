// CTavoplexCtrl, standard views and zoom to fit: the view buttons' orientations with the turn cycle
// of the oblique views, the animated fit-and-rotate, and the zoom request that a frame carries out.
#include <cmath>

#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/ui/CameraAnimationC.h"
#include "viewer/ui/CameraMath.h"
#include "viewer/ui/ViewAnimationC.h"

namespace {

bool isObliqueView(int view) { return view >= 6 && view <= 8; }

uint32_t durationMs(int duration) { return duration > 0 ? uint32_t(duration) : 0u; }

bool hasFiniteRotation(const TransformMatrix& m)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (!std::isfinite(m.at(i, j)))
                return false;
    return true;
}

}  // namespace

void CTavoplexCtrl::SetStandardView(int view, bool fit, int duration, bool cycle)
{
    if (isObliqueView(view) && !cycle)
        ViewTurn = 0;
    const int turn = ViewTurn;
    const TransformMatrix orientation = StandardViewMatrix(view, turn);
    AnimateToRotation(orientation, fit, duration);
    if (isObliqueView(view) && cycle)
        ViewTurn = turn + 1;
    if (ViewTurn >= kViewTurnCount || ViewTurn < 0)
        ViewTurn = 0;
}

void CTavoplexCtrl::AnimateToRotation(const TransformMatrix& destination, bool fit, int duration)
{
    ViewTurn = 0;
    // A matrix with entries that are no numbers would leave the view unusable for good.
    if (!hasFiniteRotation(destination))
        return;
    if (fit) {
        // Seen through the destination rotation alone: the orthographic fit does not depend on
        // pan, offset or depth, so this frames the scene as it will be seen at the end.
        double modelView[16];
        destination.getColumnMajor(modelView);
        AddFitAnimation(nullptr, modelView, duration);
    }
    Animations.Add(new ViewAnimationC(&Rotation, destination), durationMs(duration), 0, false, true);
    RedrawViewNow();
}

void CTavoplexCtrl::RequestZoom(FEDisplayPartRefC* instance, int duration)
{
    ZoomPending = true;
    ZoomDuration = duration;
    ZoomPart = instance;
    RedrawViewNow();
}

void CTavoplexCtrl::RunPendingZoom()
{
    if (!ZoomPending)
        return;
    AddFitAnimation(ZoomPart, ModelViewMatrix, ZoomDuration);
}

bool CTavoplexCtrl::AddFitAnimation(const FEDisplayPartRefC* instance, const double* modelView16, int duration)
{
    double offsetX, offsetY, offsetZ, panX, panY, zoom;
    // Without a fit (a window without area, matrices not set yet) the camera stays where it is.
    if (!ComputeFitCamera(instance, offsetX, offsetY, offsetZ, panX, panY, zoom, modelView16))
        return false;
    Animations.Add(new CameraAnimationC(&ViewOffset.component(0), &ViewOffset.component(1), &ViewOffset.component(2),
                                        &PanX, &PanY, &Zoom, offsetX, offsetY, offsetZ, panX, panY, zoom),
                   durationMs(duration), 0, false, true);
    return true;
}
