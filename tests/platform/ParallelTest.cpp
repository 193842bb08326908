// runInPieces: every item exactly once, pieces in consecutive ranges, errors carried back.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Parallel.h"
#include "tests/support/FailingAllocation.h"

using namespace platform::sys;

TEST(Parallel, PiecesCoverEveryItemOnceInConsecutiveRanges)
{
    const struct {
        size_t count, pieces;
    } cases[] = {{0, 1}, {1, 1}, {10, 3}, {1000, 7}, {5, 16}, {100000, 64}};
    for (const auto& c : cases) {
        std::vector<std::atomic<int>> seen(c.count);
        std::vector<size_t> begins(c.pieces, size_t(-1)), ends(c.pieces, size_t(-1));
        runInPieces(c.count, c.pieces, [&](size_t piece, size_t begin, size_t end) {
            begins[piece] = begin;
            ends[piece] = end;
            for (size_t i = begin; i < end; ++i)
                ++seen[i];
        });
        for (size_t i = 0; i < c.count; ++i)
            ASSERT_EQ(seen[i].load(), 1) << "count " << c.count << " item " << i;
        // The pieces that ran follow each other without gaps.
        size_t at = 0;
        for (size_t p = 0; p < c.pieces && begins[p] != size_t(-1); ++p) {
            EXPECT_EQ(begins[p], at);
            at = ends[p];
        }
        EXPECT_EQ(at, c.count);
    }
}

TEST(Parallel, FirstErrorIsThrownToTheCallerAfterThePiecesStop)
{
    std::atomic<int> ran{0};
    EXPECT_THROW(runInPieces(1000, 50,
                             [&](size_t piece, size_t, size_t) {
                                 ++ran;
                                 if (piece == 3)
                                     throw std::runtime_error("piece 3");
                             }),
                 std::runtime_error);
    EXPECT_GE(ran.load(), 1);
    EXPECT_LE(ran.load(), 50);
}

TEST(Parallel, ThreadCountFollowsTheOverrideAndSmallCountsStayWhole)
{
    const char* old = std::getenv("TAVOPLEX_THREADS");
    const std::string saved = old ? old : "";
    setenv("TAVOPLEX_THREADS", "1", 1);
    EXPECT_EQ(workerCount(), 1u);
    EXPECT_EQ(piecesFor(1000000, 1000), 1u);
    setenv("TAVOPLEX_THREADS", "4", 1);
    EXPECT_EQ(workerCount(), 4u);
    EXPECT_EQ(piecesFor(100, 1000), 1u);
    EXPECT_EQ(piecesFor(1000000, 1000), 16u);
    setenv("TAVOPLEX_THREADS", "zero", 1);
    EXPECT_GE(workerCount(), 1u);
    if (old)
        setenv("TAVOPLEX_THREADS", saved.c_str(), 1);
    else
        unsetenv("TAVOPLEX_THREADS");
}

TEST(Parallel, AThreadThatCannotBeStartedForWantOfMemoryLeavesItsPiecesToTheOthers)
{
    const char* old = std::getenv("TAVOPLEX_THREADS");
    const std::string saved = old ? old : "";
    setenv("TAVOPLEX_THREADS", "4", 1);
    std::vector<std::atomic<int>> seen(1000);
    // Each request of the call is counted: the room for the threads, the first thread, and
    // then the second fails while the first already runs.
    for (long failing : {1, 2, 3, 4}) {
        for (std::atomic<int>& s : seen)
            s = 0;
        {
            failingallocation::CountdownScope scope(failing);
            runInPieces(seen.size(), 8, [&](size_t, size_t begin, size_t end) {
                for (size_t i = begin; i < end; ++i)
                    ++seen[i];
            });
        }
        for (size_t i = 0; i < seen.size(); ++i)
            ASSERT_EQ(seen[i].load(), 1) << "request " << failing << " failing, item " << i;
    }
    if (old)
        setenv("TAVOPLEX_THREADS", saved.c_str(), 1);
    else
        unsetenv("TAVOPLEX_THREADS");
}
