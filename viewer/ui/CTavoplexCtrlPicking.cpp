// CTavoplexCtrl: picking: window lengths measured in the model.
#include "viewer/control/CTavoplexCtrl.h"

double CTavoplexCtrl::PixelsToWorld(int pixels)
{
    return (WindowToView(Point2D(0.0, pixels)) - WindowToView(Point2D(0.0, 0.0))).length();
}
