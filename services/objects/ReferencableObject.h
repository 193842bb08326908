// ReferencableObject: the counted base of the system's shared objects.
#pragma once

#include <cstdint>

// A heap object that lives while references to it are held. Construction takes no
// reference; the first refHandle does. When a release leaves the count at 0 the object
// deletes itself through its virtual destructor.
class ReferencableObject {
public:
    ReferencableObject() = default;
    // A copy is a new object: nobody refers to it yet.
    ReferencableObject(const ReferencableObject&) : count(0) {}
    // Assigning the contents of another object leaves this object's references alone.
    ReferencableObject& operator=(const ReferencableObject&) { return *this; }
    virtual ~ReferencableObject();

    // Deletes the object when nothing refers to it; true when it did.
    virtual bool deleteIfUnreferenced();
    virtual void incRef();
    virtual void decRef();

    void addRef() { incRef(); }
    // Gives up one reference; true when the object no longer exists afterwards.
    bool release()
    {
        decRef();
        return deleteIfUnreferenced();
    }
    int32_t referenceCount() const { return count; }

private:
    int32_t count = 0;
};
