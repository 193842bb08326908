// Singly linked list of values, and its iterator.
#pragma once

#include <cstddef>
#include <utility>

#include "foundation/RWSlist.h"
#include "foundation/RWTLinkedList.h"

template <class T>
struct RWTValSlink : RWSlink {
    explicit RWTValSlink(const T& v) : item_(v) {}
    explicit RWTValSlink(T&& v) : item_(std::move(v)) {}
    T item_;
};

// Each link holds a copy of a value; the list owns its links and their values.
template <class T>
class RWTValSlist : public RWTLinkedList<RWSlist, RWTValSlink<T>> {
    using Base = RWTLinkedList<RWSlist, RWTValSlink<T>>;

public:
    void append(const T& v) { this->appendItem(v); }
    void insert(const T& v) { this->appendItem(v); }
    void prepend(const T& v) { this->prependItem(v); }
    // Inserts before position i (0 .. entries); checked as the core's insertAt.
    void insertAt(size_t i, const T& v) { this->insertItemAt(i, v); }

    // The same as clear for a list of values.
    void clearAndDestroy() { this->clear(); }

    // Checked access: i >= entries raises RWBoundsErr (NPOSINDEX for RW_NPOS).
    T& at(size_t i) { return this->linkAt(i)->item_; }
    const T& at(size_t i) const { return this->linkAt(i)->item_; }
    T& operator[](size_t i) { return at(i); }
    const T& operator[](size_t i) const { return at(i); }

    // Unchecked: the caller ensures the list is not empty.
    T& first() { return this->firstItemLink()->item_; }
    const T& first() const { return this->firstItemLink()->item_; }
    T& last() { return this->lastItemLink()->item_; }
    const T& last() const { return this->lastItemLink()->item_; }

    // Removes element i and returns its value; checked as at.
    T removeAt(size_t i) { return Base::release(this->unlinkAt(i)); }
    // Removes the first element and returns its value; an empty list gives T().
    T removeFirst()
    {
        auto* link = this->unlinkFront();
        return link ? Base::release(link) : T();
    }

    bool contains(const T& v) const { return this->findLink(equalTo(v)) != nullptr; }
    // Removes the first element equal to v; false when there is none.
    bool remove(const T& v)
    {
        auto* link = this->unlinkFirst(equalTo(v));
        delete link;
        return link != nullptr;
    }
    // Removes every element equal to v; returns how many.
    size_t removeAll(const T& v)
    {
        if (this->findLink([&v](const T& item) { return &item == &v; })) {
            const T copy(v);  // v lives in one of our links, which may be freed on the way
            return this->eraseAll(equalTo(copy));
        }
        return this->eraseAll(equalTo(v));
    }

private:
    static auto equalTo(const T& v)
    {
        return [&v](const T& item) { return item == v; };
    }
};

// Walks an RWTValSlist from before its first value; operator++ gives false past the end.
template <class T>
class RWTValSlistIterator {
    using Link = RWTValSlink<T>;

public:
    explicit RWTValSlistIterator(RWTValSlist<T>& list) : it_(list.core()) {}

    bool operator++() { return ++it_; }
    // The current value, unchecked: the iterator must stand on an element.
    T& key() const { return static_cast<Link*>(it_.key())->item_; }
    void reset() { it_.reset(); }
    void reset(RWTValSlist<T>& list) { it_.reset(list.core()); }

    bool isActive() const { return it_.isActive(); }
    bool atFirst() const { return it_.atFirst(); }
    bool atLast() const { return it_.atLast(); }
    void toFirst() { it_.toFirst(); }
    void toLast() { it_.toLast(); }
    // Advance n times; true while standing on an element.
    bool operator+=(size_t n) { return (it_ += n) != nullptr; }

    // Inserts v after the current position (before the first element when not yet advanced).
    void insertAfterPoint(const T& v) { it_.insertAfterPoint(new Link(v)); }
    // Removes the current element, leaving the iterator on its predecessor; false when there
    // is no current element.
    bool remove()
    {
        RWSlink* link = it_.remove();
        if (link == nullptr)
            return false;
        delete static_cast<Link*>(link);
        return true;
    }

private:
    RWSlistIterator it_;
};
