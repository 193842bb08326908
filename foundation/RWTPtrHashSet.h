// Hash set of pointers (not owned): a hash table that refuses an element equal to a stored one.
#pragma once

#include <cstddef>

#include "foundation/RWTPtrHashTable.h"

template <class T>
class RWTPtrHashSet : public RWTPtrHashTable<T> {
    using Base = RWTPtrHashTable<T>;

public:
    using typename Base::HashFunction;

    // A bucket count of 0 is taken as 2.
    RWTPtrHashSet(HashFunction hash, size_t buckets = 64) : Base(hash, buckets) {}
    RWTPtrHashSet(const RWTPtrHashSet& other) : Base(other) {}
    ~RWTPtrHashSet() override = default;
    RWTPtrHashSet& operator=(const RWTPtrHashSet& other)
    {
        Base::operator=(other);
        return *this;
    }

    // Stores p unless an element equal to *p is already there; true when stored.
    bool insert(T* p) override
    {
        typename Base::Bucket* b = this->bucketFor(p, true);
        if (b == nullptr || b->contains(p))
            return false;
        b->append(p);
        ++this->nitems_;
        return true;
    }
};
