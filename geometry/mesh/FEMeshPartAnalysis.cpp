// FEMeshPartC: mass properties, principal axes, the graph text and small walks over faces and loops.
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "geometry/display/FETriangleCollectorC.h"
#include "math/AlgorithmIF.h"
#include "math/MatrixIF.h"
#include "geometry/mesh/FEMeshPartC.h"

namespace {

// The subexpressions of one axis of a triangle in the polyhedral mass-properties integration
// (Eberly): f1 = w0 + w1 + w2, f2, f3 and g_i = f2 + w_i (f1 + w_i).
struct Subexpressions {
    double f1, f2, f3, g0, g1, g2;
};

Subexpressions subexpressions(double w0, double w1, double w2)
{
    Subexpressions s;
    const double temp0 = w0 + w1;
    s.f1 = temp0 + w2;
    const double temp1 = w0 * w0;
    const double temp2 = temp1 + w1 * temp0;
    s.f2 = temp2 + w2 * s.f1;
    s.f3 = w0 * temp1 + w1 * temp2 + w2 * s.f2;
    s.g0 = s.f2 + w0 * (s.f1 + w0);
    s.g1 = s.f2 + w1 * (s.f1 + w1);
    s.g2 = s.f2 + w2 * (s.f1 + w2);
    return s;
}

void appendNumber(RWCString& out, const char* prefix, int n)
{
    char text[24];
    const int len = std::snprintf(text, sizeof text, "%s%d", prefix, n);
    out.append(text, size_t(len));
}

// Numbers the vertices of the faces' rings in the order first met and writes the graph.
void writeGraphOf(RWCString& out, FEMeshFaceC* first, bool onlyFirst)
{
    out.append("digraph G {\n");
    std::unordered_map<const FEMeshVertexC*, int> numbers;
    auto forEachHalfEdge = [&](auto&& fn) {
        for (FEMeshFaceC* f = first; f; f = onlyFirst ? nullptr : f->getNext())
            for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext()) {
                FEMeshHalfEdgeC* h0 = l->getFirstHalfEdge();
                for (FEMeshHalfEdgeC* h = h0; h;) {
                    fn(h);
                    h = h->getNext();
                    if (h == h0)
                        break;
                }
            }
    };
    forEachHalfEdge([&](FEMeshHalfEdgeC* h) {
        if (numbers.emplace(h->getVertex(), int(numbers.size())).second) {
            appendNumber(out, "V", numbers[h->getVertex()]);
            out.append(";\n");
        }
    });
    forEachHalfEdge([&](FEMeshHalfEdgeC* h) {
        appendNumber(out, "V", numbers[h->getVertex()]);
        appendNumber(out, "->V", numbers[h->getNext() ? h->getNext()->getVertex() : h->getVertex()]);
        out.append(";\n");
    });
    out.append("}\n");
}

}  // namespace

void FEMeshPartC::computeMassProperties(double& area, double& volume, Point3D& centre, Point3D& row1, Point3D& row2,
                                        Point3D& row3)
{
    FETriangleCollectorC collector(16384);
    triangulate(&collector);

    constexpr double mult[10] = {1.0 / 6, 1.0 / 24, 1.0 / 24, 1.0 / 24, 1.0 / 60,
                                 1.0 / 60, 1.0 / 60, 1.0 / 120, 1.0 / 120, 1.0 / 120};
    double intg[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // 1, x, y, z, x2, y2, z2, xy, yz, zx
    double areaSum = 0.0;
    auto it = collector.getTriangleIterator();
    while (++it) {
        const FETessTriangleC* t = it.key();
        const Point3D p0 = t->getPosition(0), p1 = t->getPosition(1), p2 = t->getPosition(2);
        const Point3D d = crossProduct(p1 - p0, p2 - p0);
        areaSum += d.length();
        const Subexpressions sx = subexpressions(p0.x(), p1.x(), p2.x());
        const Subexpressions sy = subexpressions(p0.y(), p1.y(), p2.y());
        const Subexpressions sz = subexpressions(p0.z(), p1.z(), p2.z());
        intg[0] += d.x() * sx.f1;
        intg[1] += d.x() * sx.f2;
        intg[2] += d.y() * sy.f2;
        intg[3] += d.z() * sz.f2;
        intg[4] += d.x() * sx.f3;
        intg[5] += d.y() * sy.f3;
        intg[6] += d.z() * sz.f3;
        intg[7] += d.x() * (p0.y() * sx.g0 + p1.y() * sx.g1 + p2.y() * sx.g2);
        intg[8] += d.y() * (p0.z() * sy.g0 + p1.z() * sy.g1 + p2.z() * sy.g2);
        intg[9] += d.z() * (p0.x() * sz.g0 + p1.x() * sz.g1 + p2.x() * sz.g2);
    }
    for (int i = 0; i < 10; ++i)
        intg[i] *= mult[i];

    const double m = intg[0];
    volume = m;
    area = areaSum / 2.0;
    // Without volume there is no centre: the moments are then taken about the origin.
    const Point3D c = m != 0.0 ? Point3D(intg[1] / m, intg[2] / m, intg[3] / m) : Point3D(0.0, 0.0, 0.0);
    centre = c;
    const double ixx = intg[5] + intg[6] - m * (c.y() * c.y() + c.z() * c.z());
    const double iyy = intg[4] + intg[6] - m * (c.z() * c.z() + c.x() * c.x());
    const double izz = intg[4] + intg[5] - m * (c.x() * c.x() + c.y() * c.y());
    const double ixy = -(intg[7] - m * c.x() * c.y());
    const double iyz = -(intg[8] - m * c.y() * c.z());
    const double izx = -(intg[9] - m * c.z() * c.x());
    row1 = Point3D(ixx, ixy, izx);
    row2 = Point3D(ixy, iyy, iyz);
    row3 = Point3D(izx, iyz, izz);
}

bool FEMeshPartC::computePrincipalAxes(double& eigenvalue1, double& centroidX, Point3D& axis1, double& eigenvalue2,
                                       double& centroidY, Point3D& axis2, double& eigenvalue3, double& centroidZ,
                                       Point3D& axis3, FEMeshVertexHashC* hash)
{
    const FEMeshVertexHashC& store = hash ? *hash : vertexHash();
    eigenvalue1 = eigenvalue2 = eigenvalue3 = 0.0;
    centroidX = centroidY = centroidZ = 0.0;
    axis1 = axis2 = axis3 = Point3D(0.0, 0.0, 0.0);

    auto forEachVertex = [&](auto&& fn) {
        store.forEachVertex([&](const FEMeshVertexC* v) { fn(Point3D(v->getPosition())); });
    };
    size_t count = 0;
    Point3D sum(0.0, 0.0, 0.0);
    forEachVertex([&](const Point3D& p) {
        sum += p;
        ++count;
    });
    if (count == 0)
        return false;
    const Point3D mean(sum.x() / double(count), sum.y() / double(count), sum.z() / double(count));
    centroidX = mean.x();
    centroidY = mean.y();
    centroidZ = mean.z();
    // The covariance divides by count - 1: one vertex has none.
    if (count < 2)
        return false;

    double xx = 0, xy = 0, xz = 0, yy = 0, yz = 0, zz = 0;
    forEachVertex([&](const Point3D& p) {
        const double dx = p.x() - mean.x(), dy = p.y() - mean.y(), dz = p.z() - mean.z();
        xx += dx * dx;
        xy += dx * dy;
        xz += dx * dz;
        yy += dy * dy;
        yz += dy * dz;
        zz += dz * dz;
    });
    const double n1 = double(count - 1);
    SymmetricMatrixNXN covariance(3);
    covariance.set(0, 0, xx / n1);
    covariance.set(0, 1, xy / n1);
    covariance.set(0, 2, xz / n1);
    covariance.set(1, 1, yy / n1);
    covariance.set(1, 2, yz / n1);
    covariance.set(2, 2, zz / n1);
    JacobiMethod jacobi(covariance);
    if (!jacobi.solve())
        return false;

    struct Pair {
        double value;
        Point3D axis;
    } pairs[3];
    for (unsigned i = 0; i < 3; ++i) {
        RWTValOrderedVector<double> v;
        jacobi.eigenvector(i, v);
        pairs[i] = {jacobi.eigenvalue(i), Point3D(v[0], v[1], v[2]).normalized()};
    }
    std::stable_sort(pairs, pairs + 3, [](const Pair& a, const Pair& b) { return a.value > b.value; });
    eigenvalue1 = pairs[0].value;
    axis1 = pairs[0].axis;
    eigenvalue2 = pairs[1].value;
    axis2 = pairs[1].axis;
    eigenvalue3 = pairs[2].value;
    axis3 = pairs[2].axis;
    return true;
}

void FEMeshPartC::writeGraph(RWCString& out) { writeGraphOf(out, faceHead, false); }

void FEMeshPartC::writeGraph(RWCString& out, FEMeshFaceC* face) { writeGraphOf(out, face, true); }

int FEMeshPartC::deleteOpenFaces()
{
    int deleted = 0;
    for (;;) {
        int pass = 0;
        for (FEMeshFaceC* f = faceHead; f;) {
            FEMeshFaceC* following = f->getNext();
            bool open = false;
            for (FEMeshLoopC* l = f->getFirstLoop(); l && !open; l = l->getNext()) {
                FEMeshHalfEdgeC* h0 = l->getFirstHalfEdge();
                for (FEMeshHalfEdgeC* h = h0; h && !open;) {
                    open = h->getPartner() == nullptr;
                    h = h->getNext();
                    if (h == h0)
                        break;
                }
            }
            if (open) {
                deleteFace(f);
                ++pass;
            }
            f = following;
        }
        if (pass == 0)
            return deleted;
        deleted += pass;
    }
}

void FEMeshPartC::loopPositions(FEMeshLoopC* loop, RWTValSlist<Point3D>& out) const
{
    FEMeshHalfEdgeC* h0 = loop ? loop->getFirstHalfEdge() : nullptr;
    for (FEMeshHalfEdgeC* h = h0; h;) {
        out.append(Point3D(h->getVertex()->getPosition()));
        h = h->getNext();
        if (h == h0)
            break;
    }
}

void FEMeshPartC::clearFaceMarks()
{
    for (FEMeshFaceC* f = faceHead; f; f = f->getNext())
        f->setMark(0);
}

int FEMeshPartC::classifyPoint(FEMeshLoopC* loop, const Point3D& p)
{
    const FEMeshFaceC* face = loop ? loop->getFace() : nullptr;
    if (!face)
        return 2;
    const Point3Df n = face->getNormal();
    return pointInLoop(n.x(), n.y(), n.z(), loop, Point3Df(p));
}
