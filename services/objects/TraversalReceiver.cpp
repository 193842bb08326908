// SingleTraversalReceiverAC and referenceCheckerC: visited-object bookkeeping and reachability.
#include "services/objects/TraversalReceiver.h"

#include "services/objects/CopyTable.h"

SingleTraversalReceiverAC::SingleTraversalReceiverAC() : VisitedObjectMap(CopyTableC::identityHash, 64) {}

SingleTraversalReceiverAC::~SingleTraversalReceiverAC() = default;

bool SingleTraversalReceiverAC::markVisited(void* object)
{
    const bool seen = VisitedObjectMap.contains(object);
    VisitedObjectMap[object] = object;
    return seen;
}

void SingleTraversalReceiverAC::clearVisited()
{
    VisitedObjectMap.clear();
}

bool referenceCheckerC::reachesTarget(TraversableI* root, void* targetObject)
{
    target = targetObject;
    found = false;
    clearVisited();
    if (root)
        root->traverse(this);
    return found;
}

bool referenceCheckerC::enter(void* object)
{
    if (object == target)
        found = true;
    if (found)
        return false;
    return !markVisited(object);
}
