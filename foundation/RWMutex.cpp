// The library-wide lock of the foundation library.
#include "foundation/RWMutex.h"

RWMutex& RWMutex::library()
{
    // Deliberately leaked: it must outlive every static string destroyed at exit.
    static RWMutex* const instance = new RWMutex;
    return *instance;
}

namespace {
// Build the lock during start-up, before any thread of the program can race for it.
[[maybe_unused]] RWMutex& startupLock = RWMutex::library();
}  // namespace
