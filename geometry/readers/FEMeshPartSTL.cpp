// FEMeshPartC's STL entry points: the part is the importer of the STL reader.
#include "geometry/display/MemoryBlockC.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/readers/STLImport.h"

// A format error (-2) is a failure like any other non-zero result: the caller discards the part.
bool FEMeshPartC::readSTLFromString(const MemoryBlockC& data, float /*creaseAngle*/, stlProgressI* progress)
{
    return importSTLString(data, this, progress) == kSTLOk;
}

bool FEMeshPartC::readSTLFromString(const char* data, size_t size, float /*creaseAngle*/, stlProgressI* progress)
{
    return importSTLString(data, size, this, progress) == kSTLOk;
}

bool FEMeshPartC::readSTLFromFile(const char* fileName, float /*creaseAngle*/, stlProgressI* progress)
{
    return importSTLFile(fileName, this, progress) == kSTLOk;
}

bool FEMeshPartC::readSTLFromString(const MemoryBlockC& data, float /*creaseAngle*/, stlProgressI* progress,
                                    ReadStop* stop)
{
    return importSTLString(data, this, progress, stop) == kSTLOk;
}
