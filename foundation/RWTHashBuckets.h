// The fixed bucket array under every hash container: counting, copying, clearing, finding a bucket.
#pragma once

#include <cstddef>

#include "foundation/RWTPtrVector.h"

// A fixed array of buckets (each a list made when the first element lands in it) with the
// element count and the hash function. The bucket of a key is hash(key) % buckets; the table
// never rehashes. A container keeps only what it stores in a bucket and how it compares.
template <class Bucket, class Key>
class RWTHashBuckets {
public:
    using HashFunction = unsigned (*)(const Key&);

    // A bucket count of 0 is taken as 2.
    RWTHashBuckets(HashFunction hash, size_t buckets)
        : table_(buckets ? buckets : 2, false, 64), nitems_(0), hash_(hash)
    {
    }
    RWTHashBuckets(const RWTHashBuckets& other)
        : table_(other.table_.length(), false, 64), nitems_(0), hash_(other.hash_)
    {
        copyBuckets(other);
    }
    ~RWTHashBuckets() { clear(); }

    RWTHashBuckets& operator=(const RWTHashBuckets& other)
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

    size_t entries() const { return nitems_; }
    bool isEmpty() const { return nitems_ == 0; }
    size_t buckets() const { return table_.length(); }

    // Frees every bucket with what it holds (from the last to the first); the bucket count stays.
    void clear()
    {
        for (size_t i = table_.length(); i-- > 0;) {
            delete table_(i);
            table_(i) = nullptr;
        }
        nitems_ = 0;
    }

protected:
    // The bucket of key, made first when make is set; null for a table without buckets, and
    // for a bucket never used unless make is set.
    Bucket* bucketOf(const Key& key, bool make)
    {
        if (table_.length() == 0)
            return nullptr;
        Bucket*& b = table_(slotOf(key));
        if (b == nullptr && make)
            b = new Bucket;
        return b;
    }
    const Bucket* bucketOf(const Key& key) const
    {
        return table_.length() == 0 ? nullptr : table_(slotOf(key));
    }
    // Calls fn(bucket) for every bucket in use, in index order.
    template <class Fn>
    void forEachBucket(Fn fn) const
    {
        for (size_t i = 0; i < table_.length(); ++i)
            if (Bucket* b = table_(i))
                fn(*b);
    }

    RWTPtrVector<Bucket> table_;
    size_t nitems_;

private:
    size_t slotOf(const Key& key) const { return size_t(hash_(key)) % table_.length(); }

    void copyBuckets(const RWTHashBuckets& other)
    {
        for (size_t i = 0; i < other.table_.length(); ++i)
            if (other.table_(i) != nullptr)
                table_(i) = new Bucket(*other.table_(i));
        nitems_ = other.nitems_;
    }

    HashFunction hash_;
};
