// DlgQuickSettingsC: the quick-settings dialog: three quality presets written to the per-user
// configuration.
#pragma once

#include "platform/host/Dialog.h"
#include "viewer/control/LabelCtrlC.h"

class CSConfig;
class CTavoplexCtrl;

// A push button of a dialog, as the dialog's logic sees it.
class DialogButtonC {
public:
    void Attach(platform::host::Dialog* dialog, int id)
    {
        dialog_ = dialog;
        id_ = id;
    }
    void EnableWindow(bool enable)
    {
        if (platform::host::DialogControl* c = dialog_ != nullptr ? dialog_->find(id_) : nullptr)
            c->enabled = enable;
    }
    bool IsWindowEnabled() const
    {
        const platform::host::DialogControl* c = dialog_ != nullptr ? dialog_->find(id_) : nullptr;
        return c != nullptr && c->enabled;
    }

private:
    platform::host::Dialog* dialog_ = nullptr;
    int id_ = 0;
};

class DlgQuickSettingsC {
public:
    // The values each preset writes, in the order SHADOW, GEARS, SHADING, ANTIALIASING, METALLIC.
    static const int kPresetValues[3][5];
    static const char* const kQualityItems[5];

    explicit DlgQuickSettingsC(CTavoplexCtrl* parent);
    DlgQuickSettingsC(const DlgQuickSettingsC&) = delete;
    DlgQuickSettingsC& operator=(const DlgQuickSettingsC&) = delete;

    void SetConfig(CSConfig* config) { Config = config; }
    // Builds the dialog, initialises it and has the parent's host run it modally: IDOK,
    // IDCANCEL, or -1 when there is no host to show it.
    int DoModal();
    bool OnInitDialog();
    // Writes the chosen preset and saves the configuration; stays open without a choice.
    void OnOK();
    void OnCancel();
    // A click or key on a control, as the host reports it; the result that ends the dialog,
    // or 0 while it stays open.
    int OnCommand(int id);

    // The dialog's window: its controls and their state.
    platform::host::Dialog& Window() { return window_; }

    CSConfig* Config = nullptr;
    CTavoplexCtrl* ParentWindow = nullptr;
    int Preset = -1;
    DialogButtonC CancelButton;
    LabelCtrlC ProductLabel;
    LabelCtrlC TitleLabel;
    LabelCtrlC VersionLabel;
    LabelCtrlC LinkLabel;

private:
    // Moves Preset to the radio group (toControls) or back.
    void DoDataExchange(bool toControls);
    void EndDialog(int result) { result_ = result; }
    LabelCtrlC* LabelFor(int id);

    platform::host::Dialog window_;
    int result_ = 0;
};
