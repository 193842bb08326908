// Typed pointer storage with the growth parameters of the vector built on it.
#pragma once

#include <cstddef>

#include "foundation/RWPtrVector.h"

// The slots hold pointers to T; the storage never owns the pointed-to objects. The initial
// capacity, resize increment and doubling flag travel with the storage through copies.
template <class T>
class RWTPtrVector : public RWPtrVector {
public:
    RWTPtrVector(size_t n, bool doubling, size_t increment)
        : RWPtrVector(n), initial_(n), increment_(increment ? increment : 1), doubling_(doubling)
    {
    }
    RWTPtrVector(const RWTPtrVector& other)
        : RWPtrVector(other), initial_(other.initial_), increment_(other.increment_),
          doubling_(other.doubling_)
    {
    }
    RWTPtrVector(RWTPtrVector&& other) noexcept
        : RWPtrVector(0), initial_(other.initial_), increment_(other.increment_),
          doubling_(other.doubling_)
    {
        npts_ = other.npts_;
        array_ = other.array_;
        other.npts_ = 0;
        other.array_ = nullptr;
    }
    ~RWTPtrVector() = default;

    RWTPtrVector& operator=(const RWTPtrVector& other)
    {
        initial_ = other.initial_;
        increment_ = other.increment_;
        doubling_ = other.doubling_;
        RWPtrVector::operator=(other);
        return *this;
    }
    RWTPtrVector& operator=(RWTPtrVector&& other) noexcept
    {
        if (this != &other) {
            initial_ = other.initial_;
            increment_ = other.increment_;
            doubling_ = other.doubling_;
            release(array_);
            npts_ = other.npts_;
            array_ = other.array_;
            other.npts_ = 0;
            other.array_ = nullptr;
        }
        return *this;
    }

    // Unchecked slot access; the caller keeps i below the length.
    T*& operator()(size_t i) { return slots()[i]; }
    T* const& operator()(size_t i) const { return slots()[i]; }

    size_t length() const { return npts_; }
    void reshape(size_t n) { RWPtrVector::reshape(n); }

    size_t initialCapacity() const { return initial_; }
    size_t resizeIncrement() const { return increment_; }
    bool growByDoubling() const { return doubling_; }

    // The array viewed as pointers to T (null when there is no array).
    T** slots() { return reinterpret_cast<T**>(array_); }
    T* const* slots() const { return reinterpret_cast<T* const*>(array_); }

    // The growth rule: the capacity a full vector of `count` elements grows to.
    size_t grownCapacity(size_t count) const
    {
        if (doubling_)
            return count ? 2 * count : 1;
        return count + increment_;
    }

private:
    size_t initial_;
    size_t increment_;
    bool doubling_;
};
