// ToolTipC: the tip that shows the name of the part under a resting pointer, and
// ToolTipFadeAnimationC, which fades it in and out.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/RWCString.h"
#include "math/feColor.h"
#include "viewer/ui/AnimationC.h"

class AnimationManagerC;
class BitmapFontC;
class ToolTipC;

// Writes its progress into the tip's opacity; while it runs the tip is busy. Constructing one
// sets the tip busy. A fade whose tip has gone does nothing.
class ToolTipFadeAnimationC : public AnimationC {
public:
    explicit ToolTipFadeAnimationC(ToolTipC* tip);
    ~ToolTipFadeAnimationC() override;
    void Apply(float t) override;
    ToolTipC* GetToolTip() const { return Tip; }

private:
    friend class ToolTipC;
    ToolTipC* Tip;
};

// Window positions given to the tip are pixels with y from the top; ticks are milliseconds.
class ToolTipC {
public:
    static constexpr uint32_t NoTime = 0xFFFFFFFFu;

    // The name of the part under a window point, or empty. The control gives its picking here,
    // so that the tip needs nothing else of it.
    using NameLookup = std::function<RWCString(int x, int y)>;

    // An empty partNameAt: no part is ever found.
    ToolTipC(NameLookup partNameAt, AnimationManagerC* animations, BitmapFontC* font, unsigned restDelay,
             unsigned fadeDuration);
    // Fades still listed with the animation manager are cut loose and do nothing afterwards.
    ~ToolTipC();
    ToolTipC(const ToolTipC&) = delete;
    ToolTipC& operator=(const ToolTipC&) = delete;

    // The pointer moved (no button held): a new rest starts and a visible tip fades out.
    void PointerMoved(uint32_t now, int x, int y);
    // A button went down: no new tips and no fade-out until Rearm.
    void Suppress();
    // A button came up at (x, y): the rest counts from now; no fade.
    void Rearm(uint32_t now, int x, int y);
    void Restart(uint32_t now);
    // True when a tip was started: the pointer has rested longer than the rest delay, no fade
    // runs and no tip is visible.
    bool Tick(uint32_t now);
    // Text = the name of the part under (x, y), or empty.
    void BuildText(int x, int y);
    void FadeIn();
    void FadeOut();
    // The tip's box just above and to the right of the pointer, fill and line colours taking
    // the tip's opacity. Needs the control's OpenGL context current.
    void Draw(feColor fill, feColor line, const double modelView[16], const double projection[16],
              const int viewport[4]) const;

    // Replaces the lookup BuildText uses (tests without a model).
    void SetNameLookup(NameLookup lookup) { Lookup = std::move(lookup); }

    unsigned RestDelay;
    unsigned FadeDuration;
    uint32_t RestTime = NoTime;
    int PointerX = -1;
    int PointerY = -1;
    float Alpha = 0.0f;
    bool Busy = false;
    bool Shown = true;
    BitmapFontC* Font;
    AnimationManagerC* Animations;
    RWCString Text;

private:
    friend class ToolTipFadeAnimationC;
    // Fades handed to the manager and not yet deleted by it.
    std::vector<ToolTipFadeAnimationC*> Fades;
    NameLookup Lookup;
};
