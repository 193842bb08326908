// MemFileC: the in-memory file of a fetch.
#include "viewer/loader/FetchFile.h"

#include <cstdlib>
#include <cstring>

MemFileC::~MemFileC() { std::free(data); }

bool MemFileC::Reserve(uint64_t bytes)
{
    if (bytes <= capacity)
        return true;
    uint64_t grown = capacity < 1024 ? 1024 : capacity;
    while (grown < bytes) {
        if (grown > SIZE_MAX / 2)
            return false;  // doubling would wrap: no memory holds that much anyway
        grown *= 2;
    }
    char* moved = static_cast<char*>(std::realloc(data, static_cast<size_t>(grown)));
    if (!moved)
        return false;
    data = moved;
    capacity = grown;
    return true;
}

bool MemFileC::Write(const void* bytes, size_t size)
{
    if (size == 0)
        return true;
    const uint64_t end = position + size;
    if (end < position || !Reserve(end))
        return false;
    if (position > length)
        std::memset(data + length, 0, static_cast<size_t>(position - length));
    std::memcpy(data + position, bytes, size);
    position = end;
    if (end > length)
        length = end;
    return true;
}

bool MemFileC::SeekToBegin()
{
    position = 0;
    return true;
}

bool MemFileC::SetLength(uint64_t newLength)
{
    if (!Reserve(newLength))
        return false;
    if (newLength > length)
        std::memset(data + length, 0, static_cast<size_t>(newLength - length));
    length = newLength;
    if (position > length)
        position = length;
    return true;
}
