// PanelC: an on-screen panel of buttons (for now what the control's ownership, the frames and
// the mouse handlers need: hover over the panel's area, the press and click entries, the fade).
#pragma once

#include "viewer/ui/AnimationManagerC.h"

class PanelC {
public:
    PanelC() = default;
    explicit PanelC(AnimationManagerC* animations) : Animations(animations) {}
    virtual ~PanelC() = default;
    PanelC(const PanelC&) = delete;
    PanelC& operator=(const PanelC&) = delete;

    // Mouse entries, in window pixels with y upwards; button codes 0 left, 2 right.
    void OnMouseMove(int x, int y)
    {
        Hovered = PanelX <= x && x <= PanelX + PanelWidth && PanelY <= y && y <= PanelY + PanelHeight;
    }
    void OnMouseDown(int, int, int) {}
    void OnClick(int, int x, int y) { OnMouseMove(x, y); }
    bool IsHovered() const { return Hovered; }

    // Starts the panel's fade (in, or out when reversed) over duration milliseconds.
    void StartAnimation(float duration, bool reverse);
    float GetFade() const { return Fade; }
    // Draws the panel as its fade stands, in a window of the given size.
    void DrawAnimated(int width, int height);

    AnimationManagerC* Animations = nullptr;
    float Fade = 0.0f;
    bool Hovered = false;
    // The panel's area at its last draw.
    float PanelX = 0.0f, PanelY = 0.0f, PanelWidth = 0.0f, PanelHeight = 0.0f;
};
