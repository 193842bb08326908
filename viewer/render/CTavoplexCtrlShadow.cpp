// CTavoplexCtrl: the shadow texture and the shadow under the model.
#include "viewer/control/CTavoplexCtrl.h"

// Not drawn yet: the scene frame already calls these passes in their places.
void CTavoplexCtrl::GenerateShadowTexture() {}

void CTavoplexCtrl::DrawShadow() {}
