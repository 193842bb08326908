// CameraAnimationC: construction (start values captured) and the linear move of the six values.
#include "viewer/ui/CameraAnimationC.h"

CameraAnimationC::CameraAnimationC(double* offsetX, double* offsetY, double* offsetZ, double* panX, double* panY,
                                   double* zoom, double endOffsetX, double endOffsetY, double endOffsetZ,
                                   double endPanX, double endPanY, double endZoom)
    : Targets{offsetX, offsetY, offsetZ, panX, panY, zoom},
      End{endOffsetX, endOffsetY, endOffsetZ, endPanX, endPanY, endZoom} {
    for (int i = 0; i < kCount; ++i) Start[i] = *Targets[i];
}

void CameraAnimationC::Apply(float t) {
    for (int i = 0; i < kCount; ++i) {
        if (t >= 1.0f)
            *Targets[i] = End[i];
        else if (t <= 0.0f)
            *Targets[i] = Start[i];
        else
            *Targets[i] = Start[i] + (End[i] - Start[i]) * t;
    }
}
