// Chained hash dictionary of key/value associations with a fixed bucket count, and its iterator.
#pragma once

#include <cstddef>

#include "foundation/RWTHashBuckets.h"
#include "foundation/RWTValSlist.h"

// One association of a dictionary bucket.
template <class K, class V>
struct RWTValHashAssoc {
    RWTValHashAssoc(const K& k, const V& v) : key(k), value(v) {}
    K key;
    V value;
};

template <class K, class V>
class RWTValHashDictionaryIterator;

// A fixed array of buckets, each a singly linked list of associations made when the first key
// lands in it. The bucket of a key is hash(key) % buckets; the dictionary never rehashes.
// Iteration runs through the buckets in index order, and within one in insertion order.
template <class K, class V>
class RWTValHashDictionary : public RWTHashBuckets<RWTValSlist<RWTValHashAssoc<K, V>>, K> {
    friend class RWTValHashDictionaryIterator<K, V>;
    using Assoc = RWTValHashAssoc<K, V>;
    using Link = RWTValSlink<Assoc>;
    using Bucket = RWTValSlist<Assoc>;
    using Base = RWTHashBuckets<Bucket, K>;

public:
    using typename Base::HashFunction;

    // A bucket count of 0 is taken as 2.
    RWTValHashDictionary(HashFunction hash, size_t buckets = 64) : Base(hash, buckets) {}

    // The value of key; an absent key is added first with a value-initialised V (an empty
    // string, or 0 for numbers and pointers). Use contains or findValue to look without adding.
    V& operator[](const K& key)
    {
        Bucket* b = this->bucketOf(key, true);
        if (Assoc* a = findIn(b, key))
            return a->value;
        Link* link = new Link(Assoc(key, V()));
        b->core().append(link);
        ++this->nitems_;
        return link->item_.value;
    }
    void insertKeyAndValue(const K& key, const V& value) { (*this)[key] = value; }

    // Copies the value of key into value; false (value untouched) when the key is absent.
    bool findValue(const K& key, V& value) const
    {
        const Assoc* a = lookup(key);
        if (a == nullptr)
            return false;
        value = a->value;
        return true;
    }
    bool contains(const K& key) const { return lookup(key) != nullptr; }
    // Removes the association of key; false when there is none.
    bool remove(const K& key)
    {
        Bucket* b = this->bucketOf(key, false);
        if (b == nullptr)
            return false;
        RWSlist& core = b->core();
        for (RWSlink* prev = core.headSentinel(); prev->next_ != core.tailSentinel(); prev = prev->next_) {
            if (static_cast<Link*>(prev->next_)->item_.key == key) {
                delete static_cast<Link*>(core.removeRight(prev));
                --this->nitems_;
                return true;
            }
        }
        return false;
    }

private:
    static Assoc* findIn(const Bucket* b, const K& key)
    {
        const RWSlist& core = b->core();
        for (RWSlink* l = core.firstLink(); l != core.tailSentinel(); l = l->next_)
            if (static_cast<Link*>(l)->item_.key == key)
                return &static_cast<Link*>(l)->item_;
        return nullptr;
    }
    const Assoc* lookup(const K& key) const
    {
        const Bucket* b = this->bucketOf(key);
        return b ? findIn(b, key) : nullptr;
    }
};

// Walks a dictionary: buckets in index order, associations in insertion order within one. It
// stands before the first association when made; operator() steps and says whether it stands
// on one. The dictionary must not change while it is walked.
template <class K, class V>
class RWTValHashDictionaryIterator {
    using Dict = RWTValHashDictionary<K, V>;
    using Link = typename Dict::Link;

public:
    explicit RWTValHashDictionaryIterator(const Dict& dict) : dict_(&dict) { reset(); }

    bool operator()()
    {
        while (here_ != nullptr) {
            here_ = here_->next_;
            if (here_ != bucketTail_)
                return true;
            nextBucket();
        }
        return false;
    }

    // Copies of the current association's key and value (the iterator must stand on one).
    K key() const { return static_cast<const Link*>(here_)->item_.key; }
    V value() const { return static_cast<const Link*>(here_)->item_.value; }

    void reset()
    {
        bucket_ = size_t(-1);
        here_ = nullptr;
        nextBucket();
    }
    void reset(const Dict& dict)
    {
        dict_ = &dict;
        reset();
    }

private:
    // Moves to before the first association of the next bucket in use, or to the end (null).
    void nextBucket()
    {
        const size_t n = dict_->table_.length();
        for (++bucket_; bucket_ < n; ++bucket_) {
            const typename Dict::Bucket* b = dict_->table_(bucket_);
            if (b != nullptr) {
                here_ = b->core().headSentinel();
                bucketTail_ = b->core().tailSentinel();
                return;
            }
        }
        here_ = nullptr;
        bucketTail_ = nullptr;
    }

    const Dict* dict_;
    size_t bucket_ = size_t(-1);
    const RWSlink* here_ = nullptr;
    const RWSlink* bucketTail_ = nullptr;
};
