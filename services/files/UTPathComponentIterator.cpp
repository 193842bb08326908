// UTPathComponentIterator: a cursor over the '/'-separated components of a path text.
#include "services/files/UTPathComponentIterator.h"

UTPathComponentIterator::UTPathComponentIterator(const RWCString& path) : path_(path)
{
    const size_t n = path_.length();
    for (size_t i = 0; i < n;) {
        while (i < n && path_(i) == '/')
            ++i;
        if (i >= n)
            break;
        ++count_;
        while (i < n && path_(i) != '/')
            ++i;
    }
    first();
}

UTPathComponentIterator::UTPathComponentIterator(const UTFilePath& path)
    : UTPathComponentIterator(path.utf8Path())
{
}

bool UTPathComponentIterator::findFrom(size_t from)
{
    const size_t n = path_.length();
    size_t i = from;
    while (i < n && path_(i) == '/')
        ++i;
    if (i >= n)
        return false;
    size_t j = i;
    while (j < n && path_(j) != '/')
        ++j;
    start_ = i;
    end_ = j;
    return true;
}

bool UTPathComponentIterator::first()
{
    index_ = 0;
    if (!findFrom(0)) {
        start_ = end_ = 0;
        return false;
    }
    return true;
}

bool UTPathComponentIterator::last()
{
    return count_ > 0 && seek(static_cast<int>(count_ - 1));
}

bool UTPathComponentIterator::next()
{
    if (count_ == 0 || index_ + 1 >= count_)
        return false;
    findFrom(end_);
    ++index_;
    return true;
}

bool UTPathComponentIterator::prev()
{
    if (count_ == 0 || index_ == 0)
        return false;
    size_t i = start_;
    while (i > 0 && path_(i - 1) == '/')
        --i;
    size_t end = i;
    while (i > 0 && path_(i - 1) != '/')
        --i;
    start_ = i;
    end_ = end;
    --index_;
    return true;
}

bool UTPathComponentIterator::seek(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= count_)
        return false;
    first();
    for (int i = 0; i < index; ++i)
        next();
    return true;
}

UTFilePath UTPathComponentIterator::current() const
{
    if (count_ == 0)
        return UTFilePath();
    return UTFilePath(RWCString(path_.data() + start_, end_ - start_), true);
}

UTFilePath UTPathComponentIterator::head() const
{
    if (count_ == 0)
        return UTFilePath();
    return UTFilePath(RWCString(path_.data(), end_), true);
}

UTFilePath UTPathComponentIterator::headBefore()
{
    bool moved = prev();
    UTFilePath h = head();
    if (moved)
        next();
    return h;
}

UTFilePath UTPathComponentIterator::tailAfter()
{
    if (count_ == 0)
        return UTFilePath();
    bool moved = next();
    UTFilePath t(RWCString(path_.data() + start_, path_.length() - start_), true);
    if (moved)
        prev();
    return t;
}
