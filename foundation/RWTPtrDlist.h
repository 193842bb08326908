// Doubly linked list of pointers (not owned), and its iterator.
#pragma once

#include <cstddef>
#include <unordered_set>

#include "foundation/RWDlist.h"
#include "foundation/RWTPtrOrderedVector.h"

template <class T>
struct RWTPtrDlink : RWDlink {
    explicit RWTPtrDlink(T* p) : item_(p) {}
    T* item_;
};

// Each link holds a pointer to T; the list frees its links but never the pointed-to objects,
// except through clearAndDestroy. Searches by value compare the pointed-to objects.
template <class T>
class RWTPtrDlist {
    using Link = RWTPtrDlink<T>;

public:
    // The usual shapes of the functions given to apply, find and remove; any function or
    // callable taking (element, data) is accepted.
    using ApplyFunction = void (*)(T*, void*);
    using TestFunction = bool (*)(T*, void*);

    RWTPtrDlist() = default;
    RWTPtrDlist(const RWTPtrDlist& other) { appendAll(other); }
    RWTPtrDlist(RWTPtrDlist&& other) noexcept { list_.takeLinksFrom(other.list_); }
    ~RWTPtrDlist() { clear(); }

    RWTPtrDlist& operator=(const RWTPtrDlist& other)
    {
        if (this != &other) {
            clear();
            appendAll(other);
        }
        return *this;
    }
    RWTPtrDlist& operator=(RWTPtrDlist&& other) noexcept
    {
        if (this != &other) {
            clear();
            list_.takeLinksFrom(other.list_);
        }
        return *this;
    }

    size_t entries() const { return list_.entries(); }
    bool isEmpty() const { return list_.isEmpty(); }

    void prepend(T* p) { list_.prepend(new Link(p)); }
    void append(T* p) { list_.append(new Link(p)); }
    void insert(T* p) { list_.append(new Link(p)); }

    // Frees every link, not the elements.
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
    // Deletes every element from the first (null ones skipped, a pointer held twice deleted
    // once) and frees every link.
    void clearAndDestroy()
    {
        RWDlink* tail = list_.tailSentinel();
        std::unordered_set<const T*> done;
        for (RWDlink* l = list_.firstLink(); l != tail;) {
            RWDlink* next = l->next_;
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

    // Calls fn(element, data) for every element from first to last. The next link is taken
    // before the call, so fn may remove the element it is given.
    template <class Fn>
    void apply(Fn fn, void* data)
    {
        RWDlink* tail = list_.tailSentinel();
        for (RWDlink* l = list_.firstLink(); l != tail;) {
            RWDlink* next = l->next_;
            fn(static_cast<Link*>(l)->item_, data);
            l = next;
        }
    }
    // The first element for which tester(element, data) is true, else null.
    template <class Tester>
    T* find(Tester tester, void* data) const
    {
        const Link* link = findLink(tester, data);
        return link ? link->item_ : nullptr;
    }
    // Unlinks the first element for which tester(element, data) is true and returns it, or null.
    template <class Tester>
    T* remove(Tester tester, void* data)
    {
        return unlink(const_cast<Link*>(findLink(tester, data)));
    }

    bool contains(const T* p) const { return findLink(p) != nullptr; }
    // The stored pointer equal to *p, or null.
    T* find(const T* p) const
    {
        const Link* link = findLink(p);
        return link ? link->item_ : nullptr;
    }
    // Unlinks the first element equal to *p and returns it, or null.
    T* remove(const T* p) { return unlink(const_cast<Link*>(findLink(p))); }
    // Unlinks the first element and returns it, or null when empty.
    T* removeFirst() { return unlink(static_cast<Link*>(list_.removeFirst()), false); }

    RWDlist& core() { return list_; }
    const RWDlist& core() const { return list_; }

private:
    template <class Tester>
    const Link* findLink(Tester tester, void* data) const
    {
        const RWDlink* tail = list_.tailSentinel();
        for (const RWDlink* l = list_.firstLink(); l != tail; l = l->next_)
            if (tester(static_cast<const Link*>(l)->item_, data))
                return static_cast<const Link*>(l);
        return nullptr;
    }
    const Link* findLink(const T* p) const
    {
        const RWDlink* tail = list_.tailSentinel();
        for (const RWDlink* l = list_.firstLink(); l != tail; l = l->next_)
            if (rwcoll::sameObjectValue<T>(static_cast<const Link*>(l)->item_, p))
                return static_cast<const Link*>(l);
        return nullptr;
    }
    T* unlink(Link* link, bool stillLinked = true)
    {
        if (link == nullptr)
            return nullptr;
        if (stillLinked)
            list_.removeReference(link);
        T* item = link->item_;
        delete link;
        return item;
    }
    void appendAll(const RWTPtrDlist& other)
    {
        const RWDlink* tail = other.list_.tailSentinel();
        for (const RWDlink* l = other.list_.firstLink(); l != tail; l = l->next_)
            append(static_cast<const Link*>(l)->item_);
    }

    RWDlist list_;
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
