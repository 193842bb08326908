// ViewAnimationC: turns the view rotation towards a destination along the shortest arc.
#pragma once

#include "math/Quaternion.h"
#include "math/TransformMatrix.h"
#include "viewer/ui/AnimationC.h"

// The target (the control's `Rotation`) is not owned. Its orientation is read at construction;
// only the rotation block of either matrix counts, and the target's translation ends at zero.
class ViewAnimationC : public AnimationC {
public:
    ViewAnimationC(TransformMatrix* target, const TransformMatrix& destination);

    // target = the rotation of slerp(from, to, t); at t = 1 exactly the destination's rotation.
    void Apply(float t) override;

private:
    Quaternion From;
    Quaternion To;
    TransformMatrix* Target;
};
