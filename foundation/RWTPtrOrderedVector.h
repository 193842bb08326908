// Growable vector of pointers in insertion order; searches compare the pointed-to objects.
#pragma once

#include <cstddef>
#include <unordered_set>
#include <utility>

#include "foundation/RWPtrVector.h"
#include "foundation/RWTPtrVector.h"

namespace rwcoll {
// Equality of two stored pointers through the pointed-to objects. A null pointer has no object
// to compare, so it matches only another null pointer.
template <class T>
inline bool sameObjectValue(const T* element, const T* p)
{
    if (element == nullptr || p == nullptr)
        return element == p;
    return *element == *p;
}

// Deletes every distinct non-null pointer of a[0 .. n-1] once, in index order.
template <class T>
void deleteEachOnce(T* const* a, size_t n)
{
    if (n <= 32) {
        for (size_t i = 0; i < n; ++i) {
            T* p = a[i];
            bool seen = p == nullptr;
            for (size_t j = 0; j < i && !seen; ++j)
                seen = a[j] == p;
            if (!seen)
                delete p;
        }
        return;
    }
    std::unordered_set<const T*> done;
    done.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        T* p = a[i];
        if (p != nullptr && done.insert(p).second)
            delete p;
    }
}
}  // namespace rwcoll

// The vector never owns what its pointers point to, except through clearAndDestroy. Slots at
// and above entries keep whatever pointer they last held.
template <class T>
class RWTPtrOrderedVector : public RWTPtrVector<T> {
    using Storage = RWTPtrVector<T>;

public:
    explicit RWTPtrOrderedVector(size_t capacity = 0, bool doubling = false, size_t increment = 64)
        : Storage(capacity, doubling, increment), nitems_(0)
    {
    }
    RWTPtrOrderedVector(const RWTPtrOrderedVector& other) : Storage(other), nitems_(other.nitems_) {}
    RWTPtrOrderedVector(RWTPtrOrderedVector&& other) noexcept
        : Storage(std::move(other)), nitems_(other.nitems_)
    {
        other.nitems_ = 0;
    }
    virtual ~RWTPtrOrderedVector() = default;

    RWTPtrOrderedVector& operator=(const RWTPtrOrderedVector& other)
    {
        Storage::operator=(other);
        nitems_ = other.nitems_;
        return *this;
    }
    RWTPtrOrderedVector& operator=(RWTPtrOrderedVector&& other) noexcept
    {
        if (this != &other) {
            Storage::operator=(std::move(other));
            nitems_ = other.nitems_;
            other.nitems_ = 0;
        }
        return *this;
    }

    // Position of the first element e with *e == *p, or RW_NPOS.
    virtual size_t index(const T* p) const
    {
        T* const* a = Storage::slots();
        for (size_t i = 0; i < nitems_; ++i)
            if (rwcoll::sameObjectValue<T>(a[i], p))
                return i;
        return size_t(-1);
    }
    virtual void insert(T* p) { insertAt(nitems_, p); }
    virtual size_t occurrencesOf(const T* p) const
    {
        T* const* a = Storage::slots();
        size_t n = 0;
        for (size_t i = 0; i < nitems_; ++i)
            if (rwcoll::sameObjectValue<T>(a[i], p))
                ++n;
        return n;
    }
    // Removes the first element equal to *p and returns it, or null.
    virtual T* remove(const T* p)
    {
        const size_t i = index(p);
        if (i == size_t(-1))
            return nullptr;
        return removeAt(i);
    }
    // Removes every element equal to *p, keeping the order of the others; returns how many.
    virtual size_t removeAll(const T* p)
    {
        T** a = Storage::slots();
        size_t w = 0;
        for (size_t r = 0; r < nitems_; ++r) {
            if (rwcoll::sameObjectValue<T>(a[r], p))
                continue;
            if (r != w)
                a[w] = a[r];
            ++w;
        }
        const size_t removed = nitems_ - w;
        nitems_ = w;
        return removed;
    }

    size_t entries() const { return nitems_; }
    size_t length() const { return nitems_; }
    bool isEmpty() const { return nitems_ == 0; }
    size_t capacity() const { return Storage::length(); }

    // Checked access: i >= entries raises RWBoundsErr with INDEXERR (RW_NPOS included).
    T*& operator[](size_t i)
    {
        rwcoll::checkVectorIndex(i, nitems_);
        return Storage::slots()[i];
    }
    T* const& operator[](size_t i) const
    {
        rwcoll::checkVectorIndex(i, nitems_);
        return Storage::slots()[i];
    }
    T*& at(size_t i) { return (*this)[i]; }
    T* const& at(size_t i) const { return (*this)[i]; }
    using Storage::operator();

    void append(T* p) { insertAt(nitems_, p); }

    // Inserts before position i; i may run from 0 to entries. A bad i reports (i - 1, entries).
    void insertAt(size_t i, T* p)
    {
        if (i > 0)
            rwcoll::checkVectorIndex(i - 1, nitems_);
        if (nitems_ >= Storage::length())
            Storage::reshape(Storage::grownCapacity(nitems_));
        T** a = Storage::slots();
        for (size_t j = nitems_; j > i; --j)
            a[j] = a[j - 1];
        a[i] = p;
        ++nitems_;
    }

    // Removes element i and returns it; the top slot keeps its old pointer.
    T* removeAt(size_t i)
    {
        rwcoll::checkVectorIndex(i, nitems_);
        T** a = Storage::slots();
        T* taken = a[i];
        for (size_t j = i + 1; j < nitems_; ++j)
            a[j - 1] = a[j];
        --nitems_;
        return taken;
    }

    // Empties the vector and reshapes it to its initial capacity; nothing is deleted.
    void clear()
    {
        nitems_ = 0;
        Storage::reshape(Storage::initialCapacity());
    }

    // Deletes the elements in index order (a pointer held twice is deleted once, null slots are
    // skipped), then clear().
    void clearAndDestroy()
    {
        rwcoll::deleteEachOnce<T>(Storage::slots(), nitems_);
        clear();
    }

    bool contains(const T* p) const { return index(p) != size_t(-1); }

    T** data() { return Storage::slots(); }
    T* const* data() const { return Storage::slots(); }

protected:
    size_t nitems_;
};
