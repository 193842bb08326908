// FadeAnimationC: changes the transparency of one part instance from a start to an end value.
#pragma once

#include "viewer/ui/AnimationC.h"

class FEDisplayPartRefC;

// The instance belongs to the loaded model; the animation is dropped, unapplied, before that
// model is released.
class FadeAnimationC : public AnimationC {
public:
    FadeAnimationC(FEDisplayPartRefC* instance, float start, float end) : Instance(instance), Start(start), End(end) {}
    // Transparency = start + (end - start) t.
    void Apply(float t) override;
    bool RefersToModel() const override { return true; }
    FEDisplayPartRefC* GetInstance() const { return Instance; }

private:
    FEDisplayPartRefC* Instance;
    float Start;
    float End;
};
