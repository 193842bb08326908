// csfilebuffer: a buffered stream buffer over a file handle, with the raw operations that the
// enciphering and compressing layers above override.
#pragma once

#include <cstdint>
#include <ios>

#include "services/streams/csbuffered_streambuf.h"
#include "services/streams/csopenmode.h"

// Results: open, close and attach give this or null; the raw operations, positions and sizes
// give -1 on failure. Nothing throws. A buffer opened without csopenmode::binary is in text
// mode: each '\n' written reaches the file as CR LF; reading never translates.
//
// Each layer reaches the file only through the virtual raw operations of the layer below.
// Read-ahead that was not consumed is given back to the file by sync (the file moves back),
// so positions and the next read agree wherever the layers can position. Destroying an open
// buffer closes it through the whole stack of layers when it owns the handle, and passes
// pending output on (keeping the handle open) when it does not.
class csfilebuffer : public csbuffered_streambuf {
public:
    // Translation modes of setMode.
    static constexpr int binaryTranslation = 32768;
    static constexpr int textTranslation = 16384;

    csfilebuffer() = default;
    explicit csfilebuffer(int handle);
    csfilebuffer(int handle, char* p, int n);
    ~csfilebuffer() override;

    bool is_open() const { return handle_ >= 0; }
    int handle() const { return handle_; }
    bool isTextMode() const { return textMode_; }

    // Opens by name with a csopenmode mode; the protection's sharing bits are accepted and
    // ignored. With ate or app the file is positioned at its end.
    virtual csfilebuffer* open(const char* name, int mode, int protection = csopenmode::defaultProtection);
    // Passes pending output on, then closes the handle (owned or not).
    virtual csfilebuffer* close();
    // Takes a handle that stays the caller's: destruction never closes it.
    virtual csfilebuffer* attach(int handle);

    virtual int rawRead(char* p, int n);
    virtual int rawWrite(const char* p, int n);
    virtual int rawClose();
    virtual int64_t tell();
    virtual int64_t seek(int64_t offset, std::ios_base::seekdir way);
    virtual int64_t size();
    virtual int64_t fileLength();

    // Accepts binaryTranslation or textTranslation and returns the previous one; -1 for any
    // other value or a closed buffer. The file's bytes are never translated underneath (the
    // text-mode '\n' of this buffer is not affected), so this only records the setting.
    int setMode(int translation);

protected:
    int_type underflow() override;
    int sync() override;
    pos_type seekoff(off_type off, std::ios_base::seekdir way, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;
    // Writes with translation: in text mode each '\n' goes out as CR LF and counts as one.
    std::streamsize drain(const char* p, std::streamsize n) override;

    // Each destructor of the stack calls this, so the most derived layer closes while its
    // own operations are still there.
    void closeOnDestroy();

private:
    // Moves the file back over bytes read ahead and not consumed, where positioning works;
    // elsewhere they are dropped.
    void giveBackReadAhead();

    int handle_ = -1;
    bool ownsHandle_ = false;
    bool textMode_ = false;
    int translation_ = binaryTranslation;
    char oneByte_ = 0;  // the get area of an unbuffered object
};
