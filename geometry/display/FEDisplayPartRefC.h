// FEDisplayPartRefC: one placed instance of a display part (assembled, exploded and current placement).
#pragma once

#include <memory>

#include "math/Point3D.h"
#include "math/TransformMatrix.h"

class FEDisplayPartC;

// The part is not owned: the part list's part vector holds the references.
class FEDisplayPartRefC {
public:
    // The current matrix starts as the base matrix; no pick, pick point zero, opaque.
    FEDisplayPartRefC(int partIndex, FEDisplayPartC* part, const TransformMatrix& baseMatrix,
                      const TransformMatrix& secondMatrix);

    int GetPartIndex() const { return partIndex; }
    FEDisplayPartC* GetPart() const { return part; }

    TransformMatrix GetBaseMatrix() const { return baseMatrix; }
    TransformMatrix GetSecondMatrix() const { return secondMatrix; }
    // The placement used for drawing and picking.
    TransformMatrix GetMatrix() const { return current(); }
    void SetMatrix(const TransformMatrix& m);
    // The current matrix as sixteen floats in OpenGL (column) order.
    void GetGLMatrix(float* m16) const { current().getOpenGLMatrix(m16); }
    // Moves the current translation to base + t (exploded - base); the rotation stays.
    void SetExplodeFraction(double t);

    void SetPickFlag(bool f) { pickFlag = f ? 1 : 0; }
    bool GetPickFlag() const { return pickFlag != 0; }
    void SetPickPoint(const Point3D& p) { pickPoint = p; }
    Point3D GetPickPoint() const { return pickPoint; }
    // 0 is fully shown.
    void SetTransparency(float t) { transparency = t; }
    float GetTransparency() const { return transparency; }

private:
    int partIndex;
    FEDisplayPartC* part;
    const TransformMatrix& current() const { return movedMatrix ? *movedMatrix : baseMatrix; }

    TransformMatrix baseMatrix;
    TransformMatrix secondMatrix;
    // The current matrix while it differs from the base matrix, null while it does not: a
    // model may place a part a million times, nearly all of them never moved.
    std::unique_ptr<TransformMatrix> movedMatrix;
    unsigned char pickFlag = 0;
    Point3D pickPoint;
    float transparency = 0.0f;
};
