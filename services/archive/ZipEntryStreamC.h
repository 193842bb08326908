// ZipEntryStreamC: an entry's stored bytes, from wherever they are read, deciphered when the entry
// is encrypted, inflated or passed through, and checked against its recorded size and CRC.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "services/archive/ZipCipher.h"

// Whether entries compressed with `method` can be read here: stored (0) and deflated (8) only.
bool zipMethodReadable(unsigned method);
// A compression method as a failure reason names it: its number, and its name where it is one
// of the known ones ("method 12 (bzip2)", "method 77").
std::string zipMethodText(unsigned method);

// What an entry's directory record says of its data, sizes in their 64-bit values.
struct ZipEntryFacts {
    unsigned method = 0;
    unsigned flag = 0;
    uint32_t crc = 0;
    uint32_t dosDate = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
};

// What checking, opening, reading or closing an entry gives, besides a byte count.
enum ZipStreamResult : int {
    ZipStreamOk = 0,
    ZipStreamPassword = -1,    // no password, a wrong one, or a cipher we cannot read (AES)
    ZipStreamCorrupt = -2,     // the local header or the method is not one we can read
    ZipStreamReadFailed = -3,  // the archive's bytes could not be read
    ZipStreamDamaged = -4,     // the data does not inflate, or fails its size or CRC
};

// Stored and deflated entries, plain or under the traditional cipher (flag bit 0 decides,
// whatever password is given). Of an encrypted entry the 12-byte header is checked against the
// entry's CRC (or, with a data descriptor, its time). Never more than the recorded size comes
// out, and never more than the recorded compressed size is asked of the raw reads.
class ZipEntryStreamC {
public:
    // Up to len stored bytes into buf, in order: their count, 0 when the bytes ended, or a
    // negative count on a read error.
    using RawRead = std::function<long(unsigned char* buf, unsigned len)>;

    ZipEntryStreamC();
    ~ZipEntryStreamC();
    ZipEntryStreamC(const ZipEntryStreamC&) = delete;
    ZipEntryStreamC& operator=(const ZipEntryStreamC&) = delete;

    // Whether an entry of these facts can be read with the password (null or empty: none),
    // before any of its bytes are: ZipStreamOk, ZipStreamPassword or ZipStreamCorrupt (a method
    // other than stored and deflated, or encrypted data shorter than the cipher's header).
    static int check(const ZipEntryFacts& facts, const char* password);

    // Starts the entry whose stored bytes raw gives (check first). ZipStreamOk,
    // ZipStreamPassword (the header does not match the password), ZipStreamCorrupt or
    // ZipStreamReadFailed; the stream stays closed on a failure.
    int open(RawRead raw, const ZipEntryFacts& facts, const char* password);
    bool isOpen() const { return open_; }

    // Up to len plain bytes into buf: their count, 0 at the entry's end, or ZipStreamDamaged /
    // ZipStreamReadFailed.
    int read(void* buf, unsigned len);

    // ZipStreamDamaged when the entry was read to its end (every recorded byte, or the data
    // ended) and its size or CRC does not match the record; otherwise ZipStreamOk. Closes.
    int close();
    void abandon();

private:
    int fill();
    int readStored(unsigned char* out, unsigned len);
    int readDeflated(unsigned char* out, unsigned len);
    long rawRead(unsigned char* buf, unsigned len);

    bool open_ = false;
    RawRead raw_;
    std::unique_ptr<ZipCipherKeys> keys_;  // null for a plain entry
    struct Inflater;
    std::unique_ptr<Inflater> inflater_;
    std::vector<unsigned char> input_;  // stored bytes waiting for inflate
    uint64_t rawLeft_ = 0;    // stored bytes not yet read
    uint64_t declared_ = 0;   // recorded uncompressed size
    uint32_t crcWanted_ = 0, crc_ = 0;
    uint64_t produced_ = 0;
    bool deflated_ = false;
    bool ended_ = false;
};

// One encrypted entry of a minizip archive (an unzFile, passed as void* so that minizip stays
// out of this header), read through a ZipEntryStreamC over minizip's raw reads of the entry.
// Only entries whose flag has bit 0 set come here: the caller decides.
class ZipEncryptedEntryC {
public:
    // Opens minizip's current entry. A null or empty password is no password. ZipStreamOk,
    // ZipStreamPassword (minizip's entry is left closed), ZipStreamCorrupt or
    // ZipStreamReadFailed.
    int open(void* unz, const char* password);
    bool isOpen() const { return unz_ != nullptr; }
    int read(void* buf, unsigned len) { return stream_.read(buf, len); }
    // Closes minizip's entry; ZipStreamDamaged as ZipEntryStreamC::close says.
    int close();
    // Forgets the entry without touching minizip (whose archive is being closed anyway).
    void abandon();

private:
    void* unz_ = nullptr;
    ZipEntryStreamC stream_;
};
