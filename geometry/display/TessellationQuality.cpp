// The tessellation quality level and its table of angle tolerances.
#include "geometry/display/TessellationQuality.h"

namespace {

int g_tessellationLevel = 1;

}  // namespace

int setTessellationQuality(int level) {
    g_tessellationLevel = level;
    return level;
}

int tessellationQuality() { return g_tessellationLevel; }

double tessellationAngle(double size, double reference) {
    // coarse (ratio < 0.05), medium (ratio < 0.2), fine, by level.
    static const double table[5][3] = {
        {45.0, 45.0, 30.0},
        {45.0, 30.0, 15.0},
        {30.0, 30.0, 15.0},
        {30.0, 15.0, 7.5},
        {15.0, 15.0, 7.5},
    };
    const int level = g_tessellationLevel >= 0 && g_tessellationLevel <= 4 ? g_tessellationLevel : 1;
    const double* row = table[level];
    if (reference == 0.0) return row[2];
    const double ratio = (size + size) / reference;
    if (ratio < 0.05) return row[0];
    if (ratio < 0.2) return row[1];
    return row[2];
}
