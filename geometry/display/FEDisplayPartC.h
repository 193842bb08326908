// FEDisplayPartC: a mesh part that also knows its OpenGL display list and its coloured triangles.
#pragma once

#include "foundation/RWTPtrSlist.h"
#include "geometry/display/FEDisplayTriangleC.h"
#include "geometry/mesh/FEMeshPartC.h"

// Reference counted like every mesh part; held through refHandle<FEDisplayPartC>.
class FEDisplayPartC : public FEMeshPartC {
public:
    FEDisplayPartC() = default;
    ~FEDisplayPartC() override;

    // -1 while no list has been compiled. A list may call count - 1 lists of its own, numbered
    // right after it; all of them go together.
    void setDisplayList(int id, int count = 1)
    {
        displayList = id;
        displayListCount = id >= 0 ? count : 0;
    }
    int getDisplayList() const { return displayList; }
    int getDisplayListCount() const { return displayListCount; }

    // Empties the mesh (as FEMeshPartC::clear) and deletes the triangles.
    void clear()
    {
        clearTriangles();
        FEMeshPartC::clear();
    }
    // Deletes every triangle.
    void clearTriangles();
    // The mesh part's triangle import stays reachable beside the coloured-triangle list's.
    using FEMeshPartC::addTriangle;
    void addTriangle(const Point3D& p1, const Point3D& p2, const Point3D& p3, const Point3D& n1, const Point3D& n2,
                     const Point3D& n3, const feColor& color);
    // The triangles in insertion order.
    RWTPtrSlistIterator<FEDisplayTriangleC> triangleIterator() { return RWTPtrSlistIterator<FEDisplayTriangleC>(triangles); }
    size_t triangleCount() const { return triangles.entries(); }

private:
    int displayList = -1;
    int displayListCount = 0;
    RWTPtrSlist<FEDisplayTriangleC> triangles;  // owned
};
