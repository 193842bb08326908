// Bit sets held in byte arrays and a generic binary search.
#include "foundation/RWBitHelpers.h"

namespace {

constexpr size_t noPosition = static_cast<size_t>(-1);

// Lowest bit among the first nbits whose value differs from the bits of skip (0x00 or 0xFF).
size_t firstBitNot(const unsigned char* bytes, size_t nbits, unsigned char skip)
{
    size_t whole = nbits / 8;
    for (size_t i = 0; i < whole; ++i) {
        if (bytes[i] == skip)
            continue;
        unsigned bits = bytes[i] ^ skip;
        for (size_t b = 0; b < 8; ++b)
            if (bits & (1u << b))
                return i * 8 + b;
    }
    size_t rest = nbits % 8;
    if (rest) {
        unsigned bits = (bytes[whole] ^ skip) & ((1u << rest) - 1);
        for (size_t b = 0; b < rest; ++b)
            if (bits & (1u << b))
                return whole * 8 + b;
    }
    return noPosition;
}

} // namespace

void bitOr(unsigned char* dst, const unsigned char* src, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        dst[i] |= src[i];
}

void bitXor(unsigned char* dst, const unsigned char* src, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        dst[i] ^= src[i];
}

void bitAnd(unsigned char* dst, const unsigned char* src, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        dst[i] &= src[i];
}

size_t firstSetBit(const unsigned char* bytes, size_t nbits)
{
    return firstBitNot(bytes, nbits, 0x00);
}

size_t firstClearBit(const unsigned char* bytes, size_t nbits)
{
    return firstBitNot(bytes, nbits, 0xFF);
}

bool binarySearch(const void* key, const void* base, size_t count, size_t width,
                  int (*compare)(const void*, const void*), size_t& index)
{
    if (count == 0) {
        index = 0;
        return false;
    }
    const unsigned char* elements = static_cast<const unsigned char*>(base);
    size_t lo = 0;
    size_t hi = count - 1;
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        int c = compare(elements + mid * width, key);
        if (c == 0) {
            index = mid;
            return true;
        }
        if (c > 0)
            hi = mid > 0 ? mid - 1 : 0;
        else
            lo = mid + 1;
    }
    index = lo;
    return compare(elements + lo * width, key) == 0;
}
