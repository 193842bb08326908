// A module that has pages backed ahead, so that a test can unload it while the backing thread
// it started lives on.
#include <sys/mman.h>

#include "platform/sys.h"

extern "C" __attribute__((visibility("default"))) bool probeBackPagesAhead()
{
    constexpr size_t kBytes = size_t(1) << 20;
    void* block = mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return false;
    platform::sys::prefaultPages(block, kBytes);
    platform::sys::forgetPrefault(block, kBytes);
    munmap(block, kBytes);
    return platform::sys::prefaultsPages();
}
