// Geometry value types: Point3D (three doubles), Point3Df (three floats) and Point2D (two doubles).
#pragma once

#include <cmath>

class Point3D;

// A planar point or vector (screen space, projected face outlines).
class Point2D {
public:
    constexpr Point2D() = default;
    constexpr Point2D(double x, double y) : x_(x), y_(y) {}
    constexpr Point2D(const Point2D&) = default;
    constexpr Point2D& operator=(const Point2D&) = default;

    constexpr double& x() { return x_; }
    constexpr double& y() { return y_; }
    constexpr double x() const { return x_; }
    constexpr double y() const { return y_; }
    constexpr void setX(double v) { x_ = v; }
    constexpr void setY(double v) { y_ = v; }

    // Start values of a running minimum / maximum.
    constexpr void resetForMin() { x_ = y_ = 1e300; }
    constexpr void resetForMax() { x_ = y_ = -1e300; }

    constexpr bool operator==(const Point2D& o) const { return x_ == o.x_ && y_ == o.y_; }

private:
    double x_ = 0.0;
    double y_ = 0.0;
};

constexpr Point2D operator+(const Point2D& a, const Point2D& b) { return Point2D(a.x() + b.x(), a.y() + b.y()); }
constexpr Point2D operator-(const Point2D& a, const Point2D& b) { return Point2D(a.x() - b.x(), a.y() - b.y()); }
// No zero test: dividing by zero gives infinities as the hardware does.
constexpr Point2D operator/(const Point2D& p, double d) { return Point2D(p.x() / d, p.y() / d); }
constexpr Point2D minPoint2D(const Point2D& a, const Point2D& b) {
    return Point2D(a.x() < b.x() ? a.x() : b.x(), a.y() < b.y() ? a.y() : b.y());
}
constexpr Point2D maxPoint2D(const Point2D& a, const Point2D& b) {
    return Point2D(a.x() > b.x() ? a.x() : b.x(), a.y() > b.y() ? a.y() : b.y());
}

// What the mesh stores per vertex and per corner: positions and normals in single precision.
class Point3Df {
public:
    constexpr Point3Df() = default;
    constexpr Point3Df(float x, float y, float z) : x_(x), y_(y), z_(z) {}
    constexpr Point3Df(const Point3D& p);  // components narrowed to float

    constexpr float x() const { return x_; }
    constexpr float y() const { return y_; }
    constexpr float z() const { return z_; }
    constexpr void setX(float v) { x_ = v; }
    constexpr void setY(float v) { y_ = v; }
    constexpr void setZ(float v) { z_ = v; }

    // Each component times the factor, computed in double and stored as float.
    constexpr Point3Df operator*(float f) const {
        return Point3Df(float(double(x_) * double(f)), float(double(y_) * double(f)), float(double(z_) * double(f)));
    }
    constexpr Point3Df operator-(const Point3Df& o) const { return Point3Df(x_ - o.x_, y_ - o.y_, z_ - o.z_); }
    constexpr Point3Df operator+(const Point3Df& o) const { return Point3Df(x_ + o.x_, y_ + o.y_, z_ + o.z_); }

    double length() const { return std::sqrt(double(x_) * x_ + double(y_) * y_ + double(z_) * z_); }
    // Divided by its length; a vector of length exactly 0 is returned unchanged.
    Point3Df normalized() const {
        const double len = length();
        if (len == 0.0) return *this;
        return Point3Df(float(x_ / len), float(y_ / len), float(z_ / len));
    }

    // Exact equality of all three components.
    constexpr bool operator==(const Point3Df& o) const { return x_ == o.x_ && y_ == o.y_ && z_ == o.z_; }

private:
    float x_ = 0.0f;
    float y_ = 0.0f;
    float z_ = 0.0f;
};

// Double sum of the widened products.
constexpr double dotProduct(const Point3Df& a, const Point3Df& b) {
    return double(a.x()) * double(b.x()) + double(a.y()) * double(b.y()) + double(a.z()) * double(b.z());
}

// All coordinates of geometry and placements; used as point and as vector alike.
class Point3D {
public:
    constexpr Point3D() = default;
    constexpr Point3D(double x, double y, double z) : x_(x), y_(y), z_(z) {}
    constexpr Point3D(const Point3Df& p) : x_(p.x()), y_(p.y()), z_(p.z()) {}
    constexpr Point3D(const Point2D& p) : x_(p.x()), y_(p.y()), z_(0.0) {}

    constexpr double x() const { return x_; }
    constexpr double y() const { return y_; }
    constexpr double z() const { return z_; }
    constexpr void setX(double v) { x_ = v; }
    constexpr void setY(double v) { y_ = v; }
    constexpr void setZ(double v) { z_ = v; }
    constexpr void set(double x, double y, double z) { x_ = x; y_ = y; z_ = z; }

    // x for 0, y for 1, z for any other index.
    constexpr double& component(int i) { return i == 0 ? x_ : (i == 1 ? y_ : z_); }
    constexpr double component(int i) const { return i == 0 ? x_ : (i == 1 ? y_ : z_); }

    constexpr Point3D operator+(const Point3D& o) const { return Point3D(x_ + o.x_, y_ + o.y_, z_ + o.z_); }
    constexpr Point3D operator-(const Point3D& o) const { return Point3D(x_ - o.x_, y_ - o.y_, z_ - o.z_); }
    constexpr Point3D operator-() const { return Point3D(-x_, -y_, -z_); }
    constexpr Point3D& operator+=(const Point3D& o) { x_ += o.x_; y_ += o.y_; z_ += o.z_; return *this; }
    constexpr Point3D& operator-=(const Point3D& o) { x_ -= o.x_; y_ -= o.y_; z_ -= o.z_; return *this; }
    constexpr Point3D& operator*=(double f) { x_ *= f; y_ *= f; z_ *= f; return *this; }
    // No zero test here (operator/ has one).
    constexpr Point3D& operator/=(double d) { x_ /= d; y_ /= d; z_ /= d; return *this; }

    constexpr Point3D cross(const Point3D& o) const {
        return Point3D(y_ * o.z_ - z_ * o.y_, z_ * o.x_ - x_ * o.z_, x_ * o.y_ - y_ * o.x_);
    }
    constexpr double dot(const Point3D& o) const { return x_ * o.x_ + y_ * o.y_ + z_ * o.z_; }
    double length() const { return std::sqrt(x_ * x_ + y_ * y_ + z_ * z_); }
    // this / length; a vector of length exactly 0 is returned unchanged.
    Point3D normalized() const {
        const double len = length();
        if (len == 0.0) return *this;
        return Point3D(x_ / len, y_ / len, z_ / len);
    }

    // Exact comparisons, no tolerance.
    constexpr bool operator==(const Point3D& o) const { return x_ == o.x_ && y_ == o.y_ && z_ == o.z_; }
    // Lexicographic on (x, y, z).
    constexpr bool operator<(const Point3D& o) const {
        if (x_ != o.x_) return x_ < o.x_;
        if (y_ != o.y_) return y_ < o.y_;
        return z_ < o.z_;
    }
    constexpr bool operator>(const Point3D& o) const { return o < *this; }

    constexpr void setHuge() { x_ = y_ = z_ = 1e300; }
    constexpr void setNegHuge() { x_ = y_ = z_ = -1e300; }
    // Start values of a running minimum / maximum (a box that saw no point keeps them).
    constexpr void resetForMin() { setHuge(); }
    constexpr void resetForMax() { setNegHuge(); }

    constexpr Point3Df toFloat() const { return Point3Df(float(x_), float(y_), float(z_)); }

private:
    double x_ = 0.0;
    double y_ = 0.0;
    double z_ = 0.0;
};

constexpr Point3Df::Point3Df(const Point3D& p) : x_(float(p.x())), y_(float(p.y())), z_(float(p.z())) {}

constexpr Point3D operator*(double s, const Point3D& p) { return Point3D(s * p.x(), s * p.y(), s * p.z()); }
constexpr Point3D operator*(const Point3D& p, double s) { return Point3D(p.x() * s, p.y() * s, p.z() * s); }
// A divisor exactly equal to 0.0 (or -0.0) gives (0, 0, 0).
constexpr Point3D operator/(const Point3D& p, double d) {
    if (d == 0.0) return Point3D();
    return Point3D(p.x() / d, p.y() / d, p.z() / d);
}
constexpr double dotProduct(const Point3D& a, const Point3D& b) { return a.x() * b.x() + a.y() * b.y() + a.z() * b.z(); }
constexpr Point3D crossProduct(const Point3D& a, const Point3D& b) { return a.cross(b); }
constexpr Point3D minPoint3D(const Point3D& a, const Point3D& b) {
    return Point3D(a.x() < b.x() ? a.x() : b.x(), a.y() < b.y() ? a.y() : b.y(), a.z() < b.z() ? a.z() : b.z());
}
constexpr Point3D maxPoint3D(const Point3D& a, const Point3D& b) {
    return Point3D(a.x() > b.x() ? a.x() : b.x(), a.y() > b.y() ? a.y() : b.y(), a.z() > b.z() ? a.z() : b.z());
}
