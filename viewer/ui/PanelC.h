// PanelC: an on-screen panel of buttons (for now only what the control's ownership needs).
#pragma once

class PanelC {
public:
    PanelC() = default;
    virtual ~PanelC() = default;
    PanelC(const PanelC&) = delete;
    PanelC& operator=(const PanelC&) = delete;
};
