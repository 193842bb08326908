// Singly linked list of pointers (not owned), and its iterator.
#pragma once

#include <cstddef>
#include <unordered_set>

#include "foundation/RWSlist.h"
#include "foundation/RWTPtrOrderedVector.h"
#include "foundation/RWTValSlist.h"

template <class T>
struct RWTPtrSlink : RWSlink {
    explicit RWTPtrSlink(T* p) : item_(p) {}
    T* item_;
};

// Each link holds a pointer to T; the list frees its links but never the pointed-to objects,
// except through clearAndDestroy. Searches compare the pointed-to objects (*element == *p).
template <class T>
class RWTPtrSlist {
    using Link = RWTPtrSlink<T>;

public:
    RWTPtrSlist() = default;
    RWTPtrSlist(const RWTPtrSlist& other) { appendAll(other); }
    RWTPtrSlist(RWTPtrSlist&& other) noexcept { list_.takeLinksFrom(other.list_); }
    ~RWTPtrSlist() { clear(); }

    RWTPtrSlist& operator=(const RWTPtrSlist& other)
    {
        if (this != &other) {
            clear();
            appendAll(other);
        }
        return *this;
    }
    RWTPtrSlist& operator=(RWTPtrSlist&& other) noexcept
    {
        if (this != &other) {
            clear();
            list_.takeLinksFrom(other.list_);
        }
        return *this;
    }

    void append(T* p) { list_.append(new Link(p)); }
    void insert(T* p) { list_.append(new Link(p)); }
    void prepend(T* p) { list_.prepend(new Link(p)); }

    size_t entries() const { return list_.entries(); }
    bool isEmpty() const { return list_.isEmpty(); }

    // Frees every link, not the elements.
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
    // Deletes every element from the first (null ones skipped, a pointer held twice deleted
    // once) and frees every link.
    void clearAndDestroy()
    {
        RWSlink* tail = list_.tailSentinel();
        std::unordered_set<const T*> done;
        for (RWSlink* l = list_.firstLink(); l != tail;) {
            RWSlink* next = l->next_;
            T* p = static_cast<Link*>(l)->item_;
            if (p != nullptr && done.insert(p).second)
                delete p;
            delete static_cast<Link*>(l);
            l = next;
        }
        list_.init();
    }

    // Checked access to the stored pointer: i >= entries raises RWBoundsErr.
    T*& at(size_t i) { return static_cast<Link*>(list_.at(i))->item_; }
    T* at(size_t i) const { return static_cast<const Link*>(list_.at(i))->item_; }
    // The first and last elements, or null when empty.
    T* first() const { return isEmpty() ? nullptr : static_cast<const Link*>(list_.firstLink())->item_; }
    T* last() const { return isEmpty() ? nullptr : static_cast<const Link*>(list_.lastLink())->item_; }

    bool contains(const T* p) const { return findLink(p) != nullptr; }
    // The stored pointer equal to *p (which may be another object than p), or null.
    T* find(const T* p) const
    {
        const Link* link = findLink(p);
        return link ? link->item_ : nullptr;
    }
    // Unlinks the first element equal to *p and returns it, or null.
    T* remove(const T* p)
    {
        RWSlink* tail = list_.tailSentinel();
        for (RWSlink* prev = list_.headSentinel(); prev->next_ != tail; prev = prev->next_) {
            if (rwcoll::sameObjectValue<T>(static_cast<Link*>(prev->next_)->item_, p)) {
                Link* link = static_cast<Link*>(list_.removeRight(prev));
                T* item = link->item_;
                delete link;
                return item;
            }
        }
        return nullptr;
    }
    // Unlinks every element equal to *p; returns how many.
    size_t removeAll(const T* p)
    {
        size_t n = 0;
        RWSlink* prev = list_.headSentinel();
        RWSlink* tail = list_.tailSentinel();
        while (prev->next_ != tail) {
            if (rwcoll::sameObjectValue<T>(static_cast<Link*>(prev->next_)->item_, p)) {
                delete static_cast<Link*>(list_.removeRight(prev));
                ++n;
            } else {
                prev = prev->next_;
            }
        }
        return n;
    }
    // Unlinks the first element and returns it, or null when empty.
    T* removeFirst()
    {
        Link* link = static_cast<Link*>(list_.removeFirst());
        if (link == nullptr)
            return nullptr;
        T* item = link->item_;
        delete link;
        return item;
    }

    RWSlist& core() { return list_; }
    const RWSlist& core() const { return list_; }

private:
    const Link* findLink(const T* p) const
    {
        const RWSlink* tail = list_.tailSentinel();
        for (const RWSlink* l = list_.firstLink(); l != tail; l = l->next_)
            if (rwcoll::sameObjectValue<T>(static_cast<const Link*>(l)->item_, p))
                return static_cast<const Link*>(l);
        return nullptr;
    }
    void appendAll(const RWTPtrSlist& other)
    {
        const RWSlink* tail = other.list_.tailSentinel();
        for (const RWSlink* l = other.list_.firstLink(); l != tail; l = l->next_)
            append(static_cast<const Link*>(l)->item_);
    }

    RWSlist list_;
};

// Walks a list of pointers to T: an RWTPtrSlist<T>, or a value list RWTValSlist<T*> (each with
// its own link type). It stands before the first element when made.
template <class T>
class RWTPtrSlistIterator {
public:
    explicit RWTPtrSlistIterator(RWTPtrSlist<T>& list) : it_(list.core()), item_(&ptrItem) {}
    explicit RWTPtrSlistIterator(RWTValSlist<T*>& list) : it_(list.core()), item_(&valItem) {}

    // Advance; the element there, or null past the end.
    T* operator()()
    {
        ++it_;
        return key();
    }
    // Advance; true while standing on an element.
    bool operator++() { return ++it_; }
    // The current element when standing on one, else null.
    T* key() const
    {
        RWSlink* link = it_.key();
        return link ? item_(link) : nullptr;
    }
    void reset() { it_.reset(); }
    void reset(RWTPtrSlist<T>& list)
    {
        it_.reset(list.core());
        item_ = &ptrItem;
    }
    void reset(RWTValSlist<T*>& list)
    {
        it_.reset(list.core());
        item_ = &valItem;
    }

    bool isActive() const { return it_.isActive(); }
    bool atFirst() const { return it_.atFirst(); }
    bool atLast() const { return it_.atLast(); }
    void toFirst() { it_.toFirst(); }
    void toLast() { it_.toLast(); }
    // Advance n times; the element there, or null past the end.
    T* operator+=(size_t n)
    {
        it_ += n;
        return key();
    }

    // Unlinks the current element and returns it, leaving the iterator on its predecessor;
    // null when there is no current element.
    T* remove()
    {
        RWSlink* link = it_.remove();
        if (link == nullptr)
            return nullptr;
        T* item = item_(link);
        if (item_ == &ptrItem)
            delete static_cast<RWTPtrSlink<T>*>(link);
        else
            delete static_cast<RWTValSlink<T*>*>(link);
        return item;
    }

private:
    static T* ptrItem(RWSlink* link) { return static_cast<RWTPtrSlink<T>*>(link)->item_; }
    static T* valItem(RWSlink* link) { return static_cast<RWTValSlink<T*>*>(link)->item_; }

    RWSlistIterator it_;
    T* (*item_)(RWSlink*);
};
