// CTavoplexCtrl: the turning gears shown while a model loads.
#include "viewer/control/CTavoplexCtrl.h"

// Not drawn yet: the frames already call this pass in its places.
void CTavoplexCtrl::DrawGears(float) {}
