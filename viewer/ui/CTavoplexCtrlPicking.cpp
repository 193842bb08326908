// CTavoplexCtrl, picking: the ray under a window point, the sphere and mesh tests of each instance,
// and the choice among the instances hit.
#include "geometry/display/FEDisplayPartListC.h"
#include "geometry/mesh/FEMeshTopology.h"
#include "viewer/control/CTavoplexCtrl.h"
#include "viewer/ui/CameraMath.h"

namespace {

// Flags of the mesh pick: edges and faces.
constexpr int kPickEdgesAndFaces = FEMeshPickableEntityC::EDGE | FEMeshPickableEntityC::FACE;
// The pick tolerance in window pixels.
constexpr int kPickPixels = 3;

// The instance's part, looked up by its index in the list's part vector; null for an index the
// list does not hold (a damaged model must not take the pick down).
FEDisplayPartC* partOf(const FEDisplayPartListC& parts, const FEDisplayPartRefC& instance)
{
    const int index = instance.GetPartIndex();
    if (index < 0 || size_t(index) >= parts.partCount())
        return nullptr;
    return parts.getPart(size_t(index));
}

}  // namespace

FEDisplayPartRefC* CTavoplexCtrl::PickPart(const Point2D& windowPoint, bool includeTransparent)
{
    Point3D nearPoint, farPoint;
    if (!MakePickRay(windowPoint, nearPoint, farPoint))
        return nullptr;
    const double tolerance = PixelsToWorld(kPickPixels);
    return PickNearestInstance(nearPoint, farPoint, tolerance, includeTransparent);
}

bool CTavoplexCtrl::MakePickRay(const Point2D& windowPoint, Point3D& nearPoint, Point3D& farPoint)
{
    OpenGLLock lock(*this, GLStep::AsksNoMemory);
    if (!lock)
        return false;
    const double x = windowPoint.x();
    const double y = WindowHeight - windowPoint.y();
    Point3D n, f;
    if (!UnprojectPoint(Point3D(x, y, 0.0), ModelViewMatrix, ProjectionMatrix, Viewport, n) ||
        !UnprojectPoint(Point3D(x, y, 1.0), ModelViewMatrix, ProjectionMatrix, Viewport, f))
        return false;
    nearPoint = n;
    farPoint = f;
    return true;
}

double CTavoplexCtrl::PixelsToWorld(int pixels)
{
    return (WindowToView(Point2D(0.0, pixels)) - WindowToView(Point2D(0.0, 0.0))).length();
}

bool CTavoplexCtrl::RayNearBox(const Point3D& nearPoint, const Point3D& farPoint, const Point3D& boxMin,
                               const Point3D& boxMax, double tolerance)
{
    const Point3D centre = 0.5 * (boxMin + boxMax);
    const double radius = (boxMax - centre).length();
    const Point3D d = farPoint - nearPoint;
    // A ray without direction has no closest point: t is not a number and the test fails.
    const double t = (centre - nearPoint).dot(d) / d.dot(d);
    const Point3D closest = nearPoint + t * d;
    return (centre - closest).length() <= radius + tolerance;
}

FEDisplayPartRefC* CTavoplexCtrl::PickNearestInstance(const Point3D& nearPoint, const Point3D& farPoint,
                                                      double tolerance, bool includeTransparent)
{
    if (Parts == nullptr || Parts->instanceCount() == 0)
        return nullptr;
    const size_t count = Parts->instanceCount();

    for (size_t i = 0; i < count; ++i) {
        FEDisplayPartRefC* instance = Parts->getInstance(i);
        instance->SetPickFlag(false);
        if (!includeTransparent && instance->GetTransparency() > 0.0f)
            continue;
        FEDisplayPartC* part = partOf(*Parts, *instance);
        if (part == nullptr)
            continue;
        TransformMatrix toPart = instance->GetMatrix();
        toPart.cleanRotation();
        // A placement that flattens the part has no part-space ray: nothing of it can be hit.
        if (!toPart.invert())
            continue;
        const Point3D partNear = toPart.transform(nearPoint);
        const Point3D partFar = toPart.transform(farPoint);
        Point3D boxMin, boxMax;
        part->getBoundingBox(boxMin, boxMax);
        if (!RayNearBox(partNear, partFar, boxMin, boxMax, tolerance))
            continue;
        if (PickMesh(part, partNear, partFar, tolerance)) {
            instance->SetPickPoint(instance->GetMatrix().transform(part->getPickPoint()));
            instance->SetPickFlag(true);
        }
    }

    FEDisplayPartRefC* choice = nullptr;
    double choiceDistance = 0.0;
    for (size_t i = 0; i < count; ++i) {
        FEDisplayPartRefC* candidate = Parts->getInstance(i);
        if (!candidate->GetPickFlag())
            continue;
        const double distance = (candidate->GetPickPoint() - nearPoint).length();
        bool take = false;
        if (choice == nullptr)
            take = true;
        else if (choice->GetTransparency() > 0.0f)
            take = candidate->GetTransparency() == 0.0f || distance < choiceDistance;
        else
            take = candidate->GetTransparency() <= 0.0f && distance < choiceDistance;
        if (take) {
            choice = candidate;
            choiceDistance = distance;
        }
    }
    return choice;
}

bool CTavoplexCtrl::PickMesh(FEDisplayPartC* part, const Point3D& nearPoint, const Point3D& farPoint,
                             double tolerance)
{
    PickList.clearAndDestroy();
    PickList = part->pick(nearPoint, farPoint, tolerance, kPickEdgesAndFaces);
    for (size_t i = 0; i < PickList.entries(); ++i) {
        const FEMeshPickableEntityC* entity = PickList[i]->getEntity();
        if (entity == nullptr)
            continue;
        const int type = entity->getEntityType();
        if (type == FEMeshPickableEntityC::VERTEX || type == FEMeshPickableEntityC::EDGE ||
            type == FEMeshPickableEntityC::FACE) {
            part->setPickPoint(Point3D(PickList[i]->getHitPoint()));
            return true;
        }
    }
    return false;
}
