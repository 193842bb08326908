// MemoryBlockC: allocation and release of the buffer.
#include "geometry/display/MemoryBlockC.h"

#include <new>

#include "platform/sys.h"

MemoryBlockC::~MemoryBlockC() { Free(); }

void MemoryBlockC::Free()
{
    delete[] data;
    data = nullptr;
    size = 0;
}

void MemoryBlockC::DiscardBefore(const char* end)
{
    if (data == nullptr || end <= data || end > data + size)
        return;
    // Only pages wholly inside the data: the allocator's own words lie around it.
    platform::sys::discardWholePages(data, const_cast<char*>(end));
}

bool MemoryBlockC::Allocate(uint32_t n)
{
    Free();
    // The size may come from an archive header: the NUL's byte is added in size_t, so the
    // largest count cannot wrap to an empty buffer, and a failed allocation is reported.
    const size_t bytes = size_t(n) + 1;
    char* p = new (std::nothrow) char[bytes];
    if (!p)
        return false;
    p[n] = '\0';
    data = p;
    size = n;
    return true;
}
