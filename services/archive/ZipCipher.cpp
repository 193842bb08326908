// ZipCipher: the traditional ZIP cipher's keys.
#include "services/archive/ZipCipher.h"

#include <zlib.h>

namespace {

// zlib's CRC-32 table, through which the keys are stirred one byte at a time.
const z_crc_t* const kCrcTable = get_crc_table();

inline uint32_t crcStep(uint32_t crc, unsigned char b) { return uint32_t(kCrcTable[(crc ^ b) & 0xFF]) ^ (crc >> 8); }

}  // namespace

ZipCipherKeys::ZipCipherKeys(const char* password)
{
    // The password's bytes stir the keys as plain bytes would; what they encipher to is dropped.
    for (const char* p = password; p && *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        encrypt(&c, 1);
    }
}

template <bool kDecrypt>
void ZipCipherKeys::apply(unsigned char* bytes, size_t n)
{
    // Every byte's key depends on the plain byte before it: one serial chain, kept in registers.
    uint32_t k0 = k0_, k1 = k1_, k2 = k2_;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t t = (k2 & 0xFFFF) | 2;
        const unsigned char in = bytes[i];
        const unsigned char out = static_cast<unsigned char>(in ^ ((t * (t ^ 1)) >> 8));
        bytes[i] = out;
        const unsigned char plain = kDecrypt ? out : in;
        k0 = crcStep(k0, plain);
        k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
        k2 = crcStep(k2, static_cast<unsigned char>(k1 >> 24));
    }
    k0_ = k0;
    k1_ = k1;
    k2_ = k2;
}

void ZipCipherKeys::decrypt(unsigned char* bytes, size_t n) { apply<true>(bytes, n); }
void ZipCipherKeys::encrypt(unsigned char* bytes, size_t n) { apply<false>(bytes, n); }
