// Work cut into pieces and run on the processors this process may use.
#pragma once

#include <cstddef>
#include <functional>

namespace platform::sys {

// The processors this process may run on (its affinity), at least 1.
unsigned processorsAvailable();

// The threads parallel work may use: the processors this process may run on, at most 16.
// TAVOPLEX_THREADS, when set to a number from 1, overrides it (1: everything on the caller).
unsigned workerCount();

// A piece count for `count` items when a piece should hold at least `minPerPiece` of them and
// there are `workerCount()` threads: 1 for small counts, a few pieces a thread for large ones
// (pieces of unequal cost then even out).
size_t piecesFor(size_t count, size_t minPerPiece);

// Cuts [0, count) into `pieces` consecutive ranges of nearly equal size and runs
// body(piece, begin, end) once for each, on up to workerCount() threads, the caller being one
// of them; returns when every piece has run. Pieces run in no particular order: a body writes
// only what its own piece owns. The first exception a body throws is thrown again here, after
// the other pieces have finished or been skipped.
void runInPieces(size_t count, size_t pieces, const std::function<void(size_t piece, size_t begin, size_t end)>& body);

}  // namespace platform::sys
