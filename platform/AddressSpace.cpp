// The address space of the process under a limit, and the renderer's room in it.
#include "platform/AddressSpace.h"

#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Parallel.h"

namespace platform::sys {
namespace {

constexpr size_t kMB = size_t(1) << 20;
// The most threads the renderer makes, whatever it is told.
constexpr unsigned kMostRendererThreads = 32;
// What the renderer asks beyond its threads' stacks while it draws: the shaders it compiles
// (and the compiler's own memory meanwhile), the frame's buffers and its lists of commands.
constexpr size_t kRendererWork = 96 * kMB;
// What the unthreaded renderer (GALLIUM_DRIVER=softpipe) asks beyond that: its caches of tiles
// and its copies of a frame's buffers, about 160 MB of memory and 400 MB of address space more.
constexpr size_t kSoftpipeWork = 400 * kMB;
// The least a model is given: the record pools' smallest ranges and the heap of a small model.
constexpr size_t kLeastForModels = 64 * kMB;
// The allocator reserves this much for each of its arenas (a thread's heap), and maps twice
// as much for a moment while it makes one.
constexpr size_t kArenaBytes = 64 * kMB;

// The stack a thread gets when its maker asks for no size (the renderer's threads), with its
// guard page.
size_t threadStackBytes()
{
    size_t bytes = 8 * kMB;
    pthread_attr_t attr;
    if (pthread_getattr_default_np(&attr) == 0) {
        pthread_attr_getstacksize(&attr, &bytes);
        pthread_attr_destroy(&attr);
    }
    return bytes + size_t(sysconf(_SC_PAGESIZE));
}

// Whether the user chose the allocator's arenas, which the C library read when it started.
bool userChoseArenas()
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    return std::getenv("MALLOC_ARENA_MAX") != nullptr ||
           (tunables != nullptr && std::strstr(tunables, "glibc.malloc.arena_max") != nullptr);
}

bool softpipeChosen()
{
    const char* driver = std::getenv("GALLIUM_DRIVER");
    return driver != nullptr && std::strcmp(driver, "softpipe") == 0;
}

size_t megabytes(size_t bytes, bool up) { return (bytes + (up ? kMB - 1 : 0)) / kMB; }

}  // namespace

size_t addressSpaceLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= SIZE_MAX)
        return SIZE_MAX;
    return size_t(limit.rlim_cur);
}

size_t addressSpaceLeft()
{
    const size_t limit = addressSpaceLimit();
    if (limit == SIZE_MAX)
        return SIZE_MAX;
    unsigned long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu", &pages) != 1)
            pages = 0;
        std::fclose(f);
    }
    const size_t used = size_t(pages) * size_t(sysconf(_SC_PAGESIZE));
    return limit > used ? limit - used : 0;
}

size_t dataSegmentLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_DATA, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= SIZE_MAX)
        return SIZE_MAX;
    return size_t(limit.rlim_cur);
}

size_t dataSegmentLeft()
{
    const size_t limit = dataSegmentLimit();
    if (limit == SIZE_MAX)
        return SIZE_MAX;
    // The kernel's own count of what the limit holds: VmData, in kB.
    size_t used = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f) != nullptr) {
            unsigned long kb = 0;
            if (std::sscanf(line, "VmData: %lu kB", &kb) == 1) {
                used = size_t(kb) * 1024;
                break;
            }
        }
        std::fclose(f);
    }
    return limit > used ? limit - used : 0;
}

unsigned rendererThreads()
{
    // Only the threaded renderer, the one chosen when the variable is unset or empty, makes any.
    if (const char* driver = std::getenv("GALLIUM_DRIVER"); driver != nullptr && *driver != '\0' &&
                                                             std::strcmp(driver, "llvmpipe") != 0)
        return 0;
    // Read as the renderer reads it: a number in any C base (a negative one, as unsigned, is past
    // the most), the default when there is none.
    if (const char* text = std::getenv("LP_NUM_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 0);
        if (end != text)
            return n < 0 ? kMostRendererThreads : unsigned(std::min<long>(n, kMostRendererThreads));
    }
    // On one processor it draws on the caller.
    const unsigned processors = processorsAvailable();
    return processors > 1 ? std::min(processors, kMostRendererThreads) : 0;
}

size_t rendererRoom(unsigned threads)
{
    return 2 * size_t(threads) * threadStackBytes() + kRendererWork + (softpipeChosen() ? kSoftpipeWork : 0);
}

AddressSpacePlan planAddressSpace(size_t left, unsigned processors)
{
    AddressSpacePlan plan;
    plan.needed = rendererRoom(0) + kLeastForModels;
    // Of what is left beyond that, the threads' stacks take at most a quarter and the arenas an
    // eighth: the rest is the models' and the renderer's.
    const size_t spare = left > plan.needed ? left - plan.needed : 0;
    const size_t perThread = rendererRoom(1) - rendererRoom(0);
    // As many as the renderer makes by itself (none on one processor), or fewer.
    const unsigned wanted = processors > 1 ? std::min(processors, kMostRendererThreads) : 0;
    plan.rendererThreads = unsigned(std::min<size_t>(wanted, spare / 4 / perThread));
    plan.mallocArenas = unsigned(std::clamp<size_t>(spare / 8 / (2 * kArenaBytes), 1, 8 * size_t(std::max(processors, 1u))));
    return plan;
}

std::string fitToAddressSpace()
{
    const size_t limit = addressSpaceLimit();
    if (limit == SIZE_MAX)
        return "";
    const size_t left = addressSpaceLeft();
    const AddressSpacePlan plan = planAddressSpace(left, processorsAvailable());
    if (!userChoseArenas())
        mallopt(M_ARENA_MAX, int(plan.mallocArenas));
    if (std::getenv("LP_NUM_THREADS") == nullptr)
        setenv("LP_NUM_THREADS", std::to_string(plan.rendererThreads).c_str(), 1);
    // With the threads the renderer will make, the user's count included.
    const size_t needed = (limit - left) + plan.needed + rendererRoom(rendererThreads()) - rendererRoom(0);
    if (limit >= needed)
        return "";
    return "the address-space limit of " + std::to_string(megabytes(limit, false)) +
           " MB (ulimit -v) is too small: drawing a model needs at least " + std::to_string(megabytes(needed, true)) +
           " MB";
}

size_t addressRangeBudget()
{
    static const size_t budget = [] {
        const size_t left = addressSpaceLeft();
        if (left == SIZE_MAX)
            return SIZE_MAX;
        return left > kRendererWork ? (left - kRendererWork) / 2 : 0;
    }();
    return budget;
}

}  // namespace platform::sys

namespace platform::sys {

bool rendererRoomLeft()
{
    if (addressSpaceLimit() == SIZE_MAX && dataSegmentLimit() == SIZE_MAX)
        return true;
    const size_t room = rendererRoom(0);
    return addressSpaceLeft() >= room && dataSegmentLeft() >= room;
}

}  // namespace platform::sys
