// csrecordfile: a tree of tagged records in a printable text, kept in a file through rc4fstream;
// csrecordbookmark, a saved reading place; hexEncodeBytes and hexDecodeBytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/RWCString.h"
#include "services/streams/Exception.h"
#include "services/streams/rc4fstream.h"

// A place in a record file's text, with the state of the last head read there.
class csrecordbookmark {
public:
    csrecordbookmark() = default;
    ~csrecordbookmark() = default;
    csrecordbookmark(const csrecordbookmark&) = delete;
    csrecordbookmark& operator=(const csrecordbookmark&) = delete;

    bool isSet() const { return set; }

private:
    friend class csrecordfile;

    bool set = false;
    bool isValue = false;
    size_t writePosition = 0;
    size_t readPosition = 0;
    bool hasValue = false;
    std::vector<char> valueCopy;  // the value text with its NUL
    uint32_t spare = 0;
    uint32_t count = 0;
};

// The text: two header lines, the number of top-level records, then the records. A number
// field is four characters '0' + nibble (so 10 to 15 are ':' to '?'), most significant first,
// or for lengths of 65535 and more "FFFF" and eight upper-case hexadecimal digits. A value
// record is kind 1, tag, length and that many bytes of text; a group record is kind 0, tag and
// its child count, followed by the children (65535 children or more: kind 2 + high bits of
// twice the count, the field its low 16 bits).
//
// The whole text lives in memory: a file opened for reading is read whole when it is opened,
// a file opened for writing is written whole by close or, failing that, by the destructor.
//
// Status: 0 ok, 2 the file could not be opened or read, 6 the end of the usable data. Every
// operation returns false at once when the status is not 0. A read that needs bytes beyond
// the end, or meets a character that is no digit in a number field, sets status 6 and throws
// FileException with code 6 (an empty message at the plain end of the data, a description of
// the fault and its offset for damaged data). Writer misuse (a record or value before the
// header, ending the root, a tag outside 0..0xFFFF, more than 65535 top-level records) returns
// false and writes nothing.
class csrecordfile : public rc4fstream {
public:
    static constexpr int statusOk = 0;
    static constexpr int statusOpenFailed = 2;
    static constexpr int statusEnd = 6;
    static constexpr unsigned kMaxTag = 0xFFFF;

    // Mode 2 writes the text gzip-compressed; 0 (the default, 1) and any other mode plainly.
    // Reading detects compression itself and falls back to fileName + ".gz" when fileName
    // cannot be opened.
    csrecordfile(const char* fileName, bool write, int mode = 0);
    ~csrecordfile() override;
    csrecordfile(const csrecordfile&) = delete;
    csrecordfile& operator=(const csrecordfile&) = delete;

    // ---- Writing ----

    // The two lines must not hold a line feed; the header is written at the start of the text
    // only (a new file, or after rewind).
    bool writeHeader(const char* first, const char* second);
    bool beginRecord(int tag);
    bool writeValue(int tag, const char* text);
    bool writeValue(int tag, const char* text, size_t length);
    bool writeInt(int tag, int value);
    // As "%.*g" with precision 14.
    bool writeDouble(int tag, double value);
    bool endRecord();
    // Writes the root count; the records must all be ended.
    bool finishFile();
    // Room for that many more bytes of text: a writer that knows about how much it will write
    // saves the text from being moved as it grows.
    void reserve(size_t bytes);
    // Writes the text to the file and closes it; false when either fails (the destructor then
    // writes nothing more).
    bool close();

    // ---- Reading ----

    bool readHeader(RWCString& first, RWCString& second, unsigned& rootCount);
    // True for a value record (count := its length; its text is then available), false for a
    // group record (count := its children) and on failure (check getStatus).
    bool readRecordHead(unsigned& tag, unsigned& count);
    // The text stays the file's until the next head is read.
    bool getString(const char*& text);
    bool getInt(int& value);       // atoi of the text (clamped to the int range)
    bool getDouble(double& value); // strtod of the text
    // After a group head: reads past all its descendants. Nothing to do after a value head.
    bool skipRecord();

    // Back to the start for reading and writing, with no open record and no value.
    void rewind();
    void mark(csrecordbookmark& bookmark);
    void restore(csrecordbookmark& bookmark);

    int getStatus() const { return status; }
    bool isWriting() const { return writing; }
    int getDepth() const { return int(stack.size()); }
    // Of the last head read: the child count, the text length or the root count.
    unsigned getCount() const { return count; }
    bool lastWasValue() const { return isValue; }
    // The record text as built or read.
    const std::string& text() const { return buffer; }

private:
    struct StackEntry {
        uint32_t childCount;
        size_t position;
        uint32_t tag;
    };

    void put(const char* p, size_t n);
    void putAt(size_t position, const char* p, size_t n);
    bool addChild();
    [[noreturn]] void failEnd(const char* what, size_t offset);
    unsigned readNumber();
    bool readLine(RWCString& line);
    bool flushToFile();
    void copyValue();
    bool valueRange(const char*& begin, const char*& end) const;

    std::string buffer;
    size_t readPosition = 0;
    size_t writePosition = 0;
    bool writing = false;
    bool written = false;  // the text went to the file (close)
    int mode = 1;
    int status = statusOk;
    std::vector<StackEntry> stack;
    bool hasValue = false;
    size_t valueStart = 0;    // the last value's text in the buffer
    size_t valueLength = 0;
    bool valueCopied = false; // value holds it (with its NUL)
    std::vector<char> value;
    uint32_t spare = 0;
    uint32_t count = 0;
    bool isValue = false;
};

// Four characters per byte: the hexadecimal digit of the low nibble, '0', '0', the digit of
// the high nibble ('A' becomes "1004").
RWCString hexEncodeBytes(const RWCString& text);
// One byte per complete group of four characters: digit(fourth) * 16 + digit(first), where
// '0'..'9' count 0..9 and any other character c counts c - 55; a trailing part group is ignored.
RWCString hexDecodeBytes(const RWCString& text);
