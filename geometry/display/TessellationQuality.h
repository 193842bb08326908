// The process-wide tessellation quality level and the angle tolerance it gives curved features.
#pragma once

// The process-wide tessellation quality level (0-4, initially 1; other values behave as 1).
int setTessellationQuality(int level);
int tessellationQuality();
// Angle tolerance in degrees for tessellating a curved feature of the given size relative to a
// reference size (reference 0 gives the finest angle of the level).
double tessellationAngle(double size, double reference);
