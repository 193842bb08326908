// rc4filebuf: the magic, enciphered reads and writes, and positioning over the key stream.
#include "services/streams/rc4filebuf.h"

#include <algorithm>
#include <cstring>

namespace {

// Files written with one default key can only be read with the same one.
constexpr char kDefaultKey[] =
    "M42JWJ0KR70T0GDZ01OP5N6ZJ81NEQAH6FIHG70KRI5RNUTQ1K25WE3OS0G1YD1Z7KMID2LI7R1KO7V4HA0QX6Q5FEC5R5IJF9UBZXP8";
static_assert(sizeof kDefaultKey - 1 == 104);

constexpr char kMagicWritten[] = "CSBINF001";
constexpr char kMagicAccepted[] = "CRYPTIO01";

}  // namespace

rc4filebuf::~rc4filebuf()
{
    closeOnDestroy();
}

RWCString rc4filebuf::defaultKey()
{
    return RWCString(kDefaultKey, sizeof kDefaultKey - 1);
}

csfilebuffer* rc4filebuf::open(const char* name, int mode, int protection)
{
    // A buffer that is already open keeps its file, and that file keeps its cipher.
    if (is_open())
        return nullptr;
    active_ = false;
    return csfilebuffer::open(name, mode, protection);
}

bool rc4filebuf::keyCipher(const char* key)
{
    RWCString k(key ? key : "");
    k.append(kDefaultKey, sizeof kDefaultKey - 1);
    return cipher_.setKey(k.data(), k.length());
}

int rc4filebuf::writeHeader(const char* key)
{
    if (active_)
        return 1;
    const size_t keyLength = key ? std::strlen(key) : 0;
    if (keyLength + sizeof kDefaultKey - 1 > rc4cipher::maxKeyLength)
        return -1;
    int result = -1;
    // Buffered output is written first: the magic may only start a file that is still empty.
    sync();
    if (csfilebuffer::tell() == 0) {
        setMode(binaryTranslation);
        if (csfilebuffer::rawWrite(kMagicWritten, magicLength) == magicLength)
            result = 1;
    }
    keyCipher(key);
    active_ = true;
    return result;
}

int rc4filebuf::readHeader(const char* key)
{
    if (active_)
        return 1;
    const size_t keyLength = key ? std::strlen(key) : 0;
    if (keyLength + sizeof kDefaultKey - 1 > rc4cipher::maxKeyLength)
        return -1;
    // Bytes read ahead and not consumed go back first, so a peek does not hide the magic.
    if (sync() != 0 || csfilebuffer::tell() != 0)
        return -1;
    setMode(binaryTranslation);
    char magic[magicLength];
    int got = 0;
    while (got < magicLength) {
        const int n = csfilebuffer::rawRead(magic + got, magicLength - got);
        if (n <= 0)
            break;
        got += n;
    }
    if (got == magicLength && (std::memcmp(magic, kMagicWritten, magicLength) == 0 ||
                               std::memcmp(magic, kMagicAccepted, magicLength) == 0)) {
        keyCipher(key);
        active_ = true;
        return 1;
    }
    return csfilebuffer::seek(0, std::ios_base::beg) == 0 ? 0 : -1;
}

int rc4filebuf::rawRead(char* p, int n)
{
    const int got = csfilebuffer::rawRead(p, n);
    if (active_ && got > 0)
        cipher_.crypt(p, size_t(got));
    return got;
}

int rc4filebuf::rawWrite(const char* p, int n)
{
    if (!active_)
        return csfilebuffer::rawWrite(p, n);
    if (n < 0)
        return -1;
    // The caller's bytes stay untouched: enciphered piece by piece in a scratch buffer.
    char scratch[8192];
    for (int done = 0; done < n;) {
        const int k = std::min(n - done, int(sizeof scratch));
        std::memcpy(scratch, p + done, size_t(k));
        cipher_.crypt(scratch, size_t(k));
        if (csfilebuffer::rawWrite(scratch, k) != k)
            return -1;
        done += k;
    }
    return n;
}

int rc4filebuf::rawClose()
{
    return csfilebuffer::rawClose();
}

int64_t rc4filebuf::tell()
{
    const int64_t plain = csfilebuffer::tell();
    if (!active_ || plain < 0)
        return plain;
    // Inside the magic (a header that could not be written at 0) there is no data position.
    return plain >= magicLength ? plain - magicLength : -1;
}

int64_t rc4filebuf::size()
{
    const int64_t length = fileLength();
    if (!active_ || length < 0)
        return length;
    return length >= magicLength ? length - magicLength : -1;
}

int64_t rc4filebuf::absolutePosition(int64_t offset, std::ios_base::seekdir direction)
{
    if (direction == std::ios_base::beg)
        return offset;
    if (direction == std::ios_base::cur) {
        const int64_t at = tell();
        return at == -1 ? -1 : at + offset;
    }
    if (direction == std::ios_base::end) {
        const int64_t length = size();
        return length == -1 ? -1 : length + offset;
    }
    return 0;
}

int64_t rc4filebuf::seek(int64_t offset, std::ios_base::seekdir way)
{
    if (!active_)
        return csfilebuffer::seek(offset, way);
    if (offset == 0 && way == std::ios_base::cur)
        return tell();
    const int64_t target = absolutePosition(offset, way);
    if (target < 0)
        return -1;
    if (csfilebuffer::seek(magicLength, std::ios_base::beg) != magicLength)
        return -1;
    return skipForward(target);
}

int64_t rc4filebuf::skipForward(int64_t n)
{
    if (n < 0)
        return -1;
    cipher_.reset();
    char scratch[1024];
    for (int64_t left = n; left > 0;) {
        const int got = rawRead(scratch, int(std::min<int64_t>(left, sizeof scratch)));
        if (got <= 0)
            return -1;
        left -= got;
    }
    return n;
}
