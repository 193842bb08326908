// Reading RWCString from standard input streams and writing it to output streams.
#include "foundation/RWCString.h"

#include "foundation/RWxmsg.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

namespace {

using traits = std::istream::traits_type;

// The readers' growth rule: 16 at first, then doubling, and at the top half of the way to
// the largest size.
size_t growthCapacity(size_t n, size_t elementSize)
{
    if (n < 16)
        return 16;
    size_t bytes = n * elementSize;
    if (bytes < 0x80000000u)
        return 2 * n;
    if (bytes >= 0xFFFFFFFDu)
        rwOverflowError();
    return 0xFFFFFFFFu / (2 * elementSize) + n / 2;
}

bool isDelim(int c, char delim)
{
    return traits::eq_int_type(c, traits::to_int_type(delim));
}

} // namespace

std::istream& RWCString::readFile(std::istream& s)
{
    clobber(std::max<size_t>(initialCapacity(), 1));
    size_t len = 0;
    for (;;) {
        s.read(data_ + len, static_cast<std::streamsize>(capacity() - len));
        len += static_cast<size_t>(s.gcount());
        setLength(len);
        if (!s.good())
            break;
        capacity(growthCapacity(capacity(), 1));
    }
    if (capacity() - len > maxWaste())
        clone(adjustCapacity(len));
    return s;
}

std::istream& RWCString::readToDelim(std::istream& s, char delim)
{
    clobber(std::max<size_t>(initialCapacity(), 1));
    if (s.eof() || !s.good()) {
        s.setstate(std::ios_base::failbit);
        return s;
    }
    size_t len = 0;
    int c = s.peek();
    while (!isDelim(c, delim) && s.good() && !s.eof()) {
        // get stores at most capacity - len characters and its NUL lands on the slot
        // that every buffer keeps after its capacity.
        s.get(data_ + len, static_cast<std::streamsize>(capacity() - len + 1), delim);
        len += static_cast<size_t>(s.gcount());
        setLength(len);
        // A peek after the end would add failbit to eofbit, and a last line without its
        // delimiter would then read as a failure.
        if (!s.good())
            break;
        c = s.peek();
        if (!isDelim(c, delim) && s.good())
            capacity(growthCapacity(capacity(), 1));
    }
    if (isDelim(c, delim))
        s.get();
    setLength(len);
    if (capacity() - len > maxWaste())
        clone(adjustCapacity(len));
    return s;
}

std::istream& RWCString::readLine(std::istream& s, bool skipWhite)
{
    if (skipWhite)
        s >> std::ws;
    return readToDelim(s, '\n');
}

std::istream& RWCString::readString(std::istream& s)
{
    return readToDelim(s, '\0');
}

std::istream& RWCString::readToken(std::istream& s)
{
    clobber(std::max<size_t>(initialCapacity(), 1));
    if (s.eof() || !s.good()) {
        s.setstate(std::ios_base::failbit);
        return s;
    }
    s >> std::ws;
    std::streamsize width = s.width(0);
    size_t limit = width > 0 ? static_cast<size_t>(width) : 0;
    size_t len = 0;
    bool atEnd = false;
    while (limit == 0 || len < limit) {
        int c = s.peek();
        if (traits::eq_int_type(c, traits::eof())) {
            atEnd = true;
            break;
        }
        if (!s.good() || std::isspace(static_cast<unsigned char>(traits::to_char_type(c))))
            break;
        if (len == capacity()) {
            setLength(len);
            capacity(len + resizeIncrement());
        }
        data_[len++] = traits::to_char_type(c);
        s.get();
    }
    setLength(len);
    if (atEnd) {
        s.setstate(std::ios_base::eofbit);
        if (len == 0) {
            s.setstate(std::ios_base::failbit);
            return s;
        }
    }
    if (capacity() - len > maxWaste())
        clone(adjustCapacity(len));
    return s;
}

std::istream& operator>>(std::istream& s, RWCString& str)
{
    return str.readToken(s);
}

std::ostream& operator<<(std::ostream& os, const RWCString& str)
{
    std::ostream::sentry ok(os);
    if (!ok)
        return os;
    const std::streamsize len = static_cast<std::streamsize>(str.length());
    const std::streamsize width = os.width();
    const std::streamsize pad = width > len ? width - len : 0;
    os.width(pad);
    const bool left = (os.flags() & std::ios_base::left) != 0;
    if (pad > 0 && !left)
        os << "";
    if (os.rdbuf()->sputn(str.data(), len) != len)
        os.setstate(std::ios_base::badbit);
    if (pad > 0 && left)
        os << "";
    return os;
}
