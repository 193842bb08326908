// Hash set of values with a fixed bucket count.
#pragma once

#include <cstddef>

#include "foundation/RWTPtrVector.h"
#include "foundation/RWTValSlist.h"

// A fixed array of buckets, each a singly linked list of values made when the first value
// lands in it. The bucket of a value is hash(v) % buckets; the set never rehashes.
template <class T>
class RWTValHashSet {
    using Bucket = RWTValSlist<T>;

public:
    using HashFunction = unsigned (*)(const T&);

    // A bucket count of 0 is taken as 2.
    RWTValHashSet(HashFunction hash, size_t buckets = 64)
        : table_(buckets ? buckets : 2, false, 64), nitems_(0), hash_(hash)
    {
    }
    RWTValHashSet(const RWTValHashSet& other)
        : table_(other.table_.length(), false, 64), nitems_(0), hash_(other.hash_)
    {
        copyBuckets(other);
    }
    virtual ~RWTValHashSet() { clear(); }

    RWTValHashSet& operator=(const RWTValHashSet& other)
    {
        if (this != &other) {
            clear();
            table_.resize(0);
            table_.resize(other.table_.length());
            hash_ = other.hash_;
            copyBuckets(other);
        }
        return *this;
    }

    // Stores a copy of v unless an equal value is already there; true when stored.
    virtual bool insert(const T& v)
    {
        if (table_.length() == 0)
            return false;
        Bucket*& b = table_(slotOf(v));
        if (b == nullptr)
            b = new Bucket;
        else if (b->contains(v))
            return false;
        b->append(v);
        ++nitems_;
        return true;
    }
    // Removes the value equal to v; false when there is none. A bucket that was never used is
    // not made.
    virtual bool remove(const T& v)
    {
        if (table_.length() == 0)
            return false;
        Bucket* b = table_(slotOf(v));
        if (b == nullptr || !b->remove(v))
            return false;
        --nitems_;
        return true;
    }

    bool contains(const T& v) const
    {
        if (table_.length() == 0)
            return false;
        const Bucket* b = table_(slotOf(v));
        return b != nullptr && b->contains(v);
    }

    size_t entries() const { return nitems_; }
    bool isEmpty() const { return nitems_ == 0; }
    size_t buckets() const { return table_.length(); }

    // Frees every bucket (from the last to the first); the bucket count stays.
    void clear()
    {
        for (size_t i = table_.length(); i-- > 0;) {
            delete table_(i);
            table_(i) = nullptr;
        }
        nitems_ = 0;
    }

    // Calls fn(value, data) for every value, bucket by bucket, in insertion order within one.
    template <class Fn>
    void apply(Fn fn, void* data) const
    {
        for (size_t i = 0; i < table_.length(); ++i) {
            Bucket* b = table_(i);
            if (b == nullptr)
                continue;
            RWTValSlistIterator<T> it(*b);
            while (++it)
                fn(static_cast<const T&>(it.key()), data);
        }
    }

private:
    size_t slotOf(const T& v) const { return size_t(hash_(v)) % table_.length(); }

    void copyBuckets(const RWTValHashSet& other)
    {
        for (size_t i = 0; i < other.table_.length(); ++i)
            if (other.table_(i) != nullptr)
                table_(i) = new Bucket(*other.table_(i));
        nitems_ = other.nitems_;
    }

    RWTPtrVector<Bucket> table_;
    size_t nitems_;
    HashFunction hash_;
};
