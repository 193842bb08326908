// ToolTipC: drawing the part tool tip.
#include "viewer/ui/ToolTipC.h"

// The tip never shows yet, so there is nothing to draw.
void ToolTipC::Draw(const feColor&, const feColor&, const double*, const double*, const int*) {}
