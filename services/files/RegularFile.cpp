// Opening a named file for reading only when it is a regular file, reading it whole up to a cap,
// and telling whether two names reach one file.
#include "services/files/RegularFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openRegularFile(const char* path, uint64_t* sizeOut)
{
    if (path == nullptr || *path == '\0')
        return -1;
    // Non-blocking, so that opening a FIFO returns at once; the type is then read from the open
    // descriptor itself, so that no other file can take the name's place in between.
    int fd;
    do
        fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat facts;
    if (::fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    if (sizeOut)
        *sizeOut = facts.st_size > 0 ? uint64_t(facts.st_size) : 0;
    return fd;
}

bool readRegularFile(int fd, std::string& out, uint64_t cap)
{
    out.clear();
    struct stat facts;
    if (fd < 0 || ::fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode))
        return false;
    const uint64_t size = facts.st_size > 0 ? uint64_t(facts.st_size) : 0;
    if (size > cap)
        return false;
    // The stated size is only a first guess: the file may change while it is read.
    out.reserve(size_t(size));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            out.clear();
            out.shrink_to_fit();
            return false;
        }
        if (n == 0)
            return true;
        if (uint64_t(n) > cap - out.size()) {
            out.clear();
            out.shrink_to_fit();
            return false;
        }
        out.append(chunk, size_t(n));
    }
}

bool readRegularFile(const char* path, std::string& out, uint64_t cap)
{
    out.clear();
    const int fd = openRegularFile(path);
    if (fd < 0)
        return false;
    const bool ok = readRegularFile(fd, out, cap);
    ::close(fd);
    return ok;
}

bool isSameExistingFile(const char* a, const char* b)
{
    struct stat sa, sb;
    return a && b && ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool writeAllBytes(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
