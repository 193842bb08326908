// stlImporterI: the receiver of the triangles an STL reader finds.
#pragma once

#include "math/Point3D.h"

class stlImporterI {
public:
    // Called once before the first triangle with the reader's estimate of the facet count.
    virtual void beginImport(int estimatedFacetCount) = 0;
    // True to go on, false to stop the import.
    virtual bool addTriangle(const Point3D& p1, const Point3D& p2, const Point3D& p3) = 0;
    // Called once after the last triangle.
    virtual void endImport() = 0;

protected:
    ~stlImporterI() = default;
};
