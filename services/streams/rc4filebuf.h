// rc4filebuf: the file stream buffer with an optional RC4 layer behind a 9-byte magic.
#pragma once

#include "foundation/RWCString.h"
#include "services/streams/csfilebuffer.h"
#include "services/streams/rc4cipher.h"

// File format: the plain magic "CSBINF001" ("CRYPTIO01" is also read), then every data byte
// XORed with the RC4 key stream of (caller's key text + the default key). The layer is
// inactive (plain) until writeHeader or a successful readHeader; only those write or read
// the magic. While active, positions are data positions (the magic does not count), and
// positioning restarts the key stream and reads forward to the target: linear in the target.
class rc4filebuf : public csfilebuffer {
public:
    static constexpr int magicLength = 9;

    rc4filebuf() = default;
    explicit rc4filebuf(int handle) : csfilebuffer(handle) {}
    rc4filebuf(int handle, char* p, int n) : csfilebuffer(handle, p, n) {}
    ~rc4filebuf() override;

    csfilebuffer* open(const char* name, int mode, int protection = csopenmode::defaultProtection) override;

    // At plain position 0: writes the magic and enciphers from then on; 1, or -1 when the
    // write failed or the position was not 0 (the cipher is keyed and active either way). A
    // key that makes the whole key longer than rc4cipher::maxKeyLength is refused with -1
    // and nothing changes. 1 at once when already active.
    int writeHeader(const char* key);
    // At plain position 0: reads the magic; 1 when found (deciphering from then on), 0 when
    // the file has none (read as plain data from its first byte), -1 on failure (position
    // not 0, key too long, the file cannot be set back).
    int readHeader(const char* key);
    bool isActive() const { return active_; }

    int rawRead(char* p, int n) override;
    int rawWrite(const char* p, int n) override;
    int rawClose() override;
    int64_t tell() override;
    int64_t seek(int64_t offset, std::ios_base::seekdir way) override;
    int64_t size() override;
    // Restarts the key stream and reads n data bytes to nothing; n, or -1 when a read fails
    // or the file ends first.
    virtual int64_t skipForward(int64_t n);
    // The data position an (offset, direction) pair names; -1 when it cannot be known.
    virtual int64_t absolutePosition(int64_t offset, std::ios_base::seekdir direction);

    static RWCString defaultKey();

private:
    bool keyCipher(const char* key);

    rc4cipher cipher_;
    bool active_ = false;
};
