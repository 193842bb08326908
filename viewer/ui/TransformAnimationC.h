// TransformAnimationC: moves one part instance between its assembled and exploded placement.
#pragma once

#include "viewer/ui/AnimationC.h"

class FEDisplayPartRefC;

// The instance belongs to the loaded model; the animation is dropped, unapplied, before that
// model is released.
class TransformAnimationC : public AnimationC {
public:
    explicit TransformAnimationC(FEDisplayPartRefC* instance) : Instance(instance) {}
    // t = 0 is the assembled, t = 1 the exploded translation; the rotation is left alone.
    void Apply(float t) override;
    bool RefersToModel() const override { return true; }
    FEDisplayPartRefC* GetInstance() const { return Instance; }

private:
    FEDisplayPartRefC* Instance;
};
