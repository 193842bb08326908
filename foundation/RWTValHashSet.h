// Hash set of values with a fixed bucket count.
#pragma once

#include <cstddef>

#include "foundation/RWTHashBuckets.h"
#include "foundation/RWTValSlist.h"

// A fixed array of buckets, each a singly linked list of values made when the first value
// lands in it. The bucket of a value is hash(v) % buckets; the set never rehashes.
template <class T>
class RWTValHashSet : public RWTHashBuckets<RWTValSlist<T>, T> {
    using Bucket = RWTValSlist<T>;
    using Base = RWTHashBuckets<Bucket, T>;

public:
    using typename Base::HashFunction;

    // A bucket count of 0 is taken as 2.
    RWTValHashSet(HashFunction hash, size_t buckets = 64) : Base(hash, buckets) {}
    RWTValHashSet(const RWTValHashSet& other) = default;
    RWTValHashSet& operator=(const RWTValHashSet& other) = default;
    virtual ~RWTValHashSet() = default;

    // Stores a copy of v unless an equal value is already there; true when stored.
    virtual bool insert(const T& v)
    {
        Bucket* b = this->bucketOf(v, true);
        if (b == nullptr || b->contains(v))
            return false;
        b->append(v);
        ++this->nitems_;
        return true;
    }
    // Removes the value equal to v; false when there is none. A bucket that was never used is
    // not made.
    virtual bool remove(const T& v)
    {
        Bucket* b = this->bucketOf(v, false);
        if (b == nullptr || !b->remove(v))
            return false;
        --this->nitems_;
        return true;
    }

    bool contains(const T& v) const
    {
        const Bucket* b = this->bucketOf(v);
        return b != nullptr && b->contains(v);
    }

    // Calls fn(value, data) for every value, bucket by bucket, in insertion order within one.
    template <class Fn>
    void apply(Fn fn, void* data) const
    {
        this->forEachBucket([&fn, data](Bucket& b) {
            RWTValSlistIterator<T> it(b);
            while (++it)
                fn(static_cast<const T&>(it.key()), data);
        });
    }
};
