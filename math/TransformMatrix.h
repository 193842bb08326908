// 4x4 transforms: free functions on row-major arrays of 16 doubles, AxisFrame and TransformMatrix.
// Points are column vectors (p' = M p); rotations, translations and scalings pre-multiply.
#pragma once

#include "math/Point3D.h"

class Quaternion;

// The column view of a matrix: columns 0, 1, 2 and 3 (rows 0-2).
struct AxisFrame {
    Point3D xAxis;
    Point3D yAxis;
    Point3D zAxis;
    Point3D origin;
};

// Element (row i, column j) of a matrix array is at index 4 i + j.
void identityMatrix(double* m);
void copyMatrix(double* dst, const double* src);
void setMatrixElements(double* m, double e0, double e1, double e2, double e3, double e4, double e5, double e6,
                       double e7, double e8, double e9, double e10, double e11, double e12, double e13, double e14,
                       double e15);
// dst = a b; dst may be a or b.
void multiplyMatrix(double* dst, const double* a, const double* b);
// m = R m, angles in degrees: R = Rz(-az) Ry(ay) Rx(-ax) in column-vector terms.
void rotationFromEuler(double* m, double ax, double ay, double az);
void translateMatrix(double* m, double tx, double ty, double tz);  // m = T m
void scaleMatrix(double* m, double sx, double sy, double sz);      // m = S m
// m = rotation by angle degrees about the line through point with direction axis (right-handed).
// A zero axis gives the identity.
void rotationAboutAxis(const Point3D& point, const Point3D& axis, double* m, double angle);
// In-place inverse by Gauss-Jordan elimination. A singular matrix gives false and m unchanged.
bool invertMatrix(double* m);
// Row operations of the inverse; the first two snap entries of the changed row in (-1e-9, 1e-9) to 0.
void scaleRow(double* m, double factor, int row);
void addScaledRow(double* m, int dst, int src, double factor);
void swapRows(double* m, int r1, int r2);
void cleanRotationPart(double* m);  // 3x3 block entries in (-1e-9, 1e-9) become 0
void snapUnitEntries(double* m);    // 3x3 block entries within 1e-9 of +-1 become +-1
void transposeMatrix(double* m);
void orthonormalizeRotation(double* m);
bool matricesEqual(const double* a, const double* b, double tol);  // |a[k] - b[k]| < tol for all k
bool hasUnitAxes(const double* m);                                 // columns 0-2 of unit length within 1e-9
Point3D transformPoint(const double* m, const Point3D& p);         // row 3 ignored, no division by w
Point3D matrixAxisX(const double* m);
Point3D matrixAxisY(const double* m);
Point3D matrixAxisZ(const double* m);
Point3D matrixTranslation(const double* m);
void setMatrixAxisX(double* m, const Point3D& p);
void setMatrixAxisY(double* m, const Point3D& p);
void setMatrixAxisZ(double* m, const Point3D& p);
void setMatrixTranslation(double* m, const Point3D& p);
void setMatrixFromAxes(double* m, const AxisFrame& frame);
bool pointsCoincide(const Point3D& a, const Point3D& b);  // |a - b| < 0.0001

// A placement: one row-major array of 16 doubles. Default-constructed it is the identity.
class TransformMatrix {
public:
    TransformMatrix();
    TransformMatrix(const TransformMatrix&) = default;
    explicit TransformMatrix(const double* rowMajor16);
    TransformMatrix& operator=(const TransformMatrix&) = default;

    void setIdentity();
    void set(double e0, double e1, double e2, double e3, double e4, double e5, double e6, double e7, double e8,
             double e9, double e10, double e11, double e12, double e13, double e14, double e15);
    void copyTo(double* dst16) const;
    double* getData() { return m_; }
    const double* getData() const { return m_; }
    double& at(int row, int column) { return m_[4 * row + column]; }
    double at(int row, int column) const { return m_[4 * row + column]; }

    TransformMatrix operator*(const TransformMatrix& other) const;  // this other
    bool isEqual(const TransformMatrix& other) const;                // within 0.0001 (strict)

    void setFromColumnMajor(const double* src16);
    void setFromColumnMajor(const float* src16);
    void getColumnMajor(double* dst16) const;
    // The transpose as floats, ready for glMultMatrixf / glLoadMatrixf.
    void getOpenGLMatrix(float* dst16) const;
    void copyToOpenGLMatrix(float* dst16) const;

    Point3D getAxisX() const;
    Point3D getAxisY() const;
    Point3D getAxisZ() const;
    Point3D getTranslation() const;
    void setAxisX(const Point3D& p);
    void setAxisY(const Point3D& p);
    void setAxisZ(const Point3D& p);
    void setTranslation(const Point3D& p);
    AxisFrame getAxes() const;
    void setFromAxes(const AxisFrame& frame);

    void setRotation(const Quaternion& q);
    Quaternion toQuaternion() const;

    void rotate(double ax, double ay, double az);     // this = R this, degrees
    void translate(double tx, double ty, double tz);  // this = T this
    void scale(double sx, double sy, double sz);      // this = S this
    void setRotationAboutAxis(const Point3D& point, const Point3D& axis, double angleDegrees);
    // Leaves a singular matrix unchanged; the result says whether the inverse was taken.
    bool invert();
    void cleanRotation();
    void snapUnitEntries();
    void orthonormalize();
    void transpose();

    Point3D transform(const Point3D& p) const;
    bool hasUnitAxes() const;
    bool isFinite() const;  // (1, 1, 1) transforms to finite coordinates

private:
    double m_[16];
};
