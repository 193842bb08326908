// RWvostream and RWvistream: the virtual stream interfaces through which values save and restore themselves.
#pragma once

class RWvostream {
public:
    virtual ~RWvostream() = default;
    virtual RWvostream& operator<<(unsigned long value) = 0;  // one unsigned 32-bit word
    virtual bool good() const = 0;
};

class RWvistream {
public:
    virtual ~RWvistream() = default;
    virtual RWvistream& operator>>(unsigned long& value) = 0;  // one unsigned 32-bit word
    virtual bool good() const = 0;
};
