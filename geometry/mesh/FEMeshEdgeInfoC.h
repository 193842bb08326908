// FEMeshEdgeInfoC: the per-edge record that addFace accepts in a list and does not read.
#pragma once

#include <cstdint>

class FEMeshEdgeInfoC {
public:
    FEMeshEdgeInfoC() = default;
    ~FEMeshEdgeInfoC() {}

    // Never equal: a search of a vector of these finds nothing.
    bool operator==(const FEMeshEdgeInfoC&) const { return false; }

    int32_t words[3] = {0, 0, 0};
};
