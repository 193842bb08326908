// RWCRegexp: compilation of patterns into codes, the backtracking search, and the
// RWCString members that search with a pattern.
#include "foundation/RWCRegexp.h"

#include "foundation/RWCString.h"
#include "foundation/RWxmsg.h"
#include "platform/HexDigit.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

namespace {

constexpr size_t classCodes = 17; // the class code and its 16 words of set bits
constexpr size_t noMatch = static_cast<size_t>(-1);

bool isClosure(uint16_t code)
{
    return code == RWCRegexp::codeStar || code == RWCRegexp::codePlus ||
           code == RWCRegexp::codeQuestion;
}

size_t atomLength(const uint16_t* atom)
{
    return atom[0] == RWCRegexp::codeClass ? classCodes : 1;
}


// Reads one literal byte at p by the escape rules and moves p past it.
unsigned char readLiteral(const char*& p)
{
    unsigned char c = static_cast<unsigned char>(*p++);
    if (c != '\\')
        return c;
    if (*p == '\0')
        return '\\'; // a trailing backslash stands for itself
    c = static_cast<unsigned char>(*p++);
    switch (std::tolower(c)) {
    case 'b': return 8;
    case 'e': return 27;
    case 'f': return 12;
    case 'n': return 10;
    case 'r': return 13;
    case 's': return ' ';
    case 't': return 9;
    case 'x': {
        if (!std::isxdigit(static_cast<unsigned char>(*p)))
            return c;
        int v = platform::hexDigitValue(*p++);
        if (std::isxdigit(static_cast<unsigned char>(*p)))
            v = v * 16 + platform::hexDigitValue(*p++);
        return static_cast<unsigned char>(v);
    }
    case '^':
        if (*p == '\0')
            return c;
        return static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(*p++)) - 64);
    default:
        break;
    }
    if (c >= '0' && c <= '7') {
        int v = c - '0';
        for (int i = 0; i < 2 && *p >= '0' && *p <= '7'; ++i)
            v = v * 8 + (*p++ - '0');
        return static_cast<unsigned char>(v);
    }
    return c;
}

bool atomMatches(const uint16_t* atom, unsigned char ch)
{
    uint16_t code = atom[0];
    if (code < 0x100)
        return code == ch;
    if (code == RWCRegexp::codeAny)
        return ch != '\n';
    // character class
    return (atom[1 + (ch >> 4)] >> (ch & 15)) & 1;
}

// Matches the codes from c against text[pos..n); returns the end of the match or noMatch.
size_t matchHere(const uint16_t* c, const unsigned char* text, size_t n, size_t pos)
{
    for (;;) {
        uint16_t code = *c;
        if (code == RWCRegexp::codeEnd)
            return pos;
        if (code == RWCRegexp::codeStartAnchor) {
            if (pos != 0)
                return noMatch;
            ++c;
            continue;
        }
        if (code == RWCRegexp::codeEndAnchor) {
            if (pos != n)
                return noMatch;
            ++c;
            continue;
        }
        if (isClosure(code)) {
            const uint16_t* atom = c + 1;
            const uint16_t* next = atom + atomLength(atom);
            size_t most = code == RWCRegexp::codeQuestion ? 1 : n - pos;
            size_t run = 0;
            while (run < most && pos + run < n && atomMatches(atom, text[pos + run]))
                ++run;
            size_t least = code == RWCRegexp::codePlus ? 1 : 0;
            if (run < least)
                return noMatch;
            if (*next == RWCRegexp::codeEnd)
                return pos + run;
            // Greedy: the rest is tried from the longest run down to the shortest.
            for (size_t k = run + 1; k-- > least;) {
                size_t end = matchHere(next, text, n, pos + k);
                if (end != noMatch)
                    return end;
            }
            return noMatch;
        }
        if (pos >= n || !atomMatches(c, text[pos]))
            return noMatch;
        ++pos;
        c += atomLength(c);
    }
}

} // namespace

RWCRegexp::RWCRegexp(const char* pattern)
{
    codes_ = new (std::nothrow) uint16_t[maxCodes];
    compile(pattern);
}

RWCRegexp::RWCRegexp(const RWCString& pattern)
{
    codes_ = new (std::nothrow) uint16_t[maxCodes];
    compile(pattern.data());
}

RWCRegexp::RWCRegexp(const RWCRegexp& other)
    : status_(other.status_), compiled_(other.compiled_)
{
    codes_ = new (std::nothrow) uint16_t[maxCodes];
    if (codes_ && other.codes_) {
        std::memcpy(codes_, other.codes_, maxCodes * sizeof(uint16_t));
    } else if (!codes_) {
        status_ = NOMEMORY;
        compiled_ = false;
    }
}

RWCRegexp::~RWCRegexp()
{
    delete[] codes_;
}

RWCRegexp& RWCRegexp::operator=(const RWCRegexp& other)
{
    if (this == &other)
        return *this;
    if (!codes_)
        codes_ = new (std::nothrow) uint16_t[maxCodes];
    status_ = other.status_;
    compiled_ = other.compiled_;
    if (codes_ && other.codes_) {
        std::memcpy(codes_, other.codes_, maxCodes * sizeof(uint16_t));
    } else if (!codes_) {
        status_ = NOMEMORY;
        compiled_ = false;
    }
    return *this;
}

RWCRegexp& RWCRegexp::operator=(const char* pattern)
{
    if (!codes_)
        codes_ = new (std::nothrow) uint16_t[maxCodes];
    compile(pattern);
    return *this;
}

RWCRegexp& RWCRegexp::operator=(const RWCString& pattern)
{
    return *this = pattern.data();
}

RWCRegexp::statVal RWCRegexp::status()
{
    statVal s = static_cast<statVal>(status_);
    status_ = OK;
    return s;
}

void RWCRegexp::compile(const char* p)
{
    compiled_ = false;
    if (!codes_) {
        status_ = NOMEMORY;
        return;
    }
    std::fill(codes_, codes_ + maxCodes, codeEnd);
    if (!p || *p == '\0' || *p == '*' || *p == '+' || *p == '?') {
        status_ = ILLEGAL;
        return;
    }

    enum class Last { None, Atom, Anchor, Closure };
    const char* const first = p;
    size_t n = 0;         // codes written
    size_t lastAtom = 0;  // where the last atom starts
    Last last = Last::None;
    // Room for k more codes and the END code.
    auto room = [&](size_t k) { return n + k + 1 <= maxCodes; };

    for (;;) {
        if (*p == '\0') {
            codes_[n] = codeEnd;
            status_ = OK;
            compiled_ = true;
            return;
        }
        char c = *p;
        if (c == '[') {
            if (!room(classCodes)) {
                status_ = TOOLONG;
                return;
            }
            ++p;
            bool negate = false;
            if (*p == '^') {
                negate = true;
                ++p;
            }
            if (*p == ']') { // empty class
                status_ = ILLEGAL;
                return;
            }
            uint16_t set[16] = {};
            for (;;) {
                if (*p == '\0') { // no closing bracket
                    status_ = ILLEGAL;
                    return;
                }
                if (*p == ']') {
                    ++p;
                    break;
                }
                unsigned lo = readLiteral(p);
                unsigned hi = lo;
                if (*p == '-' && p[1] != '\0' && p[1] != ']') {
                    ++p;
                    hi = readLiteral(p);
                    if (lo > hi)
                        std::swap(lo, hi);
                }
                for (unsigned b = lo; b <= hi; ++b)
                    set[b >> 4] = static_cast<uint16_t>(set[b >> 4] | (1u << (b & 15)));
            }
            if (negate)
                for (uint16_t& w : set)
                    w = static_cast<uint16_t>(~w);
            lastAtom = n;
            codes_[n++] = codeClass;
            std::copy(set, set + 16, codes_ + n);
            n += 16;
            last = Last::Atom;
            continue;
        }
        if (!room(1)) {
            status_ = TOOLONG;
            return;
        }
        if (c == '^' && p == first) {
            codes_[n++] = codeStartAnchor;
            last = Last::Anchor;
            ++p;
        } else if (c == '$' && p[1] == '\0') {
            codes_[n++] = codeEndAnchor;
            last = Last::Anchor;
            ++p;
        } else if (c == '.') {
            lastAtom = n;
            codes_[n++] = codeAny;
            last = Last::Atom;
            ++p;
        } else if (c == '*' || c == '+' || c == '?') {
            if (last != Last::Atom) {
                status_ = TOOLONG;
                return;
            }
            // The closure goes in front of the atom it repeats.
            std::copy_backward(codes_ + lastAtom, codes_ + n, codes_ + n + 1);
            codes_[lastAtom] = static_cast<uint16_t>(0x8000 | static_cast<unsigned char>(c));
            ++n;
            last = Last::Closure;
            ++p;
        } else {
            lastAtom = n;
            codes_[n++] = readLiteral(p);
            last = Last::Atom;
        }
    }
}

size_t RWCRegexp::search(const unsigned char* text, size_t n, size_t* matchLen) const
{
    const uint16_t* c = codes_;
    if (*c == codeStartAnchor) {
        size_t end = matchHere(c + 1, text, n, 0);
        if (end == noMatch)
            return noMatch;
        *matchLen = end;
        return 0;
    }
    // The atom that must consume the first character of any match, when there is one: a
    // leading literal or class, or the atom of a leading plus. The walk skips straight to
    // the next place where it can match.
    const uint16_t* head = nullptr;
    if (c[0] < 0x100 || c[0] == codeClass)
        head = c;
    else if (c[0] == codePlus)
        head = c + 1;
    for (size_t pos = 0; pos <= n; ++pos) {
        if (head && head[0] < 0x100) {
            const void* hit = pos < n ? std::memchr(text + pos, head[0], n - pos) : nullptr;
            if (!hit)
                return noMatch;
            pos = static_cast<const unsigned char*>(hit) - text;
        } else if (head && head[0] == codeClass) {
            const uint16_t* set = head + 1;
            while (pos < n && !((set[text[pos] >> 4] >> (text[pos] & 15)) & 1))
                ++pos;
            if (pos == n)
                return noMatch;
        }
        size_t end = matchHere(c, text, n, pos);
        if (end != noMatch) {
            *matchLen = end - pos;
            return pos;
        }
    }
    return noMatch;
}

size_t RWCRegexp::index(const RWCString& s, size_t* matchLen, size_t start) const
{
    if (status_ != OK)
        rwBadRegexpError();
    if (s.length() < start)
        return RW_NPOS;
    size_t len = 0;
    size_t pos = noMatch;
    if (compiled_)
        pos = search(reinterpret_cast<const unsigned char*>(s.data()) + start,
                     s.length() - start, &len);
    if (pos == noMatch) {
        if (matchLen)
            *matchLen = 0;
        return RW_NPOS;
    }
    if (matchLen)
        *matchLen = len;
    return start + pos;
}

// ---- RWCString members that search with a pattern ----

size_t RWCString::index(const RWCRegexp& re, size_t start) const
{
    return re.index(*this, nullptr, start);
}

size_t RWCString::index(const RWCRegexp& re, size_t* matchLen, size_t start) const
{
    return re.index(*this, matchLen, start);
}

RWCSubString RWCString::operator()(const RWCRegexp& re, size_t start)
{
    size_t len = 0;
    size_t pos = re.index(*this, &len, start);
    return RWCSubString(*this, pos, len);
}

RWCSubString RWCString::operator()(const RWCRegexp& re)
{
    return (*this)(re, 0);
}

RWCSubString RWCString::operator()(const RWCRegexp& re, size_t start) const
{
    size_t len = 0;
    size_t pos = re.index(*this, &len, start);
    return RWCSubString(*this, pos, len);
}

RWCSubString RWCString::operator()(const RWCRegexp& re) const
{
    return (*this)(re, 0);
}
