// ViewAnimationC: orientation captured at construction and the spherical interpolation.
#include "viewer/ui/ViewAnimationC.h"

ViewAnimationC::ViewAnimationC(TransformMatrix* target, const TransformMatrix& destination)
    : From(*target), To(destination), Target(target) {}

void ViewAnimationC::Apply(float t) {
    if (t >= 1.0f)
        *Target = To.toMatrix();
    else if (t <= 0.0f)
        *Target = From.toMatrix();
    else
        *Target = From.slerp(To, t).toMatrix();
}
