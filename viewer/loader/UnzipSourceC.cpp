// UnzipSourceC: opening, seeking and reading the three kinds of source.
#include "viewer/loader/UnzipSourceC.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "services/files/RegularFile.h"

UnzipSourceC* UnzipSourceC::Open(const void* source, uint32_t length, int kind, uint32_t* result)
{
    *result = 0;
    if (kind < UnzipFromHandle || kind > UnzipFromMemory) {
        *result = 0x10000;
        return nullptr;
    }
    auto* s = new (std::nothrow) UnzipSourceC;
    if (!s) {
        *result = 0x300;
        return nullptr;
    }
    if (kind == UnzipFromMemory) {
        s->data = static_cast<const unsigned char*>(source);
        s->length = source ? length : 0;
        return s;
    }
    s->isHandle = true;
    if (kind == UnzipFromFile) {
        // Only a regular file: a FIFO would block the open, a device could read for ever.
        s->handle = source ? openRegularFile(static_cast<const char*>(source)) : -1;
        if (s->handle < 0) {
            delete s;
            *result = 0x200;
            return nullptr;
        }
        s->mustClose = true;
    } else {
        s->handle = static_cast<int>(reinterpret_cast<intptr_t>(source));
    }
    const off_t at = ::lseek(s->handle, 0, SEEK_CUR);
    s->canSeek = at >= 0;
    s->startOffset = s->canSeek ? static_cast<uint64_t>(at) : 0;
    return s;
}

int UnzipSourceC::Close(UnzipSourceC* source)
{
    if (!source)
        return -1;
    if (source->mustClose)
        ::close(source->handle);
    delete source;
    return 0;
}

uint64_t UnzipSourceC::Tell() const
{
    if (!isHandle)
        return position;
    if (!canSeek)
        return 0;
    const off_t at = ::lseek(handle, 0, SEEK_CUR);
    return at < 0 ? 0 : static_cast<uint64_t>(at) - startOffset;
}

int UnzipSourceC::Seek(uint64_t offset, int origin)
{
    if (!isHandle) {
        // Wrapping in unsigned arithmetic turns a backward offset into the right place;
        // whatever lands outside the data is clamped to its end, where reads yield nothing.
        uint64_t to;
        switch (origin) {
        case 0: to = offset; break;
        case 1: to = position + offset; break;
        case 2: to = length + offset; break;
        default: return 0;
        }
        position = to > length ? length : to;
        return 0;
    }
    if (!canSeek)
        return 29;
    off_t done;
    switch (origin) {
    case 0: done = ::lseek(handle, static_cast<off_t>(startOffset + offset), SEEK_SET); break;
    case 1: done = ::lseek(handle, static_cast<off_t>(offset), SEEK_CUR); break;
    case 2: done = ::lseek(handle, static_cast<off_t>(offset), SEEK_END); break;
    default: return 19;
    }
    return done < 0 ? 29 : 0;
}

size_t UnzipSourceC::Read(void* buffer, size_t size, size_t count)
{
    if (size == 0)
        return 0;
    const uint64_t wanted = static_cast<uint64_t>(size) * count;
    if (!isHandle) {
        const uint64_t left = length - position;
        const uint64_t n = wanted < left ? wanted : left;
        if (n)
            std::memcpy(buffer, data + position, n);
        position += n;
        return static_cast<size_t>(n / size);
    }
    uint64_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < wanted) {
        const ssize_t n = ::read(handle, out + done, static_cast<size_t>(wanted - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            readError = true;
            break;
        }
        if (n == 0)
            break;
        done += static_cast<uint64_t>(n);
    }
    return static_cast<size_t>(done / size);
}
