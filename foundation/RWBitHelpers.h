// Bit sets held in byte arrays (bit i is bit i mod 8 of byte i / 8) and a generic binary search.
#pragma once

#include <cstddef>

// Combine n bytes of src into dst.
void bitOr(unsigned char* dst, const unsigned char* src, size_t n);
void bitXor(unsigned char* dst, const unsigned char* src, size_t n);
void bitAnd(unsigned char* dst, const unsigned char* src, size_t n);

// Index of the lowest set (clear) bit among the first nbits bits, RW_NPOS when there is none.
size_t firstSetBit(const unsigned char* bytes, size_t nbits);
size_t firstClearBit(const unsigned char* bytes, size_t nbits);

// Searches count elements of width bytes at base, sorted by compare(element, key)
// (negative, 0 or positive). True when an element matches, with its index; otherwise
// index is where the search ended (0 for an empty array).
bool binarySearch(const void* key, const void* base, size_t count, size_t width,
                  int (*compare)(const void* element, const void* key), size_t& index);
