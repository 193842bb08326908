// Singly linked list of pointers (not owned), and its iterator.
#pragma once

#include <cstddef>

#include "foundation/RWSlist.h"
#include "foundation/RWTLinkedList.h"
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
class RWTPtrSlist : public RWTLinkedList<RWSlist, RWTPtrSlink<T>> {
    using Base = RWTLinkedList<RWSlist, RWTPtrSlink<T>>;

public:
    void append(T* p) { this->appendItem(p); }
    void insert(T* p) { this->appendItem(p); }
    void prepend(T* p) { this->prependItem(p); }

    // Deletes every element from the first (null ones skipped, a pointer held twice deleted
    // once) and frees every link.
    void clearAndDestroy() { this->destroyItemsAndClear(); }

    // Checked access to the stored pointer: i >= entries raises RWBoundsErr.
    T*& at(size_t i) { return this->linkAt(i)->item_; }
    T* at(size_t i) const { return this->linkAt(i)->item_; }
    // The first and last elements, or null when empty.
    T* first() const { return this->isEmpty() ? nullptr : this->firstItemLink()->item_; }
    T* last() const { return this->isEmpty() ? nullptr : this->lastItemLink()->item_; }

    bool contains(const T* p) const { return this->findLink(sameAs(p)) != nullptr; }
    // The stored pointer equal to *p (which may be another object than p), or null.
    T* find(const T* p) const
    {
        auto* link = this->findLink(sameAs(p));
        return link ? link->item_ : nullptr;
    }
    // Unlinks the first element equal to *p and returns it, or null.
    T* remove(const T* p)
    {
        auto* link = this->unlinkFirst(sameAs(p));
        return link ? Base::release(link) : nullptr;
    }
    // Unlinks every element equal to *p; returns how many.
    size_t removeAll(const T* p) { return this->eraseAll(sameAs(p)); }
    // Unlinks the first element and returns it, or null when empty.
    T* removeFirst()
    {
        auto* link = this->unlinkFront();
        return link ? Base::release(link) : nullptr;
    }

private:
    static auto sameAs(const T* p)
    {
        return [p](const T* element) { return rwcoll::sameObjectValue<T>(element, p); };
    }
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
