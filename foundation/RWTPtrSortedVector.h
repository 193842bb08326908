// Pointer vector kept in the order of the pointed-to objects, with binary search.
#pragma once

#include <cstddef>

#include "foundation/RWTPtrOrderedVector.h"

// Elements are kept so that the one at i + 1 is never less than the one at i, as long as they
// are added through insert; an element goes after every element equal to it, so equal keys
// keep their insertion order. T offers operator== and operator< on the pointed-to objects; the
// stored pointers must not be null. insertAt and append are inherited and bypass the order.
template <class T>
class RWTPtrSortedVector : public RWTPtrOrderedVector<T> {
    using Base = RWTPtrOrderedVector<T>;

public:
    explicit RWTPtrSortedVector(size_t capacity = 64) : Base(capacity, false, 64) {}
    RWTPtrSortedVector(const RWTPtrSortedVector& other) : Base(other) {}
    RWTPtrSortedVector(RWTPtrSortedVector&& other) noexcept : Base(std::move(other)) {}
    ~RWTPtrSortedVector() override = default;

    RWTPtrSortedVector& operator=(const RWTPtrSortedVector& other)
    {
        Base::operator=(other);
        return *this;
    }
    RWTPtrSortedVector& operator=(RWTPtrSortedVector&& other) noexcept
    {
        Base::operator=(std::move(other));
        return *this;
    }

    // Binary search. position receives where the search stopped: an equal element when the
    // result is true (not necessarily the first of a run); otherwise every element before it is
    // less than *p, while the one at it may be less or greater.
    bool bsearch(const T* p, size_t& position) const
    {
        position = 0;
        if (this->nitems_ == 0)
            return false;
        T* const* a = this->slots();
        size_t low = 0;
        size_t high = this->nitems_ - 1;
        for (;;) {
            if (high <= low) {
                position = low;
                return *p == *a[low];
            }
            const size_t mid = (low + high) / 2;
            position = mid;
            if (*p == *a[mid])
                return true;
            if (*p < *a[mid])
                high = mid ? mid - 1 : 0;
            else
                low = mid + 1;
        }
    }

    // First index of the run equal to *p (RW_NPOS when absent); last receives its last index.
    size_t equalRange(const T* p, size_t& last) const
    {
        const size_t first = index(p);
        if (first == size_t(-1))
            return first;
        T* const* a = this->slots();
        last = first;
        while (last + 1 < this->nitems_ && *a[last + 1] == *p)
            ++last;
        return first;
    }

    // The first element of the run equal to *p, or RW_NPOS.
    size_t index(const T* p) const override
    {
        size_t pos;
        if (!bsearch(p, pos))
            return size_t(-1);
        T* const* a = this->slots();
        while (pos > 0 && *a[pos - 1] == *p)
            --pos;
        return pos;
    }

    // Inserts in order, after every element equal to *p.
    void insert(T* p) override
    {
        size_t pos;
        T* const* a = this->slots();
        if (bsearch(p, pos)) {
            while (pos < this->nitems_ && *a[pos] == *p)
                ++pos;
        } else {
            while (pos < this->nitems_ && *a[pos] < *p)
                ++pos;
        }
        Base::insertAt(pos, p);
    }

    size_t occurrencesOf(const T* p) const override
    {
        size_t last = 0;
        const size_t first = equalRange(p, last);
        return first == size_t(-1) ? 0 : last - first + 1;
    }

    T* remove(const T* p) override
    {
        const size_t pos = index(p);
        if (pos == size_t(-1))
            return nullptr;
        return Base::removeAt(pos);
    }

    // Removes the whole run equal to *p, keeping the rest in order; nothing is deleted.
    size_t removeAll(const T* p) override
    {
        size_t last = 0;
        const size_t first = equalRange(p, last);
        if (first == size_t(-1))
            return 0;
        const size_t count = last - first + 1;
        T** a = this->slots();
        for (size_t j = last + 1; j < this->nitems_; ++j)
            a[j - count] = a[j];
        this->nitems_ -= count;
        return count;
    }
};
