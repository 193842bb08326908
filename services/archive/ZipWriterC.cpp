// ZipWriterC: archive creation and appending over minizip's zip interface.
#include "services/archive/ZipWriterC.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "services/archive/ZipDirectoryEnd.h"
#include "services/archive/ZipFileInfoC.h"
#include "services/files/RegularFile.h"

namespace {

constexpr size_t kMaxName = 0xFFFF;  // the name length is a 16-bit field

int mapEntryResult(int r)
{
    switch (r) {
    case ZIP_OK: return ZipOk;
    case ZIP_PARAMERROR: return ZipBadParameter;
    case ZIP_INTERNALERROR: return ZipInternalError;
    default: return ZipFailed;
    }
}

// Whether the file ends with an archive end record naming a directory inside the file, in a
// layout minizip can add to; -1 when the file cannot be read. minizip seeks the ZIP64 end record
// where its locator points, which bytes in front of the archive move: it would write the new
// directory over the wrong place and report success.
int hasDirectoryEnd(const char* fileName)
{
    uint64_t size = 0;
    const int fd = openRegularFile(fileName, &size);
    if (fd < 0)
        return -1;
    ZipDirectoryEnd end;
    auto readAt = [fd](uint64_t pos, void* buf, unsigned len) { return zipReadFully(fd, pos, buf, len); };
    const int result = findZipDirectoryEnd(readAt, size, end) && !(end.zip64 && end.prefixSize != 0) ? 1 : 0;
    ::close(fd);
    return result;
}

void setDate(zip_fileinfo& info, time_t when)
{
    std::memset(&info, 0, sizeof info);
    struct tm local;
    if (!localtime_r(&when, &local))
        return;
    // minizip derives the DOS date from these fields when dosDate is 0.
    info.tmz_date.tm_sec = uInt(local.tm_sec);
    info.tmz_date.tm_min = uInt(local.tm_min);
    info.tmz_date.tm_hour = uInt(local.tm_hour);
    info.tmz_date.tm_mday = uInt(local.tm_mday);
    info.tmz_date.tm_mon = uInt(local.tm_mon);
    info.tmz_date.tm_year = uInt(local.tm_year + 1900);
}

}  // namespace

bool getFileDosDate(const char* fileName, uLong* dosDateTime)
{
    struct stat st;
    struct tm local;
    if (!fileName || !dosDateTime || ::stat(fileName, &st) != 0 || !localtime_r(&st.st_mtime, &local))
        return false;
    // DOS dates count years from 1980 and seconds in steps of two.
    const int year = local.tm_year + 1900 < 1980 ? 0 : local.tm_year + 1900 - 1980;
    const uLong date = uLong(year << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const uLong time = uLong(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    *dosDateTime = date << 16 | time;
    return true;
}

ZipWriterC::ZipWriterC() = default;

ZipWriterC::~ZipWriterC()
{
    if (zip_)
        close();
}

int ZipWriterC::openForWrite(const char* fileName, bool append, zlib_filefunc_def* fileFuncs)
{
    if (zip_)
        close();
    if (!fileName)
        return ZipFailed;
    append = append && ::access(fileName, F_OK) == 0;
    if (append && fileFuncs)
        return ZipFailed;
    if (append) {
        // Checked before minizip opens the file for update, so that a file that is no archive
        // is never written to.
        const int found = hasDirectoryEnd(fileName);
        if (found < 0)
            return ZipFailed;
        if (found == 0)
            return ZipNotAnArchive;
        // minizip reloads the old directory, writes new entries over it and writes it again,
        // followed by the new records, on closing.
        zip_ = zipOpen(fileName, APPEND_STATUS_ADDINZIP);
        if (!zip_)
            return ::access(fileName, R_OK | W_OK) == 0 ? ZipNotAnArchive : ZipFailed;
        return ZipOk;
    }
    zip_ = fileFuncs ? zipOpen2(fileName, APPEND_STATUS_CREATE, nullptr, fileFuncs)
                     : zipOpen(fileName, APPEND_STATUS_CREATE);
    return zip_ ? ZipOk : ZipFailed;
}

int ZipWriterC::close()
{
    const int r = zipClose(zip_, nullptr);
    zip_ = nullptr;
    rawPending_ = false;
    if (r == ZIP_OK)
        return ZipOk;
    return r == ZIP_PARAMERROR ? ZipBadParameter : ZipFailed;
}

int ZipWriterC::openEntry(const char* nameInZip, const zip_fileinfo& info, int method, int level, bool raw)
{
    rawPending_ = false;
    if (!nameInZip || std::strlen(nameInZip) > kMaxName)
        return ZipBadParameter;
    return mapEntryResult(zipOpenNewFileInZip2(zip_, nameInZip, &info, nullptr, 0, nullptr, 0, nullptr, method,
                                               level, raw ? 1 : 0));
}

int ZipWriterC::openNewFile(const char* nameInZip, time_t modified, int level)
{
    zip_fileinfo info;
    setDate(info, modified != 0 ? modified : std::time(nullptr));
    return openEntry(nameInZip, info, level > 0 ? Z_DEFLATED : 0, level, false);
}

int ZipWriterC::openNewFile(const char* nameInZip, const char* sourceFile, int level)
{
    struct stat st;
    time_t modified = 0;
    if (sourceFile) {
        if (::stat(sourceFile, &st) != 0)
            return ZipFailed;
        modified = st.st_mtime;
    } else if (nameInZip && ::stat(nameInZip, &st) == 0) {
        modified = st.st_mtime;
    }
    return openNewFile(nameInZip, modified, level);
}

int ZipWriterC::openNewFileRaw(const char* nameInZip, const ZipFileInfoC& source)
{
    zip_fileinfo info;
    std::memset(&info, 0, sizeof info);
    info.dosDate = source.info.dosDate;
    info.internal_fa = source.info.internal_fa;
    info.external_fa = source.info.external_fa;
    const int method = int(source.info.compression_method);
    int level = method == Z_DEFLATED ? Z_DEFAULT_COMPRESSION : 0;
    // minizip writes the compression-option bits of the flag from the level.
    switch (source.info.flag & 6) {
    case 2: level = 9; break;
    case 4: level = 2; break;
    case 6: level = 1; break;
    default: break;
    }
    const int r = openEntry(nameInZip, info, method, level, true);
    if (r == ZipOk) {
        rawPending_ = true;
        rawSize_ = source.info.uncompressed_size;
        rawCrc_ = source.info.crc;
    }
    return r;
}

int ZipWriterC::write(const void* data, unsigned len)
{
    const int r = zipWriteInFileInZip(zip_, data, len);
    return r >= 0 ? ZipOk : mapEntryResult(r);
}

int ZipWriterC::closeFileInZip()
{
    const int r = rawPending_ ? zipCloseFileInZipRaw(zip_, rawSize_, rawCrc_) : zipCloseFileInZip(zip_);
    rawPending_ = false;
    return mapEntryResult(r);
}

int ZipWriterC::addFile(const char* sourceFile, const char* nameInZip, unsigned bufferSize, int level)
{
    struct stat st;
    if (!sourceFile || ::stat(sourceFile, &st) != 0 || !S_ISREG(st.st_mode))
        return ZipFailed;
    // Opened before the entry, so that a source that cannot be read adds nothing.
    FILE* in = std::fopen(sourceFile, "rb");
    if (!in)
        return ZipFailed;
    int r = openNewFile(nameInZip, sourceFile, level);
    if (r != ZipOk) {
        std::fclose(in);
        return r;
    }
    char* buffer = buffer_.get(bufferSize);
    uint64_t remaining = uint64_t(st.st_size);
    while (remaining > 0 && r == ZipOk) {
        const size_t want = remaining < buffer_.size() ? size_t(remaining) : buffer_.size();
        const size_t got = std::fread(buffer, 1, want, in);
        if (got != want) {
            r = ZipFailed;  // the source shrank or could not be read
            break;
        }
        r = write(buffer, unsigned(got));
        remaining -= got;
    }
    std::fclose(in);
    const int closed = closeFileInZip();
    return r == ZipOk ? closed : r;
}
