// ReferencableObject: the counted base of the system's shared objects.
#include "services/objects/ReferencableObject.h"

ReferencableObject::~ReferencableObject() = default;

bool ReferencableObject::deleteIfUnreferenced()
{
    if (count != 0)
        return false;
    delete this;
    return true;
}

void ReferencableObject::incRef()
{
    ++count;
}

void ReferencableObject::decRef()
{
    --count;
}
