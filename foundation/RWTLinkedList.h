// The owning core under every typed linked list: copying, clearing, walking, finding, removing.
#pragma once

#include <cstddef>
#include <type_traits>
#include <unordered_set>
#include <utility>

// Owns the links of type Link (each holding an `item_`) that an untyped core list (RWSlist or
// RWDlist) chains. Copies copy the items into new links and clearing frees every link. The
// finds and removals take a predicate on the item, so a typed list keeps only its link type,
// how it compares and the names and results of its own functions.
template <class Core, class Link>
class RWTLinkedList {
public:
    using Item = decltype(Link::item_);

    RWTLinkedList() = default;
    RWTLinkedList(const RWTLinkedList& other) { appendAll(other); }
    RWTLinkedList(RWTLinkedList&& other) noexcept { list_.takeLinksFrom(other.list_); }
    ~RWTLinkedList() { clear(); }

    RWTLinkedList& operator=(const RWTLinkedList& other)
    {
        if (this != &other) {
            clear();
            appendAll(other);
        }
        return *this;
    }
    RWTLinkedList& operator=(RWTLinkedList&& other) noexcept
    {
        if (this != &other) {
            clear();
            list_.takeLinksFrom(other.list_);
        }
        return *this;
    }

    size_t entries() const { return list_.entries(); }
    bool isEmpty() const { return list_.isEmpty(); }

    // Frees every link; for a list of pointers the pointed-to objects stay.
    void clear()
    {
        auto* tail = list_.tailSentinel();
        for (auto* l = list_.firstLink(); l != tail;) {
            auto* next = l->next_;
            delete static_cast<Link*>(l);
            l = next;
        }
        list_.init();
    }

    Core& core() { return list_; }
    const Core& core() const { return list_; }

protected:
    void appendItem(const Item& v) { list_.append(new Link(v)); }
    void prependItem(const Item& v) { list_.prepend(new Link(v)); }
    // Inserts before position i (0 .. entries); checked as the core's insertAt, and the new
    // link is freed when the position is refused.
    void insertItemAt(size_t i, const Item& v)
    {
        Link* link = new Link(v);
        try {
            list_.insertAt(i, link);
        } catch (...) {
            delete link;
            throw;
        }
    }

    // Checked as the core's at.
    Link* linkAt(size_t i) const { return static_cast<Link*>(list_.at(i)); }
    // Unchecked: the list must not be empty.
    Link* firstItemLink() const { return static_cast<Link*>(list_.firstLink()); }
    Link* lastItemLink() const { return static_cast<Link*>(list_.lastLink()); }

    // The first link whose item satisfies pred, or null.
    template <class Pred>
    Link* findLink(Pred pred) const
    {
        const auto* tail = list_.tailSentinel();
        for (auto* l = list_.firstLink(); l != tail; l = l->next_)
            if (pred(static_cast<Link*>(l)->item_))
                return static_cast<Link*>(l);
        return nullptr;
    }
    // Calls fn(item) for every item from first to last. The next link is taken before the
    // call, so fn may remove the item it is given.
    template <class Fn>
    void forEach(Fn fn)
    {
        auto* tail = list_.tailSentinel();
        for (auto* l = list_.firstLink(); l != tail;) {
            auto* next = l->next_;
            fn(static_cast<Link*>(l)->item_);
            l = next;
        }
    }
    // Unlinks the first link whose item satisfies pred and returns it, or null.
    template <class Pred>
    Link* unlinkFirst(Pred pred)
    {
        auto* tail = list_.tailSentinel();
        for (auto* prev = list_.headSentinel(); prev->next_ != tail; prev = prev->next_)
            if (pred(static_cast<Link*>(prev->next_)->item_))
                return unlinkAfter(prev);
        return nullptr;
    }
    // Unlinks and frees every link whose item satisfies pred; returns how many.
    template <class Pred>
    size_t eraseAll(Pred pred)
    {
        size_t n = 0;
        auto* prev = list_.headSentinel();
        auto* tail = list_.tailSentinel();
        while (prev->next_ != tail) {
            if (pred(static_cast<Link*>(prev->next_)->item_)) {
                delete unlinkAfter(prev);
                ++n;
            } else {
                prev = prev->next_;
            }
        }
        return n;
    }
    // Unlinks the first link and returns it, or null when empty.
    Link* unlinkFront() { return static_cast<Link*>(list_.removeFirst()); }
    // Checked as the core's removeAt.
    Link* unlinkAt(size_t i) { return static_cast<Link*>(list_.removeAt(i)); }

    // For lists of pointers: deletes every pointed-to object from the first (null ones
    // skipped, a pointer held twice deleted once) and frees every link.
    void destroyItemsAndClear()
    {
        static_assert(std::is_pointer_v<Item>);
        std::unordered_set<const std::remove_pointer_t<Item>*> done;
        forEach([&done](Item p) {
            if (p != nullptr && done.insert(p).second)
                delete p;
        });
        clear();
    }

    // Takes the item out of an unlinked link and frees the link.
    static Item release(Link* link)
    {
        Item v(std::move(link->item_));
        delete link;
        return v;
    }

    Core list_;

private:
    template <class CoreLink>
    Link* unlinkAfter(CoreLink* prev)
    {
        if constexpr (requires { list_.removeRight(prev); })
            return static_cast<Link*>(list_.removeRight(prev));
        else
            return static_cast<Link*>(list_.removeReference(prev->next_));
    }
    void appendAll(const RWTLinkedList& other)
    {
        const auto* tail = other.list_.tailSentinel();
        for (const auto* l = other.list_.firstLink(); l != tail; l = l->next_)
            appendItem(static_cast<const Link*>(l)->item_);
    }
};
