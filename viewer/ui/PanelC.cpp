// PanelC: the panel's fade and drawing.
#include "viewer/ui/PanelC.h"

void PanelC::StartAnimation(float duration, bool reverse)
{
    if (Animations != nullptr)
        Animations->Add(new ValueAnimationC(&Fade), duration > 0.0f ? uint32_t(duration) : 0u, 0, reverse, false);
}

// Panels have no buttons or images yet, so there is nothing to draw.
void PanelC::DrawAnimated(int, int) {}
