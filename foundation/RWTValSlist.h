// Singly linked list of values, and its iterator.
#pragma once

#include <cstddef>
#include <utility>

#include "foundation/RWSlist.h"

template <class T>
struct RWTValSlink : RWSlink {
    explicit RWTValSlink(const T& v) : item_(v) {}
    explicit RWTValSlink(T&& v) : item_(std::move(v)) {}
    T item_;
};

// Each link holds a copy of a value; the list owns its links and their values.
template <class T>
class RWTValSlist {
    using Link = RWTValSlink<T>;

public:
    RWTValSlist() = default;
    RWTValSlist(const RWTValSlist& other) { appendAll(other); }
    RWTValSlist(RWTValSlist&& other) noexcept { list_.takeLinksFrom(other.list_); }
    ~RWTValSlist() { clear(); }

    RWTValSlist& operator=(const RWTValSlist& other)
    {
        if (this != &other) {
            clear();
            appendAll(other);
        }
        return *this;
    }
    RWTValSlist& operator=(RWTValSlist&& other) noexcept
    {
        if (this != &other) {
            clear();
            list_.takeLinksFrom(other.list_);
        }
        return *this;
    }

    void append(const T& v) { list_.append(new Link(v)); }
    void insert(const T& v) { list_.append(new Link(v)); }
    void prepend(const T& v) { list_.prepend(new Link(v)); }
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

    size_t entries() const { return list_.entries(); }
    bool isEmpty() const { return list_.isEmpty(); }

    // Frees every link; clearAndDestroy is the same for a list of values.
    void clear()
    {
        RWSlink* tail = list_.tailSentinel();
        for (RWSlink* l = list_.firstLink(); l != tail;) {
            RWSlink* next = l->next_;
            delete static_cast<Link*>(l);
            l = next;
        }
        list_.init();
    }
    void clearAndDestroy() { clear(); }

    // Checked access: i >= entries raises RWBoundsErr (NPOSINDEX for RW_NPOS).
    T& at(size_t i) { return static_cast<Link*>(list_.at(i))->item_; }
    const T& at(size_t i) const { return static_cast<const Link*>(list_.at(i))->item_; }
    T& operator[](size_t i) { return at(i); }
    const T& operator[](size_t i) const { return at(i); }

    // Unchecked: the caller ensures the list is not empty.
    T& first() { return static_cast<Link*>(list_.firstLink())->item_; }
    const T& first() const { return static_cast<const Link*>(list_.firstLink())->item_; }
    T& last() { return static_cast<Link*>(list_.lastLink())->item_; }
    const T& last() const { return static_cast<const Link*>(list_.lastLink())->item_; }

    // Removes element i and returns its value; checked as at.
    T removeAt(size_t i)
    {
        Link* link = static_cast<Link*>(list_.removeAt(i));
        T v(std::move(link->item_));
        delete link;
        return v;
    }
    // Removes the first element and returns its value; an empty list gives T().
    T removeFirst()
    {
        Link* link = static_cast<Link*>(list_.removeFirst());
        if (link == nullptr)
            return T();
        T v(std::move(link->item_));
        delete link;
        return v;
    }

    bool contains(const T& v) const
    {
        const RWSlink* tail = list_.tailSentinel();
        for (const RWSlink* l = list_.firstLink(); l != tail; l = l->next_)
            if (static_cast<const Link*>(l)->item_ == v)
                return true;
        return false;
    }
    // Removes the first element equal to v; false when there is none.
    bool remove(const T& v)
    {
        RWSlink* tail = list_.tailSentinel();
        for (RWSlink* prev = list_.headSentinel(); prev->next_ != tail; prev = prev->next_) {
            if (static_cast<Link*>(prev->next_)->item_ == v) {
                delete static_cast<Link*>(list_.removeRight(prev));
                return true;
            }
        }
        return false;
    }
    // Removes every element equal to v; returns how many.
    size_t removeAll(const T& v)
    {
        if (pointsIntoList(&v)) {
            const T copy(v);  // v lives in one of our links, which may be freed on the way
            return removeAllOf(copy);
        }
        return removeAllOf(v);
    }

    RWSlist& core() { return list_; }
    const RWSlist& core() const { return list_; }

private:
    void appendAll(const RWTValSlist& other)
    {
        const RWSlink* tail = other.list_.tailSentinel();
        for (const RWSlink* l = other.list_.firstLink(); l != tail; l = l->next_)
            append(static_cast<const Link*>(l)->item_);
    }
    bool pointsIntoList(const T* p) const
    {
        const RWSlink* tail = list_.tailSentinel();
        for (const RWSlink* l = list_.firstLink(); l != tail; l = l->next_)
            if (&static_cast<const Link*>(l)->item_ == p)
                return true;
        return false;
    }
    size_t removeAllOf(const T& v)
    {
        size_t n = 0;
        RWSlink* prev = list_.headSentinel();
        RWSlink* tail = list_.tailSentinel();
        while (prev->next_ != tail) {
            if (static_cast<Link*>(prev->next_)->item_ == v) {
                delete static_cast<Link*>(list_.removeRight(prev));
                ++n;
            } else {
                prev = prev->next_;
            }
        }
        return n;
    }

    RWSlist list_;
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
