// Growable vector of values in insertion order, with checked access and search by equality.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <utility>

#include "foundation/RWPtrVector.h"
#include "foundation/RWTValVector.h"

// Elements 0 .. entries-1 are in use; slots above hold T() (every vacated slot is reset, so a
// vector of handles releases a removed handle at once). Grows only when an element is inserted
// into a full array, returns to its initial capacity on clear, and never shrinks otherwise.
template <class T>
class RWTValOrderedVector : public RWTValVector<T> {
    using Storage = RWTValVector<T>;

public:
    explicit RWTValOrderedVector(size_t capacity = 0, bool doubling = false, size_t increment = 64)
        : Storage(capacity, doubling, increment), nitems_(0)
    {
    }
    RWTValOrderedVector(const RWTValOrderedVector& other) : Storage(other), nitems_(other.nitems_) {}
    RWTValOrderedVector(RWTValOrderedVector&& other) noexcept
        : Storage(std::move(other)), nitems_(other.nitems_)
    {
        other.nitems_ = 0;
    }
    virtual ~RWTValOrderedVector() = default;

    RWTValOrderedVector& operator=(const RWTValOrderedVector& other)
    {
        Storage::operator=(other);
        nitems_ = other.nitems_;
        return *this;
    }
    RWTValOrderedVector& operator=(RWTValOrderedVector&& other) noexcept
    {
        if (this != &other) {
            Storage::operator=(std::move(other));
            nitems_ = other.nitems_;
            other.nitems_ = 0;
        }
        return *this;
    }

    // Position of the first element equal to v, or RW_NPOS.
    virtual size_t index(const T& v) const
    {
        const T* a = Storage::data();
        const T* end = a + nitems_;
        const T* found = std::find(a, end, v);  // first i with a[i] == v
        return found == end ? size_t(-1) : size_t(found - a);
    }
    virtual void insert(const T& v) { insertAt(nitems_, v); }
    virtual size_t occurrencesOf(const T& v) const
    {
        const T* a = Storage::data();
        return size_t(std::count(a, a + nitems_, v));
    }
    // Removes the first element equal to v; false when there is none.
    virtual bool remove(const T& v)
    {
        const size_t i = index(v);
        if (i == size_t(-1))
            return false;
        removeAt(i);
        return true;
    }
    // Removes every element equal to v, keeping the order of the others; returns how many.
    virtual size_t removeAll(const T& v)
    {
        if (pointsIntoArray(&v)) {
            const T copy(v);  // v is one of our slots and would be overwritten by the moves
            return removeAllOf(copy);
        }
        return removeAllOf(v);
    }

    size_t entries() const { return nitems_; }
    size_t length() const { return nitems_; }
    bool isEmpty() const { return nitems_ == 0; }
    // The number of slots of the array.
    size_t capacity() const { return Storage::length(); }

    // Checked access: i >= entries raises RWBoundsErr with INDEXERR (RW_NPOS included).
    T& operator[](size_t i)
    {
        rwcoll::checkVectorIndex(i, nitems_);
        return Storage::data()[i];
    }
    const T& operator[](size_t i) const
    {
        rwcoll::checkVectorIndex(i, nitems_);
        return Storage::data()[i];
    }
    T& at(size_t i) { return (*this)[i]; }
    const T& at(size_t i) const { return (*this)[i]; }
    // Unchecked access to slot i (inherited operator()).
    using Storage::operator();

    void append(const T& v) { insertAt(nitems_, v); }

    // Inserts before position i; i may run from 0 to entries. A bad i reports (i - 1, entries).
    void insertAt(size_t i, const T& v)
    {
        if (i > 0)
            rwcoll::checkVectorIndex(i - 1, nitems_);
        if (pointsIntoArray(&v)) {
            const T copy(v);  // growth or the shift would move v away under us
            place(i, copy);
        } else {
            place(i, v);
        }
    }

    // Removes element i and returns it; the vacated top slot is reset to T().
    T removeAt(size_t i)
    {
        rwcoll::checkVectorIndex(i, nitems_);
        T* a = Storage::data();
        T taken(std::move(a[i]));
        for (size_t j = i + 1; j < nitems_; ++j)
            a[j - 1] = std::move(a[j]);
        a[nitems_ - 1] = T();
        --nitems_;
        return taken;
    }

    // Resets every element, empties the vector and reshapes it to its initial capacity.
    void clear()
    {
        T* a = Storage::data();
        for (size_t i = 0; i < nitems_; ++i)
            a[i] = T();
        nitems_ = 0;
        Storage::reshape(Storage::initialCapacity());
    }

    bool contains(const T& v) const { return index(v) != size_t(-1); }

    // The last element, unchecked: the caller ensures the vector is not empty.
    T& last() { return Storage::data()[nitems_ - 1]; }
    const T& last() const { return Storage::data()[nitems_ - 1]; }
    // Removes and returns the last element; an empty vector gives T() and stays as it is.
    T removeLast()
    {
        if (nitems_ == 0)
            return T();
        T* a = Storage::data();
        T taken(std::move(a[nitems_ - 1]));
        a[nitems_ - 1] = T();
        --nitems_;
        return taken;
    }

    T* data() { return Storage::data(); }
    const T* data() const { return Storage::data(); }

protected:
    bool pointsIntoArray(const T* p) const
    {
        const T* a = Storage::data();
        if (a == nullptr)
            return false;
        std::less<const T*> less;
        return !less(p, a) && less(p, a + Storage::length());
    }

    void place(size_t i, const T& v)
    {
        if (nitems_ >= Storage::length())
            Storage::reshape(Storage::grownCapacity(nitems_));
        T* a = Storage::data();
        for (size_t j = nitems_; j > i; --j)
            a[j] = std::move(a[j - 1]);
        a[i] = v;
        ++nitems_;
    }

    size_t removeAllOf(const T& v)
    {
        T* a = Storage::data();
        size_t w = 0;
        for (size_t r = 0; r < nitems_; ++r) {
            if (a[r] == v)
                continue;
            if (r != w)
                a[w] = std::move(a[r]);
            ++w;
        }
        const size_t removed = nitems_ - w;
        for (size_t j = w; j < nitems_; ++j)
            a[j] = T();
        nitems_ = w;
        return removed;
    }

    size_t nitems_;
};
