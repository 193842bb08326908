// Large memory blocks for record pools, backed by transparent huge pages.
#include "platform/sys.h"

#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/AddressSpace.h"
#include "platform/Parallel.h"

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // older headers; a system without it answers EINVAL
#endif

namespace platform::sys {
namespace {

constexpr size_t kHugePage = size_t(2) << 20;

size_t roundUp(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

// Clearing a huge page the system has at hand takes a fraction of a millisecond; small pages
// for the same 2 MB about one. Above this, a huge page cost more than it saves.
constexpr auto kCheapHugePage = std::chrono::microseconds(1500);
constexpr int kCostlyHugePagesToStop = 2;
std::atomic<int> costlyHugePages{0};

// The thread that backs pages ahead of the threads filling them. It takes the newest block first
// (an older one is being filled already, its owner faulting in what is not there yet) and works in
// steps, so that a block given back waits at most for one step.
constexpr size_t kPage = 4096;
constexpr size_t kPrefaultStep = size_t(256) << 10;

struct Prefaulter {
    std::mutex mutex;
    std::condition_variable queued;
    std::condition_variable stepDone;
    std::vector<std::pair<uintptr_t, uintptr_t>> blocks;  // [from, to), page-aligned, newest last
    uintptr_t busyFrom = 0;  // the step under way
    uintptr_t busyTo = 0;
    bool running = false;
};

// Never destroyed: the thread outlives static destruction and waits on it until the process ends.
Prefaulter*& prefaulter()
{
    static Prefaulter* p = new Prefaulter;
    return p;
}

void prefaultLoop(Prefaulter* p)
{
    // Signals meant for the program go to the threads that handle them, never to this one.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    pthread_setname_np(pthread_self(), "prefault");
    std::unique_lock<std::mutex> lock(p->mutex);
    for (;;) {
        p->queued.wait(lock, [p] { return !p->blocks.empty(); });
        auto& [from, to] = p->blocks.back();
        p->busyFrom = from;
        p->busyTo = std::min(to, from + kPrefaultStep);
        if (p->busyTo == to)
            p->blocks.pop_back();
        else
            from = p->busyTo;
        lock.unlock();
        // Fails harmlessly where a part of the range is gone; never changes a byte.
        madvise(reinterpret_cast<void*>(p->busyFrom), p->busyTo - p->busyFrom, MADV_POPULATE_WRITE);
        lock.lock();
        p->busyFrom = p->busyTo = 0;
        p->stepDone.notify_all();
    }
}

// The thread and the fork handler run this code for the rest of the process's life, so the
// object holding it (the viewer's module, when it is one) stays loaded even when its host
// unloads it: otherwise the idle thread would wake into unmapped code.
void keepThisCodeLoaded()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&keepThisCodeLoaded), &info) != 0 && info.dli_fname != nullptr)
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

bool systemPrefaults()
{
    static const bool able = [] {
        void* page = mmap(nullptr, kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (page == MAP_FAILED)
            return false;
        const bool ok = madvise(page, kPage, MADV_POPULATE_WRITE) == 0;
        munmap(page, kPage);
        if (ok) {
            keepThisCodeLoaded();
            // A child process starts without the thread: it gets one of its own when needed.
            pthread_atfork(nullptr, nullptr, [] { prefaulter() = new Prefaulter; });
        }
        return ok;
    }();
    return able;
}

}  // namespace

bool prefaultsPages() { return systemPrefaults(); }

void prefaultPages(void* block, size_t bytes)
{
    const uintptr_t from = (reinterpret_cast<uintptr_t>(block) + kPage - 1) / kPage * kPage;
    const uintptr_t to = (reinterpret_cast<uintptr_t>(block) + bytes) / kPage * kPage;
    if (!block || to <= from || !systemPrefaults())
        return;
    Prefaulter* p = prefaulter();
    {
        std::lock_guard<std::mutex> lock(p->mutex);
        if (!p->running) {
            try {
                std::thread(prefaultLoop, p).detach();
            } catch (const std::system_error&) {
                return;  // no thread to be had: the pages are backed as they are first written
            }
            p->running = true;
        }
        p->blocks.push_back({from, to});
    }
    p->queued.notify_one();
}

void forgetPrefault(void* block, size_t bytes) noexcept
{
    if (!block || !bytes || !systemPrefaults())
        return;
    const uintptr_t from = reinterpret_cast<uintptr_t>(block);
    const uintptr_t to = from + bytes;
    Prefaulter* p = prefaulter();
    std::unique_lock<std::mutex> lock(p->mutex);
    if (!p->running)
        return;
    // Keep what lies outside the range, whole pages only. Backing ahead is only a hint, so
    // without the room to list what is kept the queue is dropped whole: callers free their
    // blocks right after, and a throw here would leave them half given back.
    try {
        std::vector<std::pair<uintptr_t, uintptr_t>> kept;
        for (const auto& [a, b] : p->blocks) {
            if (b <= from || a >= to) {
                kept.push_back({a, b});
                continue;
            }
            if (a < from && from / kPage * kPage > a)
                kept.push_back({a, from / kPage * kPage});
            if (b > to && (to + kPage - 1) / kPage * kPage < b)
                kept.push_back({(to + kPage - 1) / kPage * kPage, b});
        }
        p->blocks.swap(kept);
    } catch (const std::bad_alloc&) {
        p->blocks.clear();
    }
    p->stepDone.wait(lock, [&] { return p->busyTo <= from || p->busyFrom >= to; });
}

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
    adviseHugePages(block, size);
    return block;
}

void freeLargeBlock(void* block, size_t bytes)
{
    if (block)
        munmap(block, roundUp(bytes));
}

void* reserveAddressRange(size_t bytes)
{
    // Under a limit of address space a range takes at most half of what the renderer leaves:
    // the heap and the other ranges need theirs (the caller asks again for less).
    if (!rendererRoomLeftAfter(MemoryKind::AddressSpace, 2 * bytes))
        return nullptr;
    const size_t size = roundUp(bytes) + kHugePage;
    // Inaccessible until committed: a data-segment limit counts only what is made writable.
    void* raw = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    return reinterpret_cast<void*>((start + kHugePage - 1) / kHugePage * kHugePage);
}

bool commitAddressRange(void* block, size_t bytes)
{
    if (!block || !bytes)
        return true;
    // Under a data-segment limit the renderer keeps the room it asks for while it draws: a
    // pool that took it would have the renderer's compiler abort the process.
    if (!rendererRoomLeftAfter(MemoryKind::Writable, bytes))
        return false;
    return mprotect(block, bytes, PROT_READ | PROT_WRITE) == 0;
}

bool reserveAddressRangeAt(void* at, size_t bytes)
{
    if (!at || !bytes)
        return true;
    if (!rendererRoomLeftAfter(MemoryKind::AddressSpace, 2 * bytes))
        return false;
    void* got = mmap(at, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED_NOREPLACE, -1, 0);
    if (got == MAP_FAILED)
        return false;
    if (got != at) {
        // A kernel older than the flag takes the address as a hint only.
        munmap(got, bytes);
        return false;
    }
    return true;
}

void releaseAddressRange(void* block, size_t bytes)
{
    if (block && bytes)
        munmap(block, bytes);
}

void discardPages(void* block, size_t bytes)
{
    if (block && bytes)
        madvise(block, bytes, MADV_DONTNEED);
}

void discardPagesOfBlocks(std::vector<std::pair<void*, size_t>> blocks)
{
    // A piece frees this much at least: starting a thread costs what freeing a few hundred
    // kilobytes does, and the threads contend for the system's page lists beyond a few.
    constexpr size_t kPieceBytes = size_t(32) << 20;
    std::erase_if(blocks, [](const std::pair<void*, size_t>& b) { return b.first == nullptr || b.second == 0; });
    std::sort(blocks.begin(), blocks.end());
    // [from, to) in whole pages (blocks start on one, as for discardPages), apart from each other.
    std::vector<std::pair<uintptr_t, uintptr_t>> ranges;
    for (const auto& [block, bytes] : blocks) {
        const uintptr_t from = reinterpret_cast<uintptr_t>(block);
        const uintptr_t to = (from + bytes + kPage - 1) / kPage * kPage;
        if (!ranges.empty() && from <= ranges.back().second)
            ranges.back().second = std::max(ranges.back().second, to);
        else
            ranges.push_back({from, to});
    }
    // Cut by bytes, in whole pages: ends[i] is the number of bytes up to the end of range i.
    std::vector<size_t> ends;
    size_t total = 0;
    for (const auto& [from, to] : ranges)
        ends.push_back(total += to - from);
    const size_t pages = total / kPage;
    runInPieces(pages, piecesFor(pages, kPieceBytes / kPage), [&](size_t, size_t begin, size_t end) {
        const size_t lo = begin * kPage, hi = end * kPage;
        size_t i = size_t(std::upper_bound(ends.begin(), ends.end(), lo) - ends.begin());
        for (; i < ranges.size() && ends[i] - (ranges[i].second - ranges[i].first) < hi; ++i) {
            const size_t start = ends[i] - (ranges[i].second - ranges[i].first);
            const uintptr_t from = ranges[i].first + (std::max(lo, start) - start);
            const uintptr_t to = ranges[i].first + (std::min(hi, ends[i]) - start);
            if (to > from)
                madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
        }
    });
}

void discardWholePages(void* begin, void* end)
{
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + page - 1) / page * page;
    const uintptr_t last = reinterpret_cast<uintptr_t>(end) / page * page;
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

void returnFreedMemory() { malloc_trim(0); }

void keepToSmallPages() { costlyHugePages.store(kCostlyHugePagesToStop, std::memory_order_relaxed); }

void adviseHugePages(void* block, size_t bytes)
{
    if (!block || bytes < kHugePage)
        return;
    if (costlyHugePages.load(std::memory_order_relaxed) >= kCostlyHugePagesToStop) {
        // A range asked for huge pages once keeps asking when it is used again: undo that.
        madvise(block, bytes, MADV_NOHUGEPAGE);
        return;
    }
    if (madvise(block, bytes, MADV_HUGEPAGE) != 0)
        return;  // a hint only: without huge pages the block still works
    // The first write backs the first huge page; one that leaves the byte as it is.
    const auto start = std::chrono::steady_clock::now();
    __atomic_fetch_add(static_cast<char*>(block), char(0), __ATOMIC_RELAXED);
    if (std::chrono::steady_clock::now() - start > kCheapHugePage &&
        costlyHugePages.fetch_add(1, std::memory_order_relaxed) + 1 >= kCostlyHugePagesToStop)
        madvise(block, bytes, MADV_NOHUGEPAGE);  // the rest of this block on small pages too
}

}  // namespace platform::sys
