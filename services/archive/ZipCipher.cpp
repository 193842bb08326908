// ZipCipher: the traditional ZIP cipher and the reading of an encrypted entry.
#include "services/archive/ZipCipher.h"

#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>

namespace {

constexpr unsigned kInputSize = 1u << 16;
constexpr unsigned kMaxRead = 1u << 30;  // counts travel as int
constexpr uLong kMethodStored = 0, kMethodDeflated = Z_DEFLATED, kMethodAes = 99;

// zlib's CRC-32 table, through which the keys are stirred one byte at a time.
const z_crc_t* const kCrcTable = get_crc_table();

inline uint32_t crcStep(uint32_t crc, unsigned char b) { return uint32_t(kCrcTable[(crc ^ b) & 0xFF]) ^ (crc >> 8); }

unzFile Unz(void* unz) { return static_cast<unzFile>(unz); }

}  // namespace

ZipCipherKeys::ZipCipherKeys(const char* password)
{
    // The password's bytes stir the keys as plain bytes would; what they encipher to is dropped.
    for (const char* p = password; p && *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        encrypt(&c, 1);
    }
}

template <bool kDecrypt>
void ZipCipherKeys::apply(unsigned char* bytes, size_t n)
{
    // Every byte's key depends on the plain byte before it: one serial chain, kept in registers.
    uint32_t k0 = k0_, k1 = k1_, k2 = k2_;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t t = (k2 & 0xFFFF) | 2;
        const unsigned char in = bytes[i];
        const unsigned char out = static_cast<unsigned char>(in ^ ((t * (t ^ 1)) >> 8));
        bytes[i] = out;
        const unsigned char plain = kDecrypt ? out : in;
        k0 = crcStep(k0, plain);
        k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
        k2 = crcStep(k2, static_cast<unsigned char>(k1 >> 24));
    }
    k0_ = k0;
    k1_ = k1;
    k2_ = k2;
}

void ZipCipherKeys::decrypt(unsigned char* bytes, size_t n) { apply<true>(bytes, n); }
void ZipCipherKeys::encrypt(unsigned char* bytes, size_t n) { apply<false>(bytes, n); }

struct ZipEncryptedEntryC::Inflater {
    z_stream z{};
    bool made = false;
    ~Inflater()
    {
        if (made)
            inflateEnd(&z);
    }
};

ZipEncryptedEntryC::ZipEncryptedEntryC() = default;
ZipEncryptedEntryC::~ZipEncryptedEntryC() = default;

int ZipEncryptedEntryC::open(void* unz, const char* password)
{
    abandon();
    unz_file_info64 fi{};
    if (!unz || unzGetCurrentFileInfo64(Unz(unz), &fi, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ZipCipherCorrupt;
    // AES entries name method 99 and keep the real one in an extra field: a cipher we do not
    // read, refused as a password we cannot check.
    if (fi.compression_method == kMethodAes || !password || !*password)
        return ZipCipherPassword;
    if ((fi.compression_method != kMethodStored && fi.compression_method != kMethodDeflated) ||
        fi.compressed_size < ZipCipherKeys::kHeaderSize)
        return ZipCipherCorrupt;
    if (unzOpenCurrentFile2(Unz(unz), nullptr, nullptr, 1) != UNZ_OK)
        return ZipCipherCorrupt;

    unsigned char header[ZipCipherKeys::kHeaderSize];
    const int got = unzReadCurrentFile(Unz(unz), header, sizeof header);
    if (got != int(sizeof header)) {
        unzCloseCurrentFile(Unz(unz));
        return got < 0 ? ZipCipherReadFailed : ZipCipherCorrupt;
    }
    auto keys = std::make_unique<ZipCipherKeys>(password);
    keys->decrypt(header, sizeof header);
    // The header's last byte repeats the CRC's high byte; an entry written with a data
    // descriptor had no CRC yet when its header was made, so the time's high byte stands in.
    const unsigned char check = (fi.flag & 8) ? static_cast<unsigned char>(fi.dosDate >> 8)
                                              : static_cast<unsigned char>(fi.crc >> 24);
    if (header[sizeof header - 1] != check) {
        unzCloseCurrentFile(Unz(unz));
        return ZipCipherPassword;
    }

    deflated_ = fi.compression_method == kMethodDeflated;
    if (deflated_) {
        if (!inflater_)
            inflater_ = std::make_unique<Inflater>();
        const int made = inflater_->made ? inflateReset(&inflater_->z) : inflateInit2(&inflater_->z, -MAX_WBITS);
        inflater_->made = inflater_->made || made == Z_OK;
        if (made != Z_OK) {
            unzCloseCurrentFile(Unz(unz));
            return ZipCipherCorrupt;
        }
        inflater_->z.avail_in = 0;
    }
    unz_ = unz;
    keys_ = std::move(keys);
    rawLeft_ = fi.compressed_size - ZipCipherKeys::kHeaderSize;
    declared_ = fi.uncompressed_size;
    crcWanted_ = static_cast<uint32_t>(fi.crc);
    crc_ = static_cast<uint32_t>(crc32(0, nullptr, 0));
    produced_ = 0;
    ended_ = false;
    return ZipCipherOk;
}

int ZipEncryptedEntryC::fill()
{
    if (rawLeft_ == 0)
        return 0;
    if (input_.empty())
        input_.resize(kInputSize);
    const unsigned want = static_cast<unsigned>(std::min<uint64_t>(rawLeft_, input_.size()));
    const int got = unzReadCurrentFile(Unz(unz_), input_.data(), want);
    if (got < 0)
        return ZipCipherReadFailed;
    if (got == 0)
        return ZipCipherDamaged;  // fewer bytes than the record declares
    keys_->decrypt(input_.data(), static_cast<size_t>(got));
    rawLeft_ -= static_cast<unsigned>(got);
    return got;
}

int ZipEncryptedEntryC::readStored(unsigned char* out, unsigned len)
{
    const unsigned n = static_cast<unsigned>(std::min<uint64_t>(rawLeft_, len));
    if (n == 0) {
        ended_ = true;
        return 0;
    }
    const int got = unzReadCurrentFile(Unz(unz_), out, n);
    if (got < 0)
        return ZipCipherReadFailed;
    if (got == 0)
        return ZipCipherDamaged;
    keys_->decrypt(out, static_cast<size_t>(got));
    rawLeft_ -= static_cast<unsigned>(got);
    produced_ += static_cast<unsigned>(got);
    if (produced_ > declared_)
        return ZipCipherDamaged;
    crc_ = static_cast<uint32_t>(crc32(crc_, out, static_cast<uInt>(got)));
    return got;
}

int ZipEncryptedEntryC::readDeflated(unsigned char* out, unsigned len)
{
    if (ended_)
        return 0;
    z_stream& z = inflater_->z;
    // Never more than the recorded size: at the size, one spare byte asks whether the stream
    // runs on.
    const uint64_t room = declared_ - produced_;
    unsigned char spare;
    const bool full = room == 0;
    z.next_out = full ? &spare : out;
    z.avail_out = full ? 1 : static_cast<uInt>(std::min<uint64_t>(room, len));
    const uInt offered = z.avail_out;
    while (z.avail_out > 0) {
        if (z.avail_in == 0) {
            const int got = fill();
            if (got < 0)
                return got;
            if (got == 0)
                return ZipCipherDamaged;  // the stored bytes ended before the stream did
            z.next_in = input_.data();
            z.avail_in = static_cast<uInt>(got);
        }
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            ended_ = true;
            break;
        }
        if (status != Z_OK && !(status == Z_BUF_ERROR && z.avail_in == 0))
            return ZipCipherDamaged;
    }
    const unsigned made = offered - z.avail_out;
    if (full)
        return made ? ZipCipherDamaged : 0;
    produced_ += made;
    crc_ = static_cast<uint32_t>(crc32(crc_, out, made));
    return static_cast<int>(made);
}

int ZipEncryptedEntryC::read(void* buf, unsigned len)
{
    if (!unz_ || (!buf && len))
        return ZipCipherReadFailed;
    len = std::min(len, kMaxRead);
    if (len == 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buf);
    return deflated_ ? readDeflated(out, len) : readStored(out, len);
}

int ZipEncryptedEntryC::close()
{
    if (!unz_)
        return ZipCipherOk;
    // Opened raw, minizip checks nothing here; the checks are ours.
    unzCloseCurrentFile(Unz(unz_));
    // As minizip does for a plain entry: checked once every recorded byte came out, or the
    // data ended.
    const bool complete = ended_ || produced_ == declared_;
    const bool damaged = complete && (produced_ != declared_ || crc_ != crcWanted_);
    abandon();
    return damaged ? ZipCipherDamaged : ZipCipherOk;
}

void ZipEncryptedEntryC::abandon()
{
    unz_ = nullptr;
    keys_.reset();
    rawLeft_ = declared_ = produced_ = 0;
    crc_ = crcWanted_ = 0;
    deflated_ = ended_ = false;
}
