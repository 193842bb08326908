// CameraAnimationC: moves the view offset, the pan and the zoom of the camera towards new values.
#pragma once

#include "viewer/ui/AnimationC.h"

// The six targets are not owned; they must outlive the animation (they are members of the control,
// which owns the animation manager). Start values are read when the object is constructed, so an
// animation added while another one runs starts from the values of that moment.
class CameraAnimationC : public AnimationC {
public:
    CameraAnimationC(double* offsetX, double* offsetY, double* offsetZ, double* panX, double* panY, double* zoom,
                     double endOffsetX, double endOffsetY, double endOffsetZ, double endPanX, double endPanY,
                     double endZoom);

    // Each target = start + (end - start) t; at t = 1 exactly the end value, so a finished
    // animation lands on its target without rounding drift.
    void Apply(float t) override;

private:
    static constexpr int kCount = 6;
    double* Targets[kCount];
    double Start[kCount];
    double End[kCount];
};
