// ZipEntryStreamC: deciphering, inflating and checking an entry's stored bytes.
#include "services/archive/ZipEntryStreamC.h"

#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>

namespace {

constexpr unsigned kInputSize = 1u << 16;
constexpr unsigned kMaxRead = 1u << 30;  // counts travel as int
constexpr unsigned kMethodStored = 0, kMethodDeflated = Z_DEFLATED, kMethodAes = 99;

}  // namespace

bool zipMethodReadable(unsigned method) { return method == kMethodStored || method == kMethodDeflated; }

std::string zipMethodText(unsigned method)
{
    // The methods of the ZIP format's own list that writers are known to use.
    static const struct {
        unsigned method;
        const char* name;
    } known[] = {{0, "stored"},  {1, "shrink"},     {2, "reduce"},   {3, "reduce"}, {4, "reduce"},
                 {5, "reduce"},  {6, "implode"},    {8, "deflate"},  {9, "deflate64"},
                 {10, "PKWARE DCL implode"},        {12, "bzip2"},   {14, "LZMA"},  {18, "IBM TERSE"},
                 {19, "IBM LZ77"}, {20, "Zstandard"}, {93, "Zstandard"}, {94, "MP3"}, {95, "XZ"},
                 {96, "JPEG"},   {97, "WavPack"},   {98, "PPMd"},    {99, "AES"}};
    const std::string number = "method " + std::to_string(method);
    for (const auto& k : known)
        if (k.method == method)
            return number + " (" + k.name + ")";
    return number;
}

struct ZipEntryStreamC::Inflater {
    z_stream z{};
    bool made = false;
    ~Inflater()
    {
        if (made)
            inflateEnd(&z);
    }
};

ZipEntryStreamC::ZipEntryStreamC() = default;
ZipEntryStreamC::~ZipEntryStreamC() = default;

int ZipEntryStreamC::check(const ZipEntryFacts& facts, const char* password)
{
    const bool encrypted = (facts.flag & 1) != 0;
    // AES entries name method 99 and keep the real one in an extra field: a cipher we do not
    // read, refused as a password we cannot check.
    if (encrypted && (facts.method == kMethodAes || !password || !*password))
        return ZipStreamPassword;
    if (!zipMethodReadable(facts.method) ||
        (encrypted && facts.compressedSize < ZipCipherKeys::kHeaderSize))
        return ZipStreamCorrupt;
    return ZipStreamOk;
}

long ZipEntryStreamC::rawRead(unsigned char* buf, unsigned len)
{
    const long got = raw_(buf, len);
    return got > long(len) ? -1 : got;
}

int ZipEntryStreamC::open(RawRead raw, const ZipEntryFacts& facts, const char* password)
{
    abandon();
    const int checked = check(facts, password);
    if (checked != ZipStreamOk)
        return checked;
    raw_ = std::move(raw);
    rawLeft_ = facts.compressedSize;
    if (facts.flag & 1) {
        unsigned char header[ZipCipherKeys::kHeaderSize];
        const long got = rawRead(header, sizeof header);
        if (got != long(sizeof header)) {
            abandon();
            return got < 0 ? ZipStreamReadFailed : ZipStreamCorrupt;
        }
        rawLeft_ -= sizeof header;
        keys_ = std::make_unique<ZipCipherKeys>(password);
        keys_->decrypt(header, sizeof header);
        // The header's last byte repeats the CRC's high byte; an entry written with a data
        // descriptor had no CRC yet when its header was made, so the time's high byte stands in.
        const unsigned char expected = (facts.flag & 8) ? static_cast<unsigned char>(facts.dosDate >> 8)
                                                        : static_cast<unsigned char>(facts.crc >> 24);
        if (header[sizeof header - 1] != expected) {
            abandon();
            return ZipStreamPassword;
        }
    }
    deflated_ = facts.method == kMethodDeflated;
    if (deflated_) {
        if (!inflater_)
            inflater_ = std::make_unique<Inflater>();
        const int made = inflater_->made ? inflateReset(&inflater_->z) : inflateInit2(&inflater_->z, -MAX_WBITS);
        inflater_->made = inflater_->made || made == Z_OK;
        if (made != Z_OK) {
            abandon();
            return ZipStreamCorrupt;
        }
        inflater_->z.avail_in = 0;
    }
    declared_ = facts.uncompressedSize;
    crcWanted_ = facts.crc;
    crc_ = static_cast<uint32_t>(crc32(0, nullptr, 0));
    open_ = true;
    return ZipStreamOk;
}

int ZipEntryStreamC::fill()
{
    if (rawLeft_ == 0)
        return 0;
    if (input_.empty())
        input_.resize(kInputSize);
    const unsigned want = static_cast<unsigned>(std::min<uint64_t>(rawLeft_, input_.size()));
    const long got = rawRead(input_.data(), want);
    if (got < 0)
        return ZipStreamReadFailed;
    if (got == 0)
        return ZipStreamDamaged;  // fewer bytes than the record declares
    if (keys_)
        keys_->decrypt(input_.data(), static_cast<size_t>(got));
    rawLeft_ -= static_cast<unsigned long>(got);
    return static_cast<int>(got);
}

int ZipEntryStreamC::readStored(unsigned char* out, unsigned len)
{
    const unsigned n = static_cast<unsigned>(std::min<uint64_t>(rawLeft_, len));
    if (n == 0) {
        ended_ = true;
        return 0;
    }
    const long got = rawRead(out, n);
    if (got < 0)
        return ZipStreamReadFailed;
    if (got == 0)
        return ZipStreamDamaged;
    if (keys_)
        keys_->decrypt(out, static_cast<size_t>(got));
    rawLeft_ -= static_cast<unsigned long>(got);
    produced_ += static_cast<unsigned long>(got);
    if (produced_ > declared_)
        return ZipStreamDamaged;
    crc_ = static_cast<uint32_t>(crc32(crc_, out, static_cast<uInt>(got)));
    return static_cast<int>(got);
}

int ZipEntryStreamC::readDeflated(unsigned char* out, unsigned len)
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
                return ZipStreamDamaged;  // the stored bytes ended before the stream did
            z.next_in = input_.data();
            z.avail_in = static_cast<uInt>(got);
        }
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            ended_ = true;
            break;
        }
        if (status != Z_OK && !(status == Z_BUF_ERROR && z.avail_in == 0))
            return ZipStreamDamaged;
    }
    const unsigned made = offered - z.avail_out;
    if (full)
        return made ? ZipStreamDamaged : 0;
    produced_ += made;
    crc_ = static_cast<uint32_t>(crc32(crc_, out, made));
    return static_cast<int>(made);
}

int ZipEntryStreamC::read(void* buf, unsigned len)
{
    if (!open_ || (!buf && len))
        return ZipStreamReadFailed;
    len = std::min(len, kMaxRead);
    if (len == 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buf);
    return deflated_ ? readDeflated(out, len) : readStored(out, len);
}

int ZipEntryStreamC::close()
{
    if (!open_)
        return ZipStreamOk;
    // Checked once every recorded byte came out, or the data ended, as minizip checks a plain
    // entry it reads itself.
    const bool complete = ended_ || produced_ == declared_;
    const bool damaged = complete && (produced_ != declared_ || crc_ != crcWanted_);
    abandon();
    return damaged ? ZipStreamDamaged : ZipStreamOk;
}

void ZipEntryStreamC::abandon()
{
    open_ = false;
    raw_ = nullptr;
    keys_.reset();
    rawLeft_ = declared_ = produced_ = 0;
    crc_ = crcWanted_ = 0;
    deflated_ = ended_ = false;
}

int ZipEncryptedEntryC::open(void* unz, const char* password)
{
    abandon();
    unz_file_info64 fi{};
    if (!unz || unzGetCurrentFileInfo64(static_cast<unzFile>(unz), &fi, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ZipStreamCorrupt;
    const ZipEntryFacts facts{unsigned(fi.compression_method), unsigned(fi.flag), uint32_t(fi.crc),
                              uint32_t(fi.dosDate), fi.compressed_size, fi.uncompressed_size};
    const int checked = ZipEntryStreamC::check(facts, password);
    if (checked != ZipStreamOk)
        return checked;
    if (unzOpenCurrentFile2(static_cast<unzFile>(unz), nullptr, nullptr, 1) != UNZ_OK)
        return ZipStreamCorrupt;
    // Opened raw, minizip hands over the stored bytes as they are.
    const auto raw = [unz](unsigned char* buf, unsigned len) -> long {
        return unzReadCurrentFile(static_cast<unzFile>(unz), buf, len);
    };
    const int opened = stream_.open(raw, facts, password);
    if (opened != ZipStreamOk) {
        unzCloseCurrentFile(static_cast<unzFile>(unz));
        return opened;
    }
    unz_ = unz;
    return ZipStreamOk;
}

int ZipEncryptedEntryC::close()
{
    if (!unz_)
        return ZipStreamOk;
    // Opened raw, minizip checks nothing here; the checks are the stream's.
    unzCloseCurrentFile(static_cast<unzFile>(unz_));
    unz_ = nullptr;
    return stream_.close();
}

void ZipEncryptedEntryC::abandon()
{
    unz_ = nullptr;
    stream_.abandon();
}
