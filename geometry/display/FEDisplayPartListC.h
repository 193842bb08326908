// FEDisplayPartListC: a loaded model, its distinct display parts and their placed instances.
#pragma once

#include "foundation/RWTValOrderedVector.h"
#include "geometry/display/FEDisplayPartC.h"
#include "geometry/display/FEDisplayPartRefC.h"
#include "services/objects/refHandle.h"

// The list holds a reference to each part and owns its instances.
class FEDisplayPartListC {
public:
    FEDisplayPartListC();
    // Deletes the instances, then releases the parts (a part referenced elsewhere lives on).
    ~FEDisplayPartListC();
    FEDisplayPartListC(const FEDisplayPartListC&) = delete;
    FEDisplayPartListC& operator=(const FEDisplayPartListC&) = delete;

    RWTValOrderedVector<refHandle<FEDisplayPartC>>& getParts() { return parts; }
    const RWTValOrderedVector<refHandle<FEDisplayPartC>>& getParts() const { return parts; }
    // The list takes ownership of the instances appended here.
    RWTValOrderedVector<FEDisplayPartRefC*>& getInstances() { return instances; }
    const RWTValOrderedVector<FEDisplayPartRefC*>& getInstances() const { return instances; }

    // Conveniences over the two vectors.
    void addPart(FEDisplayPartC* part) { parts.append(refHandle<FEDisplayPartC>(part)); }
    void addInstance(FEDisplayPartRefC* instance) { instances.append(instance); }
    size_t partCount() const { return parts.entries(); }
    size_t instanceCount() const { return instances.entries(); }
    // Bounds-checked: an index at or beyond the count raises RWBoundsErr.
    FEDisplayPartC* getPart(size_t i) const { return parts[i].get(); }
    FEDisplayPartRefC* getInstance(size_t i) const { return instances[i]; }

private:
    RWTValOrderedVector<refHandle<FEDisplayPartC>> parts;
    RWTValOrderedVector<FEDisplayPartRefC*> instances;
};
