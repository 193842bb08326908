// refHandle: the owning one-pointer handle over a ReferencableObject.
#pragma once

// Holds one reference to its object whenever the pointer is not null. T derives from
// ReferencableObject (T may be incomplete where a handle is only declared).
template <class T>
class refHandle {
public:
    refHandle() = default;
    refHandle(T* object) : ptr(object)
    {
        if (ptr)
            ptr->addRef();
    }
    refHandle(const refHandle& other) : ptr(other.ptr)
    {
        if (ptr)
            ptr->addRef();
    }
    ~refHandle()
    {
        if (ptr)
            ptr->release();
        ptr = nullptr;
    }

    // The new reference is taken before the old one is given up, so assigning a handle
    // to itself never lets the count reach 0 in between.
    refHandle& operator=(const refHandle& other) { return assign(other.ptr); }
    refHandle& operator=(T* object) { return assign(object); }

    T* get() const { return ptr; }
    T* pointer() const { return ptr; }
    T* operator->() const { return ptr; }
    T& operator*() const { return *ptr; }
    bool isValid() const { return ptr != nullptr; }

    // Handles compare by the object they refer to.
    friend bool operator==(const refHandle& a, const refHandle& b) { return a.ptr == b.ptr; }

private:
    refHandle& assign(T* object)
    {
        if (object)
            object->addRef();
        // The handle holds the new pointer before the old object is released: that object
        // may own this very handle and take it down with it.
        T* old = ptr;
        ptr = object;
        if (old)
            old->release();
        return *this;
    }

    T* ptr = nullptr;
};
