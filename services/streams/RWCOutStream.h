// RWCOutStreamBuf and RWCOutStream: an output stream whose bytes land in a caller's RWCString.
#pragma once

#include <memory>
#include <ostream>

#include "foundation/RWCString.h"
#include "services/streams/csbuffered_streambuf.h"

// The string receives the bytes in blocks when the buffer fills, on flush and on
// destruction. Writing starts at the string's first character: a stream over a non-empty
// string overwrites it. When the caller shortens the string meanwhile, the gap up to the
// write position is filled with blanks. The string must outlive the buffer.
class RWCOutStreamBuf : public csbuffered_streambuf {
public:
    explicit RWCOutStreamBuf(RWCString& target) : target_(target) {}
    ~RWCOutStreamBuf() override;

    size_t position() const { return position_; }

protected:
    // No input side: always the end.
    int_type underflow() override { return traits_type::eof(); }
    std::streamsize drain(const char* p, std::streamsize n) override;

private:
    RWCString& target_;
    size_t position_ = 0;
};

class RWCOutStream : public std::ostream {
public:
    explicit RWCOutStream(RWCString& target);
    // Deletes the buffer, whose destruction puts the pending bytes into the string.
    ~RWCOutStream() override;

private:
    std::unique_ptr<RWCOutStreamBuf> buf_;
};
