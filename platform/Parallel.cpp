// runInPieces: a fresh set of threads per call; the work that uses it takes tens of
// milliseconds at least, beside which starting a thread is noise.
#include "platform/Parallel.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace platform::sys {
namespace {

constexpr unsigned kMaxWorkers = 16;

}  // namespace

unsigned processorsAvailable()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0)
            return unsigned(n);
    }
    const unsigned n = std::thread::hardware_concurrency();
    return n ? n : 1;
}

unsigned workerCount()
{
    if (const char* text = std::getenv("TAVOPLEX_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n >= 1)
            return unsigned(std::min<long>(n, kMaxWorkers));
    }
    // The processors do not change while the program runs; asking the system each time would
    // cost a call per piece count.
    static const unsigned available = processorsAvailable();
    return std::min(available, kMaxWorkers);
}

size_t piecesFor(size_t count, size_t minPerPiece)
{
    const size_t workers = workerCount();
    if (workers <= 1 || count < 2 * std::max<size_t>(minPerPiece, 1))
        return 1;
    return std::max<size_t>(1, std::min(count / std::max<size_t>(minPerPiece, 1), 4 * workers));
}

void runInPieces(size_t count, size_t pieces, const std::function<void(size_t, size_t, size_t)>& body)
{
    if (pieces == 0)
        return;
    pieces = std::min(pieces, std::max<size_t>(count, 1));
    auto range = [&](size_t piece, size_t& begin, size_t& end) {
        begin = count / pieces * piece + std::min(piece, count % pieces);
        end = begin + count / pieces + (piece < count % pieces ? 1 : 0);
    };
    if (pieces == 1) {
        body(0, 0, count);
        return;
    }

    std::atomic<size_t> nextPiece{0};
    std::atomic<bool> failed{false};
    std::exception_ptr firstError;
    std::mutex errorLock;
    auto work = [&] {
        for (size_t piece; (piece = nextPiece.fetch_add(1)) < pieces;) {
            if (failed.load(std::memory_order_relaxed))
                continue;
            size_t begin, end;
            range(piece, begin, end);
            try {
                body(piece, begin, end);
            } catch (...) {
                std::lock_guard<std::mutex> guard(errorLock);
                if (!firstError)
                    firstError = std::current_exception();
                failed = true;
            }
        }
    };
    size_t helpers = std::min<size_t>(workerCount(), pieces) - 1;
    std::vector<std::thread> threads;
    // No more threads to be had (none left, or no memory to start one): the ones running and
    // the caller do the rest. A failure here must not escape while threads run unjoined.
    try {
        threads.reserve(helpers);
    } catch (const std::bad_alloc&) {
        helpers = 0;
    }
    for (size_t i = 0; i < helpers; ++i) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        } catch (const std::bad_alloc&) {
            break;
        }
    }
    work();
    for (std::thread& t : threads)
        t.join();
    if (firstError)
        std::rethrow_exception(firstError);
}

}  // namespace platform::sys
