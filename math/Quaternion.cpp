// Quaternion: conversion to and from matrices, Euler angles and axis-angle, and slerp.
#include "math/Quaternion.h"

#include <cmath>

#include "math/NumberText.h"

Quaternion::Quaternion(const TransformMatrix& matrix) {
    const double* m = matrix.getData();
    auto e = [m](int i, int j) { return m[4 * i + j]; };
    const double trace = e(0, 0) + e(1, 1) + e(2, 2);
    if (trace > 0.0) {
        double s = std::sqrt(trace + 1.0);
        w_ = s / 2.0;
        s = 0.5 / s;
        x_ = (e(1, 2) - e(2, 1)) * s;
        y_ = (e(2, 0) - e(0, 2)) * s;
        z_ = (e(0, 1) - e(1, 0)) * s;
        return;
    }
    static const int next[3] = {1, 2, 0};
    int i = 0;
    if (e(1, 1) > e(0, 0)) i = 1;
    if (e(2, 2) > e(i, i)) i = 2;
    const int j = next[i];
    const int k = next[j];
    double q[3];
    double s = std::sqrt(e(i, i) - (e(j, j) + e(k, k)) + 1.0);
    q[i] = s * 0.5;
    if (s != 0.0) s = 0.5 / s;
    w_ = (e(j, k) - e(k, j)) * s;
    q[j] = (e(i, j) + e(j, i)) * s;
    q[k] = (e(i, k) + e(k, i)) * s;
    x_ = q[0];
    y_ = q[1];
    z_ = q[2];
}

Quaternion::Quaternion(const Point3D& axis, double angle) {
    const Point3D n = axis.normalized();
    const double h = angle * 0.5;
    const double sh = std::sin(h);
    x_ = n.x() * sh;
    y_ = n.y() * sh;
    z_ = n.z() * sh;
    w_ = std::cos(h);
}

Quaternion::Quaternion(const Point3D& angles) {
    const double sx = std::sin(angles.x() / 2.0), cx = std::cos(angles.x() / 2.0);
    const double sy = std::sin(angles.y() / 2.0), cy = std::cos(angles.y() / 2.0);
    const double sz = std::sin(angles.z() / 2.0), cz = std::cos(angles.z() / 2.0);
    x_ = sx * cy * cz - cx * sy * sz;
    y_ = sx * cy * sz + cx * sy * cz;
    z_ = cx * cy * sz - sx * sy * cz;
    w_ = cx * cy * cz + sx * sy * sz;
}

void Quaternion::set(double x, double y, double z, double w) {
    x_ = x;
    y_ = y;
    z_ = z;
    w_ = w;
}

void Quaternion::get(double& x, double& y, double& z, double& w) const {
    x = x_;
    y = y_;
    z = z_;
    w = w_;
}

void Quaternion::setIdentity() { set(0.0, 0.0, 0.0, 1.0); }

double Quaternion::dot(const Quaternion& o) const { return x_ * o.x_ + y_ * o.y_ + z_ * o.z_ + w_ * o.w_; }

double Quaternion::normSquared() const { return dot(*this); }

double Quaternion::length() const { return std::sqrt(normSquared()); }

Quaternion Quaternion::normalized() const {
    const double len = length();
    return Quaternion(x_ / len, y_ / len, z_ / len, w_ / len);
}

void Quaternion::normalize() { *this = normalized(); }

TransformMatrix Quaternion::toMatrix() const {
    const double x2 = 2.0 * x_, y2 = 2.0 * y_, z2 = 2.0 * z_;
    const double xx = x2 * x_, xy = y2 * x_, xz = z2 * x_;
    const double yy = y2 * y_, yz = z2 * y_, zz = z2 * z_;
    const double wx = x2 * w_, wy = y2 * w_, wz = z2 * w_;
    TransformMatrix r;
    double* m = r.getData();
    m[0] = 1.0 - yy - zz, m[1] = xy + wz, m[2] = xz - wy;
    m[4] = xy - wz, m[5] = 1.0 - xx - zz, m[6] = yz + wx;
    m[8] = xz + wy, m[9] = yz - wx, m[10] = 1.0 - xx - yy;
    return r;
}

void Quaternion::toEuler(double& heading, double& attitude, double& bank) const {
    const double test = x_ * y_ + z_ * w_;
    if (test > 0.499) {
        heading = 2.0 * std::atan2(x_, w_);
        attitude = 1.5707963267948966;
        bank = 0.0;
        return;
    }
    if (test < -0.499) {
        heading = -2.0 * std::atan2(x_, w_);
        attitude = -1.5707963267948966;
        bank = 0.0;
        return;
    }
    heading = std::atan2(2.0 * y_ * w_ - 2.0 * x_ * z_, 1.0 - 2.0 * y_ * y_ - 2.0 * z_ * z_);
    attitude = std::asin(2.0 * test);
    bank = std::atan2(2.0 * x_ * w_ - 2.0 * y_ * z_, 1.0 - 2.0 * x_ * x_ - 2.0 * z_ * z_);
}

void Quaternion::toAxisAngle(Point3D& axis, double& angle) const {
    if (std::fabs(w_) <= 1.0) {
        angle = 2.0 * std::acos(w_);
        const double s = std::sqrt(1.0 - w_ * w_);
        if (compareWithTolerance(s, 0.0, 0.0001) != 0) {
            axis = Point3D(x_ / s, y_ / s, z_ / s);
            return;
        }
    }
    angle = 0.0;
    axis = Point3D(1.0, 0.0, 0.0);
}

Quaternion Quaternion::slerp(const Quaternion& to, double t) const {
    double c = dot(to);
    bool flip = false;
    if (c < 0.0) {
        c = -c;
        flip = true;
    }
    double k0, k1;
    if (c < 0.99999) {
        const double omega = std::acos(c);
        const double so = std::sin(omega);
        k0 = std::sin((1.0 - t) * omega) / so;
        k1 = std::sin(t * omega) / so;
    } else {
        // Nearly equal orientations: sin(omega) would vanish, interpolate linearly.
        k0 = 1.0 - t;
        k1 = t;
    }
    if (flip) k1 = -k1;
    return Quaternion(k0 * x_ + k1 * to.x_, k0 * y_ + k1 * to.y_, k0 * z_ + k1 * to.z_, k0 * w_ + k1 * to.w_);
}

Quaternion Quaternion::lerp(const Quaternion& to, double t) const {
    return Quaternion(x_ + (to.x_ - x_) * t, y_ + (to.y_ - y_) * t, z_ + (to.z_ - z_) * t, w_ + (to.w_ - w_) * t);
}
