// The counted string: buffers, construction, the capacity rule, every change of text,
// comparison, hashing, searching, case conversion, stripping and character access.
#include "foundation/RWCString.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <new>
#include <utility>

#include "foundation/RWxmsg.h"

namespace rw_detail {
// Its count starts high and is never changed, so the buffer always counts as shared.
constinit NullStringRep nullStringRep{RWCStringRef(0x40000000u, 0, 0, 0), '\0'};
}  // namespace rw_detail

static_assert(sizeof(RWCStringRef) % alignof(RWCStringRef) == 0);

namespace rw_detail {
StringSettings stringSettings{15, 16, 15, 15};
}  // namespace rw_detail

namespace {

rw_detail::StringSettings& settings()
{
    return rw_detail::stringSettings;
}

// The mask that rounds up to a multiple of ri when ri is a small power of two, else SIZE_MAX.
size_t stepMaskOf(size_t ri)
{
    if ((ri & (ri - 1)) || ri > (size_t(1) << 32))
        return SIZE_MAX;
    return ri - 1;
}

inline uint32_t rotl5(uint32_t h)
{
    return (h << 5) | (h >> 27);
}

inline bool pointsInto(const char* p, const char* begin, size_t n)
{
    auto a = reinterpret_cast<uintptr_t>(p);
    auto b = reinterpret_cast<uintptr_t>(begin);
    return a >= b && a - b < n;
}

inline int lowerOf(char c)
{
    return std::tolower(static_cast<unsigned char>(c));
}

// The room of a buffer that must grow beyond its own room: doubling keeps a string that is
// built up by appending linear in the characters copied, and a string that grows at all
// usually keeps growing, so the first step goes straight to 63.
inline size_t grownRoom(size_t needed, size_t oldRoom)
{
    if (oldRoom > (SIZE_MAX >> 3))
        return needed;
    return RWCString::adjustCapacity(std::max({needed, oldRoom * 2, size_t(63)}));
}

}  // namespace

// ---- buffers ----

RWCStringRef* RWCStringRef::getRep(size_t capacity, size_t length)
{
    return getRep(capacity, length, capacity);
}

RWCStringRef* RWCStringRef::getRep(size_t capacity, size_t length, size_t room)
{
    if (capacity == 0 && length == 0)
        return nullRep();
    room = std::max(room, capacity);
    if (room > SIZE_MAX - sizeof(RWCStringRef) - 1)
        throw std::bad_alloc();
    void* block = std::malloc(sizeof(RWCStringRef) + room + 1);
    if (!block)
        throw std::bad_alloc();
    auto* rep = new (block) RWCStringRef(0, capacity, length, room);
    rep->data()[length] = '\0';
    return rep;
}

RWCStringRef* RWCStringRef::regrow(RWCStringRef* rep, size_t capacity, size_t room)
{
    // Only the sole owner of a block grows it in place, so nobody else can see it move.
    const size_t length = rep->length_;
    const size_t oldCapacity = rep->capacity_;
    const size_t oldRoom = rep->room_;
    room = std::max(room, capacity);
    if (room > SIZE_MAX - sizeof(RWCStringRef) - 1)
        throw std::bad_alloc();
    if (oldRoom < 128) {
        // Small blocks come quicker from the allocator's caches than from realloc.
        RWCStringRef* fresh = getRep(capacity, length, room);
        std::memcpy(fresh->data(), rep->data(), length);
        std::free(static_cast<void*>(rep));
        return fresh;
    }
    rep->~RWCStringRef();
    void* block = std::realloc(static_cast<void*>(rep), sizeof(RWCStringRef) + room + 1);
    if (!block) {
        // The old block is still there: put its header back before reporting.
        new (rep) RWCStringRef(0, oldCapacity, length, oldRoom);
        throw std::bad_alloc();
    }
    return new (block) RWCStringRef(0, capacity, length, room);
}

// ---- capacity rule and settings ----

size_t RWCString::adjustCapacitySlow(size_t n)
{
    size_t ic = settings().initialCapacity;
    if (n <= ic)
        return ic;
    size_t ri = settings().resizeIncrement;
    size_t over = n - ic;
    size_t steps = over / ri + (over % ri != 0);
    if (steps > (SIZE_MAX - ic) / ri)
        throw std::bad_alloc();
    return ic + steps * ri;
}

size_t RWCString::initialCapacity(size_t ic)
{
    return std::exchange(settings().initialCapacity, ic);
}

size_t RWCString::resizeIncrement(size_t ri)
{
    // It divides in the capacity rule, so it is never 0.
    if (ri == 0)
        ri = 1;
    settings().stepMask = stepMaskOf(ri);
    return std::exchange(settings().resizeIncrement, ri);
}

size_t RWCString::maxWaste(size_t mw)
{
    return std::exchange(settings().maxWaste, mw);
}

size_t RWCString::initialCapacity()
{
    return settings().initialCapacity;
}

size_t RWCString::resizeIncrement()
{
    return settings().resizeIncrement;
}

size_t RWCString::maxWaste()
{
    return settings().maxWaste;
}

// ---- construction ----

RWCString::RWCString(RWCapacity n) : data_(RWCStringRef::getRep(n.value(), 0)->data()) {}

RWCString::RWCString(const char* cs)
{
    size_t n = cs ? std::strlen(cs) : 0;
    data_ = RWCStringRef::getRep(n, n)->data();
    if (n)
        std::memcpy(data_, cs, n);
}

RWCString::RWCString(const char* cs, size_t n)
{
    if (!cs)
        n = 0;
    data_ = RWCStringRef::getRep(n, n)->data();
    if (n)
        std::memcpy(data_, cs, n);
}

RWCString::RWCString(char c)
{
    initChar(c);
}

RWCString::RWCString(char c, size_t n) : data_(RWCStringRef::getRep(n, n)->data())
{
    if (n)
        std::memset(data_, c, n);
}

RWCString::RWCString(const RWCSubString& s)
{
    size_t n = 0;
    const char* src = nullptr;
    if (!s.isNull()) {
        s.check();
        n = s.extent_;
        src = s.startData();
    }
    data_ = RWCStringRef::getRep(adjustCapacity(n), n)->data();
    if (n)
        std::memcpy(data_, src, n);
}

RWCString::RWCString(const char* a, size_t na, const char* b, size_t nb)
{
    if (!a)
        na = 0;
    if (!b)
        nb = 0;
    if (na > SIZE_MAX - nb)
        throw std::bad_alloc();
    data_ = RWCStringRef::getRep(adjustCapacity(na + nb), na + nb)->data();
    if (na)
        std::memcpy(data_, a, na);
    if (nb)
        std::memcpy(data_ + na, b, nb);
}

void RWCString::initChar(char c)
{
    data_ = RWCStringRef::getRep(std::max<size_t>(settings().initialCapacity, 1), 1)->data();
    data_[0] = c;
}

void RWCString::adopt(RWCStringRef* rep) noexcept
{
    pref()->unLink();
    data_ = rep->data();
}

RWCString& RWCString::operator=(const char* cs)
{
    size_t n = cs ? std::strlen(cs) : 0;
    if (n)
        return replace(0, length(), cs, n);
    if (pref()->references() == 1)
        setLength(0);
    else
        adopt(RWCStringRef::nullRep());
    return *this;
}

RWCString operator+(const RWCString& a, const char* b)
{
    return RWCString(a.data(), a.length(), b, b ? std::strlen(b) : 0);
}

RWCString operator+(const char* a, const RWCString& b)
{
    return RWCString(a, a ? std::strlen(a) : 0, b.data(), b.length());
}

RWCString operator+(const RWCString& a, const RWCString& b)
{
    return RWCString(a.data(), a.length(), b.data(), b.length());
}

RWCString RWCString::copy() const
{
    return RWCString(data_, length());
}

// ---- internal buffer operations ----

void RWCString::clone()
{
    size_t len = length();
    RWCStringRef* rep = RWCStringRef::getRep(len, len);
    if (len)
        std::memcpy(rep->data(), data_, len);
    adopt(rep);
}

void RWCString::clone(size_t n)
{
    size_t m = std::min(length(), n);
    RWCStringRef* rep = RWCStringRef::getRep(n, m);
    if (m)
        std::memcpy(rep->data(), data_, m);
    adopt(rep);
}

void RWCString::clobber(size_t n)
{
    RWCStringRef* r = pref();
    if (r->references() == 1 && r->capacity_ >= n)
        setLength(0);
    else
        adopt(RWCStringRef::getRep(n, 0));
}

size_t RWCString::capacity(size_t n)
{
    if (n > length() && n != capacity())
        clone(n);
    return capacity();
}

// ---- the core mutator ----

RWCString& RWCString::replace(size_t pos, size_t count, const char* cs, size_t textLen)
{
    RWCStringRef* r = pref();
    const size_t len = r->length_;
    if (pos > len)
        rwIndexError(pos, len);
    count = std::min(count, len - pos);
    if (!cs)
        textLen = 0;
    if (count == 0 && textLen == 0)
        return *this;
    if (textLen > SIZE_MAX / 2 - (len - count))
        throw std::bad_alloc();
    const size_t newLen = len - count + textLen;
    const size_t tail = len - pos - count;
    const bool sole = r->references() <= 1;
    const bool fromSelf = cs && pointsInto(cs, data_, r->room_ + 1);

    if (sole && !fromSelf) {
        bool fits = r->capacity_ >= newLen && (newLen >= len || r->capacity_ - newLen <= settings().maxWaste);
        if (!fits && newLen > r->capacity_) {
            const size_t capacity = adjustCapacity(newLen);
            if (capacity <= r->room_) {
                // The block has room to spare: take the rule's next step without moving.
                r->capacity_ = capacity;
            } else {
                // Grow the own block; the allocator can often extend it where it lies.
                r = RWCStringRef::regrow(r, capacity, grownRoom(capacity, r->room_));
                data_ = r->data();
            }
            fits = true;
        }
        if (fits) {
            if (tail && textLen != count)
                std::memmove(data_ + pos + textLen, data_ + pos + count, tail);
            if (textLen)
                std::memcpy(data_ + pos, cs, textLen);
            setLength(newLen);
            return *this;
        }
    }

    // A new buffer; the text may come from the old one, so that is dropped only at the end.
    size_t capacity = adjustCapacity(newLen);
    size_t room = (sole && newLen > r->capacity_) ? grownRoom(capacity, r->room_) : capacity;
    RWCStringRef* rep = RWCStringRef::getRep(capacity, newLen, room);
    char* d = rep->data();
    if (pos)
        std::memcpy(d, data_, pos);
    if (textLen)
        std::memcpy(d + pos, cs, textLen);
    if (tail)
        std::memcpy(d + pos + textLen, data_ + pos + count, tail);
    adopt(rep);
    return *this;
}

RWCString& RWCString::append(char c, size_t n)
{
    RWCStringRef* r = pref();
    const size_t len = r->length_;
    if (n > SIZE_MAX / 2 - len)
        throw std::bad_alloc();
    const size_t newLen = len + n;
    const bool sole = r->references() <= 1;
    if (!sole || r->capacity_ < newLen) {
        if (sole && r->room_ >= newLen) {
            r->capacity_ = newLen;
        } else if (sole) {
            r = RWCStringRef::regrow(r, newLen, grownRoom(newLen, r->room_));
            data_ = r->data();
        } else {
            // A shared buffer is copied to exactly what is needed, like any copy.
            RWCStringRef* rep = RWCStringRef::getRep(newLen, len, newLen);
            if (len)
                std::memcpy(rep->data(), data_, len);
            adopt(rep);
        }
    }
    if (n)
        std::memset(data_ + len, c, n);
    // Nothing appended to an empty text leaves the shared empty representation, which is
    // never written.
    if (newLen)
        setLength(newLen);
    return *this;
}

RWCString& RWCString::prepend(char c, size_t n)
{
    RWCStringRef* r = pref();
    const size_t len = r->length_;
    if (n > SIZE_MAX / 2 - len)
        throw std::bad_alloc();
    const size_t newLen = len + n;
    if (r->references() <= 1 && r->capacity_ >= newLen) {
        if (len && n)
            std::memmove(data_ + n, data_, len);
    } else {
        RWCStringRef* rep = RWCStringRef::getRep(adjustCapacity(newLen), newLen);
        if (len)
            std::memcpy(rep->data() + n, data_, len);
        adopt(rep);
    }
    if (n)
        std::memset(data_, c, n);
    setLength(newLen);
    return *this;
}

void RWCString::resize(size_t n)
{
    size_t len = length();
    if (n < len)
        remove(n);
    else
        append(' ', n - len);
}

// ---- comparison and hashing ----

int RWCString::compareTo(const char* cs, caseCompare cmp) const
{
    const size_t len = length();
    for (size_t i = 0;; ++i) {
        if (cs[i] == '\0')
            return i < len ? 1 : 0;
        if (i == len)
            return -1;
        if (cmp == exact) {
            auto a = static_cast<signed char>(data_[i]);
            auto b = static_cast<signed char>(cs[i]);
            if (a != b)
                return a < b ? -1 : 1;
        } else {
            int a = lowerOf(data_[i]);
            int b = lowerOf(cs[i]);
            if (a != b)
                return a < b ? -1 : 1;
        }
    }
}

int RWCString::compareTo(const RWCString& s, caseCompare cmp) const
{
    if (data_ == s.data_)
        return 0;
    const size_t len = length();
    const size_t slen = s.length();
    const size_t n = std::min(len, slen);
    if (cmp == exact) {
        int r = n ? std::memcmp(data_, s.data_, n) : 0;
        if (r)
            return r;
    } else {
        for (size_t i = 0; i < n; ++i) {
            int a = lowerOf(data_[i]);
            int b = lowerOf(s.data_[i]);
            if (a != b)
                return a < b ? -1 : 1;
        }
    }
    if (len == slen)
        return 0;
    return len > slen ? 1 : -1;
}

bool operator==(const RWCString& a, const RWCString& b)
{
    if (a.data() == b.data())
        return true;
    size_t n = a.length();
    return n == b.length() && std::memcmp(a.data(), b.data(), n) == 0;
}

bool operator==(const RWCString& a, const char* b)
{
    size_t n = a.length();
    // The text must have exactly n characters before its NUL; never read beyond its NUL.
    return strnlen(b, n + 1) == n && std::memcmp(a.data(), b, n) == 0;
}

unsigned RWCString::hash(caseCompare cmp) const
{
    const size_t len = length();
    const auto* p = reinterpret_cast<const unsigned char*>(data_);
    uint32_t h = static_cast<uint32_t>(len);
    if (cmp == exact) {
        size_t words = len / 4;
        for (size_t i = 0; i < words; ++i, p += 4) {
            uint32_t w = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
            h = rotl5(h) ^ w;
        }
        size_t rest = len % 4;
        if (rest) {
            uint32_t t = 0;
            for (size_t i = 0; i < rest; ++i)
                t = (t << 8) | static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(p[i])));
            h = rotl5(h) ^ t;
        }
    } else {
        for (size_t i = 0; i < len; ++i)
            h = rotl5(h) ^ static_cast<uint32_t>(std::toupper(p[i]));
    }
    return h;
}

// ---- searching ----

size_t RWCString::index(const char* pattern, size_t patLen, size_t start, caseCompare cmp) const
{
    const size_t len = length();
    if (start > len || patLen > len - start)
        return RW_NPOS;
    if (patLen == 0)
        return start;
    if (cmp == exact) {
        // Jump to each candidate first byte, then compare the rest.
        const char first = pattern[0];
        const char* p = data_ + start;
        const char* const lastStart = data_ + (len - patLen);
        while (p <= lastStart) {
            p = static_cast<const char*>(std::memchr(p, first, size_t(lastStart - p) + 1));
            if (!p)
                return RW_NPOS;
            if (std::memcmp(p + 1, pattern + 1, patLen - 1) == 0)
                return size_t(p - data_);
            ++p;
        }
        return RW_NPOS;
    }
    const int first = lowerOf(pattern[0]);
    const size_t lastStart = len - patLen;
    for (size_t i = start; i <= lastStart; ++i) {
        if (lowerOf(data_[i]) != first)
            continue;
        size_t k = 1;
        while (k < patLen && lowerOf(data_[i + k]) == lowerOf(pattern[k]))
            ++k;
        if (k == patLen)
            return i;
    }
    return RW_NPOS;
}

size_t RWCString::first(char c) const
{
    const char* p = std::strchr(data_, c);
    return p ? size_t(p - data_) : RW_NPOS;
}

size_t RWCString::first(char c, size_t) const
{
    const void* p = std::memchr(data_, c, length());
    return p ? size_t(static_cast<const char*>(p) - data_) : RW_NPOS;
}

size_t RWCString::last(char c) const
{
    const char* p = std::strrchr(data_, c);
    return p ? size_t(p - data_) : RW_NPOS;
}

size_t RWCString::last(char c, size_t) const
{
    const void* p = memrchr(data_, c, length());
    return p ? size_t(static_cast<const char*>(p) - data_) : RW_NPOS;
}

size_t RWCString::firstOf(const char* set) const
{
    const char* p = std::strpbrk(data_, set);
    return p ? size_t(p - data_) : RW_NPOS;
}

size_t RWCString::firstOf(const char* set, size_t setLen) const
{
    const size_t len = length();
    if (setLen == 0)
        return RW_NPOS;
    for (size_t i = 0; i < len; ++i)
        if (std::memchr(set, data_[i], setLen))
            return i;
    return RW_NPOS;
}

// ---- case conversion ----

void RWCString::toLower()
{
    cow();
    const size_t len = length();
    for (size_t i = 0; i < len; ++i)
        data_[i] = static_cast<char>(lowerOf(data_[i]));
}

void RWCString::toUpper()
{
    cow();
    const size_t len = length();
    for (size_t i = 0; i < len; ++i)
        data_[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(data_[i])));
}

namespace {

// A copy of s, with the same capacity, changed by one of the case members.
RWCString caseChangedCopy(const RWCString& s, void (RWCString::*change)())
{
    RWCString r(RWCapacity(s.capacity()));
    if (s.length()) {
        r.append(s.data(), s.length());
        (r.*change)();
    }
    return r;
}

}  // namespace

RWCString toLower(const RWCString& s)
{
    return caseChangedCopy(s, &RWCString::toLower);
}

RWCString toUpper(const RWCString& s)
{
    return caseChangedCopy(s, &RWCString::toUpper);
}

// ---- stripping ----

RWCSubString RWCString::strip(stripType st, char c)
{
    const size_t len = length();
    size_t b = 0;
    if (st & leading)
        while (b < len && data_[b] == c)
            ++b;
    size_t e = len;
    if (st & trailing)
        while (e > b && data_[e - 1] == c)
            --e;
    if (e == b)
        return RWCSubString(*this, RW_NPOS, 0);
    return RWCSubString(*this, b, e - b);
}

RWCSubString RWCString::strip(stripType st, char c) const
{
    return const_cast<RWCString*>(this)->strip(st, c);
}

// ---- character access ----

void RWCString::checkIndex(size_t i) const
{
    if (i >= length())
        rwBoundsError(i, length());
}

char& RWCString::operator[](size_t i)
{
    checkIndex(i);
    cow();
    return data_[i];
}

char RWCString::operator[](size_t i) const
{
    checkIndex(i);
    return data_[i];
}

char& RWCString::operator()(size_t i)
{
    cow();
    return data_[i];
}

// ---- substring views ----

RWCSubString RWCString::operator()(size_t start, size_t len)
{
    if (start == RW_NPOS && len == 0)
        return RWCSubString(*this, RW_NPOS, 0);
    const size_t n = length();
    if (start > n || len > n - start)
        rwSubStringError(n, start, len);
    return RWCSubString(*this, start, len);
}

RWCSubString RWCString::operator()(size_t start, size_t len) const
{
    return const_cast<RWCString*>(this)->operator()(start, len);
}

RWCSubString RWCString::subString(const char* pattern, size_t start, caseCompare cmp)
{
    size_t patLen = std::strlen(pattern);
    size_t i = index(pattern, patLen, start, cmp);
    if (i == RW_NPOS)
        return RWCSubString(*this, RW_NPOS, 0);
    return RWCSubString(*this, i, patLen);
}

RWCSubString RWCString::subString(const char* pattern, size_t start, caseCompare cmp) const
{
    return const_cast<RWCString*>(this)->subString(pattern, start, cmp);
}

// ---- locale helpers ----

bool RWCString::isAscii() const
{
    const size_t len = length();
    for (size_t i = 0; i < len; ++i)
        if (static_cast<unsigned char>(data_[i]) > 127)
            return false;
    return true;
}

int RWCString::collate(const char* cs) const
{
    return std::strcoll(data_, cs);
}

RWCString RWCString::strXForm() const
{
    size_t n = std::strxfrm(nullptr, data_, 0) + 1;
    RWCString r('\0', n);
    size_t written = std::strxfrm(r.data_, data_, n);
    if (written < n)
        return r;
    return RWCString();
}

RWCString strXForm(const RWCString& s)
{
    return s.strXForm();
}

size_t RWCString::mbLength() const
{
    const size_t len = length();
    std::mblen(nullptr, MB_CUR_MAX);
    size_t i = 0;
    size_t count = 0;
    while (i < len && data_[i] != '\0') {
        int n = std::mblen(data_ + i, MB_CUR_MAX);
        if (n < 1)
            return RW_NPOS;
        i += static_cast<size_t>(n);
        ++count;
    }
    return i <= len ? count : RW_NPOS;
}
