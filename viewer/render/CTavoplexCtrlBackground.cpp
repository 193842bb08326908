// CTavoplexCtrl: the background gradient with its grid, the axes and the window border.
#include "viewer/control/CTavoplexCtrl.h"

// Not drawn yet: the scene frame already calls these passes in their places.
void CTavoplexCtrl::DrawBackground() {}

void CTavoplexCtrl::DrawAxes() {}

void CTavoplexCtrl::DrawBorderTransition() {}
