// FailingAllocation: the program's operator new, made to fail large requests on demand.
// Include it in ONE source of a test program only: it replaces the global allocation functions
// of that whole program (every form whose default would pair with a sanitizer's own).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace failingallocation {

// Requests of at least this many bytes fail while set; 0: none fails.
inline std::atomic<size_t> failFrom{0};
// ... and of fewer than this many.
inline std::atomic<size_t> failBelow{SIZE_MAX};

// While above 0, every request counts it down, and the one that brings it to 0 fails.
inline std::atomic<long> failCountdown{0};

inline void* allocate(size_t size)
{
    const size_t limit = failFrom.load(std::memory_order_relaxed);
    if (limit != 0 && size >= limit && size < failBelow.load(std::memory_order_relaxed))
        return nullptr;
    for (long n = failCountdown.load(std::memory_order_relaxed); n > 0;)
        if (failCountdown.compare_exchange_weak(n, n - 1, std::memory_order_relaxed)) {
            if (n == 1)
                return nullptr;
            break;
        }
    return std::malloc(size ? size : 1);
}

// Large requests fail while it lives: from `bytes` on, up to (not including) `below`.
class Scope {
public:
    explicit Scope(size_t bytes, size_t below = SIZE_MAX)
    {
        failBelow = below;
        failFrom = bytes;
    }
    ~Scope()
    {
        failFrom = 0;
        failBelow = SIZE_MAX;
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

// The request-th request from now fails (only that one), unless the scope ends first.
class CountdownScope {
public:
    explicit CountdownScope(long request) { failCountdown = request; }
    ~CountdownScope() { failCountdown = 0; }
    CountdownScope(const CountdownScope&) = delete;
    CountdownScope& operator=(const CountdownScope&) = delete;
};

}  // namespace failingallocation

// The compiler knows the default forms pair new with delete only; these pair with malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size)
{
    if (void* p = failingallocation::allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return failingallocation::allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return failingallocation::allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop
