// Vector operations on Point3D and the intersection tests of picking (plane, sphere, cylinder, lines).
// "Line" means the infinite line P0 + t (P1 - P0). A miss leaves the outputs unwritten.
#pragma once

#include "math/Point3D.h"

double determinant3(const Point3D& a, const Point3D& b, const Point3D& c);  // a . (b x c)
Point3D scalePoint(const Point3D& p, double s);
// 1, 2 or 3 for the axis of the largest |component| (ties go to the lower axis).
int dominantAxis(const Point3D& n);
// Drops the dominant axis: 1 -> (y, z), 2 -> (x, z), any other -> (x, y).
Point2D projectToPlane2D(const Point3D& p, int axis);
// u and v complete n to a right-handed frame.
void perpendicularBasis(const Point3D& n, Point3D& u, Point3D& v);
// b + ((a - b) . n) n with n = d normalized.
Point3D projectPointOnLine(const Point3D& d, const Point3D& b, const Point3D& a);
// Foot of the perpendicular from c on the line b + t d (d used as given); *t receives the parameter.
Point3D projectOnLine(const Point3D& d, const Point3D& b, const Point3D& c, double* t);
double signedPlaneDistance(const Point3D& n, const Point3D& x, const Point3D& q);

bool linePlaneIntersection(const Point3D& p0, const Point3D& p1, const Point3D& n, const Point3D& q, Point3D& out);
bool segmentPlaneIntersection(const Point3D& p0, const Point3D& p1, const Point3D& q, const Point3D& n, Point3D& out);
// Plane a x + b y + c z + d = 0.
bool linePlaneCoefficientsIntersection(const Point3D& p0, const Point3D& p1, double a, double b, double c, double d,
                                       Point3D& out);
bool threePlanesIntersection(const Point3D& pa, const Point3D& na, const Point3D& pb, const Point3D& nb,
                             const Point3D& pc, const Point3D& nc, Point3D& out);
// Number of roots; *t1 gets the root with +sqrt.
int lineSphereCoefficients(const Point3D& p0, const Point3D& p1, const Point3D& c, double r, double* t1, double* t2);
// 0, 1 or 2 hits; with two, out1 is the farther one along p0 -> p1.
int lineSphereIntersection(const Point3D& p0, const Point3D& p1, const Point3D& c, double r, Point3D& out1,
                           Point3D& out2);
// Lateral surface of the finite cylinder of radius r around segment a-b (no end caps).
int lineCylinderIntersection(const Point3D& p0, const Point3D& p1, const Point3D& a, const Point3D& b, double r,
                             double* t1, Point3D& out1, double* t2, Point3D& out2);
bool lineToPlaneAlongNormal(const Point3D& p0, const Point3D& d, const Point3D& q, const Point3D& n, Point3D& out,
                            Point3D& side);
// Closest points pa on line p1p2 and pb on line p3p4; false for degenerate or parallel lines.
bool lineLineClosestPoints(const Point3D& p1, const Point3D& p2, const Point3D& p3, const Point3D& p4, Point3D& pa,
                           Point3D& pb);
bool segmentTriangleIntersection(const Point3D& v0, const Point3D& v1, const Point3D& v2, const Point3D& p,
                                 const Point3D& q, double tol);
