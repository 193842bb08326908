// ZipViewC: an archive as minizip is shown it, without a stub in front and with its ZIP64
// sizes and offsets in the directory records' own fields.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <minizip/ioapi.h>

#include "platform/Reason.h"
#include "services/archive/ZipDirectoryEnd.h"

// minizip takes a directory record's 32-bit sizes and local header offset as they stand,
// ignoring the ZIP64 extra block that holds their values when they are all ones, and seeks
// the ZIP64 end record only where its locator points, which a self-extracting stub in front
// of the archive moves. Read through this view, an archive shows minizip what unzip and
// Python's zipfile find in it: positions count from the archive proper (origin() in the
// file), and each all-ones field of the central directory reads as its ZIP64 value when that
// fits 32 bits. Values of 4 GiB and more stay all ones.
class ZipViewC {
public:
    // Finds the end records through readAt in a file of fileSize bytes and gathers the
    // fields to rewrite. False when the file has no usable end record (findZipDirectoryEnd).
    bool scan(const ZipReadAt& readAt, uint64_t fileSize);

    const ZipDirectoryEnd& end() const { return end_; }
    // What is wrong with the ZIP64 values of the directory's entry `index` (counted from 0), as
    // the inside of a failure reason: "entry 'a.txt': its ZIP64 extra field gives a compressed
    // size of 9223372036854775808", "entry 'a.txt': its size is marked as in a ZIP64 extra
    // field, and it has none", "... its ZIP64 extra field does not hold its size"; an entry
    // without a name is "entry number 3" (counted from 1). Empty when nothing is.
    platform::ReasonText damage(uint64_t index) const;
    // Where position 0 of the view lies in the file.
    uint64_t origin() const { return end_.prefixSize; }

    // minizip file functions that read `inner` through this view; the view must outlive
    // every stream opened with them.
    zlib_filefunc64_def functions(const zlib_filefunc64_32_def& inner);

private:
    struct Patch {
        uint64_t filePos;  // of a 32-bit field
        uint32_t value;
    };

    void apply(uint64_t filePos, unsigned char* buf, uint64_t len) const;

    static voidpf ZCALLBACK openFn(voidpf opaque, const void* name, int mode);
    static uLong ZCALLBACK readFn(voidpf opaque, voidpf stream, void* buf, uLong size);
    static uLong ZCALLBACK writeFn(voidpf opaque, voidpf stream, const void* buf, uLong size);
    static ZPOS64_T ZCALLBACK tellFn(voidpf opaque, voidpf stream);
    static long ZCALLBACK seekFn(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin);
    static int ZCALLBACK closeFn(voidpf opaque, voidpf stream);
    static int ZCALLBACK errorFn(voidpf opaque, voidpf stream);

    ZipDirectoryEnd end_;
    std::vector<Patch> patches_;  // in file order
    std::vector<std::pair<uint64_t, platform::ReasonText>> damages_;  // by entry index, in order
    zlib_filefunc64_32_def inner_{};
};
