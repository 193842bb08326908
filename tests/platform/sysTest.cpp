// Tests of the operating-system services: sinks, overridable folders, the test clock and starting
// programs.
#include "platform/sys.h"
#include "platform/AddressSpace.h"
#include "platform/Parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <dlfcn.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/mman.h>
#include <thread>

#include "tests/support/ChildExit.h"
#include "tests/support/FailingAllocation.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

using namespace platform::sys;

TEST(Sys, MessageBoxGoesToTheInstalledSink)
{
    std::string seen;
    auto previous = setMessageBoxSink([&](const std::string& text, const std::string& caption, unsigned) {
        seen = caption + "|" + text;
        return 7;
    });
    EXPECT_EQ(messageBox("hello", "Title"), 7);
    EXPECT_EQ(seen, "Title|hello");
    setMessageBoxSink(previous);
}

TEST(Sys, EscapingShowsControlsAndBytesThatAreNoUtf8AsEscapesAndKeepsOtherText)
{
    const struct {
        const char* what;
        std::string text;
        const char* shown;
    } cases[] = {
        {"plain text and backslashes", "C:\\models\\a b.stl", "C:\\models\\a b.stl"},
        {"C0 controls and DEL", std::string("a\nb\rc\td\x1b[31m\x7f\0e", 15), "a\\nb\\rc\\td\\x1b[31m\\x7f\\x00e"},
        {"UTF-8 of two, three and four bytes", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf",
         "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf"},
        {"the first and last C1 controls, and the first letter after them", "\xc2\x80 \xc2\x9f \xc2\xa0",
         "\\xc2\\x80 \\xc2\\x9f \xc2\xa0"},
        {"C1 controls as single bytes", "\x85\x9b[2J", "\\x85\\x9b[2J"},
        {"stray continuation bytes", "a\x80\xbf", "a\\x80\\xbf"},
        {"overlong forms", "\xc0\xaf \xc1\xbf \xe0\x80\xaf \xf0\x8f\xbf\xbf",
         "\\xc0\\xaf \\xc1\\xbf \\xe0\\x80\\xaf \\xf0\\x8f\\xbf\\xbf"},
        {"surrogates", "\xed\xa0\x80 \xed\xbf\xbf \xed\x9f\xbf", "\\xed\\xa0\\x80 \\xed\\xbf\\xbf \xed\x9f\xbf"},
        {"beyond U+10FFFF and bytes never used", "\xf4\x90\x80\x80 \xf5\x80 \xfe\xff",
         "\\xf4\\x90\\x80\\x80 \\xf5\\x80 \\xfe\\xff"},
        // F5 to F7 would start four bytes beyond U+10FFFF: never UTF-8, however many follow.
        {"lead bytes F5 to F7 before three continuation bytes", "\xf5\x80\x80\x80 \xf6\x90\x80\x80 \xf7\xbf\xbf\xbf",
         "\\xf5\\x80\\x80\\x80 \\xf6\\x90\\x80\\x80 \\xf7\\xbf\\xbf\\xbf"},
        {"sequences cut short, at the end too", "\xe2\x82x \xf0\x9f\x98", "\\xe2\\x82x \\xf0\\x9f\\x98"},
        {"a lead byte before a line end", "\xc3\n", "\\xc3\\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(escapeControlCharacters(c.text), c.shown);
    }
}

TEST(Sys, FolderOverridesReplaceAndRestoreTheDefaults)
{
    overrideTempFolder("/somewhere");
    EXPECT_EQ(tempFolder(), "/somewhere");
    overrideTempFolder("");
    EXPECT_FALSE(tempFolder().empty());
    EXPECT_EQ(systemFolder(), "/etc");
}

TEST(Sys, TestClockIsUsedUntilRemoved)
{
    uint32_t now = 1000;
    setTestClock([&] { return now; });
    EXPECT_EQ(tickCount(), 1000u);
    now += 25;
    EXPECT_EQ(tickCount(), 1025u);
    setTestClock(nullptr);
}

TEST(Sys, ModuleFileNameIsThisProgram)
{
    EXPECT_NE(moduleFileName().find("sysTest"), std::string::npos);
}

// A browser started for the first time stays in the foreground of the opener until it is
// closed; the caller (a dialog's link, the control's thread) must not wait for it.
TEST(Sys, OpenersStartTheirProgramWithoutWaitingForIt)
{
    TempDir dir;
    const std::string seen = dir.file("seen");
    const std::string stop = dir.file("stop");
    // Records its arguments, one a line, then stays running like a browser until the test
    // lets it go (or two minutes passed), and says so when it ends.
    for (const char* name : {"xdg-open", "browser"}) {
        const std::string script = dir.write(
            name, "#!/bin/sh\nexec </dev/null >/dev/null 2>&1\nfor a in \"$@\"; do echo \"$a\"; done >> '" + seen +
                      "'\ni=0\nwhile [ ! -e '" + stop + "' ] && [ $i -lt 1200 ]; do sleep 0.1; i=$((i+1)); done\n" +
                      "echo ended >> '" + seen + "'\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }
    const std::string path = dir.path() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    ScopedEnv env("PATH", path.c_str());

    EXPECT_TRUE(openUrl("http://example.test/a b"));
    EXPECT_TRUE(launchProgram("browser", {"http://example.test/?q=\"x\";$HOME"}));
    EXPECT_FALSE(launchProgram("", {"x"}));
    EXPECT_FALSE(launchProgram("no-such-program-here", {"x"}));

    // Both ran, each with its one argument as given (no shell in between), and both still run:
    // the calls came back without waiting for them.
    std::string lines;
    const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < patience) {
        lines = TempDir::read(seen);
        if (std::count(lines.begin(), lines.end(), '\n') >= 2)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_NE(lines.find("http://example.test/a b\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("http://example.test/?q=\"x\";$HOME\n"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("ended"), std::string::npos) << lines;
    // Let them go, and see them end before their folder does.
    dir.write("stop", "");
    while (std::chrono::steady_clock::now() < patience) {
        lines = TempDir::read(seen);
        const size_t first = lines.find("ended\n");
        if (first != std::string::npos && lines.find("ended\n", first + 1) != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// However the system answers the huge-page requests (cheaply, dearly, or not at all), large
// blocks come zeroed and keep what is written to them, and asking again changes no byte.
TEST(Sys, LargeBlocksAreZeroedAndKeepTheirBytesWhateverThePageSize)
{
    constexpr size_t kBytes = size_t(6) << 20;
    for (int round = 0; round < 6; ++round) {
        unsigned char* block = static_cast<unsigned char*>(allocateLargeBlock(kBytes));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (size_t(2) << 20), 0u);
        for (size_t at : {size_t(0), size_t(4095), kBytes / 2, kBytes - 1})
            EXPECT_EQ(block[at], 0u) << at;
        for (size_t at = 0; at < kBytes; at += 4096)
            block[at] = static_cast<unsigned char>(at / 4096 + round);
        adviseHugePages(block, kBytes);
        for (size_t at = 0; at < kBytes; at += 4096)
            ASSERT_EQ(block[at], static_cast<unsigned char>(at / 4096 + round)) << at;
        freeLargeBlock(block, kBytes);
    }
}

namespace {

// Pages of [block, block + bytes) the system has backed.
size_t residentPages(void* block, size_t bytes)
{
    std::vector<unsigned char> in((bytes + 4095) / 4096);
    if (mincore(block, bytes, in.data()) != 0)
        return 0;
    return size_t(std::count_if(in.begin(), in.end(), [](unsigned char c) { return c & 1; }));
}

// Small pages only, whatever the system does by default.
void* mapPages(size_t bytes)
{
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != MAP_FAILED)
        madvise(p, bytes, MADV_NOHUGEPAGE);
    return p;
}

bool waitUntilResident(void* block, size_t bytes)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (residentPages(block, bytes) < bytes / 4096) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace

// Pages backed ahead keep the bytes written before and read as zeros elsewhere; a block given up
// before its turn (or in the middle of it) is not backed again once forgotten and discarded, while
// blocks queued before it still are.
TEST(Sys, PagesBackedAheadKeepTheirBytesAndStopWhenForgotten)
{
    if (!prefaultsPages())
        GTEST_SKIP() << "the system backs no pages ahead";
    constexpr size_t kSmall = size_t(1) << 20, kLarge = size_t(64) << 20;
    for (int round = 0; round < 8; ++round) {
        auto* earlier = static_cast<unsigned char*>(mapPages(kSmall));
        auto* given = static_cast<unsigned char*>(mapPages(kLarge));
        ASSERT_NE(earlier, MAP_FAILED);
        ASSERT_NE(given, MAP_FAILED);
        for (size_t at = 0; at < kSmall / 2; at += 4096)
            earlier[at + 5] = static_cast<unsigned char>(at / 4096 + round + 1);
        prefaultPages(earlier + 100, kSmall - 100);  // whole pages within: all but the first
        prefaultPages(given, kLarge);                // the newest: under way first
        if (round % 2) {  // caught in the middle of a step, most likely
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (residentPages(given, 4096) == 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
        }
        forgetPrefault(given, kLarge);
        discardPages(given, kLarge);
        ASSERT_TRUE(waitUntilResident(earlier + 4096, kSmall - 4096));
        EXPECT_EQ(residentPages(given, kLarge), 0u);
        for (size_t at = 0; at < kSmall; at += 4096)
            ASSERT_EQ(earlier[at + 5], at < kSmall / 2 ? static_cast<unsigned char>(at / 4096 + round + 1) : 0) << at;
        forgetPrefault(earlier, kSmall);
        munmap(earlier, kSmall);
        munmap(given, kLarge);
    }
}

// Blocks are forgotten on the way to being freed, where a throw would leave them half given
// back: short of memory, the queue is dropped instead, and nothing of the block is backed after.
TEST(Sys, ForgettingABlockWithoutRoomThrowsNothingAndStillStopsItsBacking)
{
    if (!prefaultsPages())
        GTEST_SKIP() << "the system backs no pages ahead";
    constexpr size_t kSmall = size_t(1) << 20, kLarge = size_t(64) << 20;
    auto* earlier = static_cast<unsigned char*>(mapPages(kLarge));
    auto* given = static_cast<unsigned char*>(mapPages(kSmall));
    ASSERT_NE(earlier, MAP_FAILED);
    ASSERT_NE(given, MAP_FAILED);
    prefaultPages(earlier, kLarge);  // still queued when the newer one is forgotten: kept
    prefaultPages(given, kSmall);
    {
        failingallocation::CountdownScope failing(1);
        EXPECT_NO_THROW(forgetPrefault(given, kSmall));
    }
    discardPages(given, kSmall);
    forgetPrefault(earlier, kLarge);
    EXPECT_EQ(residentPages(given, kSmall), 0u);
    munmap(earlier, kLarge);
    munmap(given, kSmall);
}

// The backing thread outlives any unload of the module that started it, so the module stays.
TEST(Sys, AModuleThatBacksPagesAheadStaysLoadedAfterItsUnload)
{
    void* module = dlopen(PREFAULT_PROBE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto probe = reinterpret_cast<bool (*)()>(dlsym(module, "probeBackPagesAhead"));
    ASSERT_NE(probe, nullptr);
    const bool backed = probe();
    dlclose(module);
    if (!backed)
        GTEST_SKIP() << "the system backs no pages ahead";
    void* still = dlopen(PREFAULT_PROBE, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(still, nullptr) << "the module was unloaded under its backing thread";
    if (still)
        dlclose(still);
}

// Only the pages wholly within the range are given back: they read as zeros, while the bytes of
// the pages cut at either end stay.
TEST(Sys, DiscardingWholePagesKeepsThePagesCutAtTheEnds)
{
    constexpr size_t kPage = 4096, kBytes = 4 * kPage;
    auto* block = static_cast<unsigned char*>(mapPages(kBytes));
    ASSERT_NE(block, MAP_FAILED);
    std::fill(block, block + kBytes, 0xAB);
    discardWholePages(block + 100, block + 3 * kPage - 1);
    EXPECT_EQ(residentPages(block, kBytes), 3u);
    for (size_t at : {size_t(0), size_t(100), kPage - 1, 2 * kPage, 3 * kPage - 1, kBytes - 1})
        EXPECT_EQ(block[at], 0xABu) << at;
    for (size_t at : {kPage, kPage + 1, 2 * kPage - 1})
        EXPECT_EQ(block[at], 0u) << at;
    discardWholePages(block + 3 * kPage, block + 3 * kPage + 10);  // no whole page: nothing
    EXPECT_EQ(block[3 * kPage], 0xABu);
    munmap(block, kBytes);
}

// Blocks discarded together, in any order, touching, overlapping or apart, and many megabytes of
// them (cut into pieces for several threads, or all on the caller): every page within a block
// reads zero and is given back, every page outside keeps its bytes.
TEST(Sys, DiscardingManyBlocksGivesBackTheirPagesOnly)
{
    constexpr size_t kPage = 4096, kMB = size_t(1) << 20, kBytes = 200 * kMB;
    constexpr size_t kStampEvery = 16;  // pages: the test backs few of them
    struct Block {
        size_t at, bytes;
    };
    const std::vector<Block> blocks = {
        {150 * kMB, 40 * kMB},               // given before the blocks that lie lower
        {kPage, 2 * kMB},                    // then two that touch it and each other
        {kPage + 2 * kMB, 8 * kPage},
        {3 * kMB, 64 * kMB},                 // apart from those, and a piece boundary within it
        {40 * kMB, 30 * kMB},                // overlapping the one before and reaching beyond it
        {120 * kMB + 5 * kPage, 3 * kPage},  // a few pages alone
        {190 * kMB, kPage + 1},              // a part of a page counts as the whole page
    };
    auto inside = [&](size_t at) {
        return std::any_of(blocks.begin(), blocks.end(), [&](const Block& b) {
            return at >= b.at && at < (b.at + b.bytes + kPage - 1) / kPage * kPage;
        });
    };
    for (const char* threads : {"1", "4"}) {
        ScopedEnv env("TAVOPLEX_THREADS", threads);
        auto* base = static_cast<unsigned char*>(mapPages(kBytes));
        ASSERT_NE(base, MAP_FAILED);
        std::vector<size_t> stamped;  // every sixteenth page, and those at and beside the ends of each block
        for (size_t at = 0; at < kBytes; at += kStampEvery * kPage)
            stamped.push_back(at);
        for (const Block& b : blocks)
            for (size_t end : {b.at, (b.at + b.bytes + kPage - 1) / kPage * kPage})
                for (size_t at : {end - kPage, end})
                    if (at < kBytes)
                        stamped.push_back(at);
        std::sort(stamped.begin(), stamped.end());
        stamped.erase(std::unique(stamped.begin(), stamped.end()), stamped.end());  // a page read is backed again
        for (size_t at : stamped)
            base[at + 7] = 0x5A;
        std::vector<std::pair<void*, size_t>> given;
        for (const Block& b : blocks)
            given.push_back({base + b.at, b.bytes});
        discardPagesOfBlocks(given);
        size_t kept = 0;
        for (size_t at : stamped) {
            if (inside(at)) {
                ASSERT_EQ(residentPages(base + at, kPage), 0u) << threads << " " << at;
                ASSERT_EQ(base[at + 7], 0u) << threads << " " << at;
            } else {
                ASSERT_EQ(base[at + 7], 0x5Au) << threads << " " << at;
                ++kept;
            }
        }
        EXPECT_GT(kept, stamped.size() / 3);
        munmap(base, kBytes);
    }
}

// Memory freed on several threads between blocks still in use stays with the allocator's heaps,
// its pages backed, until it is handed back: then none of those pages are.
TEST(Sys, FreedMemoryOfEveryThreadGoesBackToTheSystem)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator keeps freed memory its own way";
#else
    constexpr size_t kThreads = 4, kBlocks = 128, kBlock = size_t(64) << 10;
    struct Freed {
        std::vector<unsigned char*> blocks;
        std::vector<unsigned char*> kept;  // every eighth, so that the freed ones lie between
    };
    std::vector<Freed> freed(kThreads);
    std::vector<std::thread> threads;
    // No thread frees (and so none ends) before every thread has allocated: a thread that
    // started late would otherwise take over the arena of one that ended, and its freed
    // blocks could then join that arena's top, which trimming leaves alone.
    std::atomic<size_t> allocated{0};
    for (size_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (size_t b = 0; b < kBlocks; ++b) {
                auto* p = static_cast<unsigned char*>(std::malloc(kBlock));
                std::fill(p, p + kBlock, 1);
                (b % 8 == 7 ? freed[t].kept : freed[t].blocks).push_back(p);
            }
            allocated.fetch_add(1);
            while (allocated.load() < kThreads)
                std::this_thread::yield();
            for (unsigned char* p : freed[t].blocks)
                std::free(p);
        });
    for (std::thread& t : threads)
        t.join();
    // Whole pages inside the freed blocks, clear of the allocator's own words at their edges.
    auto backed = [&] {
        size_t pages = 0;
        for (const Freed& f : freed)
            for (unsigned char* p : f.blocks) {
                const uintptr_t page = (reinterpret_cast<uintptr_t>(p) + 4095) / 4096 * 4096 + 4096;
                pages += residentPages(reinterpret_cast<void*>(page), kBlock - 3 * 4096);
            }
        return pages;
    };
    const size_t inside = kThreads * (kBlocks - kBlocks / 8) * (kBlock / 4096 - 3);
    EXPECT_GT(backed(), inside / 2);
    returnFreedMemory();
    EXPECT_LT(backed(), inside / 20);
    for (const Freed& f : freed)
        for (unsigned char* p : f.kept)
            std::free(p);
#endif
}

TEST(Sys, UnderALimitOfAddressSpaceTheRendererAndTheArenasTakeAShareOfItOnly)
{
    constexpr size_t kMB = size_t(1) << 20;
    const AddressSpacePlan tight = planAddressSpace(100 * kMB, 8);
    EXPECT_EQ(tight.rendererThreads, 0u);  // below what is needed: the renderer draws on the caller
    EXPECT_EQ(tight.mallocArenas, 1u);
    EXPECT_GT(tight.needed, 100 * kMB);
    EXPECT_EQ(planAddressSpace(tight.needed, 8).rendererThreads, 0u);
    size_t lastThreads = 0;
    for (size_t left : {800 * kMB, 2000 * kMB, 8000 * kMB}) {
        const AddressSpacePlan plan = planAddressSpace(left, 8);
        SCOPED_TRACE(left / kMB);
        EXPECT_EQ(plan.needed, tight.needed);
        EXPECT_GE(plan.rendererThreads, lastThreads);
        EXPECT_LE(plan.rendererThreads, 8u);
        // The threads' stacks and the arenas leave the renderer and the models most of the rest.
        EXPECT_LE(rendererRoom(plan.rendererThreads) - rendererRoom(0) + plan.mallocArenas * 64 * kMB,
                  std::max(left - plan.needed, 64 * kMB) / 2);
        lastThreads = plan.rendererThreads;
    }
    EXPECT_EQ(lastThreads, 8u);
    // A user's own arena count is kept and counted: each thread that allocates may take one.
    const AddressSpacePlan eight = planAddressSpace(800 * kMB, 8, 8), sixtyFour = planAddressSpace(800 * kMB, 8, 64);
    EXPECT_EQ(eight.mallocArenas, 8u);
    EXPECT_GT(eight.needed, tight.needed + 6 * 64 * kMB);
    EXPECT_LE(eight.needed, 800 * kMB);  // under 1 GB, once the libraries are in, it draws
    EXPECT_GT(sixtyFour.needed, eight.needed);
    EXPECT_LE(sixtyFour.rendererThreads, eight.rendererThreads);
    // Under a data-segment limit the stacks count, the arenas only as used.
    EXPECT_EQ(planDataSegment(100 * kMB, 8).rendererThreads, 0u);
    EXPECT_EQ(planDataSegment(8000 * kMB, 8).rendererThreads, 8u);
    EXPECT_EQ(planDataSegment(8000 * kMB, 8).mallocArenas, 0u);
    EXPECT_EQ(planAddressSpace(8000 * kMB, 2).rendererThreads, 2u);
    EXPECT_EQ(planAddressSpace(8000 * kMB, 1).rendererThreads, 0u);  // it draws on the caller there
    EXPECT_GT(rendererRoom(4), rendererRoom(2));

    // The renderer is told its threads once; a count given by the user is taken as it reads it.
    const ScopedEnv threaded("GALLIUM_DRIVER", nullptr);  // whatever the run chose
    const ScopedEnv given("LP_NUM_THREADS", "6");
    EXPECT_EQ(rendererThreads(), 6u);
    const ScopedEnv many("LP_NUM_THREADS", "1000");
    EXPECT_EQ(rendererThreads(), 32u);
    const ScopedEnv negative("LP_NUM_THREADS", "-1");  // taken as unsigned: past the most
    EXPECT_EQ(rendererThreads(), 32u);
    {
        const ScopedEnv softpipe("GALLIUM_DRIVER", "softpipe");  // it makes no threads
        EXPECT_EQ(rendererThreads(), 0u);
        const ScopedEnv empty("GALLIUM_DRIVER", "");  // the threaded renderer, as when unset
        EXPECT_EQ(rendererThreads(), 32u);
    }
    const ScopedEnv none("LP_NUM_THREADS", nullptr);
    EXPECT_GE(rendererThreads(), processorsAvailable() > 1 ? 2u : 0u);
    // On one processor the renderer makes none: a context under a limit once waited for one.
    cpu_set_t all, one;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const unsigned onOne = rendererThreads();
    sched_setaffinity(0, sizeof all, &all);
    EXPECT_EQ(onOne, 0u);
    EXPECT_EQ(addressSpaceLimit() == SIZE_MAX, addressSpaceLeft() == SIZE_MAX);
    EXPECT_EQ(dataSegmentLimit() == SIZE_MAX, dataSegmentLeft() == SIZE_MAX);
}

// A record pool's range, reserved for many gigabytes, counts against the data-segment limit
// (ulimit -d) only as far as it is committed; a commit that would leave the renderer less than
// its room is refused, and then the limit is the one line that says why nothing is drawn.
TEST(Sys, AReservedRangeCountsAgainstTheDataSegmentLimitOnlyWhereCommitted)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child's codes say which step failed.
        constexpr size_t kMB = size_t(1) << 20;
        setenv("LP_NUM_THREADS", "0", 1);
        // The soft limit only, from what is used now: the hard one may not be raised again.
        rlimit given{};
        getrlimit(RLIMIT_DATA, &given);
        size_t limited = 0;
        auto limitTo = [&given, &limited](size_t moreThanUsed) {
            rlimit far{given.rlim_max, given.rlim_max};
            if (far.rlim_cur == RLIM_INFINITY)
                far.rlim_cur = rlim_t(1) << 50;
            setrlimit(RLIMIT_DATA, &far);
            const size_t used = size_t(far.rlim_cur) - dataSegmentLeft();
            limited = used + moreThanUsed;
            rlimit limit{rlim_t(limited), given.rlim_max};
            return setrlimit(RLIMIT_DATA, &limit) == 0;
        };
        if (!limitTo(400 * kMB))
            _exit(10);
        char* range = static_cast<char*>(reserveAddressRange(size_t(4) << 30));
        if (range == nullptr)
            _exit(1);
        if (!commitAddressRange(range, 64 * kMB))
            _exit(2);
        range[64 * kMB - 1] = 1;
        if (commitAddressRange(range + 64 * kMB, 300 * kMB))
            _exit(3);  // the renderer's room would be gone
        if (!memoryShortfallReason().empty())
            _exit(4);
        if (!limitTo(100 * kMB))
            _exit(5);
        // The limit in MB, rounded down, and in KiB as ulimit would give it.
        const std::string says = "the data-segment limit of " + std::to_string(limited / kMB) + " MB (ulimit -d " +
                                 std::to_string(limited / 1024) + ") is too small";
        if (memoryShortfallReason().str().find(says) == std::string::npos) {
            std::fprintf(stderr, "%s|%zu\n", memoryShortfallReason().data(), dataSegmentLeft());
            _exit(6);
        }
        _exit(0);
    }
    ExpectChildExitsCleanly(child);
}

// Address space reserved ahead of use counts against ulimit -v as if it were used: where the
// renderer's room is short, the gate has the holders of such ranges give them back and finds
// the room there; without them it refuses.
TEST(Sys, TheRendererGateTakesBackRangesReservedAheadOfUse)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers map their own memory as they go, which the limit here leaves no room for";
#endif
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child's codes say which step failed.
        constexpr size_t kMB = size_t(1) << 20;
        constexpr size_t kSpare = 600 * kMB;
        static void* spare = nullptr;
        static int asked = 0;
        spare = mmap(nullptr, kSpare, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (spare == MAP_FAILED)
            _exit(10);
        // The soft limit only, 50 MB above what is mapped now, the spare range included.
        rlimit given{};
        getrlimit(RLIMIT_AS, &given);
        rlimit far{given.rlim_max, given.rlim_max};
        if (far.rlim_cur == RLIM_INFINITY)
            far.rlim_cur = rlim_t(1) << 50;
        setrlimit(RLIMIT_AS, &far);
        const size_t used = size_t(far.rlim_cur) - addressSpaceLeft();
        rlimit limit{rlim_t(used + 50 * kMB), given.rlim_max};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(11);
        if (rendererRoomLeft())
            _exit(1);  // 50 MB is less than a step's room
        holdSpareRange([]() -> size_t {
            ++asked;
            if (spare == nullptr)
                return 0;
            munmap(spare, kSpare);
            spare = nullptr;
            return kSpare;
        });
        if (!rendererRoomLeftAfter(MemoryKind::Writable, 0))
            _exit(2);  // no data-segment limit: nothing counts there
        if (rendererRoomLeftAfter(MemoryKind::AddressSpace, 0))
            _exit(3);  // the gate's measure alone gives nothing back
        if (!rendererRoomLeft() || spare != nullptr || asked != 1)
            _exit(4);
        // Given back once: the room is there now, and nothing is asked again.
        if (!rendererRoomLeft() || asked != 1)
            _exit(5);
        // A reservation leaves the renderer its room: at most half of the rest.
        if (rendererRoomLeftAfter(MemoryKind::AddressSpace, 2 * 300 * kMB) ||
            !rendererRoomLeftAfter(MemoryKind::AddressSpace, 2 * 200 * kMB))
            _exit(6);
        _exit(0);
    }
    ExpectChildExitsCleanly(child);
}
