// csbuffered_streambuf: a standard stream buffer with one byte buffer, allocated on demand
// (32768 bytes) or given by the caller, that the get and the put area use one at a time.
#pragma once

#include <cstdint>
#include <streambuf>

// The layers above supply `drain`, the way bytes leave the buffer (a file, a string); the
// put side (overflow, sync) is the same for all of them. A buffer of length 0 makes the
// object unbuffered: it then never allocates and passes every byte on by itself.
class csbuffered_streambuf : public std::streambuf {
public:
    static constexpr uint32_t defaultBufferSize = 32768;

    csbuffered_streambuf() = default;
    ~csbuffered_streambuf() override;
    csbuffered_streambuf(const csbuffered_streambuf&) = delete;
    csbuffered_streambuf& operator=(const csbuffered_streambuf&) = delete;

    // Allocates the default buffer when there is neither a buffer nor the unbuffered mark;
    // 0, or -1 when the memory is not there.
    virtual int allocateBuffer();

    bool isUnbuffered() const { return unbuffered_; }
    char* bufferBase() const { return buffer_; }
    uint32_t bufferLength() const { return bufferLength_; }

protected:
    // Installs the caller's n bytes at p (not owned); n = 0 makes the object unbuffered.
    // Pending bytes are synchronised first; null when that fails or n is not usable.
    std::streambuf* setbuf(char* p, std::streamsize n) override;
    // The put side: buffer, sync, the whole buffer as the put area, then store c there (or
    // pass it on alone when unbuffered). 1 on success.
    int_type overflow(int_type c) override;
    // Passes the pending output on and empties the put area; -1 when not all of it went.
    int sync() override;

    // Where the bytes go: the count taken from p (1..n), or -1 when none could be taken.
    virtual std::streamsize drain(const char* p, std::streamsize n);

    // Frees an owned buffer, records the new one and empties both areas.
    void installBuffer(char* p, uint32_t n, bool owned);
    // True when the object may go on: unbuffered, or a buffer is there or was allocated.
    bool ensureBuffer();
    // Passes the put area on through drain. On a partial write the rest moves to the front
    // of the buffer and stays pending; true when everything went.
    bool flushPut();

private:
    bool ownsBuffer_ = false;
    char* buffer_ = nullptr;
    uint32_t bufferLength_ = 0;
    bool unbuffered_ = false;
};
