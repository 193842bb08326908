// ZipCipher: the ZIP format's traditional (PKWARE) encryption, read side: the cipher's keys and
// an encrypted entry read over minizip's raw reads, decrypted, inflated and checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The cipher's three 32-bit keys, set from a password and stirred by every plain byte.
class ZipCipherKeys {
public:
    static constexpr unsigned kHeaderSize = 12;  // random bytes in front of each entry's data

    explicit ZipCipherKeys(const char* password);
    // Deciphers n bytes in place.
    void decrypt(unsigned char* bytes, size_t n);
    // Enciphers n bytes in place; the readers never write, tests and seeds do.
    void encrypt(unsigned char* bytes, size_t n);

private:
    template <bool kDecrypt>
    void apply(unsigned char* bytes, size_t n);

    uint32_t k0_ = 0x12345678u;
    uint32_t k1_ = 0x23456789u;
    uint32_t k2_ = 0x34567890u;
};

// What opening, reading or closing an encrypted entry gives, besides a byte count.
enum ZipCipherResult : int {
    ZipCipherOk = 0,
    ZipCipherPassword = -1,    // no password, a wrong one, or a cipher we cannot read (AES)
    ZipCipherCorrupt = -2,     // the local header or the method is not one we can read
    ZipCipherReadFailed = -3,  // the archive's bytes could not be read
    ZipCipherDamaged = -4,     // the data does not inflate, or fails its size or CRC
};

// One encrypted entry of a minizip archive (an unzFile, passed as void* so that minizip stays
// out of this header). Only entries whose flag has bit 0 set come here: the caller decides.
// minizip opens the entry raw and hands over the stored bytes; the 12-byte header is checked
// against the entry's CRC (or, with a data descriptor, its time), the rest is deciphered,
// inflated or passed through, and never more than the recorded size comes out.
class ZipEncryptedEntryC {
public:
    ZipEncryptedEntryC();
    ~ZipEncryptedEntryC();
    ZipEncryptedEntryC(const ZipEncryptedEntryC&) = delete;
    ZipEncryptedEntryC& operator=(const ZipEncryptedEntryC&) = delete;

    // Opens minizip's current entry. A null or empty password is no password. ZipCipherOk,
    // ZipCipherPassword (minizip's entry is left closed), ZipCipherCorrupt or
    // ZipCipherReadFailed.
    int open(void* unz, const char* password);
    bool isOpen() const { return unz_ != nullptr; }

    // Up to len plain bytes into buf: their count, 0 at the entry's end, or ZipCipherDamaged /
    // ZipCipherReadFailed.
    int read(void* buf, unsigned len);

    // Closes minizip's entry. ZipCipherDamaged when the entry was read to its end and its size
    // or CRC does not match the record; otherwise ZipCipherOk.
    int close();
    // Forgets the entry without touching minizip (whose archive is being closed anyway).
    void abandon();

private:
    int fill();
    int readStored(unsigned char* out, unsigned len);
    int readDeflated(unsigned char* out, unsigned len);

    void* unz_ = nullptr;
    std::unique_ptr<ZipCipherKeys> keys_;
    struct Inflater;
    std::unique_ptr<Inflater> inflater_;
    std::vector<unsigned char> input_;  // deciphered stored bytes waiting for inflate
    uint64_t rawLeft_ = 0;    // stored bytes not yet taken from minizip
    uint64_t declared_ = 0;   // recorded uncompressed size
    uint32_t crcWanted_ = 0, crc_ = 0;
    uint64_t produced_ = 0;
    bool deflated_ = false;
    bool ended_ = false;
};
