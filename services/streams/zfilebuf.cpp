// zfilebuf: gzip framing, deflate on output, probing and inflate on input.
#include "services/streams/zfilebuf.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace {

constexpr unsigned char kGzipHeader[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 5};

// Header flag bits of the gzip format.
constexpr int kFlagHeaderCrc = 2;
constexpr int kFlagExtra = 4;
constexpr int kFlagName = 8;
constexpr int kFlagComment = 16;
constexpr int kFlagsReserved = 0xE0;

}  // namespace

void zfilebuf::StreamDeleter::operator()(z_stream_s* s) const
{
    delete s;
}

zfilebuf::zfilebuf() = default;

zfilebuf::zfilebuf(int handle) : rc4filebuf(handle) {}

zfilebuf::zfilebuf(int handle, char* p, int n) : rc4filebuf(handle, p, n) {}

zfilebuf::~zfilebuf()
{
    closeOnDestroy();
    resetState();
}

void zfilebuf::resetState()
{
    if (stream_) {
        if (writing_)
            deflateEnd(stream_.get());
        else
            inflateEnd(stream_.get());
        stream_.reset();
    }
    firstReadDone_ = writing_ = compressed_ = encrypted_ = false;
    broken_ = inputEnded_ = streamEnded_ = finished_ = false;
    crc_ = total_ = 0;
    carryCount_ = 0;
    inStart_ = inEnd_ = 0;
}

csfilebuffer* zfilebuf::open(const char* name, int mode, int protection)
{
    if (is_open())
        return nullptr;
    resetState();
    csfilebuffer* result = rc4filebuf::open(name, mode, protection);
    if (result == nullptr || (mode & csopenmode::in) || !(mode & (csopenmode::out | csopenmode::app)))
        return result;
    compressed_ = mode & compressFlag;
    encrypted_ = mode & encryptFlag;
    if (!compressed_ && !encrypted_)
        return result;
    setMode(binaryTranslation);
    writing_ = true;
    if (!compressed_)
        return result;
    bool ok = rc4filebuf::rawWrite(reinterpret_cast<const char*>(kGzipHeader), sizeof kGzipHeader) == sizeof kGzipHeader;
    if (ok) {
        stream_.reset(new z_stream{});
        ok = deflateInit2(stream_.get(), 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        if (!ok)
            stream_.reset();
    }
    if (!ok) {
        compressed_ = false;
        close();
        return nullptr;
    }
    crc_ = crc32(0L, Z_NULL, 0);
    stream_->next_out = buffer_;
    stream_->avail_out = bufferSize;
    return result;
}

int zfilebuf::readLower(unsigned char* p, int n)
{
    int got = 0;
    while (got < n) {
        const int k = rc4filebuf::rawRead(reinterpret_cast<char*>(p) + got, n - got);
        if (k < 0)
            return got > 0 ? got : -1;
        if (k == 0)
            break;
        got += k;
    }
    return got;
}

int zfilebuf::probe()
{
    unsigned char head[2];
    const int got = readLower(head, 2);
    if (got < 0)
        return -1;
    if (got == 2 && head[0] == 0x1F && head[1] == 0x8B)
        return startInflate();
    // Plain data, including a file that begins with "BZ": the probed bytes are its first.
    std::memcpy(carry_, head, size_t(got));
    carryCount_ = got;
    return 0;
}

bool zfilebuf::nextHeaderByte(unsigned char& c)
{
    if (inStart_ == inEnd_) {
        const int got = rc4filebuf::rawRead(reinterpret_cast<char*>(buffer_), bufferSize);
        if (got <= 0)
            return false;
        inStart_ = 0;
        inEnd_ = got;
    }
    c = buffer_[inStart_++];
    return true;
}

int zfilebuf::startInflate()
{
    setMode(binaryTranslation);
    inStart_ = inEnd_ = 0;
    unsigned char method = 0, flags = 0, c = 0;
    bool ok = nextHeaderByte(method) && method == Z_DEFLATED && nextHeaderByte(flags) && !(flags & kFlagsReserved);
    for (int k = 0; ok && k < 6; ++k)  // time, extra flags, system
        ok = nextHeaderByte(c);
    if (ok && (flags & kFlagExtra)) {
        unsigned char lo = 0, hi = 0;
        ok = nextHeaderByte(lo) && nextHeaderByte(hi);
        for (int k = 0, n = lo | hi << 8; ok && k < n; ++k)
            ok = nextHeaderByte(c);
    }
    for (int bit : {kFlagName, kFlagComment})
        if (ok && (flags & bit))
            do
                ok = nextHeaderByte(c);
            while (ok && c != 0);
    if (ok && (flags & kFlagHeaderCrc))
        ok = nextHeaderByte(c) && nextHeaderByte(c);
    if (ok) {
        stream_.reset(new z_stream{});
        ok = inflateInit2(stream_.get(), -15) == Z_OK;
        if (!ok)
            stream_.reset();
    }
    if (!ok) {
        broken_ = true;
        return -1;
    }
    compressed_ = true;
    stream_->next_in = buffer_ + inStart_;
    stream_->avail_in = unsigned(inEnd_ - inStart_);
    return 0;
}

int zfilebuf::rawRead(char* p, int n)
{
    if (broken_ || n < 0 || (p == nullptr && n > 0))
        return -1;
    if ((compressed_ || encrypted_) && writing_)
        return -1;
    if (!firstReadDone_) {
        firstReadDone_ = true;
        if (probe() < 0)
            return -1;
    }
    if (compressed_)
        return inflateInto(p, n);
    int delivered = 0;
    if (carryCount_ > 0) {
        delivered = std::min(n, carryCount_);
        std::memcpy(p, carry_, size_t(delivered));
        carryCount_ -= delivered;
        std::memmove(carry_, carry_ + delivered, size_t(carryCount_));
        if (delivered == n)
            return n;
    }
    const int got = rc4filebuf::rawRead(p + delivered, n - delivered);
    if (got < 0)
        return delivered > 0 ? delivered : -1;
    return delivered + got;
}

int zfilebuf::inflateInto(char* p, int n)
{
    if (streamEnded_ || n == 0)
        return 0;
    z_stream& zs = *stream_;
    zs.next_out = reinterpret_cast<Bytef*>(p);
    zs.avail_out = unsigned(n);
    while (zs.avail_out > 0) {
        if (zs.avail_in == 0 && !inputEnded_) {
            const int got = rc4filebuf::rawRead(reinterpret_cast<char*>(buffer_), bufferSize);
            if (got < 0) {
                broken_ = true;
                break;
            }
            inputEnded_ = got == 0;
            zs.next_in = buffer_;
            zs.avail_in = unsigned(got);
        }
        const int ret = inflate(&zs, Z_NO_FLUSH);
        if (ret == Z_STREAM_END) {
            streamEnded_ = true;
            break;
        }
        if (ret == Z_BUF_ERROR && inputEnded_ && zs.avail_in == 0) {
            // The file ends inside the deflate stream.
            broken_ = true;
            break;
        }
        if (ret != Z_OK && ret != Z_BUF_ERROR) {
            broken_ = true;
            const int produced = n - int(zs.avail_out);
            return produced > 0 ? produced : (ret < 0 ? ret : Z_DATA_ERROR);
        }
    }
    const int produced = n - int(zs.avail_out);
    // What was inflated before a failure is still delivered; the failure shows next time.
    return produced > 0 || !broken_ ? produced : -1;
}

bool zfilebuf::writeOutput(int n)
{
    return n == 0 || rc4filebuf::rawWrite(reinterpret_cast<const char*>(buffer_), n) == n;
}

int zfilebuf::rawWrite(const char* p, int n)
{
    if (broken_ || n < 0 || (p == nullptr && n > 0))
        return -1;
    if ((compressed_ || encrypted_) && !writing_)
        return -1;
    if (!compressed_ && !encrypted_)
        return rc4filebuf::rawWrite(p, n);
    if (!compressed_)
        return -1;
    return deflateFrom(p, n);
}

int zfilebuf::deflateFrom(const char* p, int n)
{
    const bool finish = p == nullptr && n == 0;
    if (finished_)
        return finish ? 0 : -1;
    z_stream& zs = *stream_;
    if (!finish) {
        crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(p), unsigned(n));
        total_ += unsigned(n);
    }
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(p));
    zs.avail_in = unsigned(n);
    for (;;) {
        const int ret = deflate(&zs, finish ? Z_FINISH : Z_NO_FLUSH);
        if (ret == Z_STREAM_END) {
            finished_ = true;
            int pending = bufferSize - int(zs.avail_out);
            if (pending + 8 > bufferSize) {
                if (!writeOutput(pending))
                    return -1;
                pending = 0;
            }
            const unsigned long words[2] = {crc_, total_};
            for (unsigned long w : words)
                for (int k = 0; k < 4; ++k)
                    buffer_[pending++] = static_cast<unsigned char>(w >> (8 * k));
            return writeOutput(pending) ? pending : -1;
        }
        if (ret != Z_OK && ret != Z_BUF_ERROR) {
            broken_ = true;
            return -1;
        }
        if (zs.avail_out == 0) {
            if (!writeOutput(bufferSize)) {
                broken_ = true;
                return -1;
            }
            zs.next_out = buffer_;
            zs.avail_out = bufferSize;
        } else if (!finish && zs.avail_in == 0) {
            return n;
        } else if (ret == Z_BUF_ERROR) {
            // No progress possible with room left: never retry the same call.
            broken_ = true;
            return -1;
        }
    }
}

int zfilebuf::rawClose()
{
    int result = 0;
    if (stream_ && writing_ && compressed_ && rawWrite(nullptr, 0) < 0)
        result = -1;
    resetState();
    const int closed = rc4filebuf::rawClose();
    return result != 0 ? result : closed;
}

int64_t zfilebuf::tell()
{
    if (compressed_ || encrypted_)
        return -1;
    const int64_t at = rc4filebuf::tell();
    return at < 0 ? at : at - carryCount_;
}

int64_t zfilebuf::seek(int64_t offset, std::ios_base::seekdir way)
{
    if (compressed_ || encrypted_)
        return -1;
    if (offset == 0 && way == std::ios_base::cur)
        return tell();
    if (way == std::ios_base::cur)
        offset -= carryCount_;
    carryCount_ = 0;
    // Positioning before the first read: the format probe belongs to position 0 only, and
    // the reads of an enciphered skip are data, not a header.
    const bool probePending = !firstReadDone_;
    firstReadDone_ = true;
    const int64_t at = rc4filebuf::seek(offset, way);
    if (probePending && rc4filebuf::tell() == 0)
        firstReadDone_ = false;
    return at;
}

int64_t zfilebuf::size()
{
    if (compressed_ || encrypted_)
        return -1;
    return rc4filebuf::size();
}

int64_t zfilebuf::fileLength()
{
    return csfilebuffer::fileLength();
}
