// MemFileC and BlockFileC: the in-memory files of a fetch.
#include "viewer/loader/FetchFile.h"

#include "geometry/display/MemoryBlockC.h"

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
    char* at = Extend(size);
    if (!at)
        return false;
    std::memcpy(at, bytes, size);
    return true;
}

char* MemFileC::Extend(size_t size)
{
    const uint64_t end = position + size;
    if (end < position || !Reserve(end))
        return nullptr;
    if (position > length)
        std::memset(data + length, 0, static_cast<size_t>(position - length));
    char* at = data + position;
    position = end;
    if (end > length)
        length = end;
    return at;
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

bool BlockFileC::Spill()
{
    if (!direct)
        return true;
    direct = false;
    const bool ok = gathered.Write(block.GetData(), block.GetSize()) && (position != 0 || gathered.SeekToBegin());
    block.Free();
    return ok;
}

bool BlockFileC::Write(const void* data, size_t size) { return Spill() && gathered.Write(data, size); }

bool BlockFileC::SeekToBegin()
{
    position = 0;
    return gathered.SeekToBegin();
}

bool BlockFileC::SetLength(uint64_t length)
{
    if (direct && length == block.GetSize())
        return true;
    if (direct && length == 0) {  // a failed read gives back its room: nothing to keep
        direct = false;
        block.Free();
    }
    return Spill() && gathered.SetLength(length);
}

uint64_t BlockFileC::GetLength() const { return direct ? block.GetSize() : gathered.GetLength(); }

char* BlockFileC::Extend(size_t size)
{
    // A block holds less than 4 GB: larger files are gathered, and refused by Finish.
    if (!direct && gathered.GetLength() == 0 && size > 0 && size <= 0xfffffffeu) {
        if (!block.Allocate(static_cast<uint32_t>(size)))
            return nullptr;
        direct = true;
        position = size;
        return block.GetData();
    }
    return Spill() ? gathered.Extend(size) : nullptr;
}

bool BlockFileC::Finish()
{
    if (direct)
        return true;
    const uint64_t length = gathered.GetLength();
    if (length > 0xfffffffeu || !block.Allocate(static_cast<uint32_t>(length))) {
        block.Allocate(0);
        return false;
    }
    if (length)
        std::memcpy(block.GetData(), gathered.Data(), static_cast<size_t>(length));
    return true;
}
