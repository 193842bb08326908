// FEMeshPickListEntryC: one hit of a pick ray, ordered by its distance from the ray's start.
#pragma once

#include "math/Point3D.h"

class FEMeshPickableEntityC;

class FEMeshPickListEntryC {
public:
    FEMeshPickListEntryC(FEMeshPickableEntityC* entity, const Point3D& hit, double distance)
        : entity(entity), hitPoint(hit), distance(distance)
    {
    }
    virtual ~FEMeshPickListEntryC() = default;

    FEMeshPickableEntityC* getEntity() const { return entity; }
    const Point3Df& getHitPoint() const { return hitPoint; }
    double getDistance() const { return distance; }

    // Entries compare by distance only (exactly).
    bool operator<(const FEMeshPickListEntryC& o) const { return distance < o.distance; }
    bool operator==(const FEMeshPickListEntryC& o) const { return distance == o.distance; }

private:
    FEMeshPickableEntityC* entity;
    Point3Df hitPoint;
    double distance;
};
