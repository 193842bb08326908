// Untyped pointer array storage.
#include "foundation/RWPtrVector.h"

#include <cstring>
#include <new>

void** RWPtrVector::allocate(size_t n)
{
    // Raw storage: the typed storage views the slots as pointers to its own T.
    return static_cast<void**>(::operator new[](n * sizeof(void*)));
}

void RWPtrVector::release(void** array)
{
    ::operator delete[](array);
}

RWPtrVector::RWPtrVector(size_t n, void* fill) : npts_(n), array_(allocate(n))
{
    for (size_t i = 0; i < n; ++i)
        std::memcpy(array_ + i, &fill, sizeof fill);
}

RWPtrVector::RWPtrVector(size_t n) : npts_(n), array_(n ? allocate(n) : nullptr)
{
    if (n)
        std::memset(array_, 0, n * sizeof(void*));
}

RWPtrVector::RWPtrVector(const RWPtrVector& other) : npts_(other.npts_), array_(allocate(other.npts_))
{
    if (npts_)
        std::memcpy(array_, other.array_, npts_ * sizeof(void*));
}

RWPtrVector::~RWPtrVector()
{
    if (array_)
        release(array_);
}

RWPtrVector& RWPtrVector::operator=(const RWPtrVector& other)
{
    if (array_ == other.array_)
        return *this;
    void** fresh = other.npts_ ? allocate(other.npts_) : nullptr;
    if (other.npts_)
        std::memcpy(fresh, other.array_, other.npts_ * sizeof(void*));
    if (array_)
        release(array_);
    array_ = fresh;
    npts_ = other.npts_;
    return *this;
}

RWPtrVector& RWPtrVector::operator=(void* p)
{
    for (size_t i = 0; i < npts_; ++i)
        std::memcpy(array_ + i, &p, sizeof p);
    return *this;
}

void* RWPtrVector::operator()(size_t i) const
{
    void* p;
    std::memcpy(&p, array_ + i, sizeof p);
    return p;
}

void RWPtrVector::set(size_t i, void* p)
{
    std::memcpy(array_ + i, &p, sizeof p);
}

void RWPtrVector::reshape(size_t n)
{
    if (n == npts_)
        return;
    void** fresh = nullptr;
    if (n) {
        fresh = allocate(n);
        const size_t keep = n < npts_ ? n : npts_;
        if (keep)
            std::memcpy(fresh, array_, keep * sizeof(void*));
        // Slots beyond the old length are left for resize to clear; zero them so that a copy
        // of the storage never reads indeterminate bytes.
        if (n > keep)
            std::memset(fresh + keep, 0, (n - keep) * sizeof(void*));
    }
    if (array_)
        release(array_);
    array_ = fresh;
    npts_ = n;
}

void RWPtrVector::resize(size_t n)
{
    const size_t old = npts_;
    reshape(n);
    if (n > old)
        std::memset(array_ + old, 0, (n - old) * sizeof(void*));
}

void RWPtrVector::boundsCheck(size_t i) const
{
    rwcoll::checkIndexOrNpos(i, npts_);
}
