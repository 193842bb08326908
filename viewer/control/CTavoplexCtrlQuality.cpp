// CTavoplexCtrl: the quality settings from the per-user configuration, and the quick-settings
// dialog that a first load and the options button open.
#include "services/config/CSConfigItem.h"
#include "services/config/CSConfigVal.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/control/DlgQuickSettingsC.h"

void CTavoplexCtrl::ApplyQualitySettings()
{
    int32_t* const fields[5] = {&ShadowQuality, &GearsEnabled, &Shading, &Antialiasing, &Metallic};
    for (int i = 0; i < 5; ++i)
        if (CSConfigItem* item = Config.findItem(DlgQuickSettingsC::kQualityItems[i], "GFX"))
            *fields[i] = item->getValue()->getInt();
    switch (Shading) {
    case 0:
        DisplayMode = 1;
        break;
    case 1:
        DisplayMode = 3;
        break;
    case 2:
        DisplayMode = 4;
        break;
    default:
        break;
    }
    RedrawViewNow();
}

void CTavoplexCtrl::RunFirstStartSettings()
{
    DlgQuickSettingsC dialog(this);
    dialog.SetConfig(&Config);
    dialog.DoModal();
}

void CTavoplexCtrl::OpenQuickSettings()
{
    DlgQuickSettingsC dialog(this);
    dialog.SetConfig(&Config);
    dialog.DoModal();
    ApplyQualitySettings();
    RedrawViewNow();
}
