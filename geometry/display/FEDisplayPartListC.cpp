// FEDisplayPartListC: construction and teardown of a model's part list.
#include "geometry/display/FEDisplayPartListC.h"

// The vectors double when full: a model of a few hundred thousand parts (a few bytes of text
// each) would otherwise copy its list once per 64 parts, a time that grows with the square of
// the count.
FEDisplayPartListC::FEDisplayPartListC() : parts(0, true, 64), instances(0, true, 64) {}

FEDisplayPartListC::~FEDisplayPartListC()
{
    for (size_t i = 0; i < instances.entries(); ++i)
        delete instances[i];
    instances.clear();
    parts.clear();
}
