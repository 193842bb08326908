// Large memory blocks for record pools, backed by transparent huge pages.
#include "platform/sys.h"

#include <sys/mman.h>

#include <cstdint>

namespace platform::sys {
namespace {

constexpr size_t kHugePage = size_t(2) << 20;

size_t roundUp(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* allocateLargeBlock(size_t bytes)
{
    if (bytes == 0)
        return nullptr;
    const size_t size = roundUp(bytes);
    // Map one huge page more than needed and trim, so that the block starts on a huge page.
    void* raw = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start)
        munmap(raw, aligned - start);
    const uintptr_t end = start + size + kHugePage;
    if (end > aligned + size)
        munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    void* block = reinterpret_cast<void*>(aligned);
    madvise(block, size, MADV_HUGEPAGE);  // a hint: without huge pages the block still works
    return block;
}

void freeLargeBlock(void* block, size_t bytes)
{
    if (block)
        munmap(block, roundUp(bytes));
}

void* reserveAddressRange(size_t bytes)
{
    const size_t size = roundUp(bytes) + kHugePage;
    void* raw = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    return reinterpret_cast<void*>((start + kHugePage - 1) / kHugePage * kHugePage);
}

void discardPages(void* block, size_t bytes)
{
    if (block && bytes)
        madvise(block, bytes, MADV_DONTNEED);
}

}  // namespace platform::sys
