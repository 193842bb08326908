// FadeAnimationC: the transparency step of one instance.
#include "viewer/ui/FadeAnimationC.h"

#include "geometry/display/FEDisplayPartRefC.h"

void FadeAnimationC::Apply(float t)
{
    if (Instance != nullptr)
        Instance->SetTransparency(Start + (End - Start) * t);
}
