// 2D geometry on Point2D: directions and angles (degrees), line and segment intersection, point in polygon.
#pragma once

#include <vector>

#include "math/Point3D.h"

Point2D directionFromAngle(double degrees);
double angleOfVector(const Point2D& v);
// Angle in degrees in (0, 360]: +x gives 360, not 0.
double angleFromComponents(double x, double y);
double cross2D(const Point2D& a, const Point2D& b);
Point2D scalePoint2D(double s, const Point2D& p);
// Intersection of the lines p + t r and q + u s; parallel lines give the midpoint of p and q.
Point2D lineIntersection2D(const Point2D& p, const Point2D& r, const Point2D& q, const Point2D& s);
// Lexicographic compare on (x, y) with a tolerance; 0 when equal within tol in both coordinates.
int compareWithTolerance2D(const Point2D& a, const Point2D& b, double tol);
// Segments ab and cd: 0 no crossing, 1 proper crossing, 2 near an end of exactly one, 3 near ends of both.
int segmentIntersection2D(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& d, Point2D& out,
                          double tol);
// The same, after coincident-end (3) and near-parallel (0) pre-tests.
int segmentIntersection2DChecked(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& d, Point2D& out,
                                 double tol);
// 0 inside, 1 on the boundary (within tol), 2 outside. xmin/xmax give the polygon's x range when both
// are not null; otherwise it is computed from the points.
int pointInPolygon(const Point2D* pts, int count, const Point2D& p, const double* xmin, const double* xmax,
                   double tol);

// A polygon's edges by the heights they span, for many point tests against one polygon of many
// corners: each test looks only at the edges near its point's height. The points stay the
// caller's and must outlive this.
class PolygonBands {
public:
    PolygonBands(const Point2D* pts, int count, double tol);
    // What pointInPolygon(pts, count, p, &xmin, &xmax, tol) answers.
    int locate(const Point2D& p, double xmin, double xmax) const;

private:
    int band(double y) const;

    const Point2D* pts;
    int count;
    double tol;
    bool usable = false;
    int bands = 1;
    double bottom = 0.0, height = 1.0;
    std::vector<int> bandStart;  // edges of band b: edges[bandStart[b] .. bandStart[b + 1])
    std::vector<int> edges;
    std::vector<int> longEdges;  // edges spanning many bands, taken for every point
};
