// FEMeshFaceInfoI and FEMeshFaceInfoColorC: optional, reference-counted attributes of a mesh face.
#pragma once

#include "foundation/RWCString.h"
#include "math/feColor.h"
#include "services/objects/ReferencableObject.h"

// Shared by reference count between the faces that carry it.
class FEMeshFaceInfoI : public ReferencableObject {
public:
    ~FEMeshFaceInfoI() override = default;

    // The information to attach to a copy of the face.
    virtual FEMeshFaceInfoI* duplicate() = 0;
    virtual int getFaceId() = 0;
    virtual RWCString getFaceText() = 0;
};

// A face's own colour.
class FEMeshFaceInfoColorC : public FEMeshFaceInfoI {
public:
    // The seven values are stored as given; hue, lightness and saturation are not recomputed.
    FEMeshFaceInfoColorC(float r, float g, float b, float a, float h, float l, float s);
    ~FEMeshFaceInfoColorC() override = default;

    // A copied face shares this object.
    FEMeshFaceInfoI* duplicate() override { return this; }
    int getFaceId() override { return -1; }
    RWCString getFaceText() override { return RWCString(); }

    feColor getColor() const { return color; }

private:
    feColor color;
};
