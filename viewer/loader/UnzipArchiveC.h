// UnzipArchiveC: one open ZIP archive over an UnzipSourceC: item records, lookup and unzipping.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Reason.h"
#include "services/archive/ZipEntryStreamC.h"

class UnzipSourceC;
class ZipViewC;

// Result codes of the archive object and the handle interface (texts: FormatZipMessage); the
// ZIP layer of the services library has codes of its own (ZipResult).
enum UnzipResult : uint32_t {
    UnzipOk = 0x00000000,
    UnzipDuplicateHandle = 0x00000100,
    UnzipNoFile = 0x00000200,
    UnzipNoMemory = 0x00000300,
    UnzipWriteError = 0x00000400,
    UnzipNotFound = 0x00000500,
    UnzipMore = 0x00000600,
    UnzipCorrupt = 0x00000700,
    UnzipReadError = 0x00000800,
    UnzipPassword = 0x00001000,
    UnzipBadArguments = 0x00010000,
    UnzipNotMemory = 0x00020000,
    UnzipMemorySize = 0x00030000,
    UnzipPreviousError = 0x00040000,
    UnzipEnded = 0x00050000,
    UnzipSizeWrong = 0x00060000,
    UnzipPartlyUnzipped = 0x00070000,
    UnzipWrongMode = 0x00080000,
    UnzipNotInitialised = 0x01000000,
    UnzipCannotSeek = 0x02000000,
    UnzipNoChange = 0x04000000,
    UnzipFlation = 0x05000000,
};

// Windows file attribute values, as item records carry them.
enum ZipAttribute : uint32_t {
    ZipAttrReadOnly = 0x01,
    ZipAttrHidden = 0x02,
    ZipAttrSystem = 0x04,
    ZipAttrDirectory = 0x10,
    ZipAttrArchive = 0x20,
};

// One item of an archive. Times are FILETIME values: 100-ns ticks since 1601-01-01 UTC.
struct ZipEntryInfo {
    int32_t index = 0;  // for index -1: the number of items
    char name[260] = {};
    uint32_t attributes = 0;
    uint64_t accessTime = 0;
    uint64_t createTime = 0;
    uint64_t modifyTime = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
};

// Every operation answers with a result code of ZipHandle.h; nothing is thrown. Item sizes
// must fit the record's 32 bits, and an item is only complete when its byte count equals its
// recorded size and its CRC matches. An item with flag bit 0 set is deciphered with the
// archive's password (ignored for the other items); without one (null or empty), with a wrong
// one, or for an AES item the read gives 0x1000, and damaged encrypted data 0x5000000.
class UnzipArchiveC {
public:
    explicit UnzipArchiveC(const char* password);
    ~UnzipArchiveC();
    UnzipArchiveC(const UnzipArchiveC&) = delete;
    UnzipArchiveC& operator=(const UnzipArchiveC&) = delete;

    // kind: UnzipSourceKind. The base directory becomes the current folder. Bytes in front of
    // the archive (a self-extracting stub) are skipped, and ZIP64 end records, sizes and
    // offsets read, as the services reader does (ZipViewC).
    uint32_t Open(const void* source, uint32_t length, int kind);
    uint32_t SetBaseDir(const char* directory);
    // index -1 gives the number of items in the record's index field.
    uint32_t Get(int index, ZipEntryInfo* record);
    uint32_t Find(const char* name, bool ignoreCase, int* index, ZipEntryInfo* record);
    // kind 3 (memory): the next piece of item `index`, up to `length` bytes, into `target`;
    // 0x600 while bytes came (their count in `bytesRead` when given), 0 at the item's end.
    // kind 1 (descriptor in target's value) and 2 (file name below the base directory): the
    // whole item in one call. A file name may not be absolute nor contain "..".
    uint32_t Unzip(int index, void* target, uint32_t length, int kind, uint32_t* bytesRead = nullptr);
    uint32_t Close();
    // The whole of item `index` into `buffer` of exactly its recorded size `size`, with the
    // same checks as the pieces. From memory a deflated item is inflated straight from the
    // caller's bytes in one pass, which is what makes unzipping as fast as inflating.
    uint32_t UnzipToBuffer(int index, void* buffer, uint32_t size);

    int ItemCount() const { return itemCount; }
    // The sizes item `index` declares in the central directory, those of 4 GiB and more in
    // full (a record holds them as all ones). False, with both left as they are, when the item
    // cannot be reached or a ZIP64 value is missing.
    bool DeclaredSizes(int index, uint64_t* compressed, uint64_t* uncompressed);
    // The name (its first 4096 bytes; left as it is when it cannot be read) and the compression
    // method item `index` has in the central directory, whatever else is wrong with it:
    // `unreadMethod` is the method when it is one no item can be unpacked by (bzip2, LZMA, ...;
    // such an item fails as damaged, 0x700), else 0 (AES's marker counts as encryption). False
    // when the directory cannot be walked to the item.
    bool Listed(int index, std::string* name, unsigned* unreadMethod);
    // What is wrong with the ZIP64 values of item `index` (ZipViewC::damage), empty when
    // nothing is: whatever then fails with it, this is why.
    platform::ReasonText Damage(int index) const;
    // The last unzip failed because every recorded byte came out but their CRC did not match
    // the recorded one (a failure's reason tells this apart from other damage).
    bool LastUnzipFailedCrc() const { return crcMismatch; }

private:
    uint32_t GoTo(int index);
    uint32_t FillRecord(int index, ZipEntryInfo* record);
    uint32_t OpenItem();
    int ReadItem(void* target, unsigned length);
    uint32_t ReadResult(int read);
    void CloseItem();
    uint32_t UnzipWhole(int index, void* target, int kind);

    void* zip = nullptr;  // minizip's unzFile
    UnzipSourceC* source = nullptr;
    std::unique_ptr<ZipViewC> view;  // what minizip reads the source through
    int currentItem = -1;
    ZipEntryInfo cached;
    int cachedIndex = -1;
    char* password = nullptr;
    std::string baseDir;
    int itemCount = 0;
    uint64_t itemRead = 0;      // bytes of the current item handed out so far
    uint32_t itemDeclared = 0;  // its recorded uncompressed size
    bool itemEncrypted = false;
    bool crcMismatch = false;
    ZipEncryptedEntryC encrypted;  // reads the current item when it is encrypted
};
