// TransformAnimationC: the explode step of one instance.
#include "viewer/ui/TransformAnimationC.h"

#include "geometry/display/FEDisplayPartRefC.h"

void TransformAnimationC::Apply(float t)
{
    if (Instance != nullptr)
        Instance->SetExplodeFraction(t);
}
