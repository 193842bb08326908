// PanelC: an on-screen panel of buttons (for now what the control's ownership and its mouse
// handlers need: hover over the panel's area, the press and click entries and the fade).
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

    // Fades the panel in (reverse: out) over the duration in ms.
    void StartAnimation(float durationMs, bool reverse)
    {
        if (Animations != nullptr)
            Animations->Add(new ValueAnimationC(&Fade), durationMs > 0.0f ? uint32_t(durationMs) : 0u, 0, reverse,
                            false);
    }
    float GetFade() const { return Fade; }

    AnimationManagerC* Animations = nullptr;
    float Fade = 0.0f;
    bool Hovered = false;
    // The panel's area at its last draw.
    float PanelX = 0.0f, PanelY = 0.0f, PanelWidth = 0.0f, PanelHeight = 0.0f;
};
