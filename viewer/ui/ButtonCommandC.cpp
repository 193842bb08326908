// ButtonCommandC: the panel buttons' commands on the control.
#include "viewer/ui/ButtonCommandC.h"

#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/control/UrlLauncherC.h"

void ButtonCommandC::Redraw()
{
    if (Control != nullptr)
        Control->RedrawViewNow();
}

void ButtonCommandC::OnPanelCommand(int id)
{
    if (Control == nullptr)
        return;
    switch (id) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        // Front, back, left, right, top, bottom.
        Control->SetStandardView(id - 1, true, 350, false);
        break;
    case 7:
        Control->SetStandardView(7, true, 350, true);
        break;
    case 8:
    case 15:
        Control->ToggleHelpPanel();
        break;
    case 9:
        Control->ToggleExplode();
        break;
    case 10:
        Control->RequestZoom(nullptr, 350);
        break;
    case 11:
        Control->SetDisplayMode(0);
        break;
    case 12:
        Control->SetDisplayMode(1);
        break;
    case 13:
        Control->SetDisplayMode(3);
        break;
    case 14:
        Control->SetDisplayMode(4);
        break;
    case 16:
        // The registry's browser command when there is one, else the system's opener; never
        // through a shell.
        UrlLauncherC().Open(LogoAddress, true);
        break;
    case 17:
        Control->OpenQuickSettings();
        break;
    default:
        break;
    }
}
