// zfilebuf: the top of the file-buffer stack, an rc4filebuf that writes and reads gzip files.
#pragma once

#include <cstdint>
#include <memory>

#include "services/streams/rc4filebuf.h"

struct z_stream_s;

// Writing with csopenmode::compressFlag produces a gzip file: the 10-byte header
// 1F 8B 08 00 00000000 00 05, raw deflate data (level 9, 32 KB window, memory level 8) and
// the standard trailer (CRC-32 and length), so other gzip tools read it whole. Reading
// decides by the first two bytes: 1F 8B is gzip (any standard header; the data ends where
// the deflate stream ends, a trailer is never needed), anything else is plain data.
// csopenmode::encryptFlag marks a writing stream that refuses all output: no enciphered body
// exists for it. Positions and sizes are -1 on compressed or marked streams.
class zfilebuf : public rc4filebuf {
public:
    static constexpr int compressFlag = csopenmode::compressFlag;
    static constexpr int encryptFlag = csopenmode::encryptFlag;
    static constexpr int bufferSize = 8192;

    zfilebuf();
    explicit zfilebuf(int handle);
    zfilebuf(int handle, char* p, int n);
    ~zfilebuf() override;

    csfilebuffer* open(const char* name, int mode, int protection = csopenmode::defaultProtection) override;

    bool isCompressed() const { return compressed_; }
    bool isEncrypted() const { return encrypted_; }

    // A write of (null, 0) finishes the deflate stream and writes the trailer; close does it.
    int rawRead(char* p, int n) override;
    int rawWrite(const char* p, int n) override;
    int rawClose() override;
    int64_t tell() override;
    int64_t seek(int64_t offset, std::ios_base::seekdir way) override;
    int64_t size() override;
    int64_t fileLength() override;

private:
    struct StreamDeleter {
        void operator()(z_stream_s* s) const;
    };

    void resetState();
    int readLower(unsigned char* p, int n);  // loops the layer below until n bytes or the end
    int probe();
    int startInflate();
    bool nextHeaderByte(unsigned char& c);
    int inflateInto(char* p, int n);
    int deflateFrom(const char* p, int n);
    bool writeOutput(int n);

    bool firstReadDone_ = false;
    bool writing_ = false;
    bool compressed_ = false;
    bool encrypted_ = false;
    bool broken_ = false;        // a bad header or a zlib error: every later transfer fails
    bool inputEnded_ = false;    // reading: the file has no more compressed bytes
    bool streamEnded_ = false;   // reading: the deflate stream is complete
    bool finished_ = false;      // writing: the deflate stream and trailer are out
    std::unique_ptr<z_stream_s, StreamDeleter> stream_;
    unsigned long crc_ = 0;
    unsigned long total_ = 0;
    // The probe's bytes still owed to a plain reader (a first read shorter than the probe).
    unsigned char carry_[2] = {0, 0};
    int carryCount_ = 0;
    // Compressed output waiting to be written, or compressed input read ahead.
    unsigned char buffer_[bufferSize];
    int inStart_ = 0;
    int inEnd_ = 0;
};
