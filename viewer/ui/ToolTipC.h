// ToolTipC: the part tool tip (for now only what the control's construction needs: its
// links to the control, the animations and the font, and its timings).
#pragma once

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

    // Draws the tip as it stands, with the frame's matrices and viewport.
    void Draw(const feColor& fillColor, const feColor& lineColor, const double modelView[16],
              const double projection[16], const int viewport[4]);

    CTavoplexCtrl* Control;
    AnimationManagerC* Animations;
    BitmapFontC* Font;
    int RestDelay;  // ms the pointer rests before the tip shows
    int FadeTime;   // ms of the fade in and out
};
