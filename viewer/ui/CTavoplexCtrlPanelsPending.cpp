// CTavoplexCtrl: stand-ins for operations the panels and the tool tip call whose own files
// have not landed yet (picking, the view toggles, the settings dialog).
// Each goes when the real one arrives.
#include "platform/host/Dialog.h"
#include "platform/host/Host.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/ui/PanelC.h"

FEDisplayPartRefC* CTavoplexCtrl::PickPart(const Point2D&, bool) { return nullptr; }

void CTavoplexCtrl::ToggleExplode()
{
    Exploded = !Exploded;
    ComputeBoundingBoxes(Exploded);
    AddFitAnimation(nullptr, ModelViewMatrix, 1000);
}

void CTavoplexCtrl::ToggleHelpPanel()
{
    HelpShown = !HelpShown;
    if (HelpPanel != nullptr)
        HelpPanel->StartAnimation(350.0f, !HelpShown);
    RedrawViewNow();
}

void CTavoplexCtrl::SetDisplayMode(int mode)
{
    DisplayMode = mode;
    RedrawViewNow();
}

void CTavoplexCtrl::OpenQuickSettings()
{
    if (HostSite == nullptr)
        return;
    platform::host::Dialog dialog;
    dialog.caption = "3D Viewer Quick Settings";
    HostSite->runModalDialog(dialog);
    RedrawViewNow();
}
