// rc4cipher: the RC4 stream cipher over memory and strings, with a stack of saved states, and
// the hexadecimal text helpers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/RWCString.h"
#include "foundation/RWTValDlist.h"

// The cipher's running state: the permutation S and the output counters i and j.
struct rc4cipherstate {
    uint32_t S[256];
    uint32_t i;
    uint32_t j;

    bool operator==(const rc4cipherstate& o) const;
};

class rc4cipher {
public:
    static constexpr size_t maxKeyLength = 512;

    rc4cipher();
    ~rc4cipher();
    rc4cipher(const rc4cipher&) = delete;
    rc4cipher& operator=(const rc4cipher&) = delete;

    // Copies the key and restarts the key stream. A key of 0 or more than maxKeyLength bytes
    // is refused (false) and the cipher stays as it was.
    bool setKey(const char* bytes, size_t length);
    // Key scheduling over the stored key; the output counters start again at 0. Without a
    // key, S is the identity.
    void reset();
    // XORs the bytes in place with the next n bytes of the key stream; enciphering and
    // deciphering are the same operation.
    void crypt(char* bytes, size_t n);
    // A private copy of the text, passed through crypt over its whole length.
    RWCString cryptString(const RWCString& text);

    // Pushes a copy of the state; keep false restarts the key stream afterwards.
    void saveState(bool keep);
    // Makes the most recently saved state current again; nothing happens when none is saved.
    void restoreState();

    size_t keyLength() const { return keyLength_; }

private:
    RWTValDlist<rc4cipherstate> saved_;
    rc4cipherstate state_;
    unsigned char key_[maxKeyLength];
    size_t keyLength_ = 0;
};

// Each byte as two characters of "0123456789ABCDEF", high nibble first.
RWCString hexEncode(const RWCString& text);
// Each pair of characters as one byte; characters other than '0'-'9' and 'A'-'F' count 0, an
// odd last character is ignored.
RWCString hexDecode(const RWCString& text);
