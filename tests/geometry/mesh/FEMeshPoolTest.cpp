// Tests of the record pools and of the 32-bit handles by which mesh records link to each other.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "geometry/mesh/FEMeshPool.h"
#include "geometry/mesh/FEMeshTopology.h"
#include "platform/sys.h"
#include "tests/support/ChildExit.h"
#include "tests/support/FailingAllocation.h"

namespace {

// The flags the system keeps for the mapping that holds p (empty when none does), each word
// between spaces: " hg " asks for huge pages, " nh " refuses them.
std::string mappingFlags(const void* p)
{
    const uintptr_t at = reinterpret_cast<uintptr_t>(p);
    std::ifstream maps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(maps, line)) {
        uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> from >> dash >> to && dash == '-')
            inside = from <= at && at < to;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line.substr(8) + " ";
    }
    return "";
}

// Records of several pools, created interleaved and across many chunks, link to each other
// through handles; every link reads back as the record it was set to, also after a pool
// released its chunks and a new one took them over.
TEST(FEMeshPool, HandlesLinkRecordsOfManyPoolsAndChunks)
{
    for (int round = 0; round < 2; ++round) {
        FEMeshPoolC<FEMeshHalfEdgeC> poolA, poolB;
        FEMeshPoolC<FEMeshLoopC> loops;
        std::vector<FEMeshHalfEdgeC*> hs;
        const int n = 200000;  // past the largest chunk size
        for (int i = 0; i < n; ++i)
            hs.push_back(i % 3 ? poolA.create() : poolB.create());
        std::vector<FEMeshLoopC*> ls;
        for (int i = 0; i < 100; ++i)
            ls.push_back(loops.create());
        for (int i = 0; i < n; ++i) {
            hs[i]->setNext(hs[(i + 1) % n]);
            hs[i]->setPrevious(i % 7 ? hs[(i + n - 1) % n] : nullptr);
            hs[i]->setLoop(ls[i % 100]);
        }
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(hs[i]->getNext(), hs[(i + 1) % n]);
            ASSERT_EQ(hs[i]->getPrevious(), i % 7 ? hs[(i + n - 1) % n] : nullptr);
            ASSERT_EQ(hs[i]->getLoop(), ls[i % 100]);
            ASSERT_EQ(hs[i]->getVertex(), nullptr);
        }
        // A freed slot taken again links like a new one.
        poolA.destroy(hs[1]);
        FEMeshHalfEdgeC* again = poolA.create();
        hs[0]->setNext(again);
        EXPECT_EQ(hs[0]->getNext(), again);
        EXPECT_EQ(poolA.live(), size_t(n - n / 3 - 1));
        for (int i = 2; i < n; ++i)
            if (i % 3)
                poolA.destroy(hs[i]);
        poolA.destroy(again);
        EXPECT_EQ(poolA.live(), 0u);
        poolA.releaseAll();
        FEMeshHalfEdgeC* fresh = poolA.create();
        fresh->setNext(hs[0]);
        EXPECT_EQ(fresh->getNext(), hs[0]);
        EXPECT_EQ(fresh->getEdge(), nullptr);
    }
}

// Pools on several threads share the arenas of their record types.
TEST(FEMeshPool, PoolsOnSeveralThreads)
{
    std::vector<std::thread> threads;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &ok] {
            FEMeshPoolC<FEMeshHalfEdgeC> pool;
            std::vector<FEMeshHalfEdgeC*> hs;
            for (int i = 0; i < 50000; ++i)
                hs.push_back(pool.create());
            for (size_t i = 0; i + 1 < hs.size(); ++i)
                hs[i]->setNext(hs[i + 1]);
            bool good = true;
            for (size_t i = 0; i + 1 < hs.size(); ++i)
                good = good && hs[i]->getNext() == hs[i + 1];
            ok[t] = good ? 1 : 0;
        });
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(ok, std::vector<int>(4, 1));
}

// Pools on several threads, each filling chunks (and their side data) whose pages are being backed
// on another thread, then giving them back and taking them again: every record and side item
// starts out zero, keeps what is written to it, and side data reads zero once discarded.
struct SideProbeRecordC {
    static constexpr bool kLinkedByHandle = true;
    static constexpr bool kHasSideHalves = true;
    uint32_t word = 0;
    uint32_t other = 0;
};
struct PlainProbeRecordC {
    double a = 0, b = 0, c = 0;
};
TEST(FEMeshPool, ChunksBackedAheadOnSeveralThreadsStartZeroAndKeepTheirBytes)
{
    using Arena = FEMeshArenaC<SideProbeRecordC>;
    std::vector<std::thread> threads;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &ok] {
            bool good = true;
            for (int round = 0; round < 3; ++round) {
                FEMeshPoolC<SideProbeRecordC> pool;
                FEMeshPoolC<PlainProbeRecordC> plain;
                std::vector<SideProbeRecordC*> rs;
                std::vector<PlainProbeRecordC*> ps;
                const uint32_t n = 300000 + 50000 * uint32_t(t);  // past several of the largest chunks
                for (uint32_t i = 0; i < n; ++i) {
                    SideProbeRecordC* r = pool.create();
                    auto* side0 = static_cast<uint32_t*>(Arena::sideOf(r, 0));
                    auto* side1 = static_cast<uint32_t*>(Arena::sideOf(r, 1));
                    good = good && r->word == 0 && *side0 == 0 && *side1 == 0;
                    r->word = i + 1;
                    *side0 = i ^ 0x5a5a5a5au;
                    *side1 = ~i;
                    rs.push_back(r);
                    if (i % 4 == 0) {
                        PlainProbeRecordC* p = plain.create();
                        good = good && p->a == 0 && p->c == 0;
                        p->a = double(i);
                        p->c = -double(i);
                        ps.push_back(p);
                    }
                }
                for (uint32_t i = 0; i < n; ++i) {
                    good = good && rs[i]->word == i + 1;
                    good = good && *static_cast<uint32_t*>(Arena::sideOf(rs[i], 0)) == (i ^ 0x5a5a5a5au);
                    good = good && *static_cast<uint32_t*>(Arena::sideOf(rs[i], 1)) == ~i;
                }
                for (size_t i = 0; i < ps.size(); ++i)
                    good = good && ps[i]->a == double(4 * i) && ps[i]->c == -double(4 * i);
                pool.discardSideData();
                for (uint32_t i = 0; i < n; ++i)
                    good = good && *static_cast<uint32_t*>(Arena::sideOf(rs[i], 0)) == 0 &&
                           *static_cast<uint32_t*>(Arena::sideOf(rs[i], 1)) == 0 && rs[i]->word == i + 1;
                for (PlainProbeRecordC* p : ps)
                    plain.destroy(p);
            }
            ok[t] = good ? 1 : 0;
        });
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(ok, std::vector<int>(4, 1));
}

// Pages are backed only a little ahead of the records a pool hands out: a pool that has just
// opened a large chunk holds no more than that of it (and of the side data) however long it waits.
struct FilledSideProbeRecordC {
    static constexpr bool kLinkedByHandle = true;
    static constexpr bool kHasSideHalves = true;
    static constexpr bool kSideFilledAlongside = true;
    uint32_t words[6] = {};
};
size_t residentPagesFrom(const void* at, size_t bytes)
{
    const uintptr_t from = (reinterpret_cast<uintptr_t>(at) + 4095) / 4096 * 4096;
    std::vector<unsigned char> in(bytes / 4096);
    if (mincore(reinterpret_cast<void*>(from), in.size() * 4096, in.data()) != 0)
        return SIZE_MAX;
    return size_t(std::count_if(in.begin(), in.end(), [](unsigned char c) { return c & 1; }));
}
template <class R>
R* firstRecordOfAChunkOf(FEMeshPoolC<R>& pool, size_t chunkBytes)
{
    // Chunks double from a few hundred bytes: the one of chunkBytes follows those before it.
    size_t chunks = 0;
    for (size_t b = 256; b <= chunkBytes; b *= 2)
        ++chunks;
    const char* previous = nullptr;
    for (;;) {
        R* r = pool.create();
        if (previous && reinterpret_cast<const char*>(r) != previous + sizeof(R) && --chunks == 1)
            return r;
        previous = reinterpret_cast<const char*>(r);
    }
}
TEST(FEMeshPool, PagesAreBackedOnlyALittleAheadOfTheRecords)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "plain records are heap objects of their own under the sanitizer";
#endif
    if (!platform::sys::prefaultsPages())
        GTEST_SKIP() << "the system backs no pages ahead";
    constexpr size_t kChunk = size_t(1) << 20, kAhead = size_t(256) << 10;
    FEMeshPoolC<PlainProbeRecordC> plain;
    FEMeshPoolC<FilledSideProbeRecordC> sided;
    const PlainProbeRecordC* p = firstRecordOfAChunkOf(plain, kChunk);
    const FilledSideProbeRecordC* s = firstRecordOfAChunkOf(sided, kChunk);
    const void* side = FEMeshArenaC<FilledSideProbeRecordC>::sideOf(s, 0);
    // Backed ahead: the first pages after each first record.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((residentPagesFrom(p, 65536) < 16 || residentPagesFrom(s, 65536) < 16) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(residentPagesFrom(p, kChunk - 8192) * 4096, kAhead);
    EXPECT_LE(residentPagesFrom(s, kChunk - 8192) * 4096, kAhead);
    EXPECT_LE(residentPagesFrom(side, kChunk / 2 - 8192) * 4096, kAhead / 2);
}

// Pools released together (their pages discarded in one go, perhaps on several threads) end as
// pools released one by one do: empty, every page of their large chunks given back, and their
// chunks taken again by new pools, whose records and side data start out zero.
TEST(FEMeshPool, PoolsReleasedTogetherEndAsPoolsReleasedOneByOne)
{
    using SideArena = FEMeshArenaC<SideProbeRecordC>;
    for (const bool together : {false, true}) {
        SCOPED_TRACE(together ? "together" : "one by one");
        constexpr uint32_t n = 400000;  // past several of the largest chunks of each pool
        std::vector<std::pair<const char*, size_t>> runs;  // of the large chunks, in bytes
        {
            FEMeshPoolC<FEMeshHalfEdgeC> halfEdges;
            FEMeshPoolC<SideProbeRecordC> sided;
            FEMeshPoolC<PlainProbeRecordC> plain;  // from the heap: its chunks freed at once either way
            std::vector<PlainProbeRecordC*> plains;
            for (uint32_t i = 0; i < n; ++i) {
                halfEdges.create()->setNext(nullptr);
                SideProbeRecordC* r = sided.create();
                r->word = i + 1;
                *static_cast<uint32_t*>(SideArena::sideOf(r, 1)) = ~i;
                plains.push_back(plain.create());
            }
            auto large = [&runs](const auto& pool, size_t size) {
                for (const auto& [first, count] : pool.denseRuns())
                    if (count * size >= (size_t(64) << 10))
                        runs.push_back({reinterpret_cast<const char*>(first), count * size});
            };
            large(halfEdges, sizeof(FEMeshHalfEdgeC));
            large(sided, sizeof(SideProbeRecordC));
            ASSERT_GE(runs.size(), 4u);
            for (PlainProbeRecordC* p : plains)  // heap objects of their own under the sanitizer
                plain.destroy(p);
            if (together) {
                FEMeshChunkReleaseC release;
                release.add(halfEdges);
                release.add(sided);
                release.add(plain);
                release.done();
            } else {
                halfEdges.releaseAll();
                sided.releaseAll();
                plain.releaseAll();
            }
            for (size_t taken : {halfEdges.takenBytes(), sided.takenBytes(), plain.takenBytes()})
                EXPECT_EQ(taken, 0u);
            EXPECT_EQ(halfEdges.live() + sided.live() + plain.live(), 0u);
            EXPECT_TRUE(halfEdges.denseRuns().empty() && sided.denseRuns().empty());
            for (const auto& [first, bytes] : runs)
                EXPECT_EQ(residentPagesFrom(first, bytes - 4096), 0u);
        }
        // New pools take the chunks given back: no record lies outside them, and all start zero.
        FEMeshPoolC<SideProbeRecordC> again;
        bool reused = true, zero = true;
        for (uint32_t i = 0; i < n; ++i) {
            SideProbeRecordC* r = again.create();
            const char* at = reinterpret_cast<const char*>(r);
            zero = zero && r->word == 0 && *static_cast<uint32_t*>(SideArena::sideOf(r, 1)) == 0;
            if (i > n / 2)  // the large chunks, past the small ones that lie anywhere
                reused = reused && std::any_of(runs.begin(), runs.end(), [at](const auto& run) {
                             return at >= run.first && at < run.first + run.second;
                         });
        }
        EXPECT_TRUE(reused);
        EXPECT_TRUE(zero);
    }
}

// A record type of its own for each round below: the arena's lists of spare chunks start empty,
// so that giving each chunk back needs memory.
template <int Round>
struct KeptProbeRecordC {
    static constexpr bool kLinkedByHandle = true;
    uint32_t words[4];
};

// Releases a pool of small chunks of every size while the failAt-th request for memory fails,
// then has two new pools take chunks of the same sizes: none may be given to both.
template <int Round>
void releaseFailingAt(long failAt, bool& failed)
{
    using Record = KeptProbeRecordC<Round>;
    constexpr size_t n = 2000;  // chunks of 256 bytes and up, none large enough to be discarded
    FEMeshPoolC<Record> pool;
    for (size_t i = 0; i < n; ++i)
        pool.create();
    try {
        failingallocation::CountdownScope failing(failAt);
        FEMeshChunkReleaseC release;
        release.add(pool);
        release.done();
    } catch (const std::bad_alloc&) {
        failed = true;
    }
    pool.releaseAll();
    FEMeshPoolC<Record> first, second;
    for (size_t i = 0; i < n; ++i) {
        first.create();
        second.create();
    }
    for (const auto& [a, countA] : first.denseRuns())
        for (const auto& [b, countB] : second.denseRuns())
            EXPECT_TRUE(a + countA <= b || b + countB <= a) << "failing at request " << failAt;
}

// Memory running out while chunks go back (the release's own lists, an arena's list of spare
// chunks) leaves no chunk given back twice, whichever request fails.
TEST(FEMeshPool, ChunksGoBackOnceWhenMemoryRunsOutOnTheWay)
{
    bool failed = false;
    [&]<int... Round>(std::integer_sequence<int, Round...>) {
        (releaseFailingAt<Round>(Round + 1, failed), ...);
    }(std::make_integer_sequence<int, 12>());
    EXPECT_TRUE(failed);
}

// Once the process keeps to small pages, a large chunk given back and taken again does too,
// though it asked for huge pages when it was new.
struct ProbeRecordC {
    static constexpr bool kLinkedByHandle = true;
    uint32_t word;
};
TEST(FEMeshPool, ChunksTakenAgainKeepToSmallPagesOnceTheProcessDoes)
{
    using Arena = FEMeshArenaC<ProbeRecordC>;
    constexpr size_t kChunk = size_t(2) << 20;
    void* chunk = Arena::takeChunk(kChunk);
    if (mappingFlags(chunk).find(" hg ") == std::string::npos) {
        Arena::giveChunk(chunk, kChunk);
        GTEST_SKIP() << "the system took no huge-page hint";
    }
    Arena::giveChunk(chunk, kChunk);
    platform::sys::keepToSmallPages();
    void* again = Arena::takeChunk(kChunk);
    ASSERT_EQ(again, chunk);
    const std::string flags = mappingFlags(again);
    EXPECT_EQ(flags.find(" hg "), std::string::npos) << flags;
    EXPECT_NE(flags.find(" nh "), std::string::npos) << flags;
    static_cast<unsigned char*>(again)[kChunk - 1] = 1;  // still usable
    Arena::giveChunk(again, kChunk);
}

}  // namespace

namespace {

// A pool's range beyond its writable part counts against ulimit -v as if used: where the
// renderer's room runs short it is given back (the side halves' alike), and the pool takes it
// again as it grows, its records keeping their bytes.
struct SpareProbeRecordC {
    static constexpr bool kLinkedByHandle = true;
    static constexpr bool kHasSideHalves = true;
    uint32_t word = 0;
    uint32_t other = 0;
};
TEST(FEMeshPool, ARangeGivesBackWhatItHasNotUsedAndTakesItAgainAsItGrows)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers map their own memory as they go, which the limit here leaves no room for";
#endif
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child's codes say which step failed.
        using Arena = FEMeshArenaC<SpareProbeRecordC>;
        constexpr size_t kMB = size_t(1) << 20;
        FEMeshPoolC<SpareProbeRecordC> pool;
        SpareProbeRecordC* first = pool.create();
        first->word = 7;
        *static_cast<uint32_t*>(Arena::sideOf(first, 1)) = 9;
        const char* beyond = reinterpret_cast<const char*>(first) + 256 * kMB;
        const char* sideBeyond = static_cast<const char*>(Arena::sideOf(first, 0)) + 128 * kMB;
        if (mappingFlags(beyond).empty() || mappingFlags(sideBeyond).empty())
            _exit(10);  // reserved ahead
        // The soft limit only, 50 MB above what is mapped now: less than the renderer's room.
        rlimit given{};
        getrlimit(RLIMIT_AS, &given);
        rlimit far{given.rlim_max, given.rlim_max};
        if (far.rlim_cur == RLIM_INFINITY)
            far.rlim_cur = rlim_t(1) << 50;
        setrlimit(RLIMIT_AS, &far);
        const size_t used = size_t(far.rlim_cur) - platform::sys::addressSpaceLeft();
        rlimit limit{rlim_t(used + 50 * kMB), given.rlim_max};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(11);
        if (!platform::sys::rendererRoomLeft())
            _exit(1);
        if (!mappingFlags(beyond).empty() || !mappingFlags(sideBeyond).empty())
            _exit(2);  // given back
        if (first->word != 7 || *static_cast<uint32_t*>(Arena::sideOf(first, 1)) != 9)
            _exit(3);
        // Past the writable part: taken again where it lay, starting zero.
        std::vector<SpareProbeRecordC*> more;
        for (uint32_t i = 0; i < 3000000; ++i) {
            SpareProbeRecordC* r = pool.create();
            if (r->word != 0 || *static_cast<uint32_t*>(Arena::sideOf(r, 0)) != 0)
                _exit(4);
            r->word = i + 1;
            *static_cast<uint32_t*>(Arena::sideOf(r, 0)) = ~i;
            more.push_back(r);
        }
        for (uint32_t i = 0; i < more.size(); ++i)
            if (more[i]->word != i + 1 || *static_cast<uint32_t*>(Arena::sideOf(more[i], 0)) != ~i)
                _exit(5);
        if (Arena::fromHandle(Arena::handleOf(more.back())) != more.back())
            _exit(6);
        _exit(0);
    }
    ExpectChildExitsCleanly(child);
}

}  // namespace
