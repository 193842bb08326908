// Vector operations and the intersection tests of picking.
#include "math/VectorOps.h"

#include <cmath>

#include "math/NumberText.h"

double determinant3(const Point3D& a, const Point3D& b, const Point3D& c) {
    return a.x() * b.y() * c.z() + a.z() * b.x() * c.y() + a.y() * b.z() * c.x() - a.z() * b.y() * c.x() -
           a.x() * b.z() * c.y() - a.y() * b.x() * c.z();
}

Point3D scalePoint(const Point3D& p, double s) { return Point3D(p.x() * s, p.y() * s, p.z() * s); }

int dominantAxis(const Point3D& n) {
    const double ax = std::fabs(n.x()), ay = std::fabs(n.y()), az = std::fabs(n.z());
    if (ax >= ay && ax >= az) return 1;
    if (ay >= ax && ay >= az) return 2;
    return 3;
}

Point2D projectToPlane2D(const Point3D& p, int axis) {
    switch (axis) {
        case 1: return Point2D(p.y(), p.z());
        case 2: return Point2D(p.x(), p.z());
        default: return Point2D(p.x(), p.y());
    }
}

void perpendicularBasis(const Point3D& n, Point3D& u, Point3D& v) {
    Point3D p(1.0, 1.0, 1.0);
    if (n.x() != 0.0)
        p.setX((-n.y() * p.y() - n.z() * p.z()) / n.x());
    else if (n.y() != 0.0)
        p.setY((-n.x() * p.x() - n.z() * p.z()) / n.y());
    else if (n.z() != 0.0)
        p.setZ((-n.x() * p.x() - n.y() * p.y()) / n.z());
    u = p.normalized();
    v = crossProduct(n, u).normalized();
}

Point3D projectPointOnLine(const Point3D& d, const Point3D& b, const Point3D& a) {
    const Point3D n = d.normalized();
    return b + dotProduct(a - b, n) * n;
}

Point3D projectOnLine(const Point3D& d, const Point3D& b, const Point3D& c, double* t) {
    const Point3D e = c - b;
    *t = dotProduct(d, e.normalized()) * e.length();
    return b + d * (*t);
}

double signedPlaneDistance(const Point3D& n, const Point3D& x, const Point3D& q) {
    return dotProduct(n.normalized(), x - q);
}

bool linePlaneIntersection(const Point3D& p0, const Point3D& p1, const Point3D& n, const Point3D& q, Point3D& out) {
    if (p0 == q) {
        out = p0;
        return true;
    }
    const Point3D d = p1 - p0;
    const double num = dotProduct(n, q - p0);
    const double den = dotProduct(n, d);
    if (std::fabs(den) < 1e-200) return false;  // parallel to the plane
    out = p0 + (num / den) * d;
    return true;
}

bool segmentPlaneIntersection(const Point3D& p0, const Point3D& p1, const Point3D& q, const Point3D& n,
                              Point3D& out) {
    const double d0 = dotProduct(n, q - p0);
    const double d1 = dotProduct(n, q - p1);
    if (std::fabs(d0 - d1) < 1e-9) return false;
    const double t = d0 / (d0 - d1);
    out = p0 + t * (p1 - p0);
    return true;
}

bool linePlaneCoefficientsIntersection(const Point3D& p0, const Point3D& p1, double a, double b, double c, double d,
                                       Point3D& out) {
    const double e0 = a * p0.x() + b * p0.y() + c * p0.z() + d;
    const double e1 = a * p1.x() + b * p1.y() + c * p1.z() + d;
    if (std::fabs(e0 - e1) <= 1e-200) return false;
    const double t = e0 / (e0 - e1);
    out = p0 + t * (p1 - p0);
    return true;
}

bool threePlanesIntersection(const Point3D& pa, const Point3D& na, const Point3D& pb, const Point3D& nb,
                             const Point3D& pc, const Point3D& nc, Point3D& out) {
    const double det = determinant3(na, nb, nc);
    if (det == 0.0) return false;
    const double da = dotProduct(pa, na), db = dotProduct(pb, nb), dc = dotProduct(pc, nc);
    out = (dc * crossProduct(na, nb) + db * crossProduct(nc, na) + da * crossProduct(nb, nc)) / det;
    return true;
}

int lineSphereCoefficients(const Point3D& p0, const Point3D& p1, const Point3D& c, double r, double* t1, double* t2) {
    const Point3D d = p1 - p0;
    const Point3D m = p0 - c;
    return solveQuadratic(dotProduct(d, d), 2.0 * dotProduct(m, d), dotProduct(m, m) - r * r, t1, t2);
}

int lineSphereIntersection(const Point3D& p0, const Point3D& p1, const Point3D& c, double r, Point3D& out1,
                           Point3D& out2) {
    double t1 = 0.0, t2 = 0.0;
    const int k = lineSphereCoefficients(p0, p1, c, r, &t1, &t2);
    if (k == 0) return 0;
    const Point3D d = p1 - p0;
    out1 = p0 + t1 * d;
    if (k == 1) return 1;
    out2 = p0 + t2 * d;
    return 2;
}

int lineCylinderIntersection(const Point3D& p0, const Point3D& p1, const Point3D& a, const Point3D& b, double r,
                             double* t1, Point3D& out1, double* t2, Point3D& out2) {
    const Point3D d = p1 - p0;
    const Point3D e = b - a;
    const Point3D w = p0 - a;
    Point3D nrm = crossProduct(d, e);
    const double len = nrm.length();
    if (len == 0.0) return 0;  // the line runs parallel to the axis
    nrm = nrm / len;
    const double dist = std::fabs(dotProduct(nrm, w));
    if (dist >= r) return 0;
    const double t = -dotProduct(crossProduct(w, e), nrm) / len;
    const Point3D o = crossProduct(nrm, e).normalized();
    const double s = std::fabs(std::sqrt(r * r - dist * dist)) / dotProduct(d, o);
    const double ta = t - s, tb = t + s;
    const Point3D hitA = p0 + ta * d;
    const Point3D hitB = p0 + tb * d;
    // A hit counts only between the two cap planes.
    const Point3D ab = e.normalized();
    const Point3D ba = (a - b).normalized();
    const bool countA = dotProduct(hitA - a, ab) >= 0.0 && dotProduct(hitA - b, ba) >= 0.0;
    const bool countB = dotProduct(hitB - a, ab) >= 0.0 && dotProduct(hitB - b, ba) >= 0.0;
    if (countA && countB) {
        *t1 = ta, out1 = hitA;
        *t2 = tb, out2 = hitB;
        return 2;
    }
    if (countA) {
        *t1 = ta, out1 = hitA;
        *t2 = tb, out2 = hitB;
        return 1;
    }
    if (countB) {
        *t1 = tb, out1 = hitB;
        *t2 = tb, out2 = hitB;
        return 1;
    }
    return 0;
}

bool lineToPlaneAlongNormal(const Point3D& p0, const Point3D& d, const Point3D& q, const Point3D& n, Point3D& out,
                            Point3D& side) {
    if (dotProduct(d, n) == 1.0) return false;
    side = crossProduct(d, n);
    const Point3D w = crossProduct(side, d);
    return linePlaneIntersection(p0, p0 + w, n, q, out);
}

bool lineLineClosestPoints(const Point3D& p1, const Point3D& p2, const Point3D& p3, const Point3D& p4, Point3D& pa,
                           Point3D& pb) {
    auto tiny = [](const Point3D& v) {
        return std::fabs(v.x()) <= 0.0001 && std::fabs(v.y()) <= 0.0001 && std::fabs(v.z()) <= 0.0001;
    };
    const Point3D p13 = p1 - p3;
    const Point3D p43 = p4 - p3;
    if (tiny(p43)) return false;
    const Point3D p21 = p2 - p1;
    if (tiny(p21)) return false;
    const double d1343 = dotProduct(p13, p43);
    const double d4321 = dotProduct(p43, p21);
    const double d1321 = dotProduct(p13, p21);
    const double d4343 = dotProduct(p43, p43);
    const double d2121 = dotProduct(p21, p21);
    const double denom = d2121 * d4343 - d4321 * d4321;
    if (std::fabs(denom) <= 0.0001) return false;  // parallel within the tolerance
    const double mua = (d1343 * d4321 - d1321 * d4343) / denom;
    const double mub = (d1343 + d4321 * mua) / d4343;
    pa = p1 + mua * p21;
    pb = p3 + mub * p43;
    return true;
}

bool segmentTriangleIntersection(const Point3D& v0, const Point3D& v1, const Point3D& v2, const Point3D& p,
                                 const Point3D& q, double tol) {
    const Point3D n = crossProduct(v1 - v0, v2 - v0).normalized();
    Point3D hit;
    if (!segmentPlaneIntersection(p, q, v0, n, hit)) return false;
    const int k = dominantAxis(n);
    const Point2D w0 = projectToPlane2D(v0, k), w1 = projectToPlane2D(v1, k), w2 = projectToPlane2D(v2, k);
    const Point2D h = projectToPlane2D(hit, k);
    auto area = [](const Point2D& a, const Point2D& b) { return 0.5 * std::fabs(a.x() * b.y() - a.y() * b.x()); };
    const double s1 = area(w0 - h, w1 - h);
    const double s2 = area(w1 - h, w2 - h);
    const double s3 = area(w2 - h, w0 - h);
    const double total = area(w1 - w0, w2 - w0);
    return s1 + s2 + s3 <= total + tol / 100.0;
}
