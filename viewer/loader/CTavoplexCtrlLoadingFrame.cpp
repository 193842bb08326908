// CTavoplexCtrl: the frame drawn while a model loads.
#include "viewer/control/CTavoplexCtrl.h"

// Nothing is drawn or loaded yet: frames while loading come here instead of the scene frame.
void CTavoplexCtrl::DrawLoadingFrame() {}
