// RWCOutStream: putting buffered bytes into the target string.
#include "services/streams/RWCOutStream.h"

#include <algorithm>

RWCOutStreamBuf::~RWCOutStreamBuf()
{
    sync();
}

std::streamsize RWCOutStreamBuf::drain(const char* p, std::streamsize n)
{
    const size_t count = size_t(n);
    // Doubling ahead keeps a string built block by block from copying itself each time.
    if (position_ + count >= target_.capacity())
        target_.capacity(target_.capacity() * 2);
    const size_t length = target_.length();
    if (position_ == length) {
        target_.append(p, count);
    } else if (position_ < length) {
        target_.replace(position_, std::min(count, length - position_), p, count);
    } else {
        target_.append(' ', position_ - length);
        target_.append(p, count);
    }
    position_ += count;
    return n;
}

RWCOutStream::RWCOutStream(RWCString& target) : std::ostream(nullptr), buf_(std::make_unique<RWCOutStreamBuf>(target))
{
    rdbuf(buf_.get());
}

RWCOutStream::~RWCOutStream()
{
    buf_.reset();
}
