// CTavoplexCtrl: the quality settings from the per-user configuration, and the settings
// dialog that a load opens when the configuration holds no choice yet.
#include "platform/host/Dialog.h"
#include "platform/host/Host.h"
#include "services/config/CSConfigItem.h"
#include "services/config/CSConfigVal.h"
#include "viewer/control/CTavoplexCtrl.h"

namespace {

// The presets by STANDARD_SETTING: SHADOW, GEARS, SHADING, ANTIALIASING, METALLIC.
const char* const kQualityItems[5] = {"SHADOW", "GEARS", "SHADING", "ANTIALIASING", "METALLIC"};
const int kPresets[3][5] = {
    {2, 1, 2, 1, 1},  // high detail
    {1, 1, 2, 1, 0},  // normal detail
    {0, 0, 1, 0, 0},  // low detail
};
constexpr int kFirstPresetId = 210;

}  // namespace

void CTavoplexCtrl::ApplyQualitySettings()
{
    int32_t* const fields[5] = {&ShadowQuality, &GearsEnabled, &Shading, &Antialiasing, &Metallic};
    for (int i = 0; i < 5; ++i)
        if (CSConfigItem* item = Config.findItem(kQualityItems[i], "GFX"))
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
    if (HostSite == nullptr)
        return;
    using platform::host::DialogControl;
    using platform::host::DialogControlKind;
    platform::host::Dialog dialog;
    dialog.caption = "3D Viewer Quick Settings";
    dialog.width = 285;
    dialog.height = 185;
    DialogControl high{kFirstPresetId, DialogControlKind::RadioButton,
                       "High detail (Fast processor, fast graphic adapter)", 7, 85, 271, 10};
    high.groupStart = true;
    dialog.controls = {
        DialogControl{216, DialogControlKind::Label, "Stellomar", 7, 7, 271, 11},
        DialogControl{217, DialogControlKind::Label, "Version: 1.0.0.32", 7, 23, 271, 11},
        DialogControl{219, DialogControlKind::Label, "First start: 3D Viewer Quick Settings", 7, 66, 271, 11},
        high,
        DialogControl{kFirstPresetId + 1, DialogControlKind::RadioButton,
                      "Normal detail (Medium processor, medium graphic adapter)", 7, 105, 271, 10},
        DialogControl{kFirstPresetId + 2, DialogControlKind::RadioButton,
                      "Low detail (Slow processor, slow graphic adapter)", 7, 125, 271, 10},
        DialogControl{platform::host::DialogOk, DialogControlKind::DefaultPushButton, "OK", 88, 164, 50, 14},
    };
    // OK without a choice keeps the dialog open.
    dialog.onCommand = [](platform::host::Dialog& d, int id) {
        if (id != platform::host::DialogOk)
            return 0;
        for (int i = 0; i < 3; ++i)
            if (const DialogControl* c = d.find(kFirstPresetId + i); c != nullptr && c->checked)
                return platform::host::DialogOk;
        return 0;
    };
    if (HostSite->runModalDialog(dialog) != platform::host::DialogOk)
        return;
    int preset = -1;
    for (int i = 0; i < 3; ++i)
        if (const DialogControl* c = dialog.find(kFirstPresetId + i); c != nullptr && c->checked)
            preset = i;
    if (preset < 0)
        return;
    Config.getValue("STANDARD_SETTING", "GFX", "")->setInt(preset);
    for (int i = 0; i < 5; ++i)
        Config.getValue(kQualityItems[i], "GFX", "")->setInt(kPresets[preset][i]);
    Config.save();
}
