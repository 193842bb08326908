// RWCRegexp: a small byte regular expression compiled into 256 sixteen-bit codes.
#pragma once

#include <cstddef>
#include <cstdint>

class RWCString;

class RWCRegexp {
public:
    // Compile status values; `status` returns one of them.
    enum statVal {
        OK = 0,        // the pattern compiled
        ILLEGAL = 1,   // syntax error (empty pattern, leading closure, bad class)
        NOMEMORY = 2,  // no code buffer
        TOOLONG = 3    // too many codes, or a closure after an anchor or a closure
    };

    // Size of the code buffer in codes, the END code included.
    static constexpr size_t maxCodes = 256;

    // Operator codes: 0x8000 or-ed with the pattern character they stand for.
    static constexpr uint16_t codeEnd = 0x8000;
    static constexpr uint16_t codeEndAnchor = 0x8024;   // '$'
    static constexpr uint16_t codeStar = 0x802A;        // '*'
    static constexpr uint16_t codePlus = 0x802B;        // '+'
    static constexpr uint16_t codeQuestion = 0x803F;    // '?'
    static constexpr uint16_t codeAny = 0x802E;         // '.'
    static constexpr uint16_t codeClass = 0x805B;       // '[' then 16 codes of set bits
    static constexpr uint16_t codeStartAnchor = 0x805E; // '^'

    RWCRegexp(const char* pattern);
    RWCRegexp(const RWCString& pattern);
    RWCRegexp(const RWCRegexp& other);
    ~RWCRegexp();

    RWCRegexp& operator=(const RWCRegexp& other);
    RWCRegexp& operator=(const char* pattern);
    RWCRegexp& operator=(const RWCString& pattern);

    // Position in s of the first match at or after start (RW_NPOS when none) and its
    // length through matchLen (0 when none). Raises RWInternalErr (BADRE) while the
    // compile status reports a failure.
    size_t index(const RWCString& s, size_t* matchLen = nullptr, size_t start = 0) const;

    // Returns the compile status and resets it to OK.
    statVal status();

    // The compiled codes (maxCodes of them), for inspection.
    const uint16_t* codes() const { return codes_; }

private:
    void compile(const char* pattern);
    size_t search(const unsigned char* text, size_t length, size_t* matchLen) const;

    uint16_t* codes_ = nullptr;
    int status_ = OK;
    // True only when compilation finished: a failed pattern whose status has been
    // read and cleared still matches nothing rather than running unfinished codes.
    bool compiled_ = false;
};
