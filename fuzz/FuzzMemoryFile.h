// An anonymous memory file holding a fuzz input, for code that opens files by name: it is
// opened through its /proc name and never touches a disk.
#pragma once

#include <string>

#include <sys/mman.h>
#include <unistd.h>

class FuzzMemoryFile {
public:
    explicit FuzzMemoryFile(const std::string& bytes) : fd_(memfd_create("fuzz-input", MFD_CLOEXEC))
    {
        if (fd_ >= 0 && !bytes.empty() && ::write(fd_, bytes.data(), bytes.size()) != ssize_t(bytes.size())) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FuzzMemoryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FuzzMemoryFile(const FuzzMemoryFile&) = delete;
    FuzzMemoryFile& operator=(const FuzzMemoryFile&) = delete;

    bool ok() const { return fd_ >= 0; }
    std::string name() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
};
