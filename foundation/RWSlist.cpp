// Intrusive singly linked list core and its iterator.
#include "foundation/RWSlist.h"

#include "foundation/RWPtrVector.h"

RWSlist::RWSlist()
{
    init();
}

RWSlist::RWSlist(RWSlink* a)
{
    tail_.next_ = &tail_;
    head_.next_ = a;
    a->next_ = &tail_;
    last_ = a;
    nitems_ = 1;
}

RWSlist::~RWSlist()
{
    init();
}

void RWSlist::init()
{
    tail_.next_ = &tail_;
    head_.next_ = &tail_;
    last_ = &head_;
    nitems_ = 0;
}

RWSlink* RWSlist::at(size_t i) const
{
    rwcoll::checkIndexOrNpos(i, nitems_);
    RWSlink* link = head_.next_;
    while (i--)
        link = link->next_;
    return link;
}

void RWSlist::insertAfterLink(RWSlink* a, RWSlink* b)
{
    if (a == &tail_)  // past the end: the only sound place is the end of the list
        a = last_;
    b->next_ = a->next_;
    a->next_ = b;
    if (a == last_)
        last_ = b;
    ++nitems_;
}

RWSlink* RWSlist::removeRight(RWSlink* a)
{
    RWSlink* gone = a->next_;
    a->next_ = gone->next_;
    if (gone == last_)
        last_ = a;
    --nitems_;
    return gone;
}

void RWSlist::insertAt(size_t i, RWSlink* link)
{
    if (i > nitems_)
        rwcoll::checkIndexOrNpos(i, nitems_);
    insertAfterLink(i == 0 ? &head_ : at(i - 1), link);
}

RWSlink* RWSlist::removeAt(size_t i)
{
    rwcoll::checkIndexOrNpos(i, nitems_);
    return removeRight(i == 0 ? &head_ : at(i - 1));
}

RWSlink* RWSlist::removeFirst()
{
    return nitems_ ? removeRight(&head_) : nullptr;
}

bool RWSlist::containsReference(const RWSlink* link) const
{
    if (link == nullptr)
        return false;
    for (const RWSlink* l = head_.next_; l != &tail_; l = l->next_)
        if (l == link)
            return true;
    return false;
}

RWSlink* RWSlist::findLeftReference(const RWSlink* link) const
{
    if (link == nullptr)
        return nullptr;
    const RWSlink* prev = &head_;
    for (; prev->next_ != &tail_; prev = prev->next_)
        if (prev->next_ == link)
            return const_cast<RWSlink*>(prev);
    return nullptr;
}

RWSlink* RWSlist::removeReference(RWSlink* link)
{
    if (link == nullptr || link == &tail_ || link == &head_)
        return nullptr;
    RWSlink* prev = findLeftReference(link);
    if (prev == nullptr)
        return nullptr;
    removeRight(prev);
    link->next_ = nullptr;
    return link;
}

void RWSlist::takeLinksFrom(RWSlist& other)
{
    if (&other == this)
        return;
    if (other.nitems_ == 0) {
        init();
        return;
    }
    head_.next_ = other.head_.next_;
    tail_.next_ = &tail_;
    last_ = other.last_;
    last_->next_ = &tail_;
    nitems_ = other.nitems_;
    other.init();
}

RWSlink* RWSlistIterator::operator+=(size_t n)
{
    while (n--)
        here_ = here_->next_;
    return isActive() ? here_ : nullptr;
}

RWSlink* RWSlistIterator::remove()
{
    if (!isActive())
        return nullptr;
    RWSlink* prev = list_->findLeftReference(here_);
    if (prev == nullptr)
        return nullptr;
    here_ = prev;
    return list_->removeRight(prev);
}
