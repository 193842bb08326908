// FEMeshPartGroupC: a group of placed mesh parts with the box that holds them all.
#pragma once

#include "foundation/RWCString.h"
#include "foundation/RWTValHashDictionary.h"
#include "foundation/RWTValOrderedVector.h"
#include "math/Point3D.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "services/objects/refHandle.h"

class FEMeshPartGroupC {
public:
    static constexpr int kTextCount = 7;

    FEMeshPartGroupC();
    FEMeshPartGroupC(const FEMeshPartGroupC&) = delete;
    FEMeshPartGroupC& operator=(const FEMeshPartGroupC&) = delete;

    // Adds the part and grows the box by the eight corners of the part's stored box, placed
    // by the part's first placement matrix. A null handle is not added.
    void addPart(const refHandle<FEMeshPartC>& part);

    size_t entries() const { return parts.entries(); }
    const refHandle<FEMeshPartC>& getPart(size_t i) const { return parts[i]; }
    // +1e300 / -1e300 on every axis while no part has been added.
    Point3D getMinPoint() const { return boxMin; }
    Point3D getMaxPoint() const { return boxMax; }

    RWCString getName() const { return name; }
    void setName(const RWCString& n) { name = n; }
    RWCString getText(int i) const { return (i >= 0 && i < kTextCount) ? texts[i] : RWCString(); }
    void setText(int i, const RWCString& t)
    {
        if (i >= 0 && i < kTextCount)
            texts[i] = t;
    }
    RWTValHashDictionary<RWCString, RWCString>& getAttributes() { return attributes; }

private:
    RWTValOrderedVector<refHandle<FEMeshPartC>> parts;
    RWCString name;
    Point3D boxMin;
    Point3D boxMax;
    RWCString texts[kTextCount];
    RWTValHashDictionary<RWCString, RWCString> attributes;
};
