// The library-wide lock of the foundation library and a scoped guard for it.
#pragma once

#include "platform/sys.h"

class RWMutex {
public:
    RWMutex() = default;
    RWMutex(const RWMutex&) = delete;
    RWMutex& operator=(const RWMutex&) = delete;

    void acquire() { lock_.lock(); }
    void release() { lock_.unlock(); }
    bool tryAcquire() { return lock_.tryLock(); }

    // The one lock of the library. Built during start-up (or on first use, whichever is
    // first, safely from any thread) and never torn down, so strings released by other
    // exit code still find it.
    static RWMutex& library();

private:
    platform::sys::Lock lock_;
};

// Holds a mutex for the lifetime of a scope.
class RWGuard {
public:
    explicit RWGuard(RWMutex& m) : m_(m) { m_.acquire(); }
    ~RWGuard() { m_.release(); }
    RWGuard(const RWGuard&) = delete;
    RWGuard& operator=(const RWGuard&) = delete;

private:
    RWMutex& m_;
};
