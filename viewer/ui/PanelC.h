// PanelC: an on-screen panel of buttons (for now only what the control's ownership needs).
#pragma once

class PanelC {
public:
    PanelC() = default;
    virtual ~PanelC() = default;
    PanelC(const PanelC&) = delete;
    PanelC& operator=(const PanelC&) = delete;

    // Starts the panel's fade (in, or out when reversed) over duration milliseconds.
    void StartAnimation(float duration, bool reverse);
    // Draws the panel as its fade stands, in a window of the given size.
    void DrawAnimated(int width, int height);
};
