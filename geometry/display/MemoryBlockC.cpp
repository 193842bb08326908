// MemoryBlockC: allocation and release of the buffer.
#include "geometry/display/MemoryBlockC.h"

#include <new>

MemoryBlockC::~MemoryBlockC() { Free(); }

void MemoryBlockC::Free()
{
    delete[] data;
    data = nullptr;
    size = 0;
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
