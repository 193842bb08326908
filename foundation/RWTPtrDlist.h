// Doubly linked list of pointers (not owned), and its iterator.
#pragma once

#include <cstddef>

#include "foundation/RWDlist.h"
#include "foundation/RWTLinkedList.h"
#include "foundation/RWTPtrOrderedVector.h"

template <class T>
struct RWTPtrDlink : RWDlink {
    explicit RWTPtrDlink(T* p) : item_(p) {}
    T* item_;
};

// Each link holds a pointer to T; the list frees its links but never the pointed-to objects,
// except through clearAndDestroy. Searches by value compare the pointed-to objects.
template <class T>
class RWTPtrDlist : public RWTLinkedList<RWDlist, RWTPtrDlink<T>> {
    using Base = RWTLinkedList<RWDlist, RWTPtrDlink<T>>;

public:
    // The usual shapes of the functions given to apply, find and remove; any function or
    // callable taking (element, data) is accepted.
    using ApplyFunction = void (*)(T*, void*);
    using TestFunction = bool (*)(T*, void*);

    void prepend(T* p) { this->prependItem(p); }
    void append(T* p) { this->appendItem(p); }
    void insert(T* p) { this->appendItem(p); }

    // Deletes every element from the first (null ones skipped, a pointer held twice deleted
    // once) and frees every link.
    void clearAndDestroy() { this->destroyItemsAndClear(); }

    // Checked access to the stored pointer: i >= entries raises RWBoundsErr.
    T*& at(size_t i) { return this->linkAt(i)->item_; }
    T* at(size_t i) const { return this->linkAt(i)->item_; }
    // The first and last elements, or null when empty.
    T* first() const { return this->isEmpty() ? nullptr : this->firstItemLink()->item_; }
    T* last() const { return this->isEmpty() ? nullptr : this->lastItemLink()->item_; }

    // Calls fn(element, data) for every element from first to last; fn may remove the element
    // it is given.
    template <class Fn>
    void apply(Fn fn, void* data)
    {
        this->forEach([&fn, data](T* element) { fn(element, data); });
    }
    // The first element for which tester(element, data) is true, else null.
    template <class Tester>
    T* find(Tester tester, void* data) const
    {
        return itemOf(this->findLink(passes(tester, data)));
    }
    // Unlinks the first element for which tester(element, data) is true and returns it, or null.
    template <class Tester>
    T* remove(Tester tester, void* data)
    {
        return take(this->unlinkFirst(passes(tester, data)));
    }

    bool contains(const T* p) const { return this->findLink(sameAs(p)) != nullptr; }
    // The stored pointer equal to *p, or null.
    T* find(const T* p) const { return itemOf(this->findLink(sameAs(p))); }
    // Unlinks the first element equal to *p and returns it, or null.
    T* remove(const T* p) { return take(this->unlinkFirst(sameAs(p))); }
    // Unlinks the first element and returns it, or null when empty.
    T* removeFirst() { return take(this->unlinkFront()); }

private:
    static T* itemOf(const RWTPtrDlink<T>* link) { return link ? link->item_ : nullptr; }
    static T* take(RWTPtrDlink<T>* link) { return link ? Base::release(link) : nullptr; }
    static auto sameAs(const T* p)
    {
        return [p](const T* element) { return rwcoll::sameObjectValue<T>(element, p); };
    }
    template <class Tester>
    static auto passes(Tester& tester, void* data)
    {
        return [&tester, data](T* element) { return tester(element, data); };
    }
};

// Walks an RWTPtrDlist from before its first element.
template <class T>
class RWTPtrDlistIterator {
    using Link = RWTPtrDlink<T>;

public:
    explicit RWTPtrDlistIterator(RWTPtrDlist<T>& list) : it_(list.core()) {}

    // Advance; the element there, or null at the end.
    T* operator()()
    {
        ++it_;
        return key();
    }
    bool operator++() { return ++it_ != nullptr; }
    bool operator--() { return --it_ != nullptr; }
    // The current element when standing on one, else null.
    T* key() const
    {
        RWDlink* link = it_.key();
        return link ? static_cast<Link*>(link)->item_ : nullptr;
    }
    void reset() { it_.reset(); }
    void reset(RWTPtrDlist<T>& list) { it_.reset(list.core()); }

    bool isActive() const { return it_.isActive(); }
    bool atFirst() const { return it_.atFirst(); }
    bool atLast() const { return it_.atLast(); }
    void toFirst() { it_.toFirst(); }
    void toLast() { it_.toLast(); }

    // Unlinks the current element and returns it, leaving the iterator on its predecessor;
    // null when there is no current element.
    T* remove()
    {
        RWDlink* link = it_.remove();
        if (link == nullptr)
            return nullptr;
        T* item = static_cast<Link*>(link)->item_;
        delete static_cast<Link*>(link);
        return item;
    }

private:
    RWDlistIterator it_;
};
