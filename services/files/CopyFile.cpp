// File copy with a progress receiver and the process-wide stack of copy-error handlers.
#include "services/files/CopyFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/RWTValDlist.h"
#include "services/files/FileOperations.h"
#include "services/files/PathText.h"
#include "services/files/RegularFile.h"
#include "services/files/UTFilePath.h"
#include "services/files/WholeFileWriter.h"

namespace {

// Made on first use, so that a handler living in static storage is always made after the list
// and taken off before the list goes at exit.
RWTValDlist<CSCopyErrorHandling*>& copyHandlerList()
{
    static RWTValDlist<CSCopyErrorHandling*> list;
    return list;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    void reset(int fd)
    {
        close();
        fd_ = fd;
    }
    // False when the last write could not be completed.
    bool close()
    {
        if (fd_ < 0)
            return true;
        const bool ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_;
};

// Where the copy is written: through the whole-file writer, or (a device or a pipe, which a
// rename would replace, or a link to nothing) the destination itself.
struct CopyTarget {
    WholeFileWriter writer;
    FileDescriptor inPlace;
    int fd() const { return inPlace.isOpen() ? inPlace.get() : writer.descriptor(); }
};

bool openInPlace(FileDescriptor& fd, const std::string& path, int flags)
{
    // Without blocking: a pipe nobody reads fails at once instead of waiting for a reader.
    fd.reset(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | flags, 0666));
    if (!fd.isOpen())
        return false;
    const int status = ::fcntl(fd.get(), F_GETFL);
    return status >= 0 && ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) == 0;
}

// False when the destination cannot be written (nothing was changed or made then).
bool openDestination(const std::string& destination, CopyTarget& target)
{
    if (destination.empty())
        return false;
    struct stat st;
    if (::lstat(destination.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::stat(destination.c_str(), &st) != 0)
        return openInPlace(target.inPlace, destination, O_CREAT);  // written through, which makes its file
    switch (target.writer.open(destination)) {
    case WholeFileStatus::Written:
        return true;
    case WholeFileStatus::NotRegular:
        // Devices and pipes are written as they are; a folder is no destination.
        return ::stat(destination.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) &&
               ::access(destination.c_str(), W_OK) == 0 && openInPlace(target.inPlace, destination, 0);
    case WholeFileStatus::Failed:
        break;
    }
    return false;
}

ssize_t readSome(int fd, char* data, size_t size)
{
    for (;;) {
        const ssize_t n = ::read(fd, data, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

float percentOf(long long copied, long total)
{
    if (total <= 0)
        return 100.0f;
    const double percent = static_cast<double>(copied) * 100.0 / static_cast<double>(total);
    return percent > 100.0 ? 100.0f : static_cast<float>(percent);
}

// Moves the bytes. Between regular files the kernel copies them in pieces of bufferSize;
// when it cannot (or says "nothing" at the start, as files of unknown size do), the buffer
// carries them, which also tells a read failure from a write failure.
int transfer(int in, int out, bool kernelCopy, char* buffer, size_t bufferSize, long total,
             CSCopyProgress* progress)
{
    long long copied = 0;
    for (;;) {
        ssize_t got;
        if (kernelCopy) {
            got = ::copy_file_range(in, nullptr, out, nullptr, bufferSize, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 || (got == 0 && copied == 0)) {
                kernelCopy = false;
                continue;
            }
        } else {
            got = readSome(in, buffer, bufferSize);
            if (got < 0)
                return COPY_READ_FAILED;
            if (got > 0 && !writeAllBytes(out, buffer, static_cast<size_t>(got)))
                return COPY_WRITE_FAILED;
        }
        if (got == 0)
            return COPY_OK;
        copied += got;
        if (progress)
            progress->setPercent(percentOf(copied, total));
    }
}

// Opens both ends and moves the bytes; every file is closed again on the way out, the
// destination before the source.
int copyContents(const RWCString& source, const RWCString& destination, int bufferSize, long total,
                 CSCopyProgress* progress)
{
    std::unique_ptr<char[]> buffer(bufferSize > 0 ? new (std::nothrow) char[static_cast<size_t>(bufferSize)] : nullptr);
    if (!buffer)
        return COPY_NO_BUFFER;
    // Only a regular file is copied: a pipe without a writer would block the open, a device
    // may never end.
    FileDescriptor in(openRegularFile(source.data()));
    struct stat sourceStat;
    if (!in.isOpen() || ::fstat(in.get(), &sourceStat) != 0)
        return COPY_SOURCE_FAILED;
    CopyTarget target;
    if (!openDestination(std::string(destination.data(), destination.length()), target))
        return COPY_DESTINATION_FAILED;

    struct stat outStat;
    const bool kernelCopy = ::fstat(target.fd(), &outStat) == 0 && S_ISREG(outStat.st_mode);
    int code = transfer(in.get(), target.fd(), kernelCopy, buffer.get(), static_cast<size_t>(bufferSize), total,
                        progress);
    if (code == COPY_OK && ::fstat(in.get(), &sourceStat) == 0) {
        // Accessed now, modified when the source was.
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_NOW;
        times[1] = sourceStat.st_mtim;
        ::futimens(target.fd(), times);
    }
    if (target.inPlace.isOpen()) {
        if (!target.inPlace.close() && code == COPY_OK)
            code = COPY_WRITE_FAILED;
    } else if (code != COPY_OK) {
        target.writer.abandon();
    } else if (!target.writer.commit()) {
        code = COPY_WRITE_FAILED;
    }
    return code;
}

// One attempt on native names; bufferSize is sized here once when it is 0.
int copyOnce(const RWCString& source, const RWCString& destination, int& bufferSize, CSCopyProgress* progress)
{
    const long total = fileSize(source.data());
    if (bufferSize == 0) {
        const long quarter = total / 4;
        bufferSize = static_cast<int>(quarter < 1000 ? 1000 : quarter > 50000 ? 50000 : quarter);
    }
    if (progress) {
        progress->begin();
        progress->setFiles(source, destination);
        progress->setPercent(0.0f);
    }
    const int code = copyContents(source, destination, bufferSize, total, progress);
    if (progress) {
        progress->setPercent(100.0f);
        progress->end();
    }
    return code;
}

// The same file under two names: the same text, or the same device and file number (another
// spelling of the path, a symbolic link, a hard link). Names that differ in case differ here.
bool sameFile(const RWCString& source, const RWCString& destination)
{
    if (source.isNull() || destination.isNull())
        return false;
    return source == destination || isSameExistingFile(source.data(), destination.data());
}

}  // namespace

CSCopyProgress::~CSCopyProgress() = default;

CSCopyErrorHandling::CSCopyErrorHandling() { copyHandlerList().prepend(this); }

CSCopyErrorHandling::~CSCopyErrorHandling() { copyHandlerList().remove(this); }

CSCopyErrorHandling* currentCopyErrorHandler()
{
    RWTValDlist<CSCopyErrorHandling*>& list = copyHandlerList();
    return list.isEmpty() ? nullptr : list.first();
}

int copyFile(const char* source, const char* destination, int bufferSize, CSCopyProgress* progress)
{
    const RWCString src = UTFilePath(cleanPathText(RWCString(source ? source : ""))).nativePath();
    const RWCString dst = UTFilePath(cleanPathText(RWCString(destination ? destination : ""))).nativePath();
    for (;;) {
        int code = sameFile(src, dst) ? COPY_SAME_FILE : copyOnce(src, dst, bufferSize, progress);
        if (code == COPY_OK)
            return COPY_OK;
        CSCopyErrorHandling* handler = currentCopyErrorHandler();
        if (!handler)
            return code;
        switch (handler->handleCopyError(destination, source, &code)) {
        case 1:
            return COPY_OK;
        case 2:
            continue;
        default:
            return code;
        }
    }
}
