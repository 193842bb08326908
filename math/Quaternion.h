// Quaternion: rotations carried between TransformMatrix values, with spherical interpolation.
#pragma once

#include "math/Point3D.h"
#include "math/TransformMatrix.h"

// (x, y, z) is the vector part, w the scalar part; the identity rotation is (0, 0, 0, 1).
// toMatrix gives the transpose of the textbook column-vector matrix, so with TransformMatrix
// (p' = M p) the quaternion of axis n and angle t turns points by -t about n.
class Quaternion {
public:
    Quaternion() = default;
    Quaternion(double x, double y, double z, double w) : x_(x), y_(y), z_(z), w_(w) {}
    Quaternion(const Quaternion&) = default;
    Quaternion& operator=(const Quaternion&) = default;
    explicit Quaternion(const TransformMatrix& m);      // from the upper-left 3x3 block
    Quaternion(const Point3D& axis, double angle);      // angle in radians
    explicit Quaternion(const Point3D& angles);         // three angles in radians

    double x() const { return x_; }
    double y() const { return y_; }
    double z() const { return z_; }
    double w() const { return w_; }
    void set(double x, double y, double z, double w);
    void get(double& x, double& y, double& z, double& w) const;
    void setIdentity();

    double dot(const Quaternion& o) const;
    double normSquared() const;
    double length() const;
    Quaternion normalized() const;  // no zero test: normalize only quaternions of rotations
    void normalize();

    TransformMatrix toMatrix() const;
    void toEuler(double& heading, double& attitude, double& bank) const;  // radians
    void toAxisAngle(Point3D& axis, double& angle) const;                  // radians
    Quaternion slerp(const Quaternion& to, double t) const;                // this at t = 0, to at t = 1
    Quaternion lerp(const Quaternion& to, double t) const;                 // component-wise, not normalized

private:
    double x_ = 0.0;
    double y_ = 0.0;
    double z_ = 0.0;
    double w_ = 1.0;
};
