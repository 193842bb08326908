// DlgQuickSettingsC: initialisation, the preset group, OK and the label clicks.
#include "viewer/control/DlgQuickSettingsC.h"

#include "platform/host/Host.h"
#include "services/config/CSConfig.h"
#include "services/config/CSConfigItem.h"
#include "services/config/CSConfigVal.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/control/TavoplexResources.h"

const int DlgQuickSettingsC::kPresetValues[3][5] = {
    {2, 1, 2, 1, 1},  // high detail
    {1, 1, 2, 1, 0},  // normal detail
    {0, 0, 1, 0, 0},  // low detail
};
const char* const DlgQuickSettingsC::kQualityItems[5] = {"SHADOW", "GEARS", "SHADING", "ANTIALIASING", "METALLIC"};

namespace {
constexpr int kPresetCount = 3;
constexpr int kGroupSize = 4;  // 210 to 213; the last (user settings) is never shown
}  // namespace

DlgQuickSettingsC::DlgQuickSettingsC(CTavoplexCtrl* parent) : ParentWindow(parent) {}

int DlgQuickSettingsC::DoModal()
{
    platform::host::Host* host = ParentWindow != nullptr ? ParentWindow->GetHost() : nullptr;
    if (host == nullptr)
        return -1;
    window_ = LoadDialogResource(IDD_QUICK_SETTINGS);
    window_.onCommand = [this](platform::host::Dialog&, int id) { return OnCommand(id); };
    window_.onTimer = [this](platform::host::Dialog&, int controlId, unsigned timerId) {
        if (LabelCtrlC* label = LabelFor(controlId))
            label->OnTimer(timerId);
    };
    result_ = 0;
    OnInitDialog();
    const int result = host->runModalDialog(window_);
    window_.onCommand = nullptr;
    window_.onTimer = nullptr;
    return result;
}

LabelCtrlC* DlgQuickSettingsC::LabelFor(int id)
{
    switch (id) {
    case IDC_PRODUCT:
        return &ProductLabel;
    case IDC_TITLE:
        return &TitleLabel;
    case IDC_VERSION:
        return &VersionLabel;
    case IDC_LINK:
        return &LinkLabel;
    default:
        return nullptr;
    }
}

bool DlgQuickSettingsC::OnInitDialog()
{
    CancelButton.Attach(&window_, IDCANCEL);
    ProductLabel.Attach(&window_, IDC_PRODUCT);
    TitleLabel.Attach(&window_, IDC_TITLE);
    VersionLabel.Attach(&window_, IDC_VERSION);
    LinkLabel.Attach(&window_, IDC_LINK);

    Preset = -1;
    CSConfigItem* stored = Config != nullptr ? Config->findItem("STANDARD_SETTING", "GFX") : nullptr;
    if (stored != nullptr) {
        const int value = stored->getValue()->getInt();
        // A stored value that names no preset checks nothing; the user picks one again.
        Preset = value >= 0 && value < kPresetCount ? value : -1;
    }

    for (LabelCtrlC* label : {&ProductLabel, &TitleLabel}) {
        label->SetBkColor(0x9AB5CA);   // RGB(154, 181, 202)
        label->SetTextColor(0x01304D); // RGB(1, 48, 77)
        label->SetBorder(true);
    }
    LinkLabel.SetLink(true);
    LinkLabel.SetTextColor(0x0000FF);
    LinkLabel.SetFontUnderline(true);
    LinkLabel.SetLinkCursor(platform::host::Cursor::Hand);

    // A first start (no choice stored yet) must end with a choice.
    if (stored == nullptr) {
        CancelButton.EnableWindow(false);
        TitleLabel.SetText(RWCString("First start: ") + TitleLabel.GetText());
    }
    DoDataExchange(true);
    return true;
}

void DlgQuickSettingsC::DoDataExchange(bool toControls)
{
    if (toControls) {
        for (int i = 0; i < kGroupSize; ++i)
            if (platform::host::DialogControl* c = window_.find(IDC_RADIO_HIGH + i))
                c->checked = (i == Preset);
        return;
    }
    Preset = -1;
    for (int i = 0; i < kGroupSize; ++i)
        if (const platform::host::DialogControl* c = window_.find(IDC_RADIO_HIGH + i); c != nullptr && c->checked)
            Preset = i;
}

void DlgQuickSettingsC::OnOK()
{
    DoDataExchange(false);
    // Only the three presets have values to write; with none chosen the dialog stays open.
    if (Preset < 0 || Preset >= kPresetCount)
        return;
    if (Config != nullptr) {
        Config->getValue("STANDARD_SETTING", "GFX", nullptr)->setInt(Preset);
        for (int i = 0; i < 5; ++i)
            Config->getValue(kQualityItems[i], "GFX", nullptr)->setInt(kPresetValues[Preset][i]);
        // The save replaces the file whole or not at all; when it fails the choice still
        // holds in memory for the running control.
        Config->save();
    }
    EndDialog(IDOK);
}

void DlgQuickSettingsC::OnCancel() { EndDialog(IDCANCEL); }

int DlgQuickSettingsC::OnCommand(int id)
{
    // A label that takes clicks (the link) opens its text first.
    if (LabelCtrlC* label = LabelFor(id)) {
        const platform::host::DialogControl* c = window_.find(id);
        if (c != nullptr && c->notify)
            label->OnLButtonDown();
    }
    switch (id) {
    case IDOK:
        OnOK();
        break;
    case IDCANCEL:
        if (CancelButton.IsWindowEnabled())
            OnCancel();
        break;
    default:
        // The advanced button and the product and version labels do nothing.
        break;
    }
    const int result = result_;
    result_ = 0;
    return result;
}
