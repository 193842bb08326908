// A library preloaded into a program (LD_PRELOAD) so that it meets a task limit (systemd's
// TasksMax, a container's pids.max, ulimit -u): the first FAIL_AFTER threads start (none when
// it is unset), every later one fails to with EAGAIN.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace {

using ThreadCreate = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

std::atomic<long> g_tries{0};

}  // namespace

extern "C" __attribute__((visibility("default"))) int pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                                                                     void* (*start)(void*), void* arg)
{
    static const ThreadCreate real = reinterpret_cast<ThreadCreate>(dlsym(RTLD_NEXT, "pthread_create"));
    static const long allowed = [] {
        const char* text = std::getenv("FAIL_AFTER");
        return text != nullptr ? std::atol(text) : 0L;
    }();
    if (real == nullptr || g_tries.fetch_add(1) >= allowed)
        return EAGAIN;
    return real(thread, attr, start, arg);
}
