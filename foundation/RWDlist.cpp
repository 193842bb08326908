// Intrusive doubly linked list core and its iterator.
#include "foundation/RWDlist.h"

#include "foundation/RWPtrVector.h"

RWDlist::RWDlist()
{
    init();
}

RWDlist::RWDlist(RWDlink* a)
{
    init();
    insertAfterLink(&head_, a);
}

RWDlist::~RWDlist()
{
    init();
}

void RWDlist::init()
{
    tail_.next_ = &tail_;
    head_.next_ = &tail_;
    tail_.prev_ = &head_;
    head_.prev_ = &head_;
    nitems_ = 0;
}

void RWDlist::insertAfterLink(RWDlink* a, RWDlink* b)
{
    if (a == &tail_)  // past the end: the only sound place is the end of the list
        a = tail_.prev_;
    b->next_ = a->next_;
    b->prev_ = a;
    a->next_ = b;
    b->next_->prev_ = b;
    ++nitems_;
}

RWDlink* RWDlist::removeReference(RWDlink* link)
{
    if (link == nullptr || link == &head_ || link == &tail_)
        return nullptr;
    link->prev_->next_ = link->next_;
    link->next_->prev_ = link->prev_;
    --nitems_;
    return link;
}

bool RWDlist::containsReference(const RWDlink* link) const
{
    if (link == nullptr)
        return false;
    for (const RWDlink* l = head_.next_; l != &tail_; l = l->next_)
        if (l == link)
            return true;
    return false;
}

RWDlink* RWDlist::at(size_t i) const
{
    rwcoll::checkIndexOrNpos(i, nitems_);
    RWDlink* link = head_.next_;
    while (i--)
        link = link->next_;
    return link;
}

void RWDlist::insertAt(size_t i, RWDlink* link)
{
    if (i > nitems_)
        rwcoll::checkIndexOrNpos(i, nitems_);
    insertAfterLink(i == 0 ? &head_ : at(i - 1), link);
}

RWDlink* RWDlist::removeAt(size_t i)
{
    return removeReference(at(i));
}

void RWDlist::takeLinksFrom(RWDlist& other)
{
    if (&other == this)
        return;
    init();
    if (other.nitems_ == 0)
        return;
    head_.next_ = other.head_.next_;
    head_.next_->prev_ = &head_;
    tail_.prev_ = other.tail_.prev_;
    tail_.prev_->next_ = &tail_;
    nitems_ = other.nitems_;
    other.init();
}

RWDlink* RWDlistIterator::operator+=(size_t n)
{
    while (n--)
        here_ = here_->next_;
    return isActive() ? here_ : nullptr;
}

RWDlink* RWDlistIterator::operator-=(size_t n)
{
    while (n--)
        here_ = here_->prev_;
    return isActive() ? here_ : nullptr;
}

void RWDlistIterator::insertAfterPoint(RWDlink* link)
{
    list_->insertAfterLink(here_, link);
}

RWDlink* RWDlistIterator::remove()
{
    if (!isActive())
        return nullptr;
    RWDlink* gone = here_;
    here_ = here_->prev_;
    return list_->removeReference(gone);
}
