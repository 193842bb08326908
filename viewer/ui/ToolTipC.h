// ToolTipC: the part tool tip (for now what the control's construction and its mouse handlers
// need: its links to the control, the animations and the font, its timings and the rest state).
#pragma once

#include <cstdint>

#include "geometry/math/feColor.h"

class AnimationManagerC;
class BitmapFontC;
class CTavoplexCtrl;

class ToolTipC {
public:
    ToolTipC(CTavoplexCtrl* control, AnimationManagerC* animations, BitmapFontC* font, int restDelay, int fadeTime)
        : Control(control), Animations(animations), Font(font), RestDelay(restDelay), FadeTime(fadeTime)
    {
    }
    virtual ~ToolTipC() = default;
    ToolTipC(const ToolTipC&) = delete;
    ToolTipC& operator=(const ToolTipC&) = delete;

    // The pointer moved while no button is held: the rest starts again and the tip hides.
    void PointerMoved(uint32_t now, int x, int y)
    {
        RestTime = now;
        PointerX = x;
        PointerY = y;
        Shown = false;
    }
    // A button went down: no tip until Rearm.
    void Suppress() { Busy = true; }
    // The buttons are up again: the rest starts at the pointer.
    void Rearm(uint32_t now, int x, int y)
    {
        RestTime = now;
        PointerX = x;
        PointerY = y;
        Busy = false;
    }

    // Draws the tip as it stands, with the frame's matrices and viewport.
    void Draw(const feColor& fillColor, const feColor& lineColor, const double modelView[16],
              const double projection[16], const int viewport[4]);

    CTavoplexCtrl* Control;
    AnimationManagerC* Animations;
    BitmapFontC* Font;
    int RestDelay;  // ms the pointer rests before the tip shows
    int FadeTime;   // ms of the fade in and out
    uint32_t RestTime = 0;
    int PointerX = 0;
    int PointerY = 0;
    bool Busy = false;
    bool Shown = false;
};
