// 4x4 transforms: row-major matrix functions, rotations, the Gauss-Jordan inverse and TransformMatrix.
#include "math/TransformMatrix.h"

#include <cmath>
#include <cstring>

#include "math/Quaternion.h"

namespace {

constexpr double kDegToRad = 0.017453292519943295;

inline double& at(double* m, int row, int column) { return m[4 * row + column]; }
inline double at(const double* m, int row, int column) { return m[4 * row + column]; }

inline double snapZero(double x) { return (x > -1e-9 && x < 1e-9) ? 0.0 : x; }

}  // namespace

void identityMatrix(double* m) {
    for (int k = 0; k < 16; ++k) m[k] = 0.0;
    m[0] = m[5] = m[10] = m[15] = 1.0;
}

void copyMatrix(double* dst, const double* src) {
    if (dst != src) std::memmove(dst, src, 16 * sizeof(double));
}

void setMatrixElements(double* m, double e0, double e1, double e2, double e3, double e4, double e5, double e6,
                       double e7, double e8, double e9, double e10, double e11, double e12, double e13, double e14,
                       double e15) {
    m[0] = e0, m[1] = e1, m[2] = e2, m[3] = e3;
    m[4] = e4, m[5] = e5, m[6] = e6, m[7] = e7;
    m[8] = e8, m[9] = e9, m[10] = e10, m[11] = e11;
    m[12] = e12, m[13] = e13, m[14] = e14, m[15] = e15;
}

void multiplyMatrix(double* dst, const double* a, const double* b) {
    // Into a temporary first: dst may be a or b.
    double t[16];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            t[4 * i + j] = at(a, i, 0) * at(b, 0, j) + at(a, i, 1) * at(b, 1, j) + at(a, i, 2) * at(b, 2, j) +
                           at(a, i, 3) * at(b, 3, j);
    copyMatrix(dst, t);
}

void rotationFromEuler(double* m, double ax, double ay, double az) {
    const double sx = std::sin(ax * kDegToRad), cx = std::cos(ax * kDegToRad);
    const double sy = std::sin(ay * kDegToRad), cy = std::cos(ay * kDegToRad);
    const double sz = std::sin(az * kDegToRad), cz = std::cos(az * kDegToRad);
    double r[16];
    identityMatrix(r);
    at(r, 0, 0) = cz * cy;
    at(r, 0, 1) = sz * cx - cz * sx * sy;
    at(r, 0, 2) = cz * cx * sy + sz * sx;
    at(r, 1, 0) = -sz * cy;
    at(r, 1, 1) = sz * sx * sy + cz * cx;
    at(r, 1, 2) = cz * sx - sz * cx * sy;
    at(r, 2, 0) = -sy;
    at(r, 2, 1) = -cy * sx;
    at(r, 2, 2) = cy * cx;
    multiplyMatrix(m, r, m);
}

void translateMatrix(double* m, double tx, double ty, double tz) {
    double t[16];
    identityMatrix(t);
    t[3] = tx;
    t[7] = ty;
    t[11] = tz;
    multiplyMatrix(m, t, m);
}

void scaleMatrix(double* m, double sx, double sy, double sz) {
    double s[16];
    identityMatrix(s);
    s[0] = sx;
    s[5] = sy;
    s[10] = sz;
    multiplyMatrix(m, s, m);
}

void rotationAboutAxis(const Point3D& point, const Point3D& axis, double* m, double angle) {
    const double a = axis.x(), b = axis.y(), c = axis.z();
    const double d = std::sqrt(b * b + c * c);
    const double len = std::sqrt(a * a + b * b + c * c);
    // No direction, no rotation (the alignment below would divide 0 by 0).
    if (len == 0.0) {
        identityMatrix(m);
        return;
    }

    double t1[16], t2[16];
    identityMatrix(t1);
    identityMatrix(t2);
    t1[3] = -point.x(), t1[7] = -point.y(), t1[11] = -point.z();
    t2[3] = point.x(), t2[7] = point.y(), t2[11] = point.z();

    // A turns the axis onto +z; At is its transpose.
    double al[16], at_[16];
    identityMatrix(al);
    if (d != 0.0) {
        at(al, 0, 0) = d / len, at(al, 0, 1) = -a * b / (d * len), at(al, 0, 2) = -a * c / (d * len);
        at(al, 1, 0) = 0.0, at(al, 1, 1) = c / d, at(al, 1, 2) = -b / d;
        at(al, 2, 0) = a / len, at(al, 2, 1) = b / len, at(al, 2, 2) = c / len;
    } else {
        const double s = a / std::fabs(a);
        at(al, 0, 0) = 0.0, at(al, 0, 1) = 0.0, at(al, 0, 2) = -s;
        at(al, 1, 0) = 0.0, at(al, 1, 1) = 1.0, at(al, 1, 2) = 0.0;
        at(al, 2, 0) = s, at(al, 2, 1) = 0.0, at(al, 2, 2) = 0.0;
    }
    copyMatrix(at_, al);
    transposeMatrix(at_);

    const double theta = angle * kDegToRad;
    double rz[16];
    identityMatrix(rz);
    at(rz, 0, 0) = std::cos(theta), at(rz, 0, 1) = -std::sin(theta);
    at(rz, 1, 0) = std::sin(theta), at(rz, 1, 1) = std::cos(theta);

    double r[16];
    multiplyMatrix(r, t2, at_);
    multiplyMatrix(r, r, rz);
    multiplyMatrix(r, r, al);
    multiplyMatrix(r, r, t1);
    copyMatrix(m, r);
}

void scaleRow(double* m, double factor, int row) {
    for (int k = 0; k < 4; ++k) at(m, row, k) = snapZero(at(m, row, k) * factor);
}

void addScaledRow(double* m, int dst, int src, double factor) {
    for (int k = 0; k < 4; ++k) at(m, dst, k) = snapZero(at(m, dst, k) + factor * at(m, src, k));
}

void swapRows(double* m, int r1, int r2) {
    for (int k = 0; k < 4; ++k) {
        const double t = at(m, r1, k);
        at(m, r1, k) = at(m, r2, k);
        at(m, r2, k) = t;
    }
}

bool invertMatrix(double* m) {
    // Reduce a copy beside the accumulator, so that a singular matrix leaves m as it was.
    double w[16], inv[16];
    copyMatrix(w, m);
    identityMatrix(inv);

    // Give every diagonal entry a non-zero value by adding (never swapping) rows.
    for (int i = 0; i < 4; ++i) {
        if (at(w, i, i) != 0.0) continue;
        int k = 0;
        while (k < 4 && at(w, k, i) == 0.0) ++k;
        if (k == 4) return false;
        addScaledRow(w, i, k, 1.0);
        addScaledRow(inv, i, k, 1.0);
    }

    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            if (j == i) continue;
            if (at(w, i, i) == 0.0) {
                int r = i + 1;
                for (; r < 4; ++r) {
                    bool leadingZeros = true;
                    for (int c = 0; c < i; ++c)
                        if (at(w, r, c) != 0.0) leadingZeros = false;
                    if (leadingZeros && at(w, r, i) != 0.0) break;
                }
                if (r == 4) return false;
                addScaledRow(w, i, r, 1.0);
                addScaledRow(inv, i, r, 1.0);
            }
            const double f = -at(w, j, i) / at(w, i, i);
            if (f >= -1e-9 && f <= 1e-9) continue;
            addScaledRow(w, j, i, f);
            addScaledRow(inv, j, i, f);
        }
    }

    for (int i = 0; i < 4; ++i) {
        const double pivot = at(w, i, i);
        if (pivot == 0.0) return false;  // a later elimination cancelled this pivot
        if (pivot != 1.0) {
            scaleRow(w, 1.0 / pivot, i);
            scaleRow(inv, 1.0 / pivot, i);
        }
    }
    copyMatrix(m, inv);
    return true;
}

void cleanRotationPart(double* m) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) at(m, i, j) = snapZero(at(m, i, j));
}

void snapUnitEntries(double* m) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double& x = at(m, i, j);
            if (x > 0.999999999 && x < 1.000000001)
                x = 1.0;
            else if (x > -1.000000001 && x < -0.999999999)
                x = -1.0;
        }
}

void transposeMatrix(double* m) {
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) {
            const double t = at(m, i, j);
            at(m, i, j) = at(m, j, i);
            at(m, j, i) = t;
        }
}

void orthonormalizeRotation(double* m) {
    Point3D u = matrixAxisX(m).normalized();
    Point3D v = matrixAxisY(m).normalized();
    Point3D w = crossProduct(u, v);
    v = crossProduct(w, u);
    u = u.normalized();
    v = v.normalized();
    w = w.normalized();
    setMatrixAxisX(m, u);
    setMatrixAxisY(m, v);
    setMatrixAxisZ(m, w);
}

bool matricesEqual(const double* a, const double* b, double tol) {
    for (int k = 0; k < 16; ++k)
        if (!(std::fabs(a[k] - b[k]) < tol)) return false;
    return true;
}

bool hasUnitAxes(const double* m) {
    return std::fabs(matrixAxisX(m).length() - 1.0) <= 1e-9 && std::fabs(matrixAxisY(m).length() - 1.0) <= 1e-9 &&
           std::fabs(matrixAxisZ(m).length() - 1.0) <= 1e-9;
}

Point3D transformPoint(const double* m, const Point3D& p) {
    const double x = p.x(), y = p.y(), z = p.z();
    return Point3D(m[0] * x + m[1] * y + m[2] * z + m[3], m[4] * x + m[5] * y + m[6] * z + m[7],
                   m[8] * x + m[9] * y + m[10] * z + m[11]);
}

Point3D matrixAxisX(const double* m) { return Point3D(m[0], m[4], m[8]); }
Point3D matrixAxisY(const double* m) { return Point3D(m[1], m[5], m[9]); }
Point3D matrixAxisZ(const double* m) { return Point3D(m[2], m[6], m[10]); }
Point3D matrixTranslation(const double* m) { return Point3D(m[3], m[7], m[11]); }

static void setColumn(double* m, int j, const Point3D& p) {
    m[j] = p.x();
    m[4 + j] = p.y();
    m[8 + j] = p.z();
}

void setMatrixAxisX(double* m, const Point3D& p) { setColumn(m, 0, p); }
void setMatrixAxisY(double* m, const Point3D& p) { setColumn(m, 1, p); }
void setMatrixAxisZ(double* m, const Point3D& p) { setColumn(m, 2, p); }
void setMatrixTranslation(double* m, const Point3D& p) { setColumn(m, 3, p); }

void setMatrixFromAxes(double* m, const AxisFrame& frame) {
    setColumn(m, 0, frame.xAxis);
    setColumn(m, 1, frame.yAxis);
    setColumn(m, 2, frame.zAxis);
    setColumn(m, 3, frame.origin);
    m[12] = m[13] = m[14] = 0.0;
    m[15] = 1.0;
}

bool pointsCoincide(const Point3D& a, const Point3D& b) { return (a - b).length() < 0.0001; }

// ---- TransformMatrix ----

TransformMatrix::TransformMatrix() { identityMatrix(m_); }

TransformMatrix::TransformMatrix(const double* rowMajor16) { copyMatrix(m_, rowMajor16); }

void TransformMatrix::setIdentity() { identityMatrix(m_); }

void TransformMatrix::set(double e0, double e1, double e2, double e3, double e4, double e5, double e6, double e7,
                          double e8, double e9, double e10, double e11, double e12, double e13, double e14,
                          double e15) {
    setMatrixElements(m_, e0, e1, e2, e3, e4, e5, e6, e7, e8, e9, e10, e11, e12, e13, e14, e15);
}

void TransformMatrix::copyTo(double* dst16) const { copyMatrix(dst16, m_); }

TransformMatrix TransformMatrix::operator*(const TransformMatrix& other) const {
    TransformMatrix r;
    multiplyMatrix(r.m_, m_, other.m_);
    return r;
}

bool TransformMatrix::isEqual(const TransformMatrix& other) const { return matricesEqual(m_, other.m_, 0.0001); }

void TransformMatrix::setFromColumnMajor(const double* src16) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m_[4 * i + j] = src16[4 * j + i];
}

void TransformMatrix::setFromColumnMajor(const float* src16) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m_[4 * i + j] = src16[4 * j + i];
}

void TransformMatrix::getColumnMajor(double* dst16) const {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) dst16[4 * j + i] = m_[4 * i + j];
}

void TransformMatrix::getOpenGLMatrix(float* dst16) const {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) dst16[4 * j + i] = static_cast<float>(m_[4 * i + j]);
}

void TransformMatrix::copyToOpenGLMatrix(float* dst16) const { getOpenGLMatrix(dst16); }

Point3D TransformMatrix::getAxisX() const { return matrixAxisX(m_); }
Point3D TransformMatrix::getAxisY() const { return matrixAxisY(m_); }
Point3D TransformMatrix::getAxisZ() const { return matrixAxisZ(m_); }
Point3D TransformMatrix::getTranslation() const { return matrixTranslation(m_); }
void TransformMatrix::setAxisX(const Point3D& p) { setMatrixAxisX(m_, p); }
void TransformMatrix::setAxisY(const Point3D& p) { setMatrixAxisY(m_, p); }
void TransformMatrix::setAxisZ(const Point3D& p) { setMatrixAxisZ(m_, p); }
void TransformMatrix::setTranslation(const Point3D& p) { setMatrixTranslation(m_, p); }

AxisFrame TransformMatrix::getAxes() const {
    AxisFrame f;
    f.xAxis = getAxisX();
    f.yAxis = getAxisY();
    f.zAxis = getAxisZ();
    f.origin = getTranslation();
    return f;
}

void TransformMatrix::setFromAxes(const AxisFrame& frame) { setMatrixFromAxes(m_, frame); }

void TransformMatrix::setRotation(const Quaternion& q) { *this = q.toMatrix(); }

Quaternion TransformMatrix::toQuaternion() const { return Quaternion(*this); }

void TransformMatrix::rotate(double ax, double ay, double az) { rotationFromEuler(m_, ax, ay, az); }
void TransformMatrix::translate(double tx, double ty, double tz) { translateMatrix(m_, tx, ty, tz); }
void TransformMatrix::scale(double sx, double sy, double sz) { scaleMatrix(m_, sx, sy, sz); }

void TransformMatrix::setRotationAboutAxis(const Point3D& point, const Point3D& axis, double angleDegrees) {
    rotationAboutAxis(point, axis, m_, angleDegrees);
}

bool TransformMatrix::invert() { return invertMatrix(m_); }
void TransformMatrix::cleanRotation() { cleanRotationPart(m_); }
void TransformMatrix::snapUnitEntries() { ::snapUnitEntries(m_); }
void TransformMatrix::orthonormalize() { orthonormalizeRotation(m_); }
void TransformMatrix::transpose() { transposeMatrix(m_); }

Point3D TransformMatrix::transform(const Point3D& p) const { return transformPoint(m_, p); }

bool TransformMatrix::hasUnitAxes() const { return ::hasUnitAxes(m_); }

bool TransformMatrix::isFinite() const {
    const Point3D p = transform(Point3D(1.0, 1.0, 1.0));
    return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z());
}
