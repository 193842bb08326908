// The counted, shared, copy-on-write byte string RWCString, its buffer RWCStringRef and the
// substring view RWCSubString.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iosfwd>

#include "foundation/RWDefs.h"

class RWCRegexp;
class RWCString;
class RWCSubString;

// The argument type of the constructor that reserves room.
class RWCapacity {
public:
    explicit RWCapacity(size_t n) : cap_(n) {}
    size_t value() const { return cap_; }

private:
    size_t cap_;
};

// One heap block: the reference count (owners minus one), the capacity, the length, then
// capacity + 1 characters. The characters follow the header immediately; a string points at
// them, not at the header.
class RWCStringRef {
public:
    // The empty representation when both are 0, else a new block with one owner and a NUL at length.
    static RWCStringRef* getRep(size_t capacity, size_t length);
    static RWCStringRef* nullRep() noexcept;

    void addReference() noexcept;
    uint32_t removeReference() noexcept;  // the count as it was before lowering it
    void unLink() noexcept;               // drops one owner; the last one frees the block
    size_t references() const noexcept { return size_t(refs_.load(std::memory_order_acquire)) + 1; }

    size_t capacity() const noexcept { return capacity_; }
    size_t length() const noexcept { return length_; }
    char* data() noexcept { return reinterpret_cast<char*>(this + 1); }
    const char* data() const noexcept { return reinterpret_cast<const char*>(this + 1); }

    constexpr RWCStringRef(uint32_t refs, size_t capacity, size_t length, size_t room) noexcept
        : refs_(refs), capacity_(capacity), length_(length), room_(room)
    {
    }

private:
    friend class RWCString;
    friend class RWCSubString;

    // The block may hold more than capacity characters (room) after a string grew by
    // appending, so that a string built up piece by piece does not copy itself at every
    // step; the capacity shown still follows the capacity rule.
    static RWCStringRef* getRep(size_t capacity, size_t length, size_t room);
    // The sole owner's block moved to one of the given capacity and room, text kept.
    static RWCStringRef* regrow(RWCStringRef* rep, size_t capacity, size_t room);

    std::atomic<uint32_t> refs_;
    size_t capacity_;
    size_t length_;
    size_t room_;
};

class RWCString {
public:
    enum caseCompare { exact = 0, ignoreCase = 1 };
    enum stripType { leading = 1, trailing = 2, both = 3 };

    // Construction and assignment.
    RWCString() noexcept : data_(RWCStringRef::nullRep()->data()) {}
    explicit RWCString(RWCapacity n);
    RWCString(const char* cs);
    RWCString(const char* cs, size_t n);
    explicit RWCString(char c);
    RWCString(char c, size_t n);
    RWCString(const RWCSubString& s);
    RWCString(const RWCString& s) noexcept : data_(s.data_) { pref()->addReference(); }
    RWCString(RWCString&& s) noexcept : data_(s.data_) { s.data_ = RWCStringRef::nullRep()->data(); }
    ~RWCString() { pref()->unLink(); }

    RWCString& operator=(const RWCString& s) noexcept;
    RWCString& operator=(RWCString&& s) noexcept;
    RWCString& operator=(const char* cs);

    RWCString& operator+=(const char* cs) { return append(cs); }
    RWCString& operator+=(const RWCString& s) { return append(s); }
    RWCString& operator+=(char c) { return replace(length(), 0, &c, 1); }

    // Accessors.
    const char* data() const noexcept { return data_; }
    size_t length() const noexcept { return pref()->length_; }
    size_t capacity() const noexcept { return pref()->capacity_; }
    size_t capacity(size_t n);  // moves to a private buffer of exactly n when n > length and n != capacity
    bool isNull() const noexcept { return length() == 0; }

    // Changes. Every one is the core replace with fixed arguments unless said otherwise.
    // A position beyond the length raises RWBoundsErr (INDEXERR).
    RWCString& replace(size_t pos, size_t count, const char* cs, size_t textLen);
    RWCString& replace(size_t pos, size_t count, const char* cs) { return replace(pos, count, cs, cs ? std::strlen(cs) : 0); }
    RWCString& replace(size_t pos, size_t count, const RWCString& s) { return replace(pos, count, s.data(), s.length()); }

    RWCString& insert(size_t pos, const RWCString& s) { return replace(pos, 0, s.data(), s.length()); }
    RWCString& insert(size_t pos, const char* cs) { return replace(pos, 0, cs, std::strlen(cs)); }
    RWCString& insert(size_t pos, const char* cs, size_t n) { return replace(pos, 0, cs, n); }

    RWCString& append(const char* cs) { return append(cs, std::strlen(cs)); }
    RWCString& append(const char* cs, size_t n);
    RWCString& append(const RWCString& s) { return append(s.data(), s.length()); }
    RWCString& append(char c, size_t n = 1);  // grows to exactly the new length when it must grow

    RWCString& prepend(const char* cs) { return replace(0, 0, cs, std::strlen(cs)); }
    RWCString& prepend(const char* cs, size_t n) { return replace(0, 0, cs, n); }
    RWCString& prepend(const RWCString& s) { return replace(0, 0, s.data(), s.length()); }
    RWCString& prepend(char c, size_t n = 1);

    RWCString& remove(size_t pos) { return replace(pos, length() - pos, nullptr, 0); }
    RWCString& remove(size_t pos, size_t n) { return replace(pos, n, nullptr, 0); }

    void resize(size_t n);     // truncates, or pads with blanks
    RWCString copy() const;    // a private buffer of exactly the length

    // Comparison: -1, 0 or 1 (compareTo of two strings in exact mode returns memcmp's sign value).
    int compareTo(const char* cs, caseCompare cmp = exact) const;
    int compareTo(const RWCString& s, caseCompare cmp = exact) const;

    // Hashing: exact (word-wise) or case-folded (toupper, byte-wise); the two differ.
    unsigned hash(caseCompare cmp = exact) const;
    static unsigned staticHash(const RWCString& s) { return s.hash(exact); }

    // Searching. Results are positions or RW_NPOS.
    size_t index(const char* pattern, size_t patLen, size_t start, caseCompare cmp) const;
    size_t index(const char* pattern, size_t start = 0, caseCompare cmp = exact) const
    {
        return index(pattern, std::strlen(pattern), start, cmp);
    }
    size_t index(const RWCString& pattern, size_t start = 0, caseCompare cmp = exact) const
    {
        return index(pattern.data(), pattern.length(), start, cmp);
    }
    size_t index(const RWCString& pattern, size_t patLen, size_t start, caseCompare cmp) const
    {
        return index(pattern.data(), patLen, start, cmp);
    }
    bool contains(const char* pattern, caseCompare cmp = exact) const { return index(pattern, size_t(0), cmp) != RW_NPOS; }
    bool contains(const RWCString& pattern, caseCompare cmp = exact) const { return index(pattern, size_t(0), cmp) != RW_NPOS; }

    size_t first(char c) const;            // stops at the first NUL byte
    size_t first(char c, size_t) const;    // all length characters
    size_t last(char c) const;             // stops at the first NUL byte
    size_t last(char c, size_t) const;     // all length characters
    size_t firstOf(const char* set) const;                // stops at the first NUL byte
    size_t firstOf(const char* set, size_t setLen) const; // all length characters

    // Searching with a regular expression (the view is null when nothing matches).
    size_t index(const RWCRegexp& re, size_t start = 0) const;
    size_t index(const RWCRegexp& re, size_t* matchLen, size_t start = 0) const;
    RWCSubString operator()(const RWCRegexp& re, size_t start);
    RWCSubString operator()(const RWCRegexp& re, size_t start) const;
    RWCSubString operator()(const RWCRegexp& re);
    RWCSubString operator()(const RWCRegexp& re) const;

    // Case conversion in place (the buffer is made private first).
    void toLower();
    void toUpper();

    // A view without the leading and/or trailing run of c; the null view when nothing is left.
    RWCSubString strip(stripType st = trailing, char c = ' ');
    RWCSubString strip(stripType st = trailing, char c = ' ') const;

    // Character access. operator[] checks the index (RWBoundsErr, INDEXERR or NPOSINDEX);
    // operator() does not. The writable forms make the buffer private first.
    char& operator[](size_t i);
    char operator[](size_t i) const;
    char& operator()(size_t i);
    char operator()(size_t i) const { return data_[i]; }

    // Substring views. A view running past the end raises RWBoundsErr (SUBSTRING);
    // (RW_NPOS, 0) is the null view.
    RWCSubString operator()(size_t start, size_t len);
    RWCSubString operator()(size_t start, size_t len) const;
    RWCSubString subString(const char* pattern, size_t start = 0, caseCompare cmp = exact);
    RWCSubString subString(const char* pattern, size_t start = 0, caseCompare cmp = exact) const;

    // Locale helpers.
    bool isAscii() const;
    int collate(const char* cs) const;
    int collate(const RWCString& s) const { return collate(s.data()); }
    RWCString strXForm() const;
    size_t mbLength() const;  // RW_NPOS for an invalid sequence

    // Stream input and output. Readers refill the string and report through the stream state.
    std::istream& readFile(std::istream& s);
    std::istream& readToDelim(std::istream& s, char delim = '\n');
    std::istream& readLine(std::istream& s, bool skipWhite = true);
    std::istream& readString(std::istream& s);
    std::istream& readToken(std::istream& s);

    // Process-wide settings of the capacity rule; each setter returns the previous value.
    static size_t initialCapacity(size_t ic);
    static size_t resizeIncrement(size_t ri);  // 0 is taken as 1
    static size_t maxWaste(size_t mw);
    static size_t initialCapacity();
    static size_t resizeIncrement();
    static size_t maxWaste();
    // n <= initialCapacity gives initialCapacity, else the next step of resizeIncrement above it.
    static size_t adjustCapacity(size_t n);

protected:
    // Used by the library's own readers and views.
    void cow() { if (pref()->references() > 1) clone(); }
    void clone();           // private buffer of exactly the length
    void clone(size_t n);   // private buffer of exactly n holding the first min(length, n) characters
    void clobber(size_t n); // empty, with at least n characters of room
    void initChar(char c);

    RWCStringRef* pref() const noexcept { return reinterpret_cast<RWCStringRef*>(data_) - 1; }
    // Sets the length of an unshared buffer and writes the NUL after the text.
    void setLength(size_t n) noexcept { pref()->length_ = n; data_[n] = '\0'; }

private:
    friend class RWCSubString;
    friend RWCString operator+(const RWCString&, const char*);
    friend RWCString operator+(const char*, const RWCString&);
    friend RWCString operator+(const RWCString&, const RWCString&);

    // Concatenation: a null pointer counts as no characters; never the empty representation.
    RWCString(const char* a, size_t na, const char* b, size_t nb);
    explicit RWCString(RWCStringRef* rep) noexcept : data_(rep->data()) {}
    void checkIndex(size_t i) const;
    static size_t adjustCapacitySlow(size_t n);
    void adopt(RWCStringRef* rep) noexcept;  // drops the own buffer and takes rep

    char* data_;
};

// A view (string, start, extent) into a string; it must not outlive the string.
// Assigning to it replaces the viewed characters.
class RWCSubString {
public:
    RWCSubString(const RWCSubString&) = default;

    RWCSubString& operator=(const RWCString& s);
    RWCSubString& operator=(const RWCSubString& v);
    RWCSubString& operator=(const char* cs);

    // operator() checks i against the extent; operator[] does not.
    char& operator()(size_t i);
    char& operator[](size_t i);
    char operator()(size_t i) const;
    char operator[](size_t i) const;

    bool isNull() const { return begin_ == RW_NPOS; }
    size_t length() const { return extent_; }
    size_t start() const { return begin_; }
    const char* startData() const;

    void toLower();
    void toUpper();

    // Raises RWBoundsErr with SUBSTRING (start, extent, length).
    [[noreturn]] void subStringError(size_t length, size_t start, size_t extent) const;

private:
    friend class RWCString;
    friend bool operator==(const RWCSubString&, const char*);
    friend bool operator==(const RWCSubString&, const RWCString&);
    friend bool operator==(const RWCSubString&, const RWCSubString&);

    RWCSubString(const RWCString& s, size_t start, size_t extent)
        : str_(const_cast<RWCString*>(&s)), begin_(start), extent_(extent)
    {
    }
    void check() const;  // the view still lies inside its string
    void assign(const char* cs, size_t n);

    RWCString* str_;
    size_t begin_;
    size_t extent_;
};

// Shared comparison mode, also reachable as RWCString::exact and RWCString::ignoreCase.
using caseCompare = RWCString::caseCompare;
using stripType = RWCString::stripType;

RWCString operator+(const RWCString& a, const char* b);
RWCString operator+(const char* a, const RWCString& b);
RWCString operator+(const RWCString& a, const RWCString& b);

RWCString toLower(const RWCString& s);
RWCString toUpper(const RWCString& s);
RWCString strXForm(const RWCString& s);

bool operator==(const RWCString& a, const RWCString& b);
bool operator==(const RWCString& a, const char* b);
inline bool operator==(const char* a, const RWCString& b) { return b == a; }
inline bool operator!=(const RWCString& a, const RWCString& b) { return !(a == b); }
inline bool operator!=(const RWCString& a, const char* b) { return !(a == b); }
inline bool operator!=(const char* a, const RWCString& b) { return !(b == a); }

// Orderings (exact compareTo).
inline bool operator<(const RWCString& a, const RWCString& b) { return a.compareTo(b) < 0; }
inline bool operator>(const RWCString& a, const RWCString& b) { return a.compareTo(b) > 0; }
inline bool operator<=(const RWCString& a, const RWCString& b) { return a.compareTo(b) <= 0; }
inline bool operator>=(const RWCString& a, const RWCString& b) { return a.compareTo(b) >= 0; }
inline bool operator<(const RWCString& a, const char* b) { return a.compareTo(b) < 0; }
inline bool operator>(const RWCString& a, const char* b) { return a.compareTo(b) > 0; }
inline bool operator<=(const RWCString& a, const char* b) { return a.compareTo(b) <= 0; }
inline bool operator>=(const RWCString& a, const char* b) { return a.compareTo(b) >= 0; }
inline bool operator<(const char* a, const RWCString& b) { return b.compareTo(a) > 0; }
inline bool operator>(const char* a, const RWCString& b) { return b.compareTo(a) < 0; }
inline bool operator<=(const char* a, const RWCString& b) { return b.compareTo(a) >= 0; }
inline bool operator>=(const char* a, const RWCString& b) { return b.compareTo(a) <= 0; }

bool operator==(const RWCSubString& v, const char* cs);
bool operator==(const RWCSubString& v, const RWCString& s);
bool operator==(const RWCSubString& a, const RWCSubString& b);
inline bool operator==(const char* cs, const RWCSubString& v) { return v == cs; }
inline bool operator==(const RWCString& s, const RWCSubString& v) { return v == s; }
inline bool operator!=(const RWCSubString& v, const char* cs) { return !(v == cs); }
inline bool operator!=(const RWCSubString& v, const RWCString& s) { return !(v == s); }
inline bool operator!=(const RWCSubString& a, const RWCSubString& b) { return !(a == b); }
inline bool operator!=(const char* cs, const RWCSubString& v) { return !(v == cs); }
inline bool operator!=(const RWCString& s, const RWCSubString& v) { return !(v == s); }

std::istream& operator>>(std::istream& s, RWCString& str);  // readToken
std::ostream& operator<<(std::ostream& os, const RWCString& str);

// ---- inline members ----

namespace rw_detail {
// The empty representation: a header whose count is never changed, set high so that the
// buffer always counts as shared and is never edited, followed by a single NUL.
struct NullStringRep {
    RWCStringRef ref;
    char nul;
};
extern NullStringRep nullStringRep;

// The three settings of the capacity rule, read at every use; stepMask is resizeIncrement - 1
// when that is a power of two (rounding up is then a mask), else SIZE_MAX.
struct StringSettings {
    size_t initialCapacity;
    size_t resizeIncrement;
    size_t maxWaste;
    size_t stepMask;
};
extern StringSettings stringSettings;
}  // namespace rw_detail

inline size_t RWCString::adjustCapacity(size_t n)
{
    const rw_detail::StringSettings& set = rw_detail::stringSettings;
    if (n <= set.initialCapacity)
        return set.initialCapacity;
    if (set.stepMask != SIZE_MAX && n <= (SIZE_MAX >> 2))
        return set.initialCapacity + ((n - set.initialCapacity + set.stepMask) & ~set.stepMask);
    return adjustCapacitySlow(n);
}

inline RWCStringRef* RWCStringRef::nullRep() noexcept
{
    return &rw_detail::nullStringRep.ref;
}

inline void RWCStringRef::addReference() noexcept
{
    if (this != nullRep())
        refs_.fetch_add(1, std::memory_order_relaxed);
}

inline uint32_t RWCStringRef::removeReference() noexcept
{
    return refs_.fetch_sub(1, std::memory_order_acq_rel);
}

inline void RWCStringRef::unLink() noexcept
{
    if (this == nullRep())
        return;
    // The sole owner needs no atomic step: nobody else can reach the block to copy it.
    if (refs_.load(std::memory_order_acquire) == 0 || removeReference() == 0)
        std::free(static_cast<void*>(this));
}

inline RWCString& RWCString::append(const char* cs, size_t n)
{
    // Fast path of replace(length(), 0, cs, n): an unshared buffer with room, text from elsewhere.
    RWCStringRef* r = pref();
    const size_t len = r->length_;
    const size_t room = r->room_;
    // Acquire, as every copy-on-write check: a copy just dropped on another thread may have
    // been reading the buffer until then.
    if (cs && r->refs_.load(std::memory_order_acquire) == 0 && n <= room - len &&
        reinterpret_cast<uintptr_t>(cs) - reinterpret_cast<uintptr_t>(data_) > room) {
        const size_t newLen = len + n;
        if (newLen > r->capacity_) {
            // The rule's next step, when the block has room for it.
            const rw_detail::StringSettings& set = rw_detail::stringSettings;
            size_t capacity = set.initialCapacity;
            if (newLen > capacity)
                capacity = set.stepMask != SIZE_MAX ? capacity + ((newLen - capacity + set.stepMask) & ~set.stepMask)
                                                    : SIZE_MAX;
            if (capacity > room)
                return replace(len, 0, cs, n);
            r->capacity_ = capacity;
        }
        std::memcpy(data_ + len, cs, n);
        r->length_ = newLen;
        data_[newLen] = '\0';
        return *this;
    }
    return replace(len, 0, cs, n);
}

inline RWCString& RWCString::operator=(const RWCString& s) noexcept
{
    if (data_ != s.data_) {
        s.pref()->addReference();
        pref()->unLink();
        data_ = s.data_;
    }
    return *this;
}

inline RWCString& RWCString::operator=(RWCString&& s) noexcept
{
    if (this != &s) {
        pref()->unLink();
        data_ = s.data_;
        s.data_ = RWCStringRef::nullRep()->data();
    }
    return *this;
}
