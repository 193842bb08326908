// Doubly linked list of values, and its iterator.
#pragma once

#include <cstddef>
#include <utility>

#include "foundation/RWDlist.h"
#include "foundation/RWTLinkedList.h"

template <class T>
struct RWTValDlink : RWDlink {
    explicit RWTValDlink(const T& v) : item_(v) {}
    T item_;
};

// Each link holds a copy of a value; the list owns its links and their values (for a list of
// pointers, the pointers only: the pointed-to objects are never deleted).
template <class T>
class RWTValDlist : public RWTLinkedList<RWDlist, RWTValDlink<T>> {
    using Base = RWTLinkedList<RWDlist, RWTValDlink<T>>;

public:
    void prepend(const T& v) { this->prependItem(v); }
    void append(const T& v) { this->appendItem(v); }
    void insert(const T& v) { this->appendItem(v); }
    // Inserts before position i (0 .. entries); checked as the core's insertAt.
    void insertAt(size_t i, const T& v) { this->insertItemAt(i, v); }

    // Checked access: i >= entries raises RWBoundsErr (NPOSINDEX for RW_NPOS).
    T& at(size_t i) { return this->linkAt(i)->item_; }
    const T& at(size_t i) const { return this->linkAt(i)->item_; }
    // Unchecked: the caller ensures the list is not empty.
    T& first() { return this->firstItemLink()->item_; }
    const T& first() const { return this->firstItemLink()->item_; }
    T& last() { return this->lastItemLink()->item_; }
    const T& last() const { return this->lastItemLink()->item_; }

    // Unlinks the first link and returns its value; an empty list gives T() and stays empty.
    T removeFirst()
    {
        auto* link = this->unlinkFront();
        return link ? Base::release(link) : T();
    }
    // Removes element i and returns its value; checked as at.
    T removeAt(size_t i) { return Base::release(this->unlinkAt(i)); }

    bool contains(const T& v) const { return this->findLink(equalTo(v)) != nullptr; }
    // Removes the first element equal to v; false when there is none.
    bool remove(const T& v)
    {
        auto* link = this->unlinkFirst(equalTo(v));
        delete link;
        return link != nullptr;
    }

private:
    static auto equalTo(const T& v)
    {
        return [&v](const T& item) { return item == v; };
    }
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
