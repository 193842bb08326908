// ZipCipher: the ZIP format's traditional (PKWARE) encryption: the cipher's keys (the reading of
// an encrypted entry is ZipEntryStreamC's).
#pragma once

#include <cstddef>
#include <cstdint>

// The cipher's three 32-bit keys, set from a password and stirred by every plain byte.
class ZipCipherKeys {
public:
    static constexpr unsigned kHeaderSize = 12;  // random bytes in front of each entry's data

    explicit ZipCipherKeys(const char* password);
    // Deciphers n bytes in place.
    void decrypt(unsigned char* bytes, size_t n);
    // Enciphers n bytes in place; the readers never write, tests and seeds do.
    void encrypt(unsigned char* bytes, size_t n);

private:
    template <bool kDecrypt>
    void apply(unsigned char* bytes, size_t n);

    uint32_t k0_ = 0x12345678u;
    uint32_t k1_ = 0x23456789u;
    uint32_t k2_ = 0x34567890u;
};
