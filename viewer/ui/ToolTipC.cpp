// ToolTipC: rest timing, the name under the pointer, the fades and the drawing of the tip.
#include "viewer/ui/ToolTipC.h"

#include <algorithm>

#include "viewer/ui/AnimationManagerC.h"
#include "viewer/ui/BitmapFontC.h"

ToolTipFadeAnimationC::ToolTipFadeAnimationC(ToolTipC* tip) : Tip(tip)
{
    if (Tip != nullptr) {
        Tip->Busy = true;
        Tip->Fades.push_back(this);
    }
}

ToolTipFadeAnimationC::~ToolTipFadeAnimationC()
{
    if (Tip != nullptr)
        std::erase(Tip->Fades, this);
}

void ToolTipFadeAnimationC::Apply(float t)
{
    if (Tip == nullptr)
        return;
    Tip->Alpha = t;
    // The manager hands exactly 0 or 1 at the ends, eased or not.
    const float v = GetReverse() ? 1.0f - t : t;
    if (v == 1.0f)
        Tip->Busy = false;
}

ToolTipC::ToolTipC(NameLookup partNameAt, AnimationManagerC* animations, BitmapFontC* font, unsigned restDelay,
                   unsigned fadeDuration)
    : RestDelay(restDelay),
      FadeDuration(fadeDuration),
      Font(font),
      Animations(animations),
      Lookup(std::move(partNameAt))
{
}

ToolTipC::~ToolTipC()
{
    for (ToolTipFadeAnimationC* fade : Fades)
        fade->Tip = nullptr;
}

void ToolTipC::PointerMoved(uint32_t now, int x, int y)
{
    RestTime = now;
    PointerX = x;
    PointerY = y;
    Shown = false;
    FadeOut();
}

void ToolTipC::Suppress()
{
    Busy = true;
    FadeOut();
}

void ToolTipC::Rearm(uint32_t now, int x, int y)
{
    RestTime = now;
    PointerX = x;
    PointerY = y;
    Busy = false;
}

void ToolTipC::Restart(uint32_t now)
{
    RestTime = now;
    FadeOut();
}

bool ToolTipC::Tick(uint32_t now)
{
    if (Shown)
        return false;
    if (Busy || RestTime == NoTime)
        return false;
    if (Alpha != 0.0f)
        return false;
    if (uint32_t(now - RestTime) <= RestDelay)
        return false;
    BuildText(PointerX, PointerY);
    FadeIn();
    Shown = true;
    return true;
}

void ToolTipC::BuildText(int x, int y)
{
    Text = Lookup ? Lookup(x, y) : RWCString("");
}

void ToolTipC::FadeIn()
{
    if (Text.isNull() || Animations == nullptr)
        return;
    Animations->Add(new ToolTipFadeAnimationC(this), FadeDuration, 0, false, true);
}

void ToolTipC::FadeOut()
{
    if (Busy || Alpha <= 0.0f || Animations == nullptr)
        return;
    Animations->Add(new ToolTipFadeAnimationC(this), FadeDuration, 0, true, true);
}

void ToolTipC::Draw(feColor fill, feColor line, const double modelView[16], const double projection[16],
                    const int viewport[4]) const
{
    if (Alpha <= 0.0f || Text.isNull() || Font == nullptr)
        return;
    fill.setAlpha(Alpha);
    line.setAlpha(Alpha);
    BitmapFontC::PushOrtho2D(viewport);
    // Left-aligned, top-aligned with y measured down from the top: the box's lower-left
    // corner sits one pixel below the pointer's row.
    Font->DrawLabel(Text, true, true, true, 0, 2, PointerX - 2, Font->GetHeight() - PointerY - 2, 1.0f, 0, 0, line,
                    fill, modelView, projection, viewport);
    BitmapFontC::PopOrtho2D();
}
