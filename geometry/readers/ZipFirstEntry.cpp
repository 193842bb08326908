// readFirstZipEntry over minizip's unzip interface with in-memory file callbacks.
#include "geometry/readers/ZipFirstEntry.h"

#include <cstdint>
#include <cstring>
#include <string>

#include <minizip/unzip.h>

#include "services/files/RegularFile.h"

namespace {

// The archive's bytes and a read position; minizip sees it as its one open file.
struct MemoryArchive {
    std::string bytes;
    uint64_t pos = 0;
    bool opened = false;
};

voidpf ZCALLBACK openMemory(voidpf opaque, const void*, int mode)
{
    auto* a = static_cast<MemoryArchive*>(opaque);
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    a->pos = 0;
    a->opened = true;
    return a;
}

uLong ZCALLBACK readMemory(voidpf, voidpf stream, void* buf, uLong size)
{
    auto* a = static_cast<MemoryArchive*>(stream);
    const uint64_t left = a->pos < a->bytes.size() ? a->bytes.size() - a->pos : 0;
    const uLong n = uint64_t(size) < left ? size : uLong(left);
    if (n > 0)
        std::memcpy(buf, a->bytes.data() + a->pos, n);
    a->pos += n;
    return n;
}

uLong ZCALLBACK writeMemory(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK tellMemory(voidpf, voidpf stream) { return static_cast<MemoryArchive*>(stream)->pos; }

long ZCALLBACK seekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* a = static_cast<MemoryArchive*>(stream);
    uint64_t base;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = a->pos; break;
    case ZLIB_FILEFUNC_SEEK_END: base = a->bytes.size(); break;
    default: return -1;
    }
    if (offset > a->bytes.size() || base > a->bytes.size() - offset)
        return -1;
    a->pos = base + offset;
    return 0;
}

int ZCALLBACK closeMemory(voidpf, voidpf stream)
{
    static_cast<MemoryArchive*>(stream)->opened = false;
    return 0;
}

int ZCALLBACK errorMemory(voidpf, voidpf) { return 0; }

}  // namespace

bool readFirstZipEntry(const char* path, std::vector<char>& out, size_t maxSize, uint64_t maxFileSize)
{
    out.clear();
    if (!path)
        return false;
    MemoryArchive archive;
    if (!readRegularFile(path, archive.bytes, maxFileSize))
        return false;

    zlib_filefunc64_def funcs;
    funcs.zopen64_file = openMemory;
    funcs.zread_file = readMemory;
    funcs.zwrite_file = writeMemory;
    funcs.ztell64_file = tellMemory;
    funcs.zseek64_file = seekMemory;
    funcs.zclose_file = closeMemory;
    funcs.zerror_file = errorMemory;
    funcs.opaque = &archive;

    unzFile zip = unzOpen2_64(path, &funcs);
    if (!zip)
        return false;
    bool ok = unzGoToFirstFile(zip) == UNZ_OK && unzOpenCurrentFilePassword(zip, nullptr) == UNZ_OK;
    if (ok) {
        // The header's sizes are not trusted: the entry is read until its data ends.
        char chunk[65536];
        for (;;) {
            const int n = unzReadCurrentFile(zip, chunk, sizeof chunk);
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0)
                break;
            if (size_t(n) > maxSize - out.size()) {
                ok = false;
                break;
            }
            out.insert(out.end(), chunk, chunk + n);
        }
        // Reports a checksum mismatch once the whole entry has been read.
        if (unzCloseCurrentFile(zip) != UNZ_OK)
            ok = false;
    }
    unzClose(zip);
    if (!ok)
        out.clear();
    return ok;
}
