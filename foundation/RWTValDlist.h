// Doubly linked list of values, and its iterator.
#pragma once

#include <cstddef>
#include <utility>

#include "foundation/RWDlist.h"

template <class T>
struct RWTValDlink : RWDlink {
    explicit RWTValDlink(const T& v) : item_(v) {}
    T item_;
};

// Each link holds a copy of a value; the list owns its links and their values (for a list of
// pointers, the pointers only: the pointed-to objects are never deleted).
template <class T>
class RWTValDlist {
    using Link = RWTValDlink<T>;

public:
    RWTValDlist() = default;
    RWTValDlist(const RWTValDlist& other) { appendAll(other); }
    RWTValDlist(RWTValDlist&& other) noexcept { list_.takeLinksFrom(other.list_); }
    ~RWTValDlist() { clear(); }

    RWTValDlist& operator=(const RWTValDlist& other)
    {
        if (this != &other) {
            clear();
            appendAll(other);
        }
        return *this;
    }
    RWTValDlist& operator=(RWTValDlist&& other) noexcept
    {
        if (this != &other) {
            clear();
            list_.takeLinksFrom(other.list_);
        }
        return *this;
    }

    size_t entries() const { return list_.entries(); }
    bool isEmpty() const { return list_.isEmpty(); }

    void prepend(const T& v) { list_.prepend(new Link(v)); }
    void append(const T& v) { list_.append(new Link(v)); }
    void insert(const T& v) { list_.append(new Link(v)); }
    // Inserts before position i (0 .. entries); checked as the core's insertAt.
    void insertAt(size_t i, const T& v)
    {
        Link* link = new Link(v);
        try {
            list_.insertAt(i, link);
        } catch (...) {
            delete link;
            throw;
        }
    }

    // Frees every link (the values are destroyed).
    void clear()
    {
        RWDlink* tail = list_.tailSentinel();
        for (RWDlink* l = list_.firstLink(); l != tail;) {
            RWDlink* next = l->next_;
            delete static_cast<Link*>(l);
            l = next;
        }
        list_.init();
    }

    // Checked access: i >= entries raises RWBoundsErr (NPOSINDEX for RW_NPOS).
    T& at(size_t i) { return static_cast<Link*>(list_.at(i))->item_; }
    const T& at(size_t i) const { return static_cast<const Link*>(list_.at(i))->item_; }
    // Unchecked: the caller ensures the list is not empty.
    T& first() { return static_cast<Link*>(list_.firstLink())->item_; }
    const T& first() const { return static_cast<const Link*>(list_.firstLink())->item_; }
    T& last() { return static_cast<Link*>(list_.lastLink())->item_; }
    const T& last() const { return static_cast<const Link*>(list_.lastLink())->item_; }

    // Unlinks the first link and returns its value; an empty list gives T() and stays empty.
    T removeFirst()
    {
        Link* link = static_cast<Link*>(list_.removeFirst());
        if (link == nullptr)
            return T();
        T v(std::move(link->item_));
        delete link;
        return v;
    }
    // Removes element i and returns its value; checked as at.
    T removeAt(size_t i)
    {
        Link* link = static_cast<Link*>(list_.removeAt(i));
        T v(std::move(link->item_));
        delete link;
        return v;
    }

    bool contains(const T& v) const { return findLink(v) != nullptr; }
    // Removes the first element equal to v; false when there is none.
    bool remove(const T& v)
    {
        Link* link = const_cast<Link*>(findLink(v));
        if (link == nullptr)
            return false;
        list_.removeReference(link);
        delete link;
        return true;
    }

    RWDlist& core() { return list_; }
    const RWDlist& core() const { return list_; }

private:
    const Link* findLink(const T& v) const
    {
        const RWDlink* tail = list_.tailSentinel();
        for (const RWDlink* l = list_.firstLink(); l != tail; l = l->next_)
            if (static_cast<const Link*>(l)->item_ == v)
                return static_cast<const Link*>(l);
        return nullptr;
    }
    void appendAll(const RWTValDlist& other)
    {
        const RWDlink* tail = other.list_.tailSentinel();
        for (const RWDlink* l = other.list_.firstLink(); l != tail; l = l->next_)
            append(static_cast<const Link*>(l)->item_);
    }

    RWDlist list_;
};

// Walks an RWTValDlist from before its first value; operator++ gives false at the end.
template <class T>
class RWTValDlistIterator {
    using Link = RWTValDlink<T>;

public:
    explicit RWTValDlistIterator(RWTValDlist<T>& list) : it_(list.core()) {}

    bool operator++() { return ++it_ != nullptr; }
    bool operator--() { return --it_ != nullptr; }
    bool operator+=(size_t n) { return (it_ += n) != nullptr; }
    bool operator-=(size_t n) { return (it_ -= n) != nullptr; }
    // The current value, unchecked: the iterator must stand on an element.
    T& key() const { return static_cast<Link*>(it_.key())->item_; }
    void reset() { it_.reset(); }
    void reset(RWTValDlist<T>& list) { it_.reset(list.core()); }

    bool isActive() const { return it_.isActive(); }
    bool atFirst() const { return it_.atFirst(); }
    bool atLast() const { return it_.atLast(); }
    void toFirst() { it_.toFirst(); }
    void toLast() { it_.toLast(); }

    void insertAfterPoint(const T& v) { it_.insertAfterPoint(new Link(v)); }
    // Unlinks and frees the current link, leaving the iterator on the link before it, so the
    // next operator++ reaches the link that followed; false when there is no current link.
    bool remove()
    {
        RWDlink* link = it_.remove();
        if (link == nullptr)
            return false;
        delete static_cast<Link*>(link);
        return true;
    }

private:
    RWDlistIterator it_;
};
