// Fuzz target: arbitrary bytes as a saved mesh, loaded into a part that already holds a box.
// A refused load must leave the part exactly as it was; an accepted one must give a mesh
// whose rings close, which saves and loads again to the same mesh.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzMemoryFile.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "services/streams/csrecordfile.h"

namespace {

void addBox(FEMeshPartC& part)
{
    const Point3D c[8] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    const int sides[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {3, 7, 6, 2}, {0, 4, 7, 3}, {1, 2, 6, 5}};
    const Point3D normals[6] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
    for (int s = 0; s < 6; ++s) {
        const Point3D pts[4] = {c[sides[s][0]], c[sides[s][1]], c[sides[s][2]], c[sides[s][3]]};
        part.addFace(pts, 4, normals[s], nullptr, 15.0f, s);
        part.endFace();
    }
    part.finalize(-1.0);
}

// The part's records as text: counts, and per face its loops' rings (vertex positions).
std::string describe(FEMeshPartC& part)
{
    std::string s = std::to_string(part.getFaceCount()) + " " + std::to_string(part.getEdgeCount()) + " " +
                    std::to_string(part.getVertexCount()) + " " + std::to_string(part.getNextFaceNumber()) + " " +
                    std::to_string(part.isManifold()) + "\n";
    size_t halfEdges = 0;
    for (FEMeshFaceC* f = part.getFirstFace(); f; f = f->getNext())
        for (FEMeshLoopC* l = f->getFirstLoop(); l; l = l->getNext()) {
            FEMeshHalfEdgeC* h0 = l->getFirstHalfEdge();
            for (FEMeshHalfEdgeC* h = h0; h;) {
                FUZZ_CHECK(h->getNext() && h->getNext()->getPrevious() == h && h->getLoop() == l && h->getVertex());
                FUZZ_CHECK(++halfEdges <= 4 * part.getEdgeCount() + 64);
                const Point3Df& p = h->getVertex()->getPosition();
                s += std::to_string(p.x()) + "," + std::to_string(p.y()) + "," + std::to_string(p.z()) + " ";
                h = h->getNext();
                if (h == h0)
                    break;
            }
            s += "\n";
        }
    return s;
}

bool loadInto(FEMeshPartC& part, const std::string& path)
{
    csrecordfile in(path.c_str(), false);
    RWCString first, second;
    unsigned roots = 0, tag = 0, count = 0;
    try {
        if (!in.readHeader(first, second, roots) || in.readRecordHead(tag, count))
            return false;
    } catch (const FileException&) {
        return false;
    }
    return part.load(in, count);
}

}  // namespace

// Input: the bytes of a record file whose first record is taken as the mesh.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzMemoryFile file(std::string(reinterpret_cast<const char*>(data), size));
    if (!file.ok())
        return 0;
    FEMeshPartC part;
    addBox(part);
    const std::string before = describe(part);
    if (!loadInto(part, file.name())) {
        FUZZ_CHECK(describe(part) == before, describe(part), before);
        return 0;
    }
    // What was accepted saves and loads again to the same rings.
    FEMeshPartC copy;
    FuzzMemoryFile saved("");
    if (!saved.ok())
        return 0;
    {
        csrecordfile out(saved.name().c_str(), true);
        FUZZ_CHECK(out.writeHeader("", "") && part.save(out, 1) && out.finishFile() && out.close());
    }
    FUZZ_CHECK(loadInto(copy, saved.name()));
    FUZZ_CHECK(copy.getFaceCount() == part.getFaceCount() && copy.getEdgeCount() == part.getEdgeCount());
    describe(copy);
    return 0;
}
