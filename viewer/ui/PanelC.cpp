// PanelC: the panel's fade and drawing.
#include "viewer/ui/PanelC.h"

// Panels have no buttons or images yet, so there is nothing to fade or draw.
void PanelC::StartAnimation(float, bool) {}

void PanelC::DrawAnimated(int, int) {}
