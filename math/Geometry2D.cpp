// 2D geometry: angles, line and segment intersection with a tolerance, and the point-in-polygon test.
#include "math/Geometry2D.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kDegToRad = 0.017453292519943295;

double length2D(const Point2D& v) { return std::sqrt(v.x() * v.x() + v.y() * v.y()); }

// Where a vertex lies against the band of half-width tol around the ray's line.
enum BandSide { kAbove = 0, kBelow = 1, kInBand = 2 };

int bandSide(double y, double py, double tol) {
    if (y > py + tol) return kAbove;
    if (y < py - tol) return kBelow;
    return kInBand;
}

}  // namespace

Point2D directionFromAngle(double degrees) {
    const double a = degrees * 3.141592653589793 / 180.0;
    return Point2D(std::cos(a), std::sin(a));
}

double angleOfVector(const Point2D& v) { return angleFromComponents(v.x(), v.y()); }

double angleFromComponents(double x, double y) {
    if (x == 0.0) return y < 0.0 ? 270.0 : 90.0;
    if (x < 0.0) return 180.0 + std::atan(y / x) / kDegToRad;
    if (y <= 0.0) return 360.0 + std::atan(y / x) / kDegToRad;
    return std::atan(y / x) / kDegToRad;
}

double cross2D(const Point2D& a, const Point2D& b) { return a.x() * b.y() - a.y() * b.x(); }

Point2D scalePoint2D(double s, const Point2D& p) { return Point2D(s * p.x(), s * p.y()); }

Point2D lineIntersection2D(const Point2D& p, const Point2D& r, const Point2D& q, const Point2D& s) {
    const Point2D w = q - p;
    const double den = cross2D(r, s);
    if (den == 0.0) return p + w / 2.0;
    return p + scalePoint2D(cross2D(w, s) / den, r);
}

int compareWithTolerance2D(const Point2D& a, const Point2D& b, double tol) {
    if (b.x() + tol < a.x()) return 1;
    if (b.x() - tol > a.x()) return -1;
    if (b.y() + tol < a.y()) return 1;
    if (b.y() - tol > a.y()) return -1;
    return 0;
}

static int classifyCrossing(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& d, double den,
                            Point2D& out, double tol) {
    const double t = ((c.x() - a.x()) * (d.y() - c.y()) - (d.x() - c.x()) * (c.y() - a.y())) / den;
    if (t < 0.0 || t > 1.0) return 0;
    // Position on cd measured from d: 0 at d, 1 at c.
    const double u = ((a.x() - b.x()) * (b.y() - d.y()) - (b.x() - d.x()) * (a.y() - b.y())) / den;
    if (u < 0.0 || u > 1.0) return 0;
    out = a + scalePoint2D(t, b - a);
    const double lab = length2D(b - a);
    const double lcd = length2D(d - c);
    const double da = t * lab;
    const double dc = u * lcd;
    const bool nearAB = da < tol || da > lab - tol;
    const bool nearCD = dc < tol || dc > lcd - tol;
    if (nearAB && nearCD) return 3;
    if (nearAB || nearCD) return 2;
    return 1;
}

static double crossingDenominator(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& d) {
    return (b.x() - a.x()) * (d.y() - c.y()) - (d.x() - c.x()) * (b.y() - a.y());
}

int segmentIntersection2D(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& d, Point2D& out,
                          double tol) {
    const double den = crossingDenominator(a, b, c, d);
    if (den == 0.0) return 0;
    return classifyCrossing(a, b, c, d, den, out, tol);
}

int segmentIntersection2DChecked(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& d, Point2D& out,
                                 double tol) {
    if (compareWithTolerance2D(a, d, tol) == 0 || compareWithTolerance2D(a, c, tol) == 0) {
        out = a;
        return 3;
    }
    if (compareWithTolerance2D(b, c, tol) == 0 || compareWithTolerance2D(b, d, tol) == 0) {
        out = b;
        return 3;
    }
    const double den = crossingDenominator(a, b, c, d);
    if (tol * tol > std::fabs(den)) return 0;  // nearly parallel
    return classifyCrossing(a, b, c, d, den, out, tol);
}

namespace {

constexpr int kOnBoundary = -1;

// Edge e0 e1's part in the ray test of p (the ray ending at q): kOnBoundary when p lies on it,
// else the crossings it adds. lastSide is the side of the last corner before e0 off the band.
int edgeCrossings(const Point2D& e0, const Point2D& e1, int side0, int side1, int lastSide, const Point2D& p,
                  const Point2D& q, double tol)
{
    if (side0 == kInBand && side1 == kInBand) {
        // An edge lying along the ray's line: p is on it when its x range straddles p.
        if ((e0.x() < p.x() && e1.x() > p.x()) || (e1.x() < p.x() && e0.x() > p.x())) return kOnBoundary;
    } else if ((side0 == kAbove && side1 == kBelow) || (side0 == kBelow && side1 == kAbove)) {
        Point2D hit;
        const int r = segmentIntersection2D(e0, e1, p, q, hit, tol);
        if (r == 1) return 1;
        if (r == 2 || r == 3) return kOnBoundary;
    } else if (side0 == kInBand) {
        // Leaving the band: a crossing when the polygon came in from the other side.
        if (e0.x() > p.x() - tol && side1 != lastSide) return 1;
    }
    return 0;
}

// The first corner off the band (strictly inside it counts as on), or count.
int firstCornerOffBand(const Point2D* pts, int count, double py, double tol)
{
    int start = 0;
    while (start < count && pts[start].y() > py - tol && pts[start].y() < py + tol) ++start;
    return start;
}

}  // namespace

int pointInPolygon(const Point2D* pts, int count, const Point2D& p, const double* xmin, const double* xmax,
                   double tol) {
    if (!pts || count < 3) return 2;

    double lo, hi;
    if (xmin && xmax) {
        lo = *xmin;
        hi = *xmax;
    } else {
        lo = 1e300;
        hi = -1e300;
        for (int i = 0; i < count; ++i) {
            if (pts[i].x() < lo) lo = pts[i].x();
            if (pts[i].x() > hi) hi = pts[i].x();
        }
    }
    if (p.x() > hi || p.x() < lo) return 2;

    // The ray runs from p toward +x, past the polygon's right end.
    const Point2D q(hi + 100.0, p.y());
    const double py = p.y();

    const int start = firstCornerOffBand(pts, count, py, tol);
    if (start == count) return 2;
    int lastSide = (py - tol <= pts[start].y()) ? kAbove : kBelow;

    int crossings = 0;
    int j = start;
    do {
        const int k = (j + 1) % count;
        const int side0 = bandSide(pts[j].y(), py, tol);
        const int side1 = bandSide(pts[k].y(), py, tol);
        const int added = edgeCrossings(pts[j], pts[k], side0, side1, lastSide, p, q, tol);
        if (added == kOnBoundary) return 1;
        crossings += added;
        if (side0 != kInBand) lastSide = side0;
        j = k;
    } while (j != start);

    return (crossings % 2 == 1) ? 0 : 2;
}

PolygonBands::PolygonBands(const Point2D* points, int count, double tolerance)
    : pts(points), count(count), tol(tolerance)
{
    // A tolerance below zero or not a number turns the band inside out, and the bands looked in
    // around a point would miss edges that count: the plain test takes such tolerances.
    if (!pts || count < 3 || !(tol >= 0.0)) return;
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (int i = 0; i < count; ++i) {
        // A corner that is not finite lies in every band: the plain test takes such polygons.
        if (!std::isfinite(pts[i].x()) || !std::isfinite(pts[i].y())) return;
        lo = std::min(lo, pts[i].y());
        hi = std::max(hi, pts[i].y());
    }
    // About four edges a band; an edge spanning more bands than kMostBands is kept apart.
    constexpr int kMostBands = 8;
    bands = std::max(1, std::min(count / 4, 1 << 16));
    bottom = lo;
    height = hi > lo ? (hi - lo) / bands : 1.0;
    std::vector<int> first(size_t(bands) + 1, 0);
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<int> at;
        if (pass == 1) {
            for (int b = 0; b < bands; ++b) first[size_t(b) + 1] += first[size_t(b)];
            edges.resize(size_t(first[size_t(bands)]));
            at.assign(first.begin(), first.end() - 1);
        }
        for (int j = 0; j < count; ++j) {
            const Point2D& e0 = pts[j];
            const Point2D& e1 = pts[(j + 1) % count];
            const int b0 = band(std::min(e0.y(), e1.y())), b1 = band(std::max(e0.y(), e1.y()));
            if (b1 - b0 >= kMostBands) {
                if (pass == 0) longEdges.push_back(j);
                continue;
            }
            for (int b = b0; b <= b1; ++b) {
                if (pass == 0)
                    ++first[size_t(b) + 1];
                else
                    edges[size_t(at[size_t(b)]++)] = j;
            }
        }
    }
    bandStart = std::move(first);
    usable = true;
}

int PolygonBands::band(double y) const
{
    const double at = (y - bottom) / height;
    if (!(at > 0.0)) return 0;
    return at >= double(bands) ? bands - 1 : int(at);
}

int PolygonBands::locate(const Point2D& p, double xmin, double xmax) const
{
    if (!usable || !std::isfinite(p.y())) return pointInPolygon(pts, count, p, &xmin, &xmax, tol);
    if (p.x() > xmax || p.x() < xmin) return 2;
    const Point2D q(xmax + 100.0, p.y());
    const double py = p.y();
    const int start = firstCornerOffBand(pts, count, py, tol);
    if (start == count) return 2;
    const int firstSide = (py - tol <= pts[start].y()) ? kAbove : kBelow;

    // Only an edge reaching into the band (both its corners on one side of it, it adds nothing)
    // has a part; the side of the last corner off the band before it lies a run of corners in
    // the band back, or at the walk's start.
    auto lastSideBefore = [&](int j) {
        for (int i = j; i != start;) {
            i = (i - 1 + count) % count;
            const int side = bandSide(pts[i].y(), py, tol);
            if (side != kInBand) return side;
        }
        return firstSide;
    };
    int crossings = 0;
    auto take = [&](int j) {
        const int k = (j + 1) % count;
        const int side0 = bandSide(pts[j].y(), py, tol);
        const int side1 = bandSide(pts[k].y(), py, tol);
        if (side0 == side1 && side0 != kInBand) return false;
        const int lastSide = side0 == kInBand && side1 != kInBand ? lastSideBefore(j) : kAbove;
        const int added = edgeCrossings(pts[j], pts[k], side0, side1, lastSide, p, q, tol);
        if (added == kOnBoundary) return true;
        crossings += added;
        return false;
    };
    for (int j : longEdges)
        if (take(j)) return 1;
    // The bands the band around py touches, from its ends as rounded when corners are judged
    // against it: band() never falls as y grows, so an edge reaching into it, which has a corner
    // at or below its top and one at or above its bottom, is listed in one of them. An edge
    // listed in several of them is taken in its lowest only.
    const int b0 = band(py - tol), b1 = band(py + tol);
    for (int b = b0; b <= b1; ++b)
        for (int e = bandStart[size_t(b)]; e < bandStart[size_t(b) + 1]; ++e) {
            const int j = edges[size_t(e)];
            const Point2D& e0 = pts[j];
            const Point2D& e1 = pts[(j + 1) % count];
            if (b > b0 && band(std::min(e0.y(), e1.y())) != b) continue;
            if (take(j)) return 1;
        }
    return (crossings % 2 == 1) ? 0 : 2;
}
