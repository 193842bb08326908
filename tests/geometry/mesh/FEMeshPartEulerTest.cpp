// Tests of the Euler operators and the edge collapse: counts, ring and pairing consistency, and
// the cases each refuses.
#include <gtest/gtest.h>

#include <string>

#include "geometry/mesh/FEMeshPartC.h"
#include "tests/geometry/mesh/MeshTestShapes.h"

namespace {

// Every ring closed and in its loop, every loop chain linked both ways, every half-edge named
// by its edge, partners running the other way, outgoing half-edges starting at their vertex. Gives the first fault or "".
std::string checkTopology(FEMeshPartC& part, bool closed)
{
    size_t halfEdges = 0;
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext())
        for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext()) {
            if (l->getFace() != f)
                return "loop of another face";
            FEMeshHalfEdgeC* h0 = l->getFirstHalfEdge();
            for (FEMeshHalfEdgeC* h = h0; h;) {
                ++halfEdges;
                if (h->getNext()->getPrevious() != h || h->getLoop() != l)
                    return "broken ring";
                FEMeshEdgeC* e = h->getEdge();
                if (!e || (e->getFirstHalfEdge() != h && e->getSecondHalfEdge() != h))
                    return "edge does not name its half-edge";
                FEMeshHalfEdgeC* q = h->getPartner();
                if (closed && !q)
                    return "open edge";
                if (q && (q->getVertex() != h->getNext()->getVertex() || q->getNext()->getVertex() != h->getVertex()))
                    return "partners do not run opposite";
                FEMeshHalfEdgeC* out = h->getVertex()->getOutgoingHalfEdge();
                if (!out || out->getVertex() != h->getVertex())
                    return "outgoing half-edge elsewhere";
                h = h->getNext();
                if (h == h0)
                    break;
            }
        }
    if (meshtest::loopChainFaults(part) != 0)
        return "loop chain links";
    size_t sides = 0;
    for (FEMeshEdgeC* e = part.getFirstEdge(); e; e = e->getNext())
        sides += (e->getFirstHalfEdge() ? 1 : 0) + (e->getSecondHalfEdge() ? 1 : 0);
    return sides == halfEdges ? "" : "edges name half-edges that are not in rings";
}

FEMeshHalfEdgeC* firstHalfEdge(FEMeshPartC& part) { return part.getFirstFace()->getFirstLoop()->getFirstHalfEdge(); }

}  // namespace

TEST(FEMeshPartEulerTest, MakeEdgeVertexThenEdgeFaceSplitsASquare)
{
    FEMeshPartC part;
    meshtest::addQuad(part, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1});
    FEMeshHalfEdgeC* h = firstHalfEdge(part);
    // A strut from a corner to the centre: one half-edge twice.
    FEMeshVertexC* centre = part.makeEdgeVertex(h, h, Point3D(0.5, 0.5, 0));
    ASSERT_NE(centre, nullptr);
    EXPECT_EQ(centre->getPosition(), Point3Df(0.5f, 0.5f, 0.0f));
    EXPECT_EQ(part.getVertexCount(), 5u);
    EXPECT_EQ(part.getEdgeCount(), 5u);
    EXPECT_EQ(part.getFirstFace()->getFirstLoop()->getHalfEdgeCount(), 6);
    EXPECT_EQ(checkTopology(part, false), "");

    // An edge from the centre to the corner three half-edges on cuts the ring of six (the strut
    // runs both ways) into two faces with eight half-edges between them.
    FEMeshHalfEdgeC* fromCentre = centre->getOutgoingHalfEdge();
    FEMeshHalfEdgeC* target = fromCentre->getNext()->getNext()->getNext();
    FEMeshFaceC* added = part.makeEdgeFace(target, fromCentre);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(part.getFaceCount(), 2u);
    EXPECT_EQ(part.getEdgeCount(), 6u);
    EXPECT_EQ(added->getIndex(), 2);
    EXPECT_EQ(added->getFirstLoop()->getHalfEdgeCount() + part.getFirstFace()->getFirstLoop()->getHalfEdgeCount(), 8);
    EXPECT_EQ(checkTopology(part, false), "");

    // Refusals: the same half-edge, half-edges of different loops, null.
    EXPECT_EQ(part.makeEdgeFace(fromCentre, fromCentre), nullptr);
    EXPECT_EQ(part.makeEdgeFace(firstHalfEdge(part), added->getFirstLoop()->getFirstHalfEdge()), nullptr);
    EXPECT_EQ(part.makeEdgeVertex(nullptr, h, Point3D()), nullptr);
    EXPECT_EQ(part.makeEdgeVertex(h, h->getNext(), Point3D()), nullptr);  // different vertices
    EXPECT_EQ(part.getFaceCount(), 2u);
}

TEST(FEMeshPartEulerTest, MakeEdgeVertexSplitsAVertexOfAClosedBox)
{
    FEMeshPartC part;
    meshtest::buildBox(part);
    part.finalize(-1.0);
    FEMeshVertexC* v = part.getVertexHash().first();
    FEMeshHalfEdgeC* h1 = v->getOutgoingHalfEdge();
    FEMeshHalfEdgeC* h2 = h1->getPartner()->getNext();  // the next corner round the vertex
    FEMeshVertexC* w = part.makeEdgeVertex(h1, h2, Point3D(v->getPosition()) + Point3D(0.1, 0.1, 0.1));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(h1->getVertex(), w);
    EXPECT_EQ(h2->getVertex(), v);
    EXPECT_EQ(part.getVertexCount(), 9u);
    EXPECT_EQ(part.getEdgeCount(), 13u);
    EXPECT_EQ(checkTopology(part, true), "");
}

TEST(FEMeshPartEulerTest, MakeEdgeKillRingJoinsAHoleToItsBoundary)
{
    FEMeshPartC part;
    const Point3D outer[4] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    const Point3D hole[4] = {{3, 3, 0}, {3, 7, 0}, {7, 7, 0}, {7, 3, 0}};
    part.addFace(outer, 4, Point3D(0, 0, 1), nullptr, 15.0f, 0);
    part.addLoop(hole, 4);
    part.endFace();
    FEMeshFaceC* face = part.getFirstFace();
    ASSERT_EQ(face->getLoopCount(), 2);
    FEMeshHalfEdgeC* h1 = face->getFirstLoop()->getFirstHalfEdge();
    FEMeshHalfEdgeC* h2 = face->getLastLoop()->getFirstHalfEdge();
    EXPECT_EQ(part.makeEdgeKillRing(h1, h1->getNext()), nullptr);  // one loop
    FEMeshEdgeC* e = part.makeEdgeKillRing(h1, h2);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(face->getLoopCount(), 1);
    EXPECT_EQ(face->getFirstLoop()->getHalfEdgeCount(), 10);
    EXPECT_EQ(part.getEdgeCount(), 9u);
    EXPECT_EQ(e->getFirstHalfEdge()->getVertex(), h1->getVertex());
    EXPECT_EQ(e->getSecondHalfEdge()->getVertex(), h2->getVertex());
    EXPECT_EQ(checkTopology(part, false), "");
}

TEST(FEMeshPartEulerTest, CollapseEdgeRemovesTwoTrianglesAndKeepsTheMeshClosed)
{
    FEMeshPartC part;
    meshtest::buildTorus(part, 12, 8);
    ASSERT_EQ(checkTopology(part, true), "");
    const size_t faces = part.getFaceCount(), edges = part.getEdgeCount(), vertices = part.getVertexCount();
    FEMeshEdgeC* e = part.getFirstEdge()->getNext()->getNext();
    FEMeshVertexC* kept = e->getFirstHalfEdge()->getVertex();
    const Point3D mid = (Point3D(e->getStartPoint()) + Point3D(e->getEndPoint())) * 0.5;
    ASSERT_TRUE(part.collapseEdge(e, mid));
    EXPECT_EQ(part.getFaceCount(), faces - 2);
    EXPECT_EQ(part.getEdgeCount(), edges - 3);
    EXPECT_EQ(part.getVertexCount(), vertices - 1);
    EXPECT_EQ(kept->getPosition(), Point3Df(mid));
    EXPECT_EQ(checkTopology(part, true), "");
    // Corner normals were smoothed again.
    EXPECT_GT(kept->getOutgoingHalfEdge()->getNormal().length(), 0.5);

    // Refused: a border edge, an edge of a quadrilateral face, no edge.
    FEMeshPartC sheet;
    meshtest::addQuad(sheet, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1});
    const Point3D t[3] = {{1, 0, 0}, {0, 0, 0}, {0, -1, 0}};
    sheet.addFace(t, 3, Point3D(0, 0, 1), nullptr, 15.0f, 0);
    sheet.endFace();
    for (FEMeshEdgeC* s = sheet.getFirstEdge(); s; s = s->getNext())
        EXPECT_FALSE(sheet.collapseEdge(s, Point3D()));
    EXPECT_FALSE(sheet.collapseEdge(nullptr, Point3D()));
    EXPECT_EQ(sheet.getFaceCount(), 2u);

    // A torus of 3 x 3 cells: the two ends of every edge share a third neighbour besides the
    // triangles' far corners, so no collapse passes the link condition.
    FEMeshPartC tight;
    meshtest::buildTorus(tight, 3, 3);
    ASSERT_EQ(checkTopology(tight, true), "");
    ASSERT_EQ(tight.getEdgeCount(), 27u);
    for (FEMeshEdgeC* s = tight.getFirstEdge(); s; s = s->getNext())
        EXPECT_FALSE(tight.collapseEdge(s, Point3D(s->getStartPoint())));
    EXPECT_EQ(tight.getFaceCount(), 18u);
    EXPECT_EQ(tight.getVertexCount(), 9u);
}
