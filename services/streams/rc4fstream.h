// rc4ifstream, rc4ofstream and rc4fstream: the standard input, output and input-output
// streams over a zfilebuf of their own.
#pragma once

#include <istream>
#include <ostream>

#include "services/streams/zfilebuf.h"

// Modes are csopenmode values (layer flags included). A failing open, attach, setbuf or
// close sets the stream's fail state; a successful open clears it. Nothing throws.
// Destroying an open stream closes it through all layers: a compressed file is finished.
template <class Stream, int AddedMode>
class rc4streambase : public Stream {
public:
    rc4streambase() : Stream(nullptr) { this->init(&buf_); }
    explicit rc4streambase(int handle) : Stream(nullptr)
    {
        this->init(&buf_);
        attach(handle);
    }
    rc4streambase(int handle, char* p, int n) : Stream(nullptr)
    {
        this->init(&buf_);
        check(buf_.pubsetbuf(p, n) != nullptr);
        attach(handle);
    }
    ~rc4streambase() override = default;

    // Opens with AddedMode added to the mode.
    void open(const char* name, int mode, int protection = csopenmode::defaultProtection)
    {
        openExactly(name, mode | AddedMode, protection);
    }
    bool is_open() const { return buf_.is_open(); }
    bool attach(int handle) { return check(buf_.attach(handle) != nullptr); }
    // Only while closed.
    bool setbuf(char* p, int n) { return check(!buf_.is_open() && buf_.pubsetbuf(p, n) != nullptr); }
    bool close() { return check(buf_.close() != nullptr); }
    zfilebuf* rdbuf() const { return const_cast<zfilebuf*>(&buf_); }

protected:
    void openExactly(const char* name, int mode, int protection)
    {
        if (buf_.open(name, mode, protection) != nullptr)
            this->clear();
        else
            this->setstate(std::ios_base::failbit);
    }

private:
    bool check(bool ok)
    {
        if (!ok)
            this->setstate(std::ios_base::failbit);
        return ok;
    }

    zfilebuf buf_;
};

class rc4ifstream : public rc4streambase<std::istream, csopenmode::in> {
public:
    using rc4streambase::rc4streambase;
    // Opens with the mode as given: the caller includes in.
    rc4ifstream(const char* name, int mode = csopenmode::in, int protection = csopenmode::defaultProtection)
    {
        openExactly(name, mode, protection);
    }
};

class rc4ofstream : public rc4streambase<std::ostream, csopenmode::out> {
public:
    using rc4streambase::rc4streambase;
    rc4ofstream(const char* name, int mode = csopenmode::out, int protection = csopenmode::defaultProtection)
    {
        open(name, mode, protection);
    }
};

class rc4fstream : public rc4streambase<std::iostream, 0> {
public:
    using rc4streambase::rc4streambase;
    // Opens with the mode as given: the caller includes in and out as needed.
    rc4fstream(const char* name, int mode = csopenmode::in | csopenmode::out,
               int protection = csopenmode::defaultProtection)
    {
        openExactly(name, mode, protection);
    }

    // Formats as the C library's printf does and writes the text to the output side; the
    // count of characters written, or -1 (nothing is written for an empty text).
    int printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
};
