// runUnprivileged: a check run in a child process without root's rights.
#pragma once

#include <functional>

#include <sys/wait.h>
#include <unistd.h>

// Root reads and writes any file whatever its mode, so checks of permissions run in a child
// process that has given up root's rights (as the user nobody). Gives the check's result, which
// must lie between -10 and 245; 1000 when the child could not run or died.
inline int runUnprivileged(const std::function<int()>& check)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        ::_exit(check() + 10);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return 1000;
    return WEXITSTATUS(status) - 10;
}
