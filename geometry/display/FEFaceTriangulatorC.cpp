// FEFaceTriangulatorC: the face list's driver of the tessellator, in display and mesh mode.
#include "geometry/display/FEFaceTriangulatorC.h"

#include <GL/glu.h>

#include <new>

#include "foundation/RWTValOrderedVector.h"
#include "geometry/display/FETriangleCollectorC.h"
#include "geometry/mesh/FEMeshFaceInfoI.h"
#include "geometry/mesh/FEMeshPartC.h"
#include "geometry/mesh/FEMeshTopology.h"

namespace {

// The process-wide state through which the collector learns the running triangulation.
FEFaceTriangulatorC* theInstance = nullptr;
int faceNumber = 0;
refHandle<FEMeshFaceInfoI> faceInfo;

bool fanShortcutOn = true;

// Display mode: the primitives go to the collector.
class CollectorSink : public FETessSinkI {
public:
    explicit CollectorSink(FETriangleCollectorC& collector) : collector(collector) {}

    void beginPrimitive(unsigned int type) override
    {
        int mode = FETriangleCollectorC::IGNORE;
        if (type == GL_TRIANGLES)
            mode = FETriangleCollectorC::TRIANGLES;
        else if (type == GL_TRIANGLE_STRIP)
            mode = FETriangleCollectorC::STRIP;
        else if (type == GL_TRIANGLE_FAN)
            mode = FETriangleCollectorC::FAN;
        collector.beginPrimitive(mode);
    }
    void addVertex(const Point3D& position, const Point3D& normal) override { collector.addVertex(position, normal); }

private:
    FETriangleCollectorC& collector;
};

// Mesh mode: each triangle becomes a face of the target part, with the data of its face.
class MeshSink : public FETessSinkI {
public:
    explicit MeshSink(FEMeshPartC& target) : target(target) {}

    void beginFace(FEMeshFaceC* f) override { face = f; }

    void beginPrimitive(unsigned int type) override
    {
        while (!pending.isEmpty())
            pending.removeLast();
        primitiveType = type;
        stripParity = true;
    }
    void addVertex(const Point3D& position, const Point3D&) override
    {
        pending.append(Point3Df(position));
        if (pending.entries() < 3)
            return;
        const Point3Df c = pending.removeLast();
        const Point3Df b = pending.removeLast();
        const Point3Df a = pending.removeLast();
        if (primitiveType == GL_TRIANGLE_STRIP) {
            if (stripParity) {
                pending.append(c);
                pending.append(b);
            } else {
                pending.append(a);
                pending.append(c);
            }
            stripParity = !stripParity;
        } else if (primitiveType == GL_TRIANGLE_FAN) {
            pending.append(a);
            pending.append(c);
        }
        if (!face)
            return;
        const Point3D points[3] = {Point3D(a), Point3D(b), Point3D(c)};
        target.addFace(points, 3, Point3D(face->getNormal()), face->getFaceInfo(), 15.0f, 0);
        target.endFace();
    }

private:
    FEMeshPartC& target;
    FEMeshFaceC* face = nullptr;
    unsigned int primitiveType = 0;
    bool stripParity = true;
    RWTValOrderedVector<Point3Df> pending{0, false, 64};
};

}  // namespace

FEFaceTriangulatorC* FEFaceTriangulatorC::instance()
{
    if (!theInstance)
        theInstance = new (std::nothrow) FEFaceTriangulatorC();
    return theInstance;
}

void FEFaceTriangulatorC::release()
{
    delete theInstance;
    theInstance = nullptr;
}

int FEFaceTriangulatorC::currentFaceNumber() { return faceNumber; }
FEMeshFaceInfoI* FEFaceTriangulatorC::currentFaceInfo() { return faceInfo.get(); }

void FEFaceTriangulatorC::setFanShortcut(bool on) { fanShortcutOn = on; }
bool FEFaceTriangulatorC::fanShortcut() { return fanShortcutOn; }

void FEFaceTriangulatorC::triangulateFaces(FEMeshFaceC* firstFace, FETriangleCollectorC* target)
{
    if (!target)
        return;
    target->clear();
    CollectorSink sink(*target);
    tessellate(firstFace, sink);
}

void FEFaceTriangulatorC::retriangulateInto(FEMeshFaceC* firstFace, FEMeshPartC* target)
{
    if (!target)
        return;
    MeshSink sink(*target);
    tessellate(firstFace, sink);
}

void FEFaceTriangulatorC::tessellate(FEMeshFaceC* firstFace, FETessSinkI& sink)
{
    FEFaceTessellatorC tessellator;
    if (!tessellator.isValid())
        return;

    // The faces present now: in mesh mode the target may be the part whose faces are walked,
    // and the faces it gains must not be tessellated again.
    FEMeshFaceC* lastFace = firstFace;
    while (lastFace && lastFace->getNext())
        lastFace = lastFace->getNext();

    for (FEMeshFaceC* face = firstFace, *after = nullptr; face; face = after) {
        after = face == lastFace ? nullptr : face->getNext();
        faceNumber = face->getIndex();
        faceInfo = face->getFaceInfo();
        sink.beginFace(face);
        tessellator.tessellate(face, sink, fanShortcutOn);
    }
    faceInfo = nullptr;
}
