// The substring view: checked and unchecked access, assignment through the view,
// case conversion of the viewed characters and equality.
#include <cctype>
#include <cstring>

#include "foundation/RWCString.h"
#include "foundation/RWxmsg.h"

void RWCSubString::check() const
{
    // The string may have been shortened since the view was taken.
    if (isNull())
        return;
    const size_t n = str_->length();
    if (begin_ > n || extent_ > n - begin_)
        rwSubStringError(n, begin_, extent_);
}

const char* RWCSubString::startData() const
{
    // A null view points at the string's terminating NUL: an empty text.
    if (isNull())
        return str_->data() + str_->length();
    return str_->data() + begin_;
}

void RWCSubString::subStringError(size_t length, size_t start, size_t extent) const
{
    rwSubStringError(length, start, extent);
}

void RWCSubString::assign(const char* cs, size_t n)
{
    if (isNull())
        return;
    check();
    str_->replace(begin_, extent_, cs, n);
    extent_ = n;
}

RWCSubString& RWCSubString::operator=(const RWCString& s)
{
    assign(s.data(), s.length());
    return *this;
}

RWCSubString& RWCSubString::operator=(const RWCSubString& v)
{
    if (v.isNull()) {
        assign(nullptr, 0);
    } else {
        v.check();
        assign(v.startData(), v.extent_);
    }
    return *this;
}

RWCSubString& RWCSubString::operator=(const char* cs)
{
    assign(cs, cs ? std::strlen(cs) : 0);
    return *this;
}

char& RWCSubString::operator()(size_t i)
{
    if (i >= extent_)
        rwBoundsError(i, extent_);
    check();
    str_->cow();
    return str_->data_[begin_ + i];
}

char& RWCSubString::operator[](size_t i)
{
    if (isNull())
        rwBoundsError(i, 0);
    check();
    str_->cow();
    return str_->data_[begin_ + i];
}

char RWCSubString::operator()(size_t i) const
{
    if (i >= extent_)
        rwBoundsError(i, extent_);
    check();
    return str_->data_[begin_ + i];
}

char RWCSubString::operator[](size_t i) const
{
    if (isNull())
        rwBoundsError(i, 0);
    check();
    return str_->data_[begin_ + i];
}

void RWCSubString::toLower()
{
    if (isNull())
        return;
    check();
    str_->cow();
    char* p = str_->data_ + begin_;
    for (size_t i = 0; i < extent_; ++i)
        p[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(p[i])));
}

void RWCSubString::toUpper()
{
    if (isNull())
        return;
    check();
    str_->cow();
    char* p = str_->data_ + begin_;
    for (size_t i = 0; i < extent_; ++i)
        p[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(p[i])));
}

bool operator==(const RWCSubString& v, const char* cs)
{
    if (v.isNull())
        return cs[0] == '\0';
    v.check();
    return strnlen(cs, v.extent_ + 1) == v.extent_ && std::memcmp(v.startData(), cs, v.extent_) == 0;
}

bool operator==(const RWCSubString& v, const RWCString& s)
{
    if (v.isNull())
        return s.isNull();
    v.check();
    return v.extent_ == s.length() && std::memcmp(v.startData(), s.data(), v.extent_) == 0;
}

bool operator==(const RWCSubString& a, const RWCSubString& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    a.check();
    b.check();
    return a.extent_ == b.extent_ && std::memcmp(a.startData(), b.startData(), a.extent_) == 0;
}
