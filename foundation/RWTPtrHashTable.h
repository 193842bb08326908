// Chained hash table of pointers (not owned) with a fixed bucket count.
#pragma once

#include <cstddef>

#include "foundation/RWTHashBuckets.h"
#include "foundation/RWTPtrSlist.h"

// A fixed array of buckets, each a singly linked list made when the first element lands in it.
// The bucket of an element is hash(*p) % buckets; the table never rehashes. Elements are
// compared through the pointed-to objects (*e == *p) and are never deleted by the table.
template <class T>
class RWTPtrHashTable : public RWTHashBuckets<RWTPtrSlist<T>, T> {
protected:
    using Bucket = RWTPtrSlist<T>;
    using Base = RWTHashBuckets<Bucket, T>;

public:
    using typename Base::HashFunction;

    // A bucket count of 0 is taken as 2.
    RWTPtrHashTable(HashFunction hash, size_t buckets = 64) : Base(hash, buckets) {}
    RWTPtrHashTable(const RWTPtrHashTable& other) = default;
    RWTPtrHashTable& operator=(const RWTPtrHashTable& other) = default;
    virtual ~RWTPtrHashTable() = default;

    // Stores p at the end of its bucket; the table keeps duplicates. True when stored (false
    // only for a table without buckets).
    virtual bool insert(T* p)
    {
        Bucket* b = bucketFor(p, true);
        if (b == nullptr)
            return false;
        b->append(p);
        ++this->nitems_;
        return true;
    }
    // Removes the first element equal to *p from its bucket and returns it, or null. A bucket
    // that was never used is not made.
    virtual T* remove(const T* p)
    {
        Bucket* b = bucketFor(p, false);
        T* gone = b ? b->remove(p) : nullptr;
        if (gone != nullptr)
            --this->nitems_;
        return gone;
    }
    // Removes every element equal to *p; returns how many.
    virtual size_t removeAll(const T* p)
    {
        Bucket* b = bucketFor(p, false);
        const size_t n = b ? b->removeAll(p) : 0;
        this->nitems_ -= n;
        return n;
    }

    bool contains(const T* p) const
    {
        const Bucket* b = bucketFor(p);
        return b != nullptr && b->contains(p);
    }
    // The stored pointer equal to *p (possibly another object than p), or null.
    T* find(const T* p) const
    {
        const Bucket* b = bucketFor(p);
        return b ? b->find(p) : nullptr;
    }

    // Calls fn(element, data) for every element, bucket by bucket, in insertion order within
    // a bucket.
    template <class Fn>
    void apply(Fn fn, void* data) const
    {
        this->forEachBucket([&fn, data](Bucket& b) {
            RWTPtrSlistIterator<T> it(b);
            while (++it)
                fn(it.key(), data);
        });
    }

protected:
    // A null pointer has no bucket.
    const Bucket* bucketFor(const T* p) const { return p ? this->bucketOf(*p) : nullptr; }
    Bucket* bucketFor(const T* p, bool make) { return p ? this->bucketOf(*p, make) : nullptr; }
};
