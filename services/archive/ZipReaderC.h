// ZipReaderC: walks the entries of a ZIP archive and extracts the current one.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <vector>

#include <minizip/unzip.h>

#include "services/archive/ZipEntryStreamC.h"
#include "services/archive/ZipCopyBuffer.h"
#include "services/archive/ZipFileInfoC.h"
#include "services/archive/ZipResult.h"
#include "services/archive/ZipViewC.h"

// Results are the ZipResult codes. Opening closes whatever was open; the destructor closes too.
// Entry names are looked up ignoring ASCII case, whatever their length. An entry counts as
// damaged (ZipCrcError) when its checksum does not match or when, read to its end, it did not
// give the number of bytes its directory record declares.
// Whether an entry is decrypted is decided by its flag bit 0 alone: a password given for a plain
// entry is ignored. An encrypted entry opened without a password (null or empty), with a wrong
// one, or enciphered with AES fails to open with ZipFailed; its damaged data fails as a plain
// entry's does (a failed read, or ZipCrcError). An entry compressed with a method other than
// stored and deflated (bzip2, LZMA, ...) fails to open with ZipFailed too, never read as
// another: the archive is sound, and getCurrentFileInfo tells the method.
class ZipReaderC {
public:
    static constexpr unsigned kDefaultBufferSize = ZipCopyBuffer::kDefaultSize;

    ZipReaderC();
    ~ZipReaderC();
    ZipReaderC(const ZipReaderC&) = delete;
    ZipReaderC& operator=(const ZipReaderC&) = delete;

    // Opens through the given file functions, or the plain file functions when null. The file
    // must end with an archive's end record (and ZIP64 end records where it has them) naming a
    // directory inside the file; else -1. Bytes in front of the archive (a self-extracting
    // stub) are skipped, and ZIP64 sizes and offsets read (ZipViewC). An archive of no entry
    // (its end record alone) opens too: goToFirstFile then fails and nothing is current.
    int open(const char* fileName, zlib_filefunc_def* fileFuncs = nullptr);
    int close();
    bool isOpen() const { return unz_ != nullptr || empty_; }
    // Open, and holding no entry.
    bool isEmpty() const { return empty_; }

    int goToFirstFile();
    int goToNextFile();  // ZipEndOfList after the last entry
    int locateFile(const char* name);  // ZipNotFound keeps the current entry
    int openCurrentFile(const char* password = nullptr);
    int locateAndOpen(const char* name, const char* password = nullptr);
    // The number of bytes read, 0 at the end of the entry, -1 on any error.
    int readCurrentFile(void* buf, unsigned len);
    int closeCurrentFile();
    // Sizes and the local header offset are the 64-bit values, from the ZIP64 extra block
    // where the directory record leaves them to it.
    int getCurrentFileInfo(ZipFileInfoC& info);

    // Copies the rest of the open entry to out, bufferSize bytes at a time (0 keeps the current
    // size, another value replaces it for later calls too). A failed write is a failure; when
    // the whole entry was copied its size and checksum are checked (ZipCrcError).
    int extractCurrentFile(std::ostream* out, unsigned bufferSize = 0, bool readInfo = false);
    // Extracts the open entry into the named file (created or truncated). With no file name the
    // entry's own name is used, and names that are absolute or hold a ".." component are
    // refused (ZipBadParameter). A plain file left incomplete by a failure is removed.
    int extractCurrentFileTo(const char* fileName, unsigned bufferSize = 0);

    unsigned bufferSize() const { return buffer_.size(); }

private:
    bool openSide(const char* fileName, zlib_filefunc_def* fileFuncs);
    void closeSide();
    long sideRead(uint64_t pos, void* buf, unsigned len);
    // The current entry's sizes and local header offset from its directory record and ZIP64
    // extra field (extraSize bytes long). False when the record cannot be read; complete is
    // false when a field left all ones lacks its ZIP64 value (it stays all ones).
    bool entryValues(unsigned long extraSize, ZipEntrySizes& sizes, bool& complete);
    int readDirectoryValues(ZipFileInfoC& info);
    // Opens an entry that minizip cannot read (a size or its offset of 4 GiB or more: minizip
    // takes the 32-bit fields as they stand) for reading straight from the file.
    int openDirect(const unz_file_info64& fi, const ZipEntrySizes& sizes, const char* password);

    unzFile unz_ = nullptr;
    bool empty_ = false;  // open on an archive of no entry, which minizip does not open
    ZipCopyBuffer buffer_;

    // A second handle on the archive, for the directory fields minizip keeps to itself.
    zlib_filefunc_def funcs_{};
    bool customFuncs_ = false;
    voidpf sideStream_ = nullptr;
    int sideFd_ = -1;
    uint64_t prefixSize_ = 0;
    uint64_t sideSize_ = 0;
    ZipViewC view_;

    // The open entry: what its directory record declares and what has been read of it.
    bool entryOpen_ = false;
    bool entryEnded_ = false;
    uint64_t entryRead_ = 0;
    uint64_t entrySize_ = 0;
    bool entrySizeKnown_ = false;
    uLong entryCrc_ = 0;
    ZipEncryptedEntryC encrypted_;  // open while an encrypted entry is being read
    ZipEntryStreamC direct_;        // open while an entry is read past minizip (openDirect)
    uint64_t directPos_ = 0;        // where its next stored bytes are in the file
};
