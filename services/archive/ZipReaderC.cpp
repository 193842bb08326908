// ZipReaderC: entry walking, lookup and extraction over minizip's unzip interface.
#include "services/archive/ZipReaderC.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>
#include <string>

#include <zlib.h>

#include "services/archive/ZipDirectoryEnd.h"
#include "services/files/RegularFile.h"

namespace {

constexpr uint32_t kDirectorySignature = 0x02014B50;
constexpr unsigned kDirectoryRecordSize = 46;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr unsigned kLocalHeaderSize = 30;
constexpr uint64_t kAllOnes = 0xFFFFFFFFu;
constexpr unsigned kMaxRead = 1u << 30;  // minizip answers a read with an int

int mapOpenResult(int r)
{
    switch (r) {
    case UNZ_OK: return ZipOk;
    case UNZ_PARAMERROR: return ZipBadParameter;
    case UNZ_BADZIPFILE: return ZipNotAnArchive;
    case UNZ_INTERNALERROR: return ZipInternalError;
    default: return ZipFailed;
    }
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool equalIgnoringCase(const char* a, size_t aLen, const char* b, size_t bLen)
{
    if (aLen != bLen)
        return false;
    for (size_t i = 0; i < aLen; ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

// An entry name that may be written to as a relative path: not empty, not absolute (nor with a
// drive), no "." or ".." component, not naming a folder.
bool isSafeRelativeName(const char* name, size_t len)
{
    if (len == 0 || name[0] == '/' || name[0] == '\\' || (len >= 2 && name[1] == ':'))
        return false;
    if (name[len - 1] == '/' || name[len - 1] == '\\')
        return false;
    size_t start = 0;
    for (size_t i = 0; i <= len; ++i) {
        if (i < len && name[i] != '/' && name[i] != '\\')
            continue;
        const size_t n = i - start;
        if (n == 0 || (n == 1 && name[start] == '.') || (n == 2 && name[start] == '.' && name[start + 1] == '.'))
            return false;
        start = i + 1;
    }
    return std::memchr(name, '\0', len) == nullptr;
}

}  // namespace

ZipReaderC::ZipReaderC() = default;

ZipReaderC::~ZipReaderC()
{
    if (isOpen())
        close();
}

bool ZipReaderC::openSide(const char* fileName, zlib_filefunc_def* fileFuncs)
{
    uint64_t size = 0;
    customFuncs_ = fileFuncs != nullptr;
    if (customFuncs_) {
        funcs_ = *fileFuncs;
        sideStream_ = funcs_.zopen_file(funcs_.opaque, fileName, ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
        if (!sideStream_)
            return false;
        if (funcs_.zseek_file(funcs_.opaque, sideStream_, 0, ZLIB_FILEFUNC_SEEK_END) != 0)
            return false;
        const long end = funcs_.ztell_file(funcs_.opaque, sideStream_);
        if (end < 0)
            return false;
        size = uint64_t(end);
    } else {
        // Only a regular file, opened without blocking: a pipe without a writer fails at once.
        sideFd_ = openRegularFile(fileName, &size);
        if (sideFd_ < 0)
            return false;
    }
    if (!view_.scan([this](uint64_t pos, void* buf, unsigned len) { return sideRead(pos, buf, len); }, size))
        return false;
    sideSize_ = size;
    prefixSize_ = view_.origin();
    return true;
}

void ZipReaderC::closeSide()
{
    if (sideStream_)
        funcs_.zclose_file(funcs_.opaque, sideStream_);
    if (sideFd_ >= 0)
        ::close(sideFd_);
    sideStream_ = nullptr;
    sideFd_ = -1;
    prefixSize_ = 0;
    sideSize_ = 0;
}

long ZipReaderC::sideRead(uint64_t pos, void* buf, unsigned len)
{
    if (customFuncs_) {
        if (!sideStream_ || pos > uint64_t(LONG_MAX) ||
            funcs_.zseek_file(funcs_.opaque, sideStream_, uLong(pos), ZLIB_FILEFUNC_SEEK_SET) != 0)
            return -1;
        return long(funcs_.zread_file(funcs_.opaque, sideStream_, buf, len));
    }
    return zipReadFully(sideFd_, pos, buf, len);
}

int ZipReaderC::open(const char* fileName, zlib_filefunc_def* fileFuncs)
{
    if (isOpen())
        close();
    if (!fileName)
        return ZipFailed;
    // The end record is checked on our own handle first, so that no other kind of file is read.
    if (!openSide(fileName, fileFuncs)) {
        closeSide();
        return ZipFailed;
    }
    // minizip reads through the view, which shows it the archive proper with its ZIP64 values.
    zlib_filefunc64_32_def inner{};
    if (fileFuncs)
        fill_zlib_filefunc64_32_def_from_filefunc32(&inner, fileFuncs);
    else
        fill_fopen64_filefunc(&inner.zfile_func64);
    // minizip refuses an archive without entries, which every other reader lists as empty (it
    // is what the writer makes of no entry and the remover of removing the last one).
    if (view_.end().entryCount == 0 && view_.end().directorySize == 0) {
        empty_ = true;
        return ZipOk;
    }
    zlib_filefunc64_def viewed = view_.functions(inner);
    unz_ = unzOpen2_64(fileName, &viewed);
    if (!unz_) {
        closeSide();
        return ZipFailed;
    }
    return ZipOk;
}

int ZipReaderC::close()
{
    const int r = empty_ ? UNZ_OK : unzClose(unz_);
    unz_ = nullptr;
    empty_ = false;
    entryOpen_ = false;
    encrypted_.abandon();
    direct_.abandon();
    closeSide();
    if (r == UNZ_OK)
        return ZipOk;
    return r == UNZ_PARAMERROR ? ZipBadParameter : ZipFailed;
}

int ZipReaderC::goToFirstFile()
{
    return unzGoToFirstFile(unz_) == UNZ_OK ? ZipOk : ZipFailed;
}

int ZipReaderC::goToNextFile()
{
    if (empty_)
        return ZipEndOfList;
    const int r = unzGoToNextFile(unz_);
    if (r == UNZ_OK)
        return ZipOk;
    return r == UNZ_END_OF_LIST_OF_FILE ? ZipEndOfList : ZipFailed;
}

int ZipReaderC::locateFile(const char* name)
{
    // minizip's own lookup stops at 255-byte names; this walk has no such limit.
    if (!unz_ || !name)
        return ZipNotFound;
    unz64_file_pos saved;
    const bool haveSaved = unzGetFilePos64(unz_, &saved) == UNZ_OK;
    const size_t len = std::strlen(name);
    std::vector<char> buf;
    for (int r = unzGoToFirstFile(unz_); r == UNZ_OK; r = unzGoToNextFile(unz_)) {
        unz_file_info fi;
        if (unzGetCurrentFileInfo(unz_, &fi, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        if (fi.size_filename != len)
            continue;
        buf.resize(len + 1);
        if (unzGetCurrentFileInfo(unz_, &fi, buf.data(), uLong(buf.size()), nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        if (equalIgnoringCase(buf.data(), len, name, len))
            return ZipOk;
    }
    if (haveSaved)
        unzGoToFilePos64(unz_, &saved);
    return ZipNotFound;
}

int ZipReaderC::openCurrentFile(const char* password)
{
    entryOpen_ = false;
    // The entry open before must not stay behind for the reads that follow: the cipher or the
    // direct read may refuse before minizip opens anything (and minizip would hand out the
    // raw bytes of an entry opened raw).
    encrypted_.abandon();
    direct_.abandon();
    unz_file_info64 fi;
    int r = unzGetCurrentFileInfo64(unz_, &fi, nullptr, 0, nullptr, 0, nullptr, 0);
    // minizip, built without bzip2, hands out a bzip2 entry's bytes as they are stored: an entry
    // is never read by a method other than its own.
    if (r == UNZ_OK && !zipMethodReadable(unsigned(fi.compression_method)))
        return ZipFailed;
    ZipEntrySizes sizes{fi.uncompressed_size, fi.compressed_size, 0};
    bool complete = false;
    const bool valued = r == UNZ_OK && entryValues(fi.size_file_extra, sizes, complete);
    const bool beyond = valued && (sizes.uncompressed >= kAllOnes || sizes.compressed >= kAllOnes ||
                                   sizes.localHeaderOffset >= kAllOnes);
    if (beyond) {
        unzCloseCurrentFile(unz_);
        const int opened = openDirect(fi, sizes, password);
        if (opened != ZipOk)
            return opened;
    } else if (r == UNZ_OK && (fi.flag & 1)) {
        unzCloseCurrentFile(unz_);
        const int opened = encrypted_.open(unz_, password);
        if (opened != ZipStreamOk)
            return opened == ZipStreamCorrupt ? ZipNotAnArchive : ZipFailed;
    } else if (r == UNZ_OK) {
        r = unzOpenCurrentFile(unz_);
    }
    if (r != UNZ_OK)
        return mapOpenResult(r);
    entryOpen_ = true;
    entryEnded_ = false;
    entryRead_ = 0;
    entryCrc_ = fi.crc;
    // A size left all ones without its ZIP64 value: the checksum alone speaks for the entry.
    entrySize_ = sizes.uncompressed;
    entrySizeKnown_ = (valued && complete) || sizes.uncompressed != kAllOnes;
    return ZipOk;
}

int ZipReaderC::openDirect(const unz_file_info64& fi, const ZipEntrySizes& sizes, const char* password)
{
    const ZipEntryFacts facts{unsigned(fi.compression_method), unsigned(fi.flag), uint32_t(fi.crc),
                              uint32_t(fi.dosDate), sizes.compressed, sizes.uncompressed};
    const auto failed = [](int stream) { return stream == ZipStreamCorrupt ? ZipNotAnArchive : ZipFailed; };
    const int checked = ZipEntryStreamC::check(facts, password);
    if (checked != ZipStreamOk)
        return failed(checked);
    // The data lies behind the local header's name and extra field, all of it inside the file.
    unsigned char local[kLocalHeaderSize];
    if (sizes.localHeaderOffset > sideSize_ - prefixSize_)
        return ZipNotAnArchive;
    const uint64_t at = prefixSize_ + sizes.localHeaderOffset;
    const long got = sideRead(at, local, sizeof local);
    if (got != long(sizeof local))
        return got < 0 ? ZipFailed : ZipNotAnArchive;
    if (zipLe32(local) != kLocalSignature)
        return ZipNotAnArchive;
    const uint64_t data = at + kLocalHeaderSize + zipLe16(local + 26) + zipLe16(local + 28);
    if (data > sideSize_ || sizes.compressed > sideSize_ - data)
        return ZipNotAnArchive;
    directPos_ = data;
    const auto raw = [this](unsigned char* buf, unsigned len) {
        const long n = sideRead(directPos_, buf, len);
        directPos_ += n > 0 ? uint64_t(n) : 0;
        return n;
    };
    const int opened = direct_.open(raw, facts, password);
    return opened == ZipStreamOk ? ZipOk : failed(opened);
}

int ZipReaderC::locateAndOpen(const char* name, const char* password)
{
    const int r = locateFile(name);
    return r == ZipOk ? openCurrentFile(password) : r;
}

int ZipReaderC::readCurrentFile(void* buf, unsigned len)
{
    const unsigned want = len < kMaxRead ? len : kMaxRead;
    const int n = direct_.isOpen()      ? direct_.read(buf, want)
                  : encrypted_.isOpen() ? encrypted_.read(buf, want)
                                        : unzReadCurrentFile(unz_, buf, want);
    if (n < 0)
        return -1;
    if (n == 0)
        entryEnded_ = true;
    entryRead_ += unsigned(n);
    return n;
}

int ZipReaderC::closeCurrentFile()
{
    int r;
    if (direct_.isOpen())
        r = direct_.close() == ZipStreamOk ? UNZ_OK : UNZ_CRCERROR;
    else if (encrypted_.isOpen())
        r = encrypted_.close() == ZipStreamOk ? UNZ_OK : UNZ_CRCERROR;
    else
        r = unzCloseCurrentFile(unz_);
    const bool ended = entryOpen_ && entryEnded_;
    const bool sizeMatches = !entrySizeKnown_ || entryRead_ == entrySize_;
    entryOpen_ = false;
    switch (r) {
    case UNZ_OK: break;
    case UNZ_PARAMERROR: return ZipBadParameter;
    case UNZ_CRCERROR: return ZipCrcError;
    default: return ZipFailed;
    }
    // minizip checks the checksum only when the declared size came out exactly; an entry that
    // ended early or late is as damaged as one with a wrong checksum.
    return ended && !sizeMatches ? ZipCrcError : ZipOk;
}

bool ZipReaderC::entryValues(unsigned long extraSize, ZipEntrySizes& sizes, bool& complete)
{
    // The entry's directory record: minizip tells where it is, the offset field is read here,
    // and the sizes and offset of 4 GiB and more that the view leaves to the ZIP64 extra block.
    complete = false;
    const uint64_t pos = unzGetOffset64(unz_) + prefixSize_;
    unsigned char record[kDirectoryRecordSize];
    if (sideRead(pos, record, sizeof record) != long(sizeof record) || zipLe32(record) != kDirectorySignature)
        return false;
    std::vector<unsigned char> extra(extraSize);
    if (!extra.empty() &&
        unzGetCurrentFileInfo64(unz_, nullptr, nullptr, 0, extra.data(), uLong(extra.size()), nullptr, 0) != UNZ_OK)
        return false;
    sizes = {zipLe32(record + 24), zipLe32(record + 20), zipLe32(record + 42)};
    complete = zipReadZip64Extra(extra.data(), extra.size(), sizes);
    return true;
}

int ZipReaderC::readDirectoryValues(ZipFileInfoC& info)
{
    ZipEntrySizes sizes;
    bool complete = false;
    if (!entryValues(info.extraSize(), sizes, complete) || (!complete && sizes.localHeaderOffset == kAllOnes))
        return ZipFailed;
    info.info.uncompressed_size = uLong(sizes.uncompressed);
    info.info.compressed_size = uLong(sizes.compressed);
    info.localHeaderOffset_ = sizes.localHeaderOffset;
    return ZipOk;
}

int ZipReaderC::getCurrentFileInfo(ZipFileInfoC& info)
{
    info.clear();
    int r = unzGetCurrentFileInfo(unz_, &info.info, nullptr, 0, nullptr, 0, nullptr, 0);
    if (r == UNZ_OK) {
        // Buffers as long as the entry declares, each text with room for its NUL.
        info.name_.assign(info.info.size_filename + 1, '\0');
        info.extra_.assign(info.info.size_file_extra, 0);
        info.comment_.assign(info.info.size_file_comment + 1, '\0');
        r = unzGetCurrentFileInfo(unz_, &info.info, info.name_.data(), uLong(info.name_.size()),
                                  info.extra_.empty() ? nullptr : info.extra_.data(), uLong(info.extra_.size()),
                                  info.comment_.data(), uLong(info.comment_.size()));
    }
    if (r != UNZ_OK) {
        info.clear();
        return r == UNZ_PARAMERROR ? ZipBadParameter : ZipFailed;
    }
    if (readDirectoryValues(info) != ZipOk) {
        info.clear();
        return ZipFailed;
    }
    return ZipOk;
}

int ZipReaderC::extractCurrentFile(std::ostream* out, unsigned bufferSize, bool readInfo)
{
    if (readInfo) {
        ZipFileInfoC info;
        if (getCurrentFileInfo(info) != ZipOk)
            return ZipFailed;
    }
    if (!out || out->fail())
        return ZipFailed;
    char* buffer = buffer_.get(bufferSize);
    // Only a copy of the whole entry can be held against its checksum.
    const bool whole = entryOpen_ && entryRead_ == 0 && !entryEnded_;
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        const int n = readCurrentFile(buffer, buffer_.size());
        if (n < 0)
            return ZipFailed;
        if (n == 0)
            break;
        if (whole)
            crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), uInt(n));
        if (!out->write(buffer, n))
            return ZipFailed;
    }
    if (whole && ((entrySizeKnown_ && entryRead_ != entrySize_) || crc != entryCrc_))
        return ZipCrcError;
    return ZipOk;
}

int ZipReaderC::extractCurrentFileTo(const char* fileName, unsigned bufferSize)
{
    ZipFileInfoC info;
    if (getCurrentFileInfo(info) != ZipOk)
        return ZipFailed;
    std::string target;
    if (fileName) {
        target = fileName;
    } else {
        if (!isSafeRelativeName(info.name(), info.nameSize()))
            return ZipBadParameter;
        target.assign(info.name(), info.nameSize());
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out)
        return ZipFailed;
    int r = extractCurrentFile(&out, bufferSize, false);
    out.close();
    if (r == ZipOk && out.fail())
        r = ZipFailed;
    // Only a plain file is removed: a device or a link named by the caller stays.
    struct stat st;
    if (r != ZipOk && ::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        std::remove(target.c_str());
    return r;
}
