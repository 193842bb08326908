// Intrusive singly linked list core and its iterator, under every singly linked list.
#pragma once

#include <cstddef>

// A link of a singly linked list; the typed lists derive their links from it.
struct RWSlink {
    RWSlink* next_ = nullptr;
};

// Links caller-made links between two sentinels and counts them. head_.next_ is the first link
// (the tail when empty), tail_.next_ always points to the tail itself, last_ is the last link
// (the head when empty). The list never allocates or frees a link.
class RWSlist {
public:
    RWSlist();
    explicit RWSlist(RWSlink* a);
    ~RWSlist();
    RWSlist(const RWSlist&) = delete;
    RWSlist& operator=(const RWSlist&) = delete;

    // Back to the empty state without touching any link.
    void init();

    size_t entries() const { return nitems_; }
    bool isEmpty() const { return nitems_ == 0; }

    // Link i, checked: i >= entries raises RWBoundsErr (NPOSINDEX for RW_NPOS, else INDEXERR).
    RWSlink* at(size_t i) const;
    // Unchecked: the first and last links (the tail and the head sentinels when empty).
    RWSlink* firstLink() const { return head_.next_; }
    RWSlink* lastLink() const { return last_; }

    void insertAfterLink(RWSlink* a, RWSlink* b);
    // Takes out the link after a (which must exist) and returns it.
    RWSlink* removeRight(RWSlink* a);
    // i may run from 0 to entries; i == entries appends.
    void insertAt(size_t i, RWSlink* link);
    RWSlink* removeAt(size_t i);
    void append(RWSlink* link) { insertAfterLink(last_, link); }
    void prepend(RWSlink* link) { insertAfterLink(&head_, link); }
    // Unlinks the first link and returns it, or null when empty.
    RWSlink* removeFirst();

    bool containsReference(const RWSlink* link) const;
    // The link whose next is the given link (the head sentinel for the first), or null.
    RWSlink* findLeftReference(const RWSlink* link) const;
    // Unlinks the very link and returns it with its next nulled, or null when it is not here.
    RWSlink* removeReference(RWSlink* link);

    // Takes over every link of other, which is left empty; the own links are forgotten.
    void takeLinksFrom(RWSlist& other);

    RWSlink* headSentinel() { return &head_; }
    const RWSlink* headSentinel() const { return &head_; }
    RWSlink* tailSentinel() { return &tail_; }
    const RWSlink* tailSentinel() const { return &tail_; }

protected:
    RWSlink head_;
    RWSlink tail_;
    RWSlink* last_;
    size_t nitems_;
};

// Walks an RWSlist. The head sentinel stands before the first link and the tail sentinel past
// the end; since the tail points to itself, advancing past the end stays at the end.
class RWSlistIterator {
public:
    explicit RWSlistIterator(RWSlist& list) : list_(&list), here_(list.headSentinel()) {}

    void reset() { here_ = list_->headSentinel(); }
    void reset(RWSlist& list)
    {
        list_ = &list;
        here_ = list.headSentinel();
    }

    // Advance; true while not past the end.
    bool operator++()
    {
        here_ = here_->next_;
        return here_ != list_->tailSentinel();
    }
    // Advance n times; the current link, or null when past the end.
    RWSlink* operator+=(size_t n);

    bool isActive() const { return here_ != list_->headSentinel() && here_ != list_->tailSentinel(); }
    bool atFirst() const { return isActive() && here_ == list_->firstLink(); }
    bool atLast() const { return isActive() && here_ == list_->lastLink(); }
    void toFirst() { here_ = list_->firstLink(); }
    void toLast() { here_ = list_->isEmpty() ? list_->tailSentinel() : list_->lastLink(); }

    // The current link when active, else null.
    RWSlink* key() const { return isActive() ? here_ : nullptr; }
    void insertAfterPoint(RWSlink* link) { list_->insertAfterLink(here_, link); }
    // Unlinks the current link and returns it, leaving the iterator on its predecessor; null
    // when not active.
    RWSlink* remove();

    RWSlist* container() const { return list_; }

protected:
    RWSlist* list_;
    RWSlink* here_;
};
