// csfilebuffer: opening, closing, the raw file operations and the buffered get and put sides.
#include "services/streams/csfilebuffer.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

csfilebuffer::csfilebuffer(int handle)
{
    attach(handle);
}

csfilebuffer::csfilebuffer(int handle, char* p, int n)
{
    attach(handle);
    setbuf(p, n);
}

csfilebuffer::~csfilebuffer()
{
    closeOnDestroy();
}

void csfilebuffer::closeOnDestroy()
{
    if (handle_ < 0)
        return;
    if (!ownsHandle_) {
        sync();
        return;
    }
    if (close() == nullptr && handle_ >= 0) {
        // The pending output cannot be written; the handle must still be released.
        setp(nullptr, nullptr);
        close();
    }
}

csfilebuffer* csfilebuffer::open(const char* name, int mode, int)
{
    if (is_open() || name == nullptr)
        return nullptr;
    mode = csopenmode::normalize(mode);
    // Read and write for everyone the process's umask allows, as the runtime's own files.
    const int h = ::open(name, csopenmode::toOpenFlags(mode), 0666);
    if (h < 0)
        return nullptr;
    // A folder opens for reading here but holds no bytes to stream.
    struct stat st;
    if (::fstat(h, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(h);
        return nullptr;
    }
    handle_ = h;
    textMode_ = !(mode & csopenmode::binary);
    translation_ = binaryTranslation;
    if (mode & (csopenmode::ate | csopenmode::app)) {
        if (seekoff(0, std::ios_base::end, std::ios_base::in | std::ios_base::out) == pos_type(off_type(-1))) {
            ::close(h);
            handle_ = -1;
            textMode_ = false;
            return nullptr;
        }
    }
    ownsHandle_ = true;
    return this;
}

csfilebuffer* csfilebuffer::close()
{
    if (!is_open())
        return nullptr;
    if (!flushPut())
        return nullptr;
    setp(nullptr, nullptr);
    setg(nullptr, nullptr, nullptr);
    const int result = rawClose();
    // The handle is gone even when closing reported an error: never close it twice.
    handle_ = -1;
    ownsHandle_ = false;
    textMode_ = false;
    return result == 0 ? this : nullptr;
}

csfilebuffer* csfilebuffer::attach(int handle)
{
    if (is_open() || handle < 0)
        return nullptr;
    handle_ = handle;
    textMode_ = false;
    translation_ = binaryTranslation;
    return this;
}

int csfilebuffer::rawRead(char* p, int n)
{
    if (n < 0)
        return -1;
    for (;;) {
        const ssize_t got = ::read(handle_, p, size_t(n));
        if (got >= 0)
            return int(got);
        if (errno != EINTR)
            return -1;
    }
}

int csfilebuffer::rawWrite(const char* p, int n)
{
    if (n < 0)
        return -1;
    int done = 0;
    while (done < n) {
        const ssize_t put = ::write(handle_, p + done, size_t(n - done));
        if (put > 0)
            done += int(put);
        else if (put < 0 && errno == EINTR)
            continue;
        else
            return -1;
    }
    return n;
}

int csfilebuffer::rawClose()
{
    return ::close(handle_) == 0 ? 0 : -1;
}

int64_t csfilebuffer::tell()
{
    return ::lseek(handle_, 0, SEEK_CUR);
}

int64_t csfilebuffer::seek(int64_t offset, std::ios_base::seekdir way)
{
    if (offset == 0 && way == std::ios_base::cur)
        return tell();
    const int whence = way == std::ios_base::beg ? SEEK_SET : way == std::ios_base::cur ? SEEK_CUR : SEEK_END;
    return ::lseek(handle_, off_t(offset), whence);
}

int64_t csfilebuffer::size()
{
    return fileLength();
}

int64_t csfilebuffer::fileLength()
{
    struct stat st;
    if (handle_ < 0 || ::fstat(handle_, &st) != 0)
        return -1;
    return st.st_size;
}

int csfilebuffer::setMode(int translation)
{
    if ((translation != binaryTranslation && translation != textTranslation) || !is_open())
        return -1;
    sync();
    const int previous = translation_;
    translation_ = translation;
    return previous;
}

std::streamsize csfilebuffer::drain(const char* p, std::streamsize n)
{
    if (!textMode_)
        return rawWrite(p, int(n)) == n ? n : -1;
    // Translated in blocks, so that a layer below sees few large writes.
    char scratch[8192];
    std::streamsize done = 0;
    while (done < n) {
        const std::streamsize start = done;
        int k = 0;
        while (done < n && k + 2 <= int(sizeof scratch)) {
            const char c = p[done++];
            if (c == '\n')
                scratch[k++] = '\r';
            scratch[k++] = c;
        }
        if (rawWrite(scratch, k) != k)
            return start > 0 ? start : -1;
    }
    return n;
}

void csfilebuffer::giveBackReadAhead()
{
    const std::streamsize ahead = egptr() - gptr();
    if (ahead > 0)
        seek(-int64_t(ahead), std::ios_base::cur);
    setg(nullptr, nullptr, nullptr);
}

int csfilebuffer::sync()
{
    if (!is_open())
        return -1;
    if (!flushPut())
        return -1;
    setp(nullptr, nullptr);
    giveBackReadAhead();
    return 0;
}

csfilebuffer::int_type csfilebuffer::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    if (!ensureBuffer() || sync() != 0)
        return traits_type::eof();
    if (isUnbuffered()) {
        if (rawRead(&oneByte_, 1) > 0) {
            setg(&oneByte_, &oneByte_, &oneByte_ + 1);
            return traits_type::to_int_type(oneByte_);
        }
        return traits_type::eof();
    }
    const int got = rawRead(bufferBase(), int(bufferLength()));
    if (got > 0) {
        setg(bufferBase(), bufferBase(), bufferBase() + got);
        return traits_type::to_int_type(*gptr());
    }
    return traits_type::eof();
}

csfilebuffer::pos_type csfilebuffer::seekoff(off_type off, std::ios_base::seekdir way, std::ios_base::openmode)
{
    const pos_type failed(off_type(-1));
    if (!is_open())
        return failed;
    // Asking where we are keeps the read-ahead: the answer is the file's position less it.
    if (off == 0 && way == std::ios_base::cur && pptr() == pbase()) {
        const int64_t at = seek(0, std::ios_base::cur);
        return at < 0 ? failed : pos_type(off_type(at - (egptr() - gptr())));
    }
    if (sync() != 0)
        return failed;
    const int64_t at = seek(off, way);
    return at < 0 ? failed : pos_type(off_type(at));
}

csfilebuffer::pos_type csfilebuffer::seekpos(pos_type pos, std::ios_base::openmode which)
{
    return seekoff(off_type(pos), std::ios_base::beg, which);
}
