// Fuzz target: arbitrary bytes opened as a ZIP archive, every entry described, looked up and read
// (encrypted entries with the password "secret", or without one, or with a wrong one).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <streambuf>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "services/archive/ZipFileInfoC.h"
#include "services/archive/ZipReaderC.h"

namespace {

// The input as a read-only file; every open gets its own read position.
struct MemoryFile {
    const uint8_t* data;
    size_t size;
};

struct Cursor {
    const MemoryFile* file;
    size_t pos;
};

voidpf ZCALLBACK openFile(voidpf opaque, const char*, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    return new Cursor{static_cast<const MemoryFile*>(opaque), 0};
}

uLong ZCALLBACK readFile(voidpf, voidpf stream, void* buf, uLong size)
{
    auto* c = static_cast<Cursor*>(stream);
    const size_t left = c->pos < c->file->size ? c->file->size - c->pos : 0;
    const size_t n = size < left ? size_t(size) : left;
    if (n > 0)
        std::memcpy(buf, c->file->data + c->pos, n);
    c->pos += n;
    return uLong(n);
}

uLong ZCALLBACK writeFile(voidpf, voidpf, const void*, uLong) { return 0; }

long ZCALLBACK tellFile(voidpf, voidpf stream) { return long(static_cast<Cursor*>(stream)->pos); }

long ZCALLBACK seekFile(voidpf, voidpf stream, uLong offset, int origin)
{
    auto* c = static_cast<Cursor*>(stream);
    size_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = c->pos;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = c->file->size;
    if (offset > c->file->size || base > c->file->size - offset)
        return -1;
    c->pos = base + offset;
    return 0;
}

int ZCALLBACK closeFile(voidpf, voidpf stream)
{
    delete static_cast<Cursor*>(stream);
    return 0;
}

int ZCALLBACK errorFile(voidpf, voidpf) { return 0; }

// Counts what is written and keeps nothing, up to a limit (an entry may unpack a thousandfold).
class CountingBuf : public std::streambuf {
public:
    size_t count = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override
    {
        if (count + size_t(n) > kLimit)
            return 0;
        count += size_t(n);
        return n;
    }
    int_type overflow(int_type c) override { return xsputn(nullptr, 1) == 1 ? traits_type::not_eof(c) : traits_type::eof(); }

private:
    static constexpr size_t kLimit = 64u << 20;
};

}  // namespace

// Input: the archive's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryFile file{data, size};
    zlib_filefunc_def funcs;
    funcs.zopen_file = openFile;
    funcs.zread_file = readFile;
    funcs.zwrite_file = writeFile;
    funcs.ztell_file = tellFile;
    funcs.zseek_file = seekFile;
    funcs.zclose_file = closeFile;
    funcs.zerror_file = errorFile;
    funcs.opaque = &file;

    ZipReaderC reader;
    if (reader.open("input.zip", &funcs) != ZipOk)
        return 0;
    std::string firstName;
    int r = reader.goToFirstFile();
    for (int n = 0; r == ZipOk && n < 4096; ++n, r = reader.goToNextFile()) {
        ZipFileInfoC info;
        if (reader.getCurrentFileInfo(info) != ZipOk)
            continue;
        FUZZ_CHECK(info.name()[info.nameSize()] == '\0');
        FUZZ_CHECK(info.comment()[info.commentSize()] == '\0');
        if (n == 0 && std::strlen(info.name()) == info.nameSize())
            firstName = info.name();
        // An encrypted entry never opens without a password. The seeds' password is "secret";
        // every third entry gets a wrong one, which fails at the open or, when the header's
        // check byte lets it through, at the data.
        const bool encrypted = (info.info.flag & 1) != 0;
        if (encrypted)
            FUZZ_CHECK(reader.openCurrentFile(nullptr) == ZipFailed && reader.openCurrentFile("") == ZipFailed);
        // An entry is read by its own method or not at all.
        if (!zipMethodReadable(unsigned(info.info.compression_method)))
            FUZZ_CHECK(reader.openCurrentFile("secret") == ZipFailed);
        const char* password = n % 3 == 2 ? "wrong" : n % 3 == 1 ? "secret" : encrypted ? "secret" : nullptr;
        if (reader.openCurrentFile(password) != ZipOk)
            continue;
        CountingBuf sink;
        std::ostream out(&sink);
        const int extracted = reader.extractCurrentFile(&out, 4096, false);
        const int closed = reader.closeCurrentFile();
        // A whole entry that came out right has exactly the size its record declares.
        if (extracted == ZipOk && closed == ZipOk && info.info.uncompressed_size != 0xFFFFFFFFu)
            FUZZ_CHECK(sink.count == info.info.uncompressed_size);
    }
    if (!firstName.empty())
        FUZZ_CHECK(reader.locateFile(firstName.c_str()) == ZipOk);
    return 0;
}
