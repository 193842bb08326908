// CTavoplexCtrl: a stand-in for an operation whose own file has not landed yet (the panels).
// It goes when the real one arrives.
#include "viewer/control/CTavoplexCtrl.h"

// The loading frame builds the panels at its third count; until panels exist there is
// nothing to build.
void CTavoplexCtrl::BuildPanels() {}
