// Shapes for the mesh tests: boxes from square faces, tori from triangles, and a fingerprint
// text of a whole mesh for comparing two parts record by record.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "geometry/mesh/FEMeshPartC.h"

namespace meshtest {

inline constexpr double kPi = 3.14159265358979323846;

inline void addQuad(FEMeshPartC& part, const Point3D& a, const Point3D& b, const Point3D& c, const Point3D& d,
                    const Point3D& normal, int group = 0)
{
    const Point3D pts[4] = {a, b, c, d};
    part.addFace(pts, 4, normal, nullptr, 15.0f, group);
    part.endFace();
}

// The box [0, sx] x [0, sy] x [0, sz], one square face per side, normals outward; with
// `groups` each side has its own group id (1 to 6).
inline void buildBox(FEMeshPartC& part, double sx = 1, double sy = 1, double sz = 1, bool groups = false)
{
    auto g = [&](int id) { return groups ? id : 0; };
    addQuad(part, {0, 0, 0}, {0, sy, 0}, {sx, sy, 0}, {sx, 0, 0}, {0, 0, -1}, g(1));
    addQuad(part, {0, 0, sz}, {sx, 0, sz}, {sx, sy, sz}, {0, sy, sz}, {0, 0, 1}, g(2));
    addQuad(part, {0, 0, 0}, {sx, 0, 0}, {sx, 0, sz}, {0, 0, sz}, {0, -1, 0}, g(3));
    addQuad(part, {0, sy, 0}, {0, sy, sz}, {sx, sy, sz}, {sx, sy, 0}, {0, 1, 0}, g(4));
    addQuad(part, {0, 0, 0}, {0, 0, sz}, {0, sy, sz}, {0, sy, 0}, {-1, 0, 0}, g(5));
    addQuad(part, {sx, 0, 0}, {sx, sy, 0}, {sx, sy, sz}, {sx, 0, sz}, {1, 0, 0}, g(6));
}

// 2 * rings * segments outward triangles on a torus of radii R and r about the z axis.
inline void buildTorus(FEMeshPartC& part, int rings, int segments, double R = 50.0, double r = 20.0)
{
    auto point = [&](int i, int j) {
        const double u = 2.0 * kPi * (i % rings) / rings, v = 2.0 * kPi * (j % segments) / segments;
        const double d = R + r * std::cos(v);
        return Point3D(d * std::cos(u), d * std::sin(u), r * std::sin(v));
    };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            const Point3D a = point(i, j), b = point(i + 1, j), c = point(i + 1, j + 1), d = point(i, j + 1);
            part.addTriangle(a, b, c);
            part.addTriangle(a, c, d);
        }
}

// Every record of the part in list order: edges (smooth flag), vertices (position, whether
// it has an outgoing half-edge), faces (group, normal, loops of half-edges with vertex
// position, corner normal, edge by list position and side, whether it is its vertex's outgoing
// half-edge).
inline std::string fingerprint(FEMeshPartC& part)
{
    std::string s;
    char line[256];
    std::unordered_map<const FEMeshEdgeC*, int> edgeNumber;
    int n = 0;
    for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext()) {
        edgeNumber[e] = n++;
        s += e->isSmooth() ? 'S' : 's';
    }
    s += '\n';
    part.forEachVertex(
        [](FEMeshVertexC* v, void* arg) {
            char text[96];
            const Point3Df& p = v->getPosition();
            std::snprintf(text, sizeof text, "v %.9g %.9g %.9g %d\n", p.x(), p.y(), p.z(), v->getOutgoingHalfEdge() ? 1 : 0);
            *static_cast<std::string*>(arg) += text;
        },
        &s);
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext()) {
        const Point3Df& fn = f->getNormal();
        std::snprintf(line, sizeof line, "f %d %.9g %.9g %.9g\n", f->getGroupId(), fn.x(), fn.y(), fn.z());
        s += line;
        for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext()) {
            s += " loop\n";
            FEMeshHalfEdgeC* h0 = l->getFirstHalfEdge();
            for (FEMeshHalfEdgeC* h = h0; h;) {
                const Point3Df& p = h->getVertex()->getPosition();
                const Point3Df& c = h->getNormal();
                const FEMeshEdgeC* e = h->getEdge();
                std::snprintf(line, sizeof line, "  %.9g %.9g %.9g n %.9g %.9g %.9g e %d%c o%d\n", p.x(), p.y(), p.z(),
                              c.x(), c.y(), c.z(), e ? edgeNumber[e] : -1, e && e->getFirstHalfEdge() == h ? 'a' : 'b',
                              h->getVertex()->getOutgoingHalfEdge() == h ? 1 : 0);
                s += line;
                if (h->getNext()->getPrevious() != h || h->getLoop() != l)
                    s += "  broken ring\n";
                h = h->getNext();
                if (h == h0)
                    break;
            }
        }
    }
    return s;
}

// Everything building decides, exactly: the counters, the manifold flag and the box; vertices in
// hash order with number, bits of the position, outgoing half-edge and incident edges in list
// order; edges in list order with number, smooth flag and sides; faces in list order with
// number, group, normal and every half-edge of every loop. Two parts built from the same input
// by two ways of building give the same text only when the ways agree in every respect.
inline std::string structure(FEMeshPartC& part)
{
    std::string s;
    char line[320];
    const auto halfEdge = [](const FEMeshHalfEdgeC* h) {
        if (!h)
            return std::string("-");
        const FEMeshFaceC* f = h->getFace();
        return std::to_string(f ? f->getIndex() : -1) + "/" +
               std::to_string(h->getVertex() ? h->getVertex()->getIndex() : -1);
    };
    std::snprintf(line, sizeof line, "next %d %d %d manifold %d box %a %a %a %a %a %a\n", part.getNextVertexNumber(),
                  part.getNextEdgeNumber(), part.getNextFaceNumber(), part.isManifold() ? 1 : 0,
                  part.getMinPoint().x(), part.getMinPoint().y(), part.getMinPoint().z(), part.getMaxPoint().x(),
                  part.getMaxPoint().y(), part.getMaxPoint().z());
    s += line;
    for (FEMeshVertexC* v = part.getVertexHash().first(); v; v = part.getVertexHash().next()) {
        const Point3Df& p = v->getPosition();
        std::snprintf(line, sizeof line, "v %d %a %a %a out %s in", v->getIndex(), p.x(), p.y(), p.z(),
                      halfEdge(v->getOutgoingHalfEdge()).c_str());
        s += line;
        for (FEMeshIncidenceC* n = v->getFirstIncidence(); n; n = n->getNext())
            s += " " + std::to_string(n->getEdge()->getIndex());
        s += '\n';
    }
    for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext())
        s += "e " + std::to_string(e->getIndex()) + (e->isSmooth() ? " S " : " s ") + halfEdge(e->getFirstHalfEdge()) +
             " " + halfEdge(e->getSecondHalfEdge()) + "\n";
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext()) {
        const Point3Df& n = f->getNormal();
        std::snprintf(line, sizeof line, "f %d %d %a %a %a\n", f->getIndex(), f->getGroupId(), n.x(), n.y(), n.z());
        s += line;
        for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext()) {
            FEMeshHalfEdgeC* h0 = l->getFirstHalfEdge();
            for (FEMeshHalfEdgeC* h = h0; h;) {
                const FEMeshEdgeC* e = h->getEdge();
                s += " " + std::to_string(h->getVertex()->getIndex()) + ":" + std::to_string(e ? e->getIndex() : -1) +
                     (e && e->getFirstHalfEdge() == h ? "a" : "b");
                h = h->getNext();
                if (h == h0)
                    break;
            }
            s += '\n';
        }
    }
    return s;
}

// Faults in the faces' loop chains, each counted: a loop of another face, a loop whose link back
// is not the loop before it, a last loop that is not the chain's last.
inline int loopChainFaults(FEMeshPartC& part)
{
    int bad = 0;
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext()) {
        FEMeshLoopC* last = nullptr;
        for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext()) {
            bad += l->getFace() != f;
            bad += l->getPrevious() != last;
            last = l;
        }
        bad += last != f->getLastLoop();
    }
    return bad;
}

// Empty when the texts are the same, else where they first differ (a line of each): short
// enough for a failure message when the texts are the structures of large meshes.
inline std::string firstDifference(const std::string& a, const std::string& b)
{
    if (a == b)
        return std::string();
    size_t at = 0, line = 1;
    while (at < a.size() && at < b.size() && a[at] == b[at])
        line += a[at++] == '\n';
    const size_t start = a.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t from = start == std::string::npos ? 0 : start + 1;
    auto lineOf = [&](const std::string& s) { return s.substr(from, s.find('\n', from) - from); };
    return "line " + std::to_string(line) + ": '" + lineOf(a) + "' against '" + lineOf(b) + "'";
}

}  // namespace meshtest
