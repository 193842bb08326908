// csrecordfile: writing and reading the tagged record text, bookmarks and the hex byte texts.
#include "services/streams/csrecordfile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "services/files/RegularFile.h"

namespace {

constexpr int kWriteFlags = csopenmode::out | csopenmode::trunc | csopenmode::binary;  // 0x32
constexpr int kReadFlags = csopenmode::in | csopenmode::binary;                        // 0x21
constexpr size_t kChunk = size_t(1) << 20;
constexpr unsigned kValueKind = 1;
constexpr uint32_t kShortLimit = 0xFFFF;  // the short form cannot say this: it marks the long form

// The value of each number-field character, or -1.
struct DigitTable {
    signed char value[256];
    constexpr DigitTable() : value()
    {
        for (int c = 0; c < 256; ++c)
            value[c] = c >= '0' && c <= '?' ? (signed char)(c - '0') : c >= 'A' && c <= 'F' ? (signed char)(c - 'A' + 10) : -1;
    }
};
constexpr DigitTable kDigits;

inline int digitValue(char c) { return kDigits.value[static_cast<unsigned char>(c)]; }

inline void encodeShort(char* out, uint32_t v)
{
    out[0] = char('0' + ((v >> 12) & 15));
    out[1] = char('0' + ((v >> 8) & 15));
    out[2] = char('0' + ((v >> 4) & 15));
    out[3] = char('0' + (v & 15));
}

// A length field: short below 65535, else "FFFF" and eight hexadecimal digits. Gives its size.
inline size_t encodeLength(char* out, uint32_t v)
{
    if (v < kShortLimit) {
        encodeShort(out, v);
        return 4;
    }
    static const char hex[] = "0123456789ABCDEF";
    std::memcpy(out, "FFFF", 4);
    for (int i = 0; i < 8; ++i)
        out[4 + i] = hex[(v >> (28 - 4 * i)) & 15];
    return 12;
}


// "%.14g" of a double that is exactly a float (as mesh positions and normals are), in integer
// arithmetic: the value is m 2^e with m below 2^24, so its first fourteen digits and the
// rounding (half to even, on the exact value, as printf rounds) need at most 128 bits. Gives
// the length, or 0 for values outside that reach (the caller then formats them the slow way).
size_t formatFloat14(double value, char* out)
{
    const float f = float(value);
    if (double(f) != value || !std::isfinite(f))
        return 0;
    if (f == 0.0f) {
        size_t n = 0;
        if (std::signbit(f))
            out[n++] = '-';
        out[n++] = '0';
        return n;
    }
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    const int biased = int((bits >> 23) & 0xFF);
    uint64_t m = bits & 0x7FFFFF;
    int e = biased == 0 ? -149 : biased - 150;  // |value| = m 2^e
    if (biased != 0)
        m |= 0x800000;
    // The decimal exponent x of the value, from below: log2(1 + t) >= t for the mantissa's
    // fraction t, so the guess is at most one too small and corrected below.
    int lead = 63 - __builtin_clzll(m);  // m's top bit
    const double log2Low = double(e + lead) + (double(m) / double(uint64_t(1) << lead) - 1.0);
    int x = int(std::floor(log2Low * 0.30102999566398120));
    struct Powers {
        unsigned __int128 p[32];
        constexpr Powers() : p()
        {
            p[0] = 1;
            for (int i = 1; i < 32; ++i)
                p[i] = p[i - 1] * 10;
        }
    };
    static constexpr Powers kPowers;
    const unsigned __int128 kLow = kPowers.p[13];
    const unsigned __int128 kHigh = kPowers.p[14];
    unsigned __int128 q = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int k = 13 - x;  // q = round(|value| 10^k) has fourteen digits
        if (k < 0 || k > 31)
            return 0;
        const unsigned __int128 n = (unsigned __int128)m * kPowers.p[k];
        if (e >= 0) {
            if (e > 20)
                return 0;
            q = n << e;
        } else {
            const int shift = -e;
            if (shift >= 127)
                return 0;
            q = n >> shift;
            const unsigned __int128 rest = n - (q << shift);
            const unsigned __int128 half = (unsigned __int128)1 << (shift - 1);
            if (rest > half || (rest == half && (q & 1)))
                ++q;
        }
        if (q >= kHigh && q != kHigh) {
            ++x;
            continue;
        }
        if (q < kLow) {
            --x;
            continue;
        }
        break;
    }
    if (q == kHigh) {  // rounded up to the next power of ten
        q = kLow;
        ++x;
    }
    if (q < kLow || q >= kHigh)
        return 0;
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char digits[14];
    uint64_t q64 = uint64_t(q);
    for (int i = 12; i >= 0; i -= 2) {
        const unsigned pair = unsigned(q64 % 100);
        q64 /= 100;
        digits[i] = kPairs[2 * pair];
        digits[i + 1] = kPairs[2 * pair + 1];
    }
    int used = 14;
    while (used > 1 && digits[used - 1] == '0')
        --used;
    size_t len = 0;
    if (value < 0)
        out[len++] = '-';
    if (x >= -4 && x < 14) {
        if (x >= 0) {
            for (int i = 0; i <= x; ++i)
                out[len++] = i < used ? digits[i] : '0';
            if (used > x + 1) {
                out[len++] = '.';
                for (int i = x + 1; i < used; ++i)
                    out[len++] = digits[i];
            }
        } else {
            out[len++] = '0';
            out[len++] = '.';
            for (int i = 0; i < -x - 1; ++i)
                out[len++] = '0';
            for (int i = 0; i < used; ++i)
                out[len++] = digits[i];
        }
        return len;
    }
    out[len++] = digits[0];
    if (used > 1) {
        out[len++] = '.';
        for (int i = 1; i < used; ++i)
            out[len++] = digits[i];
    }
    out[len++] = 'e';
    out[len++] = x < 0 ? '-' : '+';
    const int ax = x < 0 ? -x : x;
    if (ax >= 100)
        out[len++] = char('0' + ax / 100);
    out[len++] = char('0' + ax / 10 % 10);
    out[len++] = char('0' + ax % 10);
    return len;
}

}  // namespace

csrecordfile::csrecordfile(const char* fileName, bool write, int mode) : writing(write), mode(mode == 0 ? 1 : mode)
{
    if (!fileName) {
        status = statusOpenFailed;
        return;
    }
    if (writing) {
        open(fileName, this->mode == 2 ? (kWriteFlags | csopenmode::compressFlag) : kWriteFlags,
             csopenmode::defaultProtection);
        status = fail() ? statusOpenFailed : statusOk;
        return;
    }
    open(fileName, kReadFlags, csopenmode::defaultProtection);
    if (fail()) {
        clear();
        const std::string gz = std::string(fileName) + ".gz";
        open(gz.c_str(), kReadFlags, csopenmode::defaultProtection);
    }
    if (fail()) {
        status = statusOpenFailed;
        return;
    }
    // A plain file says its length and is read in one piece (a byte more shows whether it
    // grew meanwhile); a compressed one is read until it ends.
    const int64_t length = rdbuf()->isCompressed() ? -1 : rdbuf()->fileLength();
    size_t want = length > 0 ? size_t(length) + 1 : kChunk;
    for (;;) {
        const size_t at = buffer.size();
        // A compressed file that unpacks without end, or a device, must not take all memory.
        if (at + want > kDefaultFileSizeCap + 1) {
            buffer.clear();
            buffer.shrink_to_fit();
            status = statusOpenFailed;
            return;
        }
        if (buffer.capacity() < at + want)
            buffer.reserve(std::max(at + want, 2 * buffer.capacity()));
        buffer.resize(at + want);
        // Straight from the layers, which tell a failed read (or damaged compressed data) from
        // the end of the file; the stream's own reading takes both for an end.
        size_t filled = 0;
        int got = 0;
        while (filled < want &&
               (got = rdbuf()->rawRead(buffer.data() + at + filled, int(std::min<size_t>(want - filled, INT_MAX)))) > 0)
            filled += size_t(got);
        buffer.resize(at + filled);
        if (got < 0) {
            buffer.clear();
            buffer.shrink_to_fit();
            status = statusOpenFailed;
            return;
        }
        if (filled < want)
            break;
        want = kChunk;
    }
    status = statusOk;
}

csrecordfile::~csrecordfile()
{
    if (writing && !written)
        flushToFile();
}

bool csrecordfile::flushToFile()
{
    written = true;
    if (status == statusOpenFailed || !is_open())
        return false;
    // The text goes to the layers' raw writes in large pieces: nothing is pending in the
    // stream's own buffer, and the file is binary, so nothing would be translated there.
    bool ok = rdbuf()->pubsync() == 0;
    constexpr size_t kPiece = size_t(256) << 10;
    for (size_t at = 0; at < buffer.size() && ok; at += kPiece) {
        const int n = int(std::min(kPiece, buffer.size() - at));
        ok = rdbuf()->rawWrite(buffer.data() + at, n) == n;
    }
    const bool closed = rc4fstream::close();
    return ok && closed;
}

bool csrecordfile::close()
{
    if (!writing) {
        written = true;
        return rc4fstream::close();
    }
    if (written)
        return false;
    return flushToFile();
}

// ---- Writing ----

void csrecordfile::put(const char* p, size_t n)
{
    if (hasValue && !valueCopied)
        copyValue();
    if (writePosition == buffer.size()) {
        buffer.append(p, n);
    } else {
        if (writePosition + n > buffer.size())
            buffer.resize(writePosition + n);
        std::memcpy(buffer.data() + writePosition, p, n);
    }
    writePosition += n;
}

void csrecordfile::putAt(size_t position, const char* p, size_t n)
{
    if (hasValue && !valueCopied)
        copyValue();
    if (position + n > buffer.size())
        buffer.resize(position + n);
    std::memcpy(buffer.data() + position, p, n);
}

bool csrecordfile::addChild()
{
    if (status != statusOk || stack.empty())
        return false;
    StackEntry& parent = stack.back();
    // The root count is always a short field.
    if (stack.size() == 1 && parent.childCount >= kShortLimit)
        return false;
    if (parent.childCount == UINT32_MAX / 2)
        return false;
    ++parent.childCount;
    return true;
}

void csrecordfile::reserve(size_t bytes)
{
    if (buffer.capacity() < buffer.size() + bytes)
        buffer.reserve(buffer.size() + bytes);
}

bool csrecordfile::writeHeader(const char* first, const char* second)
{
    // The header starts the text: a second one after finishFile would land behind the records.
    if (status != statusOk || !stack.empty() || writePosition != 0 || !first || !second ||
        std::strchr(first, '\n') || std::strchr(second, '\n'))
        return false;
    put(first, std::strlen(first));
    put("\n", 1);
    put(second, std::strlen(second));
    put("\n", 1);
    stack.push_back({0, writePosition, 0});
    put("0000", 4);
    return true;
}

bool csrecordfile::beginRecord(int tag)
{
    if (tag < 0 || unsigned(tag) > kMaxTag || !addChild())
        return false;
    stack.push_back({0, writePosition, uint32_t(tag)});
    put("000000000000", 12);
    return true;
}

bool csrecordfile::writeValue(int tag, const char* text) { return writeValue(tag, text, text ? std::strlen(text) : 0); }

bool csrecordfile::writeValue(int tag, const char* text, size_t length)
{
    if (status != statusOk || tag < 0 || unsigned(tag) > kMaxTag || (!text && length > 0) || length > UINT32_MAX)
        return false;
    if (!addChild())
        return false;
    char head[20];
    encodeShort(head, kValueKind);
    encodeShort(head + 4, uint32_t(tag));
    const size_t n = 8 + encodeLength(head + 8, uint32_t(length));
    if (length <= 48) {
        // Numbers and short texts go out with their head in one piece.
        char record[64];
        std::memcpy(record, head, n);
        if (length > 0)
            std::memcpy(record + n, text, length);
        put(record, n + length);
        return true;
    }
    put(head, n);
    put(text, length);
    return true;
}

bool csrecordfile::writeInt(int tag, int value)
{
    char text[16];
    const auto r = std::to_chars(text, text + sizeof text, value);
    return writeValue(tag, text, size_t(r.ptr - text));
}

bool csrecordfile::writeDouble(int tag, double value)
{
    char text[40];
    if (const size_t n = formatFloat14(value, text))
        return writeValue(tag, text, n);
    // to_chars with a precision formats exactly as printf's %.14g does, only faster.
    const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 14);
    if (r.ec != std::errc())
        return writeValue(tag, text, size_t(std::snprintf(text, sizeof text, "%.*g", 14, value)));
    return writeValue(tag, text, size_t(r.ptr - text));
}

bool csrecordfile::endRecord()
{
    if (status != statusOk || stack.size() < 2)
        return false;
    const StackEntry& top = stack.back();
    char head[12];
    uint32_t kind = 0;
    uint32_t field = top.childCount;
    if (top.childCount >= kShortLimit) {
        const uint64_t v = uint64_t(top.childCount) * 2;
        kind = uint32_t(v >> 16) + 2;
        field = uint32_t(v & 0xFFFF);
        if (kind > kMaxTag)
            return false;
    }
    encodeShort(head, kind);
    encodeShort(head + 4, top.tag);
    encodeShort(head + 8, field);
    putAt(top.position, head, sizeof head);
    stack.pop_back();
    return true;
}

bool csrecordfile::finishFile()
{
    if (status != statusOk || stack.size() != 1)
        return false;
    char field[4];
    encodeShort(field, stack.front().childCount);
    putAt(stack.front().position, field, sizeof field);
    stack.clear();
    return true;
}

// ---- Reading ----

void csrecordfile::failEnd(const char* what, size_t offset)
{
    status = statusEnd;
    hasValue = false;
    if (!what)
        throw FileException(RWCString(), statusEnd);
    char message[160];
    std::snprintf(message, sizeof message, "%s at offset %zu", what, offset);
    throw FileException(RWCString(message), statusEnd);
}

unsigned csrecordfile::readNumber()
{
    const size_t at = readPosition;
    const size_t remaining = buffer.size() - at;
    if (remaining < 4)
        failEnd(remaining == 0 ? nullptr : "record data ends inside a number field", at);
    const char* p = buffer.data() + at;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const int d = digitValue(p[i]);
        if (d < 0)
            failEnd("a number field holds a character that is no digit", at + size_t(i));
        v = (v << 4) | uint32_t(d);
    }
    readPosition += 4;
    if (v != 0xFFFF || std::memcmp(p, "FFFF", 4) != 0)  // "????" is 65535 too, in the short form
        return v;
    if (remaining < 12)
        failEnd("record data ends inside a long number field", at);
    v = 0;
    for (int i = 4; i < 12; ++i) {
        const int d = digitValue(p[i]);
        if (d < 0)
            failEnd("a number field holds a character that is no digit", at + size_t(i));
        v = (v << 4) | uint32_t(d);
    }
    readPosition += 8;
    return v;
}

bool csrecordfile::readLine(RWCString& line)
{
    const size_t at = readPosition;
    const void* nl = std::memchr(buffer.data() + at, '\n', buffer.size() - at);
    if (!nl)
        failEnd(at == buffer.size() ? nullptr : "record data ends inside the header", at);
    size_t end = size_t(static_cast<const char*>(nl) - buffer.data());
    readPosition = end + 1;
    while (end > at && buffer[end - 1] == '\r')
        --end;
    line = RWCString(buffer.data() + at, end - at);
    return true;
}

bool csrecordfile::readHeader(RWCString& first, RWCString& second, unsigned& rootCount)
{
    if (status != statusOk)
        return false;
    readLine(first);
    readLine(second);
    rootCount = count = readNumber();
    isValue = false;
    return true;
}

bool csrecordfile::readRecordHead(unsigned& tag, unsigned& countOut)
{
    if (status != statusOk)
        return false;
    if (readPosition >= buffer.size())
        failEnd(nullptr, readPosition);
    const size_t at = readPosition;
    const unsigned kind = readNumber();
    tag = readNumber();
    if (kind == kValueKind) {
        const unsigned length = readNumber();
        if (length > buffer.size() - readPosition)
            failEnd("a value is longer than the record data that remains", at);
        // The text is copied out only when it is asked for as text.
        valueStart = readPosition;
        valueLength = length;
        valueCopied = false;
        readPosition += length;
        hasValue = true;
        isValue = true;
        count = countOut = length;
        return true;
    }
    const unsigned field = readNumber();
    uint64_t children = field;
    if (kind >= 2)
        children = ((uint64_t(kind - 2) << 16) | field) >> 1;
    if (children > UINT32_MAX)
        failEnd("a group's child count is out of range", at);
    hasValue = false;
    isValue = false;
    count = countOut = unsigned(children);
    return false;
}

void csrecordfile::copyValue()
{
    if (!hasValue || valueCopied)
        return;
    value.assign(buffer.data() + valueStart, buffer.data() + valueStart + valueLength);
    value.push_back('\0');
    valueCopied = true;
}

bool csrecordfile::valueRange(const char*& begin, const char*& end) const
{
    if (status != statusOk || !hasValue)
        return false;
    begin = valueCopied ? value.data() : buffer.data() + valueStart;
    end = begin + valueLength;
    return true;
}

bool csrecordfile::getString(const char*& text)
{
    if (status != statusOk || !hasValue)
        return false;
    copyValue();
    text = value.data();
    return true;
}

bool csrecordfile::getInt(int& result)
{
    const char* text;
    const char* end;
    if (!valueRange(text, end))
        return false;
    int v = 0;
    const auto r = std::from_chars(text, end, v);
    if (r.ec == std::errc() && r.ptr == end) {
        result = v;
        return true;
    }
    // What atoi makes of anything else (blanks, a plus sign, trailing text), kept in range.
    getString(text);
    const long l = std::strtol(text, nullptr, 10);
    result = l > INT_MAX ? INT_MAX : l < INT_MIN ? INT_MIN : int(l);
    return true;
}

bool csrecordfile::getDouble(double& result)
{
    const char* text;
    const char* end;
    if (!valueRange(text, end))
        return false;
    double v = 0.0;
    const auto r = std::from_chars(text, end, v);
    if (r.ec == std::errc() && r.ptr == end) {
        result = v;
        return true;
    }
    getString(text);
    result = std::strtod(text, nullptr);
    return true;
}

bool csrecordfile::skipRecord()
{
    if (status != statusOk)
        return false;
    if (isValue)
        return true;
    // Counts the records still to pass instead of recursing, so depth costs no stack.
    uint64_t remaining = count;
    unsigned tag = 0, n = 0;
    while (remaining > 0) {
        --remaining;
        if (!readRecordHead(tag, n))
            remaining += n;
    }
    return true;
}

void csrecordfile::rewind()
{
    spare = 0;
    hasValue = false;
    valueCopied = false;
    value.clear();
    stack.clear();
    readPosition = writePosition = 0;
}

void csrecordfile::mark(csrecordbookmark& bookmark)
{
    bookmark.set = true;
    bookmark.isValue = isValue;
    bookmark.writePosition = writePosition;
    bookmark.readPosition = readPosition;
    copyValue();
    bookmark.hasValue = hasValue;
    bookmark.valueCopy = hasValue ? value : std::vector<char>();
    bookmark.spare = spare;
    bookmark.count = count;
}

void csrecordfile::restore(csrecordbookmark& bookmark)
{
    if (!bookmark.set)
        return;
    isValue = bookmark.isValue;
    writePosition = bookmark.writePosition;
    readPosition = bookmark.readPosition;
    hasValue = bookmark.hasValue;
    valueCopied = true;
    valueLength = bookmark.valueCopy.empty() ? 0 : bookmark.valueCopy.size() - 1;
    value.swap(bookmark.valueCopy);
    bookmark.valueCopy.clear();
    bookmark.hasValue = false;
    spare = bookmark.spare;
    count = bookmark.count;
    bookmark.set = false;
}

// ---- Hex byte texts ----

RWCString hexEncodeBytes(const RWCString& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.length() * 4);
    for (size_t i = 0; i < text.length(); ++i) {
        const unsigned char b = static_cast<unsigned char>(text.data()[i]);
        out += hex[b & 15];
        out += '0';
        out += '0';
        out += hex[b >> 4];
    }
    return RWCString(out.data(), out.size());
}

RWCString hexDecodeBytes(const RWCString& text)
{
    // Not a hex decoder's rule: any character that is no decimal digit counts as its code less
    // 55, which reads 'A'-'F' as 10-15 and gives every other character a value of its own.
    auto digit = [](char c) { return (c >= '0' && c <= '9') ? c - '0' : int(static_cast<unsigned char>(c)) - 55; };
    std::string out;
    out.reserve(text.length() / 4);
    for (size_t i = 0; i + 4 <= text.length(); i += 4) {
        const int v = digit(text.data()[i + 3]) * 16 + digit(text.data()[i]);
        out += char(static_cast<unsigned char>(v & 0xFF));
    }
    return RWCString(out.data(), out.size());
}
