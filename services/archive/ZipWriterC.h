// ZipWriterC: creates a ZIP archive or adds entries to an existing one, from memory or files.
#pragma once

#include <ctime>

#include <minizip/zip.h>

#include "services/archive/ZipCopyBuffer.h"
#include "services/archive/ZipResult.h"

class ZipFileInfoC;

// The file's last modification as a DOS date and time in local time (date in the high 16 bits);
// false when the file cannot be examined.
bool getFileDosDate(const char* fileName, uLong* dosDateTime);

// Results are the ZipResult codes. Opening closes whatever was open; the destructor closes too.
// Entries are deflated for a level above 0 and stored otherwise.
class ZipWriterC {
public:
    static constexpr unsigned kDefaultBufferSize = ZipCopyBuffer::kDefaultSize;

    ZipWriterC();
    ~ZipWriterC();
    ZipWriterC(const ZipWriterC&) = delete;
    ZipWriterC& operator=(const ZipWriterC&) = delete;

    // Creates the archive, or with append and an existing file adds to it: the old entries stay
    // and new ones follow them. ZipNotAnArchive (the file untouched) when the existing file has
    // no end record, names a directory outside itself, or has ZIP64 end records behind bytes
    // in front of the archive (a self-extracting stub); ZipFailed when it cannot be opened, or
    // for append together with custom file functions.
    int openForWrite(const char* fileName, bool append, zlib_filefunc_def* fileFuncs = nullptr);
    int close();
    bool isOpen() const { return zip_ != nullptr; }

    // A new entry dated at the local time of modified (0: now).
    int openNewFile(const char* nameInZip, time_t modified, int level);
    // A new entry dated as sourceFile, or with no source as a file named nameInZip when there is
    // one, else now. ZipFailed when the source cannot be examined.
    int openNewFile(const char* nameInZip, const char* sourceFile, int level);
    // A new entry to receive data compressed elsewhere, described by another archive's entry.
    int openNewFileRaw(const char* nameInZip, const ZipFileInfoC& source);
    int write(const void* data, unsigned len);
    int closeFileInZip();

    // The whole of sourceFile as one entry, copied bufferSize bytes at a time (0 keeps the
    // current size). ZipFailed when the source is missing, not a regular file, cannot be opened
    // or cannot be read whole; no entry is added when it cannot be opened.
    int addFile(const char* sourceFile, const char* nameInZip, unsigned bufferSize = 0, int level = 6);

    unsigned bufferSize() const { return buffer_.size(); }

private:
    int openEntry(const char* nameInZip, const zip_fileinfo& info, int method, int level, bool raw);

    zipFile zip_ = nullptr;
    ZipCopyBuffer buffer_;
    // Size and checksum of the uncompressed data, handed to minizip when a raw entry closes.
    bool rawPending_ = false;
    uLong rawSize_ = 0;
    uLong rawCrc_ = 0;
};
