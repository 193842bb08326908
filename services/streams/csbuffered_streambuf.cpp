// csbuffered_streambuf: buffer ownership and the put side shared by the file and string buffers.
#include "services/streams/csbuffered_streambuf.h"

#include <climits>
#include <cstring>
#include <new>

csbuffered_streambuf::~csbuffered_streambuf()
{
    if (ownsBuffer_)
        delete[] buffer_;
}

int csbuffered_streambuf::allocateBuffer()
{
    if (buffer_ == nullptr && !unbuffered_) {
        char* p = new (std::nothrow) char[defaultBufferSize];
        if (p == nullptr)
            return -1;
        installBuffer(p, defaultBufferSize, true);
    }
    return 0;
}

void csbuffered_streambuf::installBuffer(char* p, uint32_t n, bool owned)
{
    if (ownsBuffer_)
        delete[] buffer_;
    buffer_ = p;
    bufferLength_ = n;
    ownsBuffer_ = owned;
    unbuffered_ = n == 0;
    setg(nullptr, nullptr, nullptr);
    setp(nullptr, nullptr);
}

std::streambuf* csbuffered_streambuf::setbuf(char* p, std::streamsize n)
{
    if (n < 0 || n > INT_MAX || (p == nullptr && n > 0))
        return nullptr;
    // Installing a buffer empties both areas: what they hold must reach its place first.
    if ((pptr() != pbase() || gptr() != egptr()) && sync() != 0)
        return nullptr;
    installBuffer(n == 0 ? nullptr : p, uint32_t(n), false);
    return this;
}

bool csbuffered_streambuf::ensureBuffer()
{
    return unbuffered_ || allocateBuffer() == 0;
}

std::streamsize csbuffered_streambuf::drain(const char*, std::streamsize)
{
    return -1;
}

bool csbuffered_streambuf::flushPut()
{
    const std::streamsize pending = pptr() - pbase();
    if (pending <= 0)
        return true;
    const std::streamsize written = drain(pbase(), pending);
    if (written == pending) {
        setp(nullptr, nullptr);
        return true;
    }
    if (written > 0) {
        char* start = pbase();
        char* end = epptr();
        std::memmove(start, start + written, size_t(pending - written));
        setp(start, end);
        pbump(int(pending - written));
    }
    return false;
}

int csbuffered_streambuf::sync()
{
    if (!flushPut())
        return -1;
    setp(nullptr, nullptr);
    return 0;
}

csbuffered_streambuf::int_type csbuffered_streambuf::overflow(int_type c)
{
    if (!ensureBuffer() || sync() == -1)
        return traits_type::eof();
    if (!unbuffered_)
        setp(buffer_, buffer_ + bufferLength_);
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return 1;
    if (pptr() < epptr()) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        return 1;
    }
    const char one = traits_type::to_char_type(c);
    return drain(&one, 1) == 1 ? 1 : traits_type::eof();
}
