// csrecordfile: writing and reading the tagged record text, bookmarks and the hex byte texts.
#include "services/streams/csrecordfile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kWriteFlags = csopenmode::out | csopenmode::trunc | csopenmode::binary;  // 0x32
constexpr int kReadFlags = csopenmode::in | csopenmode::binary;                        // 0x21
constexpr size_t kChunk = size_t(1) << 20;
constexpr unsigned kValueKind = 1;
constexpr uint32_t kShortLimit = 0xFFFF;  // the short form cannot say this: it marks the long form

// The value of one number-field character, or -1.
inline int digitValue(char c)
{
    if (c >= '0' && c <= '?')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

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
    // A plain file says its length; a compressed one is read until it ends.
    const int64_t length = rdbuf()->fileLength();
    if (length > 0 && !rdbuf()->isCompressed())
        buffer.reserve(size_t(length));
    for (;;) {
        const size_t at = buffer.size();
        buffer.resize(at + kChunk);
        const std::streamsize got = rdbuf()->sgetn(buffer.data() + at, std::streamsize(kChunk));
        buffer.resize(at + size_t(got > 0 ? got : 0));
        if (got < std::streamsize(kChunk))
            break;
    }
    buffer.shrink_to_fit();
    status = bad() ? statusOpenFailed : statusOk;
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
    bool ok = true;
    for (size_t at = 0; at < buffer.size() && ok; at += kChunk) {
        const size_t n = std::min(kChunk, buffer.size() - at);
        ok = rdbuf()->sputn(buffer.data() + at, std::streamsize(n)) == std::streamsize(n);
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

bool csrecordfile::writeHeader(const char* first, const char* second)
{
    if (status != statusOk || !stack.empty() || !first || !second || std::strchr(first, '\n') ||
        std::strchr(second, '\n'))
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
    put(head, n);
    if (length > 0)
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
    // to_chars with a precision formats exactly as printf's %.14g does, only faster.
    char text[40];
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
    if (std::memcmp(p, "FFFF", 4) != 0)
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
        value.resize(size_t(length) + 1);
        std::memcpy(value.data(), buffer.data() + readPosition, length);
        value[length] = '\0';
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

bool csrecordfile::getString(const char*& text)
{
    if (status != statusOk || !hasValue)
        return false;
    text = value.data();
    return true;
}

bool csrecordfile::getInt(int& result)
{
    const char* text;
    if (!getString(text))
        return false;
    const char* end = text + value.size() - 1;
    int v = 0;
    const auto r = std::from_chars(text, end, v);
    if (r.ec == std::errc() && r.ptr == end) {
        result = v;
        return true;
    }
    // What atoi makes of anything else (blanks, a plus sign, trailing text), kept in range.
    errno = 0;
    const long l = std::strtol(text, nullptr, 10);
    result = l > INT_MAX ? INT_MAX : l < INT_MIN ? INT_MIN : int(l);
    return true;
}

bool csrecordfile::getDouble(double& result)
{
    const char* text;
    if (!getString(text))
        return false;
    const char* end = text + value.size() - 1;
    double v = 0.0;
    const auto r = std::from_chars(text, end, v);
    if (r.ec == std::errc() && r.ptr == end) {
        result = v;
        return true;
    }
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
    auto digit = [](char c) { return (c >= '0' && c <= '9') ? c - '0' : int(static_cast<unsigned char>(c)) - 55; };
    std::string out;
    out.reserve(text.length() / 4);
    for (size_t i = 0; i + 4 <= text.length(); i += 4) {
        const int v = digit(text.data()[i + 3]) * 16 + digit(text.data()[i]);
        out += char(static_cast<unsigned char>(v & 0xFF));
    }
    return RWCString(out.data(), out.size());
}
