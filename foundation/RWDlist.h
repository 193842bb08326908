// Intrusive doubly linked list core and its iterator, under every doubly linked list.
#pragma once

#include <cstddef>

// A link of a doubly linked list; the typed lists derive their links from it.
struct RWDlink {
    RWDlink* next_ = nullptr;
    RWDlink* prev_ = nullptr;
};

// Links caller-made links between two sentinels and counts them. head_.prev_ points to the
// head itself and tail_.next_ to the tail itself, so walking off either end stays there. The
// list never allocates or frees a link.
class RWDlist {
public:
    RWDlist();
    explicit RWDlist(RWDlink* a);
    ~RWDlist();
    RWDlist(const RWDlist&) = delete;
    RWDlist& operator=(const RWDlist&) = delete;

    // Back to the empty state without touching any link.
    void init();

    size_t entries() const { return nitems_; }
    bool isEmpty() const { return nitems_ == 0; }

    void insertAfterLink(RWDlink* a, RWDlink* b);
    // Unlinks the link (which must be in this list) and returns it; null for null.
    RWDlink* removeReference(RWDlink* link);
    bool containsReference(const RWDlink* link) const;

    // Link i, checked: i >= entries raises RWBoundsErr (NPOSINDEX for RW_NPOS, else INDEXERR).
    RWDlink* at(size_t i) const;
    // i may run from 0 to entries; i == entries appends.
    void insertAt(size_t i, RWDlink* link);
    RWDlink* removeAt(size_t i);
    void prepend(RWDlink* link) { insertAfterLink(&head_, link); }
    void append(RWDlink* link) { insertAfterLink(tail_.prev_, link); }

    // Unchecked: the first and last links (the tail and the head sentinels when empty).
    RWDlink* firstLink() const { return head_.next_; }
    RWDlink* lastLink() const { return tail_.prev_; }
    // Unlinks the first link and returns it, or null when empty.
    RWDlink* removeFirst() { return nitems_ ? removeReference(head_.next_) : nullptr; }

    // Takes over every link of other, which is left empty; the own links are forgotten.
    void takeLinksFrom(RWDlist& other);

    RWDlink* headSentinel() { return &head_; }
    const RWDlink* headSentinel() const { return &head_; }
    RWDlink* tailSentinel() { return &tail_; }
    const RWDlink* tailSentinel() const { return &tail_; }

protected:
    RWDlink head_;
    RWDlink tail_;
    size_t nitems_;
};

// Walks an RWDlist in either direction; the head stands before the first link and the tail
// past the last.
class RWDlistIterator {
public:
    explicit RWDlistIterator(RWDlist& list) : list_(&list), here_(list.headSentinel()) {}

    void reset() { here_ = list_->headSentinel(); }
    void reset(RWDlist& list)
    {
        list_ = &list;
        here_ = list.headSentinel();
    }

    // One step forward; the current link, or null at the tail.
    RWDlink* operator++()
    {
        here_ = here_->next_;
        return here_ == list_->tailSentinel() ? nullptr : here_;
    }
    // One step back; the current link, or null at the head.
    RWDlink* operator--()
    {
        here_ = here_->prev_;
        return here_ == list_->headSentinel() ? nullptr : here_;
    }
    RWDlink* operator+=(size_t n);
    RWDlink* operator-=(size_t n);

    bool isActive() const { return here_ != list_->headSentinel() && here_ != list_->tailSentinel(); }
    bool atFirst() const { return isActive() && here_ == list_->firstLink(); }
    bool atLast() const { return isActive() && here_ == list_->lastLink(); }
    void toFirst() { here_ = list_->firstLink(); }
    void toLast() { here_ = list_->isEmpty() ? list_->tailSentinel() : list_->lastLink(); }

    // The current link when active, else null.
    RWDlink* key() const { return isActive() ? here_ : nullptr; }
    // Links after the current position (at the tail: at the end of the list).
    void insertAfterPoint(RWDlink* link);
    // Unlinks the current link and returns it, leaving the iterator on its predecessor; null
    // when not active.
    RWDlink* remove();

    RWDlist* container() const { return list_; }

protected:
    RWDlist* list_;
    RWDlink* here_;
};
