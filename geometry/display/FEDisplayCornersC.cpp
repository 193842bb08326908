// FEDisplayCornersC: faces cut into display corners, runs of faces on several threads.
#include "geometry/display/FEDisplayCornersC.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "geometry/display/FEFaceTessellatorC.h"
#include "geometry/display/FEFaceTriangulatorC.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshTopology.h"
#include "platform/Parallel.h"

namespace {

// Faces a piece holds at least: a piece makes its own tessellator, and below this the threads
// cost more than they save.
constexpr size_t kFacesPerPiece = 2048;

// Where a piece writes its triangles: a window of the shared array, reserved for the most
// triangles its faces can give, or a buffer of its own once the tessellator made vertices at
// crossings and the window is full.
class FloatBuffer {
public:
    FloatBuffer(float* window, size_t capacity) : window(window), capacity(capacity) {}

    float* append(size_t n)
    {
        if (size + n > capacity) {
            const size_t grown = std::max(2 * capacity, size + n);
            std::unique_ptr<float[]> bigger(new float[grown]);
            if (size)
                std::memcpy(bigger.get(), begin(), size * sizeof(float));
            own = std::move(bigger);
            capacity = grown;
        }
        float* at = begin() + size;
        size += n;
        return at;
    }
    float* begin() const { return own ? own.get() : window; }
    bool spilled() const { return own != nullptr; }
    size_t used() const { return size; }

private:
    float* window;
    std::unique_ptr<float[]> own;
    size_t size = 0;
    size_t capacity;
};

// The triangles a face list gives at most, tessellator crossings aside: a face of c corners in
// l loops gives c - 2 + 2 (l - 1).
size_t triangleBound(FEMeshFaceC* const* faces, size_t n)
{
    size_t bound = 0;
    for (size_t i = 0; i < n; ++i) {
        size_t corners = 0, loops = 0;
        for (FEMeshLoopC* loop = faces[i]->getFirstLoop(); loop; loop = loop->getNext()) {
            ++loops;
            FEMeshHalfEdgeC* first = loop->getFirstHalfEdge();
            for (FEMeshHalfEdgeC* h = first; h;) {
                ++corners;
                h = h->getNext();
                if (h == first)
                    break;
            }
        }
        if (loops && corners + 2 * loops >= 4)
            bound += corners + 2 * loops - 4;
    }
    return bound;
}

// Unrolls the tessellator's primitives into triangles the way the triangle collector does:
// the same triangles, corners and order, without merging corners.
class CornerSink : public FETessSinkI {
public:
    CornerSink(FloatBuffer& out, std::vector<FEDisplayCornersC::ColouredTriangle>& coloured)
        : out(out), coloured(coloured)
    {
    }

    void beginFace(FEMeshFaceC* face) override
    {
        const auto* info = dynamic_cast<const FEMeshFaceInfoColorC*>(face->getFaceInfo());
        hasColour = info != nullptr;
        if (info)
            colour = info->getColor();
    }
    void beginPrimitive(unsigned int type) override
    {
        mode = type == GL_TRIANGLES || type == GL_TRIANGLE_STRIP || type == GL_TRIANGLE_FAN ? type : 0;
        held = 0;
        parity = true;
    }
    void addVertex(const Point3D& position, const Point3D& normal) override
    {
        if (mode == 0 || held >= 3)
            return;
        positions[held] = position;
        normals[held] = normal;
        if (++held == 3)
            emitTriangle();
    }

private:
    void emitTriangle()
    {
        const Point3D& q0 = positions[0];
        // Twice the area; slivers and repeated corners give nothing to draw.
        if (crossProduct(positions[1] - q0, positions[2] - q0).length() > 1e-8) {
            float* f = out.append(FEDisplayCornersC::kFloatsPerTriangle);
            for (int c = 0; c < 3; ++c, f += FEDisplayCornersC::kFloatsPerCorner) {
                f[0] = float(normals[c].x());
                f[1] = float(normals[c].y());
                f[2] = float(normals[c].z());
                f[3] = float(positions[c].x());
                f[4] = float(positions[c].y());
                f[5] = float(positions[c].z());
            }
            if (hasColour)
                coloured.push_back({{positions[0], positions[1], positions[2]},
                                    {normals[0], normals[1], normals[2]},
                                    colour});
        }
        held = carryPrimitiveSlots(mode == GL_TRIANGLE_STRIP, mode == GL_TRIANGLE_FAN, parity, positions, normals);
    }

    FloatBuffer& out;
    std::vector<FEDisplayCornersC::ColouredTriangle>& coloured;
    bool hasColour = false;
    feColor colour;
    unsigned int mode = GL_TRIANGLES;
    int held = 0;
    bool parity = true;
    Point3D positions[3];
    Point3D normals[3];
};

struct Piece {
    size_t bound = 0;  // floats
    std::unique_ptr<FloatBuffer> corners;
    std::vector<FEDisplayCornersC::ColouredTriangle> coloured;
    bool failed = false;
};

}  // namespace

void FEDisplayCornersC::clear()
{
    corners.reset();
    count = 0;
    coloured.clear();
    coloured.shrink_to_fit();
}

std::vector<FEMeshFaceC*> FEDisplayCornersC::faceList(FEMeshFaceC* firstFace)
{
    std::vector<FEMeshFaceC*> faces;
    for (FEMeshFaceC* face = firstFace; face; face = face->getNext())
        faces.push_back(face);
    return faces;
}

bool FEDisplayCornersC::fromFaces(FEMeshFaceC* firstFace)
{
    const std::vector<FEMeshFaceC*> faces = faceList(firstFace);
    return fromFaces(faces.data(), faces.size());
}

bool FEDisplayCornersC::fromFaces(FEMeshFaceC* const* faces, size_t faceCount, bool onThreads)
{
    clear();

    // Every piece gets room for the most triangles its faces can give in one shared array, so
    // the triangles are written once and the pieces then only close up their gaps.
    const size_t pieceCount = onThreads ? platform::sys::piecesFor(faceCount, kFacesPerPiece) : 1;
    std::vector<Piece> pieces(pieceCount);
    platform::sys::runInPieces(faceCount, pieceCount, [&](size_t p, size_t begin, size_t end) {
        pieces[p].bound = triangleBound(faces + begin, end - begin) * kFloatsPerTriangle;
    });
    std::vector<size_t> windows(pieceCount + 1, 0);
    for (size_t p = 0; p < pieceCount; ++p)
        windows[p + 1] = windows[p] + pieces[p].bound;
    corners.reset(new float[std::max<size_t>(windows[pieceCount], 1)]);

    const bool fan = FEFaceTriangulatorC::fanShortcut();
    platform::sys::runInPieces(faceCount, pieceCount, [&](size_t p, size_t begin, size_t end) {
        Piece& piece = pieces[p];
        piece.corners = std::make_unique<FloatBuffer>(corners.get() + windows[p], piece.bound);
        FEFaceTessellatorC tessellator;
        if (!tessellator.isValid()) {
            piece.failed = true;
            return;
        }
        CornerSink sink(*piece.corners, piece.coloured);
        for (size_t i = begin; i < end; ++i) {
            sink.beginFace(faces[i]);
            tessellator.tessellate(faces[i], sink, fan);
        }
    });

    size_t floats = 0, colouredCount = 0;
    bool spilled = false;
    for (const Piece& piece : pieces) {
        if (piece.failed) {
            clear();
            return false;
        }
        floats += piece.corners->used();
        colouredCount += piece.coloured.size();
        spilled = spilled || piece.corners->spilled();
    }
    if (spilled) {
        // Rare (crossing contours only): the pieces are gathered into a new array.
        std::unique_ptr<float[]> gathered(new float[std::max<size_t>(floats, 1)]);
        size_t at = 0;
        for (const Piece& piece : pieces) {
            if (piece.corners->used())
                std::memcpy(gathered.get() + at, piece.corners->begin(), piece.corners->used() * sizeof(float));
            at += piece.corners->used();
        }
        corners = std::move(gathered);
    } else {
        // Each piece moves down to where the one before it ends; in order, no move overwrites
        // floats still to be moved.
        size_t at = 0;
        for (const Piece& piece : pieces) {
            if (piece.corners->used() && piece.corners->begin() != corners.get() + at)
                std::memmove(corners.get() + at, piece.corners->begin(), piece.corners->used() * sizeof(float));
            at += piece.corners->used();
        }
    }
    count = floats / kFloatsPerTriangle;
    coloured.reserve(colouredCount);
    for (Piece& piece : pieces)
        coloured.insert(coloured.end(), piece.coloured.begin(), piece.coloured.end());
    return true;
}
