// FEDisplayPartListC: construction and teardown of a model's part list.
#include "geometry/display/FEDisplayPartListC.h"

FEDisplayPartListC::FEDisplayPartListC() : parts(0, false, 64), instances(0, false, 64) {}

FEDisplayPartListC::~FEDisplayPartListC()
{
    for (size_t i = 0; i < instances.entries(); ++i)
        delete instances[i];
    instances.clear();
    parts.clear();
}
