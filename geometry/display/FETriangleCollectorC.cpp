// FETriangleCollectorC, FETessVertexHashC and FETessTriangleC: collecting tessellated triangles.
#include "geometry/display/FETriangleCollectorC.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "geometry/display/FEFaceTessellatorC.h"
#include "geometry/display/FEFaceTriangulatorC.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"

namespace {

// Stores of fewer points are searched by walking the chains; the grid pays off above this.
constexpr size_t kGridThreshold = 64;
// Grid cells are a hundred tolerances wide: a search mostly looks at one cell only.
constexpr double kCellSize = 1e-5;
// Points beyond this on an axis (or not finite) are kept in a plain list beside the grid.
constexpr double kGridLimit = 1e9;

unsigned hashInt(const int& i) { return unsigned(i); }

using NodeArena = FEMeshArenaC<FETessVertexNodeC>;

uint64_t mixCell(int64_t cx, int64_t cy, int64_t cz)
{
    uint64_t h = uint64_t(cx) * 0x9E3779B97F4A7C15ull;
    h ^= uint64_t(cy) * 0xC2B2AE3D27D4EB4Full + (h >> 29);
    h ^= uint64_t(cz) * 0x165667B19E3779F9ull + (h >> 31);
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return h;
}

int64_t cellIndex(double v) { return int64_t(std::floor(v / kCellSize)); }

// The recent-answer table: faces share corners with the faces just before them.
constexpr size_t kRecentSize = 4096;

size_t recentSlot(const Point3D& p)
{
    uint64_t bits[3];
    const double c[3] = {p.x(), p.y(), p.z()};
    std::memcpy(bits, c, sizeof bits);
    uint64_t h = bits[0] * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 31) ^ bits[1]) * 0xC2B2AE3D27D4EB4Full;
    h = (h ^ (h >> 29) ^ bits[2]) * 0x165667B19E3779F9ull;
    return size_t(h >> 40) & (kRecentSize - 1);
}

}  // namespace

// ---- FETessVertexHashC ----

FETessVertexHashC::FETessVertexHashC(size_t buckets)
    : heads(std::max<size_t>(buckets, 1), nullptr), tails(std::max<size_t>(buckets, 1), nullptr)
{
}

FETessVertexHashC::~FETessVertexHashC() { clear(); }

int FETessVertexHashC::bucketOf(const Point3D& p) const
{
    const double key = std::fabs(100.0 * p.x() + 10000.0 * p.y() + 1000000.0 * p.z());
    if (!std::isfinite(key))
        return 0;
    return int(std::fmod(key, double(heads.size())));
}

bool FETessVertexHashC::matches(const FETessVertexNodeC* node, const Point3D& p)
{
    const Point3D& s = node->point;
    return std::fabs(p.x() - s.x()) <= kTolerance && std::fabs(p.y() - s.y()) <= kTolerance &&
           std::fabs(p.z() - s.z()) <= kTolerance;
}

FETessVertexNodeC* FETessVertexHashC::findByScan(const Point3D& p) const
{
    const int n = int(heads.size());
    const int h = bucketOf(p);
    const int order[3] = {h, h == 0 ? n - 1 : h - 1, h == n - 1 ? 0 : h + 1};
    for (int b : order)
        for (FETessVertexNodeC* node = heads[b]; node; node = node->next)
            if (matches(node, p))
                return node;
    return nullptr;
}

FETessVertexNodeC* FETessVertexHashC::find(const Point3D& p) { return find(p, bucketOf(p)); }

FETessVertexNodeC* FETessVertexHashC::find(const Point3D& p, int bucket)
{
    if (indexEnabled && !gridBuilt && count >= kGridThreshold)
        buildGrid();
    if (!gridBuilt || !gridUsable(p))
        return findByScan(p);
    return findInGrid(p, bucket);
}

FETessVertexNodeC* FETessVertexHashC::findOrInsert(const Point3D& p)
{
    RecentEntry* remembered = nullptr;
    if (indexEnabled) {
        if (recent.empty())
            recent.resize(kRecentSize);
        remembered = &recent[recentSlot(p)];
        const Point3D& q = remembered->point;
        if (remembered->node && q.x() == p.x() && q.y() == p.y() && q.z() == p.z())
            return remembered->node;
    }
    const int b = bucketOf(p);
    FETessVertexNodeC* node = find(p, b);
    if (node) {
        if (remembered && node->bucket == b)
            *remembered = RecentEntry{p, node};
        return node;
    }
    node = pool.create(p);
    node->bucket = b;
    node->sequence = nextSequence++;
    if (tails[b])
        tails[b]->next = node;
    else
        heads[b] = node;
    tails[b] = node;
    ++count;
    if (gridBuilt)
        gridAdd(node);
    if (remembered)
        *remembered = RecentEntry{p, node};
    return node;
}

void FETessVertexHashC::clear()
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's pool makes each node a heap object of its own.
    for (FETessVertexNodeC* head : heads)
        for (FETessVertexNodeC* node = head; node;) {
            FETessVertexNodeC* next = node->next;
            pool.destroy(node);
            node = next;
        }
#else
    // Nodes hold nothing that needs a destructor: the pool lets them go all at once.
    pool.releaseAll();
#endif
    std::fill(heads.begin(), heads.end(), nullptr);
    std::fill(tails.begin(), tails.end(), nullptr);
    count = 0;
    nextSequence = 0;
    gridBuilt = false;
    grid.clear();
    grid.shrink_to_fit();
    gridUsed = 0;
    oddNodes = 0;
    std::fill(recent.begin(), recent.end(), RecentEntry());
}

int FETessVertexHashC::numberAll()
{
    int index = 0;
    for (FETessVertexNodeC* head : heads)
        for (FETessVertexNodeC* node = head; node; node = node->next)
            node->index = index++;
    return index;
}

void FETessVertexHashC::setIndexEnabled(bool enabled)
{
    indexEnabled = enabled;
    if (!enabled) {
        recent.clear();
        gridBuilt = false;
        grid.clear();
        gridUsed = 0;
        oddNodes = 0;
    }
}

bool FETessVertexHashC::gridUsable(const Point3D& p) const
{
    return std::fabs(p.x()) <= kGridLimit && std::fabs(p.y()) <= kGridLimit && std::fabs(p.z()) <= kGridLimit;
}

void FETessVertexHashC::buildGrid()
{
    // Room for every node in a cell of its own, at most half full.
    size_t size = 1024;
    while (size < 2 * (count + 1))
        size *= 2;
    grid.assign(size, CellSlot());
    gridUsed = 0;
    oddNodes = 0;
    gridBuilt = true;
    for (FETessVertexNodeC* head : heads)
        for (FETessVertexNodeC* node = head; node; node = node->next)
            gridPlace(node);
}

FETessVertexHashC::CellSlot* FETessVertexHashC::cellSlot(uint64_t key, bool create)
{
    const size_t mask = grid.size() - 1;
    const uint32_t tag = uint32_t(key >> 32);
    for (size_t i = size_t(key) & mask;; i = (i + 1) & mask) {
        CellSlot& slot = grid[i];
        if (!slot.head) {
            if (!create)
                return nullptr;
            slot.tag = tag;
            ++gridUsed;
            return &slot;
        }
        if (slot.tag == tag)
            return &slot;
    }
}

void FETessVertexHashC::growGrid()
{
    // A slot does not keep its cell's whole hash: the nodes are placed anew. The order of a
    // cell's nodes does not matter, the search ranks its matches itself.
    grid.assign(grid.size() * 2, CellSlot());
    gridUsed = 0;
    oddNodes = 0;
    for (FETessVertexNodeC* head : heads)
        for (FETessVertexNodeC* node = head; node; node = node->next)
            gridPlace(node);
}

void FETessVertexHashC::gridAdd(FETessVertexNodeC* node)
{
    if (gridUsable(node->point) && 2 * (gridUsed + 1) > grid.size())
        growGrid();
    else
        gridPlace(node);
}

void FETessVertexHashC::gridPlace(FETessVertexNodeC* node)
{
    node->cellNext = 0;
    if (!gridUsable(node->point)) {
        // Rare: keep insertion order in the side list as well.
        uint32_t* at = &oddNodes;
        while (*at)
            at = &NodeArena::fromHandle(*at)->cellNext;
        *at = NodeArena::handleOf(node);
        return;
    }
    const Point3D& p = node->point;
    CellSlot* slot = cellSlot(mixCell(cellIndex(p.x()), cellIndex(p.y()), cellIndex(p.z())), true);
    node->cellNext = slot->head;
    slot->head = NodeArena::handleOf(node);
}

FETessVertexNodeC* FETessVertexHashC::findInGrid(const Point3D& p, int bucket)
{
    const int n = int(heads.size());
    const int before = bucket == 0 ? n - 1 : bucket - 1;
    const int after = bucket == n - 1 ? 0 : bucket + 1;
    FETessVertexNodeC* best = nullptr;
    int bestRank = 3;

    // The walk looks at the point's bucket, then the one before, then the one after, each in
    // insertion order; rank and sequence number reproduce that order among the matches.
    auto consider = [&](FETessVertexNodeC* node) {
        if (!matches(node, p))
            return;
        const int rank = node->bucket == bucket ? 0 : node->bucket == before ? 1 : node->bucket == after ? 2 : 3;
        if (rank < bestRank || (rank == bestRank && rank < 3 && node->sequence < best->sequence)) {
            best = node;
            bestRank = rank;
        }
    };

    // A matching point lies within the tolerance on each axis; the margin covers rounding.
    const double reach = 2.0 * kTolerance;
    const int64_t x0 = cellIndex(p.x() - reach), x1 = cellIndex(p.x() + reach);
    const int64_t y0 = cellIndex(p.y() - reach), y1 = cellIndex(p.y() + reach);
    const int64_t z0 = cellIndex(p.z() - reach), z1 = cellIndex(p.z() + reach);
    for (int64_t cx = x0; cx <= x1; ++cx)
        for (int64_t cy = y0; cy <= y1; ++cy)
            for (int64_t cz = z0; cz <= z1; ++cz)
                if (const CellSlot* slot = cellSlot(mixCell(cx, cy, cz), false))
                    for (uint32_t h = slot->head; h;) {
                        FETessVertexNodeC* node = NodeArena::fromHandle(h);
                        consider(node);
                        h = node->cellNext;
                    }
    for (uint32_t h = oddNodes; h;) {
        FETessVertexNodeC* node = NodeArena::fromHandle(h);
        consider(node);
        h = node->cellNext;
    }
    return best;
}

// ---- FETessTriangleC ----

FETessTriangleC::FETessTriangleC(FETessVertexNodeC* const p[3], FETessVertexNodeC* const nrm[3], int face,
                                 FEMeshFaceInfoI* info)
    : positions{NodeArena::handleOf(p[0]), NodeArena::handleOf(p[1]), NodeArena::handleOf(p[2])},
      normals{NodeArena::handleOf(nrm[0]), NodeArena::handleOf(nrm[1]), NodeArena::handleOf(nrm[2])},
      faceNumber(face),
      faceInfo(info)
{
}

// ---- FETriangleCollectorC ----

FETriangleCollectorC::FETriangleCollectorC(size_t buckets)
    : faceMap(&hashInt, std::max<size_t>(buckets, 2)), positionHash(buckets), normalHash(buckets)
{
}

FETriangleCollectorC::~FETriangleCollectorC() { clear(); }

void FETriangleCollectorC::clear()
{
    for (size_t i = 0; i < count; ++i)
        triangleAt(i)->~FETessTriangleC();
    for (FETessTriangleC* block : blocks)
        ::operator delete(block);
    blocks.clear();
    count = 0;
    faceMap.clear();
    positionHash.clear();
    normalHash.clear();
    held = 0;
    mode = TRIANGLES;
    parity = true;
}

void FETriangleCollectorC::beginPrimitive(int m)
{
    held = 0;
    mode = m;
    parity = true;
}

bool FETriangleCollectorC::addVertex(const Point3D& position, const Point3D& normal)
{
    if (mode == IGNORE || held >= 3)
        return false;
    slotPositions[held] = positionHash.findOrInsert(position);
    slotNormals[held] = normalHash.findOrInsert(normal);
    ++held;
    if (held == 3)
        emitTriangle();
    return true;
}

void FETriangleCollectorC::emitTriangle()
{
    const Point3D& q0 = slotPositions[0]->getPoint();
    const Point3D& q1 = slotPositions[1]->getPoint();
    const Point3D& q2 = slotPositions[2]->getPoint();
    // Twice the area; slivers and repeated corners give nothing to draw.
    if (crossProduct(q1 - q0, q2 - q0).length() > 1e-8) {
        const int face = copying ? copying->getFaceNumber() : FEFaceTriangulatorC::currentFaceNumber();
        FEMeshFaceInfoI* info = copying ? copying->getFaceInfo() : FEFaceTriangulatorC::currentFaceInfo();
        addTriangle(face, info);
    }

    held = carryPrimitiveSlots(mode == STRIP, mode == FAN, parity, slotPositions, slotNormals);
}

void FETriangleCollectorC::addTriangle(int face, FEMeshFaceInfoI* info)
{
    if ((count & (kBlockSize - 1)) == 0 && (count >> kBlockShift) == blocks.size())
        blocks.push_back(static_cast<FETessTriangleC*>(::operator new(sizeof(FETessTriangleC) * kBlockSize)));
    new (triangleAt(count)) FETessTriangleC(slotPositions, slotNormals, face, info);
    ++count;
}

void FETriangleCollectorC::copyFrom(const FETriangleCollectorC& other)
{
    if (&other == this)
        return;
    clear();
    // The face data travel with each triangle: taking the running triangulation's would give
    // every copy the number of whatever face was tessellated last.
    for (size_t i = 0; i < other.entries(); ++i) {
        copying = other.triangleAt(i);
        for (int corner = 0; corner < 3; ++corner)
            addVertex(copying->getPosition(corner), copying->getNormal(corner));
    }
    copying = nullptr;
}

void FETriangleCollectorC::numberAll()
{
    positionHash.numberAll();
    normalHash.numberAll();
    for (size_t i = 0; i < count; ++i) {
        FETessTriangleC* t = triangleAt(i);
        t->setTriangleNumber(int(i));
        faceMap.insertKeyAndValue(t->getFaceNumber(), int(i));
    }
}

int FETriangleCollectorC::triangleIndexOfFace(int faceNumber) const
{
    int number = -1;
    if (!faceMap.findValue(faceNumber, number))
        return -1;
    return number;
}

bool FETriangleCollectorC::fromFaces(FEMeshFaceC* firstFace)
{
    clear();
    FEFaceTriangulatorC* triangulator = FEFaceTriangulatorC::instance();
    if (!triangulator)
        return false;
    triangulator->triangulateFaces(firstFace, this);
    FEFaceTriangulatorC::release();
    return true;
}
