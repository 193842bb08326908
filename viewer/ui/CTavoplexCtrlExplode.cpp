// CTavoplexCtrl, explode, transparency fades and view toggles: the explode toggle with its
// refitted camera, the fades of single parts and of all parts, the help panel and display modes.
#include "geometry/display/FEDisplayPartListC.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/ui/CameraAnimationC.h"
#include "viewer/ui/FadeAnimationC.h"
#include "viewer/ui/PanelC.h"
#include "viewer/ui/TransformAnimationC.h"

namespace {

constexpr uint32_t kExplodeMs = 1000;
constexpr uint32_t kFadeMs = 250;
constexpr float kHelpFadeMs = 350.0f;

}  // namespace

void CTavoplexCtrl::ToggleExplode()
{
    Exploded = !Exploded;
    if (Parts != nullptr) {
        // Turning explode on runs each instance from assembled (0) to exploded (1); turning it
        // off runs the same way back.
        for (size_t i = 0; i < Parts->instanceCount(); ++i)
            Animations.Add(new TransformAnimationC(Parts->getInstance(i)), kExplodeMs, 0, !Exploded, true);
    }
    ComputeBoundingBoxes(Exploded);
    double offsetX, offsetY, offsetZ, panX, panY, zoom;
    if (!ComputeFitCamera(nullptr, offsetX, offsetY, offsetZ, panX, panY, zoom, ModelViewMatrix))
        return;
    Animations.Add(new CameraAnimationC(&ViewOffset.component(0), &ViewOffset.component(1), &ViewOffset.component(2),
                                        &PanX, &PanY, &Zoom, offsetX, offsetY, offsetZ, 0.0, 0.0, zoom),
                   kExplodeMs, 0, false, true);
}

void CTavoplexCtrl::FadePart(FEDisplayPartRefC* instance, float target)
{
    if (instance == nullptr)
        return;
    Animations.Add(new FadeAnimationC(instance, instance->GetTransparency(), target), kFadeMs, 0, false, true);
}

void CTavoplexCtrl::FadeAllParts(float target)
{
    if (Parts == nullptr)
        return;
    for (size_t i = 0; i < Parts->instanceCount(); ++i)
        FadePart(Parts->getInstance(i), target);
}

void CTavoplexCtrl::ToggleHelpPanel()
{
    HelpShown = !HelpShown;
    if (HelpPanel != nullptr)
        HelpPanel->StartAnimation(kHelpFadeMs, !HelpShown);
    RedrawViewNow();
}

void CTavoplexCtrl::SetDisplayMode(int mode)
{
    DisplayMode = mode;
    RedrawViewNow();
}
