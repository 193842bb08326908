// The address space of the process under a limit, and the renderer's room in it.
#include "platform/AddressSpace.h"

#include <elf.h>
#include <link.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <vector>

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

// The arenas the user chose for the allocator (MALLOC_ARENA_MAX or glibc.malloc.arena_max), which
// the C library read when it started; 0 when none was chosen. Of two, the larger counts.
unsigned userArenaCount()
{
    unsigned count = 0;
    auto take = [&count](const char* text) {
        char* end = nullptr;
        const unsigned long n = std::strtoul(text, &end, 0);
        if (end != text && n > 0)
            count = std::max(count, unsigned(std::min<unsigned long>(n, 1u << 20)));
    };
    if (const char* value = std::getenv("MALLOC_ARENA_MAX"))
        take(value);
    if (const char* tunables = std::getenv("GLIBC_TUNABLES")) {
        static const char kName[] = "glibc.malloc.arena_max=";
        for (const char* at = std::strstr(tunables, kName); at != nullptr; at = std::strstr(at + 1, kName))
            if (at == tunables || at[-1] == ':')
                take(at + sizeof kName - 1);
    }
    return count;
}

// The threads that may each take an arena of their own: the renderer's (drawing and compute),
// the program's workers, and the main and loading threads.
size_t allocatingThreads(unsigned rendererThreads) { return 2 * size_t(rendererThreads) + workerCount() + 2; }

// Address space the arenas beyond the main one take, with the one being made at the time.
size_t arenaBytes(unsigned arenas, unsigned rendererThreads)
{
    const size_t used = std::min<size_t>(arenas, allocatingThreads(rendererThreads));
    return used > 1 ? used * kArenaBytes : 0;
}

// The stacks of the renderer's threads (a drawing and a compute thread for each).
size_t stackBytes(unsigned threads) { return rendererRoom(threads) - rendererRoom(0); }

bool softpipeChosen()
{
    const char* driver = std::getenv("GALLIUM_DRIVER");
    return driver != nullptr && std::strcmp(driver, "softpipe") == 0;
}

// Megabytes as the lines give them, MiB: what ulimit takes is that times 1,024 (it counts KiB).
// A limit is given in KiB beside them too, as the user typed it.
size_t megabytes(size_t bytes, bool up) { return (bytes + (up ? kMB - 1 : 0)) / kMB; }

// The address space the process has mapped.
size_t mappedBytes()
{
    unsigned long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu", &pages) != 1)
            pages = 0;
        std::fclose(f);
    }
    return size_t(pages) * size_t(sysconf(_SC_PAGESIZE));
}

// What of it the data-segment limit counts: the kernel's own count, VmData, in kB.
size_t dataBytes()
{
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
    return used;
}

}  // namespace

namespace {

// A soft limit in bytes; SIZE_MAX without one.
size_t softLimit(int resource)
{
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= SIZE_MAX)
        return SIZE_MAX;
    return size_t(limit.rlim_cur);
}

// What is left under a limit once `used()` is taken; SIZE_MAX without a limit.
template <class Used>
size_t leftUnder(size_t limit, Used used)
{
    if (limit == SIZE_MAX)
        return SIZE_MAX;
    const size_t taken = used();
    return limit > taken ? limit - taken : 0;
}

}  // namespace

size_t addressSpaceLimit() { return softLimit(RLIMIT_AS); }

size_t addressSpaceLeft() { return leftUnder(addressSpaceLimit(), mappedBytes); }

size_t dataSegmentLimit() { return softLimit(RLIMIT_DATA); }

size_t dataSegmentLeft() { return leftUnder(dataSegmentLimit(), dataBytes); }

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

size_t rendererDrawingRoom() { return kRendererWork; }

bool rendererHasRoom(unsigned threads)
{
    return addressSpaceLeft() >= rendererRoom(threads) && dataSegmentLeft() >= rendererRoom(threads);
}

size_t rendererRoom(unsigned threads)
{
    return 2 * size_t(threads) * threadStackBytes() + kRendererWork + (softpipeChosen() ? kSoftpipeWork : 0);
}

AddressSpacePlan planAddressSpace(size_t left, unsigned processors, unsigned userArenas)
{
    AddressSpacePlan plan;
    // The renderer takes its room while it draws the first frames, and every later step is begun
    // only while the room a step may ask is still free (rendererRoomLeft).
    plan.needed = rendererRoom(0) + kRendererWork + kLeastForModels + arenaBytes(userArenas, 0);
    // Of what is left beyond that, the threads' stacks take at most a quarter and the arenas an
    // eighth (the user's, for the threads more they serve, half with the stacks): the rest is
    // the models' and the renderer's.
    const size_t spare = left > plan.needed ? left - plan.needed : 0;
    // As many as the renderer makes by itself (none on one processor), or fewer.
    unsigned threads = processors > 1 ? std::min(processors, kMostRendererThreads) : 0;
    auto fits = [&](unsigned t) {
        return userArenas == 0 ? stackBytes(t) <= spare / 4
                               : stackBytes(t) + arenaBytes(userArenas, t) - arenaBytes(userArenas, 0) <= spare / 2;
    };
    while (threads > 0 && !fits(threads))
        --threads;
    plan.rendererThreads = threads;
    plan.mallocArenas = userArenas != 0 ? userArenas
                                        : unsigned(std::clamp<size_t>(spare / 8 / (2 * kArenaBytes), 1,
                                                                      8 * size_t(std::max(processors, 1u))));
    return plan;
}

AddressSpacePlan planDataSegment(size_t left, unsigned processors)
{
    // The arenas' heaps count only as far as they are used: the threads' stacks count whole, and
    // so do the renderer's buffers (the unthreaded one's included: it maps them writable).
    AddressSpacePlan plan = planAddressSpace(left, processors, 0);
    plan.mallocArenas = 0;
    return plan;
}

namespace {

// One shared object's file as the loader maps it: the address space of its segments (from the
// lowest to the end of the highest, in whole pages), the part of that the process may write,
// the libraries it names, and where it looks for them.
struct ObjectFile {
    size_t mapped = 0;
    size_t writable = 0;
    std::vector<std::string> needed;
    std::vector<std::string> searchPath;
};

bool readObjectFile(const std::string& path, ObjectFile& object)
{
    std::ifstream in(path, std::ios::binary);
    Elf64_Ehdr header{};
    if (!in.read(reinterpret_cast<char*>(&header), sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum > 256)
        return false;
    std::vector<Elf64_Phdr> segments(header.e_phnum);
    in.seekg(std::streamoff(header.e_phoff));
    if (!in.read(reinterpret_cast<char*>(segments.data()), std::streamsize(segments.size() * sizeof(Elf64_Phdr))))
        return false;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    size_t low = SIZE_MAX, high = 0;
    const Elf64_Phdr* dynamic = nullptr;
    for (const Elf64_Phdr& segment : segments) {
        if (segment.p_type == PT_DYNAMIC)
            dynamic = &segment;
        if (segment.p_type != PT_LOAD)
            continue;
        low = std::min(low, size_t(segment.p_vaddr) / page * page);
        high = std::max(high, size_t(segment.p_vaddr + segment.p_memsz + page - 1) / page * page);
        if (segment.p_flags & PF_W)
            object.writable += size_t(segment.p_vaddr % page + segment.p_memsz + page - 1) / page * page;
    }
    object.mapped = high > low ? high - low : 0;
    if (dynamic == nullptr)
        return true;
    // The dynamic section's addresses are where the segments are loaded: back to the file.
    auto fileOffset = [&](uint64_t address) -> std::streamoff {
        for (const Elf64_Phdr& segment : segments)
            if (segment.p_type == PT_LOAD && address >= segment.p_vaddr && address < segment.p_vaddr + segment.p_filesz)
                return std::streamoff(address - segment.p_vaddr + segment.p_offset);
        return -1;
    };
    std::vector<Elf64_Dyn> entries(std::min<size_t>(dynamic->p_filesz / sizeof(Elf64_Dyn), 4096));
    in.seekg(std::streamoff(dynamic->p_offset));
    if (!in.read(reinterpret_cast<char*>(entries.data()), std::streamsize(entries.size() * sizeof(Elf64_Dyn))))
        return true;
    std::streamoff strings = -1;
    for (const Elf64_Dyn& entry : entries)
        if (entry.d_tag == DT_STRTAB)
            strings = fileOffset(entry.d_un.d_ptr);
    if (strings < 0)
        return true;
    auto stringAt = [&](uint64_t at) {
        std::string text;
        in.clear();
        in.seekg(strings + std::streamoff(at));
        std::getline(in, text, '\0');
        return text;
    };
    const std::string folder = path.substr(0, path.rfind('/') == std::string::npos ? 0 : path.rfind('/'));
    for (const Elf64_Dyn& entry : entries) {
        if (entry.d_tag == DT_NEEDED)
            object.needed.push_back(stringAt(entry.d_un.d_val));
        if (entry.d_tag == DT_RUNPATH || entry.d_tag == DT_RPATH) {
            std::string list = stringAt(entry.d_un.d_val);
            for (size_t from = 0; from <= list.size();) {
                const size_t to = std::min(list.find(':', from), list.size());
                std::string dir = list.substr(from, to - from);
                if (dir.rfind("$ORIGIN", 0) == 0)
                    dir = folder + dir.substr(7);
                if (!dir.empty())
                    object.searchPath.push_back(dir);
                from = to + 1;
            }
        }
    }
    return true;
}

}  // namespace

ProcessSize sizeOnceLoaded(const std::string& path)
{
    // What the process holds already (its own libraries) is mapped once only.
    std::set<std::string> loaded;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* names) {
            const std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
            static_cast<std::set<std::string>*>(names)->insert(name.substr(name.rfind('/') + 1));
            return 0;
        },
        &loaded);
    std::vector<std::string> defaults;
    if (const char* list = std::getenv("LD_LIBRARY_PATH"))
        for (const char* at = list; *at != '\0';) {
            const char* end = std::strchr(at, ':');
            defaults.emplace_back(at, end != nullptr ? size_t(end - at) : std::strlen(at));
            at = end != nullptr ? end + 1 : at + std::strlen(at);
        }
    for (const char* dir : {"/lib/x86_64-linux-gnu", "/usr/lib/x86_64-linux-gnu", "/lib/aarch64-linux-gnu",
                            "/usr/lib/aarch64-linux-gnu", "/lib64", "/usr/lib64", "/lib", "/usr/lib"})
        defaults.emplace_back(dir);
    ProcessSize size{mappedBytes(), dataBytes()};
    std::vector<std::pair<std::string, std::vector<std::string>>> pending = {{path, {}}};
    std::set<std::string> seen;
    while (!pending.empty()) {
        auto [name, search] = pending.back();
        pending.pop_back();
        ObjectFile object;
        std::string file = name;
        if (name.find('/') == std::string::npos) {
            file.clear();
            for (const std::vector<std::string>* dirs : {&search, &defaults})
                for (const std::string& dir : *dirs)
                    if (file.empty() && access((dir + "/" + name).c_str(), R_OK) == 0)
                        file = dir + "/" + name;
        }
        if (file.empty() || !readObjectFile(file, object))
            continue;
        size.mapped += object.mapped;
        size.writable += object.writable;
        for (const std::string& needed : object.needed)
            if (loaded.count(needed) == 0 && seen.insert(needed).second)
                pending.push_back({needed, object.searchPath});
    }
    return size;
}

namespace {

// What the process holds under each limit (of what it will hold, with atLeast), and what is left.
struct Room {
    size_t addressLimit = addressSpaceLimit();
    size_t dataLimit = dataSegmentLimit();
    size_t mapped = 0;
    size_t data = 0;
    size_t addressLeft() const { return addressLimit > mapped ? addressLimit - mapped : 0; }
    size_t dataLeft() const { return dataLimit > data ? dataLimit - data : 0; }
};

Room roomWith(ProcessSize atLeast)
{
    Room room;
    if (room.addressLimit != SIZE_MAX)
        room.mapped = std::max(mappedBytes(), atLeast.mapped);
    if (room.dataLimit != SIZE_MAX)
        room.data = std::max(dataBytes(), atLeast.writable);
    return room;
}

// The renderer threads the plan gives under both limits.
unsigned plannedThreads(const Room& room, unsigned processors, unsigned userArenas)
{
    unsigned threads = processors > 1 ? std::min(processors, kMostRendererThreads) : 0;
    if (room.addressLimit != SIZE_MAX)
        threads = std::min(threads, planAddressSpace(room.addressLeft(), processors, userArenas).rendererThreads);
    if (room.dataLimit != SIZE_MAX)
        threads = std::min(threads, planDataSegment(room.dataLeft(), processors).rendererThreads);
    return threads;
}

}  // namespace

namespace {

// The line of memoryShortfallReason, given only where the limit falls short by more than `slack`
// (the figure it names is the whole).
ReasonText shortfall(ProcessSize atLeast, bool planned, size_t slack)
{
    const Room room = roomWith(atLeast);
    const unsigned processors = processorsAvailable();
    const unsigned userArenas = userArenaCount();
    // With the threads the renderer will make and the arenas the allocator may, the user's
    // counts included.
    unsigned threads = rendererThreads();
    if (planned && std::getenv("LP_NUM_THREADS") == nullptr)
        threads = std::min(threads, plannedThreads(room, processors, userArenas));
    if (room.addressLimit != SIZE_MAX) {
        const AddressSpacePlan plan = planAddressSpace(room.addressLeft(), processors, userArenas);
        const size_t needed = room.mapped + plan.needed + stackBytes(threads) +
                              (arenaBytes(userArenas, threads) - arenaBytes(userArenas, 0));
        if (room.addressLimit + slack < needed)
            return reasonText(Reason::AddressSpaceTooSmall, megabytes(room.addressLimit, false), room.addressLimit / 1024,
                              megabytes(needed, true), megabytes(needed, true) * 1024);
    }
    if (room.dataLimit != SIZE_MAX) {
        const size_t needed = room.data + planDataSegment(room.dataLeft(), processors).needed + stackBytes(threads);
        if (room.dataLimit + slack < needed)
            return reasonText(Reason::DataSegmentTooSmall, megabytes(room.dataLimit, false), room.dataLimit / 1024,
                              megabytes(needed, true), megabytes(needed, true) * 1024);
    }
    return {};
}

}  // namespace

ReasonText memoryShortfallReason(ProcessSize atLeast, bool planned) { return shortfall(atLeast, planned, 0); }

ReasonText rendererStartShortfall()
{
    // What the host made since its program named the figure (a window, its image) is less than
    // what the figure keeps for the models.
    return shortfall({}, false, kLeastForModels);
}

ReasonText fitToAddressSpace()
{
    const Room room = roomWith({});
    if (room.addressLimit == SIZE_MAX && room.dataLimit == SIZE_MAX)
        return {};
    const unsigned processors = processorsAvailable();
    const unsigned userArenas = userArenaCount();
    // The arenas cost address space only: the data-segment limit counts what they hold.
    if (room.addressLimit != SIZE_MAX && userArenas == 0)
        mallopt(M_ARENA_MAX, int(planAddressSpace(room.addressLeft(), processors, 0).mallocArenas));
    if (std::getenv("LP_NUM_THREADS") == nullptr)
        setenv("LP_NUM_THREADS", std::to_string(plannedThreads(room, processors, userArenas)).c_str(), 1);
    return memoryShortfallReason();
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
namespace {

struct SpareRanges {
    std::mutex mutex;
    std::vector<size_t (*)()> giveBack;
};

SpareRanges& spareRanges()
{
    static SpareRanges* ranges = new SpareRanges;  // never destroyed: pools outlive static destruction
    return *ranges;
}

size_t giveBackSpareRanges()
{
    std::vector<size_t (*)()> holders;
    {
        std::lock_guard<std::mutex> lock(spareRanges().mutex);
        holders = spareRanges().giveBack;
    }
    // Out of the lock: a holder takes its own, which it may hold while it registers.
    size_t given = 0;
    for (size_t (*giveBack)() : holders)
        given += giveBack();
    return given;
}

}  // namespace

void holdSpareRange(size_t (*giveBack)())
{
    std::lock_guard<std::mutex> lock(spareRanges().mutex);
    spareRanges().giveBack.push_back(giveBack);
}

bool rendererRoomLeftAfter(MemoryKind kind, size_t bytes)
{
    // What one step may ask: the unthreaded renderer's caches are made once, with the first frame.
    const size_t left = kind == MemoryKind::AddressSpace ? addressSpaceLeft() : dataSegmentLeft();
    return left == SIZE_MAX || left >= rendererDrawingRoom() + bytes;
}

bool rendererRoomLeft()
{
    if (addressSpaceLimit() == SIZE_MAX && dataSegmentLimit() == SIZE_MAX)
        return true;
    if (!rendererRoomLeftAfter(MemoryKind::Writable, 0))
        return false;
    // Reserved and unused, the pools' ranges count against ulimit -v all the same (not against
    // ulimit -d: they are inaccessible).
    return rendererRoomLeftAfter(MemoryKind::AddressSpace, 0) ||
           (giveBackSpareRanges() > 0 && rendererRoomLeftAfter(MemoryKind::AddressSpace, 0));
}

}  // namespace platform::sys
