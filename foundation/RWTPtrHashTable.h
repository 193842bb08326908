// Chained hash table of pointers (not owned) with a fixed bucket count.
#pragma once

#include <cstddef>

#include "foundation/RWTPtrSlist.h"
#include "foundation/RWTPtrVector.h"

// A fixed array of buckets, each a singly linked list made when the first element lands in it.
// The bucket of an element is hash(*p) % buckets; the table never rehashes. Elements are
// compared through the pointed-to objects (*e == *p) and are never deleted by the table.
template <class T>
class RWTPtrHashTable {
protected:
    using Bucket = RWTPtrSlist<T>;

public:
    using HashFunction = unsigned (*)(const T&);

    // A bucket count of 0 is taken as 2.
    RWTPtrHashTable(HashFunction hash, size_t buckets = 64)
        : table_(buckets ? buckets : 2, false, 64), nitems_(0), hash_(hash)
    {
    }
    RWTPtrHashTable(const RWTPtrHashTable& other)
        : table_(other.table_.length(), false, 64), nitems_(0), hash_(other.hash_)
    {
        copyBuckets(other);
    }
    virtual ~RWTPtrHashTable()
    {
        clear();
    }

    RWTPtrHashTable& operator=(const RWTPtrHashTable& other)
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

    // Stores p at the end of its bucket; the table keeps duplicates. True when stored (false
    // only for a table without buckets).
    virtual bool insert(T* p)
    {
        Bucket* b = bucketFor(p, true);
        if (b == nullptr)
            return false;
        b->append(p);
        ++nitems_;
        return true;
    }
    // Removes the first element equal to *p from its bucket and returns it, or null. A bucket
    // that was never used is not made.
    virtual T* remove(const T* p)
    {
        Bucket* b = bucketFor(p, false);
        if (b == nullptr)
            return nullptr;
        T* gone = b->remove(p);
        if (gone != nullptr)
            --nitems_;
        return gone;
    }
    // Removes every element equal to *p; returns how many.
    virtual size_t removeAll(const T* p)
    {
        Bucket* b = bucketFor(p, false);
        if (b == nullptr)
            return 0;
        const size_t n = b->removeAll(p);
        nitems_ -= n;
        return n;
    }

    size_t entries() const { return nitems_; }
    bool isEmpty() const { return nitems_ == 0; }
    size_t buckets() const { return table_.length(); }

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

    // Frees every bucket (from the last to the first), not the elements; the bucket count stays.
    void clear()
    {
        for (size_t i = table_.length(); i-- > 0;) {
            delete table_(i);
            table_(i) = nullptr;
        }
        nitems_ = 0;
    }

    // Calls fn(element, data) for every element, bucket by bucket, in insertion order within
    // a bucket.
    template <class Fn>
    void apply(Fn fn, void* data) const
    {
        for (size_t i = 0; i < table_.length(); ++i) {
            Bucket* b = table_(i);
            if (b == nullptr)
                continue;
            RWTPtrSlistIterator<T> it(*b);
            while (++it)
                fn(it.key(), data);
        }
    }

protected:
    size_t slotOf(const T* p) const { return size_t(hash_(*p)) % table_.length(); }

    const Bucket* bucketFor(const T* p) const
    {
        if (table_.length() == 0 || p == nullptr)
            return nullptr;
        return table_(slotOf(p));
    }
    Bucket* bucketFor(const T* p, bool make)
    {
        if (table_.length() == 0 || p == nullptr)
            return nullptr;
        Bucket*& b = table_(slotOf(p));
        if (b == nullptr && make)
            b = new Bucket;
        return b;
    }

    void copyBuckets(const RWTPtrHashTable& other)
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
