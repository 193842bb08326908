// UnzipArchiveC: the archive object over minizip's unzip functions.
#include "viewer/loader/UnzipArchiveC.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <minizip/unzip.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/sys.h"
#include "services/archive/ZipDirectoryEnd.h"
#include "services/archive/ZipViewC.h"
#include "services/files/UTFilePath.h"
#include "viewer/loader/UnzipSourceC.h"

namespace {

unzFile Zip(void* z) { return static_cast<unzFile>(z); }
UnzipSourceC* Source(voidpf stream) { return static_cast<UnzipSourceC*>(stream); }

// minizip reads through these; the "file name" it is opened with is the source itself.
voidpf ZCALLBACK OpenFn(voidpf, const void* source, int) { return const_cast<void*>(source); }
uLong ZCALLBACK ReadFn(voidpf, voidpf s, void* buf, uLong size) { return static_cast<uLong>(Source(s)->Read(buf, 1, size)); }
uLong ZCALLBACK WriteFn(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK TellFn(voidpf, voidpf s) { return Source(s)->Tell(); }
long ZCALLBACK SeekFn(voidpf, voidpf s, ZPOS64_T offset, int origin) { return Source(s)->Seek(offset, origin); }
int ZCALLBACK CloseFn(voidpf, voidpf) { return 0; }  // the archive object closes its source
int ZCALLBACK ErrorFn(voidpf, voidpf s) { return Source(s)->Error() ? 1 : 0; }

constexpr unsigned kMethodAes = 99;
constexpr size_t kMostNameBytes = 4096;  // of an item's name that a failure reason quotes
constexpr uint64_t kFileTimeOf1970 = 116444736000000000ull;
constexpr uint64_t kTicksPerSecond = 10000000ull;

// Days from 1601-01-01 to the given date of the Gregorian calendar.
int64_t DaysSince1601(int year, int month, int day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 584694;  // 584694: days from 0000-03-01 to 1601-01-01
}

// A DOS date and time as a FILETIME of the same wall-clock time; false for fields that name
// no time (month 0, day 31 of a short month, second 60 and more).
bool DosDateTimeToFileTime(uint16_t date, uint16_t time, uint64_t* fileTime)
{
    const int year = (date >> 9) + 1980, month = (date >> 5) & 15, day = date & 31;
    const int hour = time >> 11, minute = (time >> 5) & 63, second = (time & 31) * 2;
    static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > monthDays[month - 1] + (month == 2 && leap))
        return false;
    const int64_t seconds = DaysSince1601(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    *fileTime = static_cast<uint64_t>(seconds) * kTicksPerSecond;
    return true;
}

// Local wall-clock time to UTC with the zone's offset as it is now, as the system does.
uint64_t LocalFileTimeToFileTime(uint64_t local)
{
    const time_t now = std::time(nullptr);
    struct tm parts {};
    localtime_r(&now, &parts);
    const int64_t shifted = static_cast<int64_t>(local) - static_cast<int64_t>(parts.tm_gmtoff) * int64_t(kTicksPerSecond);
    return shifted < 0 ? 0 : static_cast<uint64_t>(shifted);
}

uint64_t TimeTToFileTime(int32_t t)
{
    return static_cast<uint64_t>(static_cast<int64_t>(t) * int64_t(kTicksPerSecond) + int64_t(kFileTimeOf1970));
}

uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// The "UT" record of a local extra field: modify, access and create times, each present as
// its flag bit says and only as far as both the record and the field hold it.
void ReadExtendedTimes(const std::vector<unsigned char>& field, ZipEntryInfo* record)
{
    size_t at = 0;
    while (at + 4 <= field.size()) {
        const size_t dataSize = field[at + 2] | (field[at + 3] << 8);
        if (field[at] == 'U' && field[at + 1] == 'T') {
            const size_t end = std::min(field.size(), at + 4 + dataSize);
            if (at + 4 >= end)
                return;
            const unsigned flags = field[at + 4];
            size_t p = at + 5;
            uint64_t* targets[] = {&record->modifyTime, &record->accessTime, &record->createTime};
            for (unsigned bit = 0; bit < 3; ++bit) {
                if (!(flags & (1u << bit)))
                    continue;
                if (p + 4 > end)
                    return;
                *targets[bit] = TimeTToFileTime(static_cast<int32_t>(Le32(&field[p])));
                p += 4;
            }
            return;
        }
        at += 4 + dataSize;
    }
}

uint32_t Attributes(uint32_t external, unsigned host)
{
    if (host == 0 || host == 7 || host == 11 || host == 14)
        return external & (ZipAttrReadOnly | ZipAttrHidden | ZipAttrSystem | ZipAttrDirectory | ZipAttrArchive);
    uint32_t a = ZipAttrArchive;
    if (external & 0x40000000u)
        a |= ZipAttrDirectory;
    if (!(external & 0x00800000u))
        a |= ZipAttrReadOnly;
    return a;
}

std::string WithSeparator(std::string dir)
{
    if (dir.empty() || (dir.back() != '/' && dir.back() != '\\'))
        dir += '/';
    return dir;
}

// A name to create below the base directory: relative, without ".." components.
bool SafeRelativeName(const char* name)
{
    if (!name || !*name || name[0] == '/' || name[0] == '\\' || (std::strlen(name) > 1 && name[1] == ':'))
        return false;
    std::string part;
    for (const char* p = name;; ++p) {
        if (*p == '/' || *p == '\\' || *p == '\0') {
            if (part == "..")
                return false;
            part.clear();
            if (!*p)
                return true;
        } else {
            part += *p;
        }
    }
}

timespec ToTimespec(uint64_t fileTime)
{
    timespec ts{};
    if (fileTime >= kFileTimeOf1970) {
        const uint64_t since = fileTime - kFileTimeOf1970;
        ts.tv_sec = static_cast<time_t>(since / kTicksPerSecond);
        ts.tv_nsec = static_cast<long>((since % kTicksPerSecond) * 100);
    }
    return ts;
}

// Moves to the first item whose name, not flagged as UTF-8 (bit 11), reads as the UTF-8 `name`
// in a code page: CP437, the format's own, or Windows-1252, which Windows programs write. A
// name found as its bytes stand was looked for before; the position stays when none matches.
bool LocateByCodePageName(unzFile zip, const char* name, bool ignoreCase)
{
    bool plain = true;
    for (const char* p = name; *p; ++p)
        plain = plain && static_cast<unsigned char>(*p) < 0x80;
    unz64_file_pos before{};
    if (plain || unzGetFilePos64(zip, &before) != UNZ_OK)
        return false;
    for (int at = unzGoToFirstFile(zip); at == UNZ_OK; at = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char stored[257] = {};
        if (unzGetCurrentFileInfo64(zip, &info, stored, sizeof stored - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        if (info.flag & 0x800)
            continue;
        for (const unsigned codePage : {437u, 1252u})
            if (unzStringFileNameCompare(convertCodePage(stored, codePage, CP_UTF8_CODE_PAGE).data(), name,
                                         ignoreCase ? 2 : 1) == 0)
                return true;
    }
    unzGoToFilePos64(zip, &before);
    return false;
}

}  // namespace

UnzipArchiveC::UnzipArchiveC(const char* password)
{
    if (password) {
        const size_t n = std::strlen(password);
        this->password = new char[n + 1];
        std::memcpy(this->password, password, n + 1);
    }
}

UnzipArchiveC::~UnzipArchiveC()
{
    Close();
    delete[] password;
}

uint32_t UnzipArchiveC::Open(const void* src, uint32_t length, int kind)
{
    if (source || currentItem != -1)
        return UnzipNotInitialised;
    baseDir = WithSeparator(platform::sys::currentFolder());
    if (kind == 1 && ::lseek(static_cast<int>(reinterpret_cast<intptr_t>(src)), 0, SEEK_CUR) < 0)
        return UnzipCannotSeek;
    uint32_t result = 0;
    source = UnzipSourceC::Open(src, length, kind, &result);
    if (!source)
        return result;
    zlib_filefunc64_32_def functions{};
    functions.zfile_func64.zopen64_file = OpenFn;
    functions.zfile_func64.zread_file = ReadFn;
    functions.zfile_func64.zwrite_file = WriteFn;
    functions.zfile_func64.ztell64_file = TellFn;
    functions.zfile_func64.zseek64_file = SeekFn;
    functions.zfile_func64.zclose_file = CloseFn;
    functions.zfile_func64.zerror_file = ErrorFn;
    view = std::make_unique<ZipViewC>();
    const auto readAt = [this](uint64_t pos, void* buf, unsigned len) -> long {
        if (source->Seek(pos, 0) != 0)
            return -1;
        const size_t n = source->Read(buf, 1, len);
        return source->Error() ? -1 : static_cast<long>(n);
    };
    const bool sized = source->Seek(0, 2) == 0;
    const bool scanned = sized && view->scan(readAt, source->Tell());
    // An archive of no entry, which minizip does not open, is open with no item, as every
    // other reader lists it.
    const bool empty = scanned && view->end().entryCount == 0 && view->end().directorySize == 0;
    if (scanned && !empty) {
        zlib_filefunc64_def viewed = view->functions(functions);
        zip = unzOpen2_64(source, &viewed);
    }
    unz_global_info64 info{};
    if (zip && (unzGetGlobalInfo64(Zip(zip), &info) != UNZ_OK || info.number_entry > 0x7ffffffe)) {
        unzClose(Zip(zip));
        zip = nullptr;
    }
    if (!zip && !empty) {
        UnzipSourceC::Close(source);
        source = nullptr;
        view.reset();
        return UnzipNoFile;
    }
    itemCount = static_cast<int>(info.number_entry);
    cachedIndex = -1;
    return UnzipOk;
}

uint32_t UnzipArchiveC::SetBaseDir(const char* directory)
{
    baseDir = WithSeparator(directory ? directory : "");
    return UnzipOk;
}

void UnzipArchiveC::CloseItem()
{
    if (currentItem != -1) {
        if (itemEncrypted)
            encrypted.close();
        else
            unzCloseCurrentFile(Zip(zip));
    }
    currentItem = -1;
}

uint32_t UnzipArchiveC::GoTo(int index)
{
    unz64_file_pos pos{};
    int at = -1;
    if (unzGetFilePos64(Zip(zip), &pos) == UNZ_OK)
        at = static_cast<int>(pos.num_of_file);
    if (at < 0 || index < at) {
        if (unzGoToFirstFile(Zip(zip)) != UNZ_OK)
            return UnzipCorrupt;
        at = 0;
    }
    for (; at < index; ++at)
        if (unzGoToNextFile(Zip(zip)) != UNZ_OK)
            return UnzipCorrupt;
    return UnzipOk;
}

uint32_t UnzipArchiveC::FillRecord(int index, ZipEntryInfo* record)
{
    unz_file_info64 info{};
    char name[261] = {};
    if (unzGetCurrentFileInfo64(Zip(zip), &info, name, sizeof name - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
        return UnzipCorrupt;
    // The record holds 32-bit sizes; a larger item cannot be described, so it is refused.
    if (info.compressed_size > 0xffffffffull || info.uncompressed_size > 0xffffffffull)
        return UnzipCorrupt;

    // The local header must agree with the directory; its extra field may carry exact times.
    // minizip opens an item of a method it does not know (AES's 99 among them) not even raw:
    // the item is listed as the directory has it, without the local times, and reading it
    // fails for its method (or asks for the password).
    const bool unread = !zipMethodReadable(static_cast<unsigned>(info.compression_method));
    if (!unread && unzOpenCurrentFile2(Zip(zip), nullptr, nullptr, 1) != UNZ_OK)
        return UnzipCorrupt;
    std::vector<unsigned char> extra;
    const int extraSize = unread ? 0 : unzGetLocalExtrafield(Zip(zip), nullptr, 0);
    bool readOk = extraSize >= 0;
    if (extraSize > 0) {
        extra.resize(static_cast<size_t>(extraSize));
        readOk = unzGetLocalExtrafield(Zip(zip), extra.data(), static_cast<unsigned>(extra.size())) == extraSize;
    }
    if (!unread)
        unzCloseCurrentFile(Zip(zip));
    if (!readOk)
        return UnzipReadError;

    ZipEntryInfo r;
    r.index = index;
    name[259] = '\0';
    std::memcpy(r.name, name, sizeof r.name);
    r.attributes = Attributes(static_cast<uint32_t>(info.external_fa), static_cast<unsigned>(info.version >> 8) & 0xff);
    r.compressedSize = static_cast<uint32_t>(info.compressed_size);
    r.uncompressedSize = static_cast<uint32_t>(info.uncompressed_size);
    uint64_t local = 0;
    if (DosDateTimeToFileTime(static_cast<uint16_t>(info.dosDate >> 16), static_cast<uint16_t>(info.dosDate & 0xffff), &local)) {
        const uint64_t utc = LocalFileTimeToFileTime(local);
        r.accessTime = r.createTime = r.modifyTime = utc;
    }
    ReadExtendedTimes(extra, &r);
    *record = r;
    cached = r;
    cachedIndex = index;
    return UnzipOk;
}

uint32_t UnzipArchiveC::Get(int index, ZipEntryInfo* record)
{
    if (!source)
        return UnzipNotInitialised;
    if (!record || index < -1 || index >= itemCount)
        return UnzipBadArguments;
    // minizip takes ZIP64 values that cannot be for the 32-bit fields' all ones; the item is
    // damaged whatever it would make of them.
    if (index != -1 && !Damage(index).empty())
        return UnzipCorrupt;
    CloseItem();
    if (index != -1 && index == cachedIndex) {
        *record = cached;
        return UnzipOk;
    }
    if (index == -1) {
        *record = ZipEntryInfo{};
        record->index = itemCount;
        return UnzipOk;
    }
    const uint32_t moved = GoTo(index);
    return moved != UnzipOk ? moved : FillRecord(index, record);
}

uint32_t UnzipArchiveC::Find(const char* name, bool ignoreCase, int* index, ZipEntryInfo* record)
{
    if (!source)
        return UnzipNotInitialised;
    CloseItem();
    const bool usable = name && std::strlen(name) < 256;
    if (!usable || !zip ||
        (unzLocateFile(Zip(zip), name, ignoreCase ? 2 : 1) != UNZ_OK && !LocateByCodePageName(Zip(zip), name, ignoreCase))) {
        if (index)
            *index = -1;
        if (record) {
            *record = ZipEntryInfo{};
            record->index = -1;
        }
        return usable ? UnzipNotFound : UnzipBadArguments;
    }
    unz64_file_pos pos{};
    unzGetFilePos64(Zip(zip), &pos);
    const int found = static_cast<int>(pos.num_of_file);
    if (index)
        *index = found;
    return record ? Get(found, record) : UnzipOk;
}

uint32_t UnzipArchiveC::OpenItem()
{
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(Zip(zip), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return UnzipCorrupt;
    if (info.compressed_size > 0xffffffffull || info.uncompressed_size > 0xffffffffull)
        return UnzipCorrupt;
    // Only the flag says whether an item is encrypted; the password serves only those.
    itemEncrypted = (info.flag & 1) != 0;
    if (itemEncrypted) {
        switch (encrypted.open(zip, password)) {
        case ZipStreamOk: break;
        case ZipStreamPassword: return UnzipPassword;
        case ZipStreamReadFailed: return UnzipReadError;
        default: return UnzipCorrupt;
        }
    } else if (!zipMethodReadable(static_cast<unsigned>(info.compression_method))) {
        // minizip, built without bzip2, would hand out a bzip2 item's bytes as they are stored.
        return UnzipCorrupt;
    } else {
        const int opened = unzOpenCurrentFile(Zip(zip));
        if (opened != UNZ_OK)
            return opened == UNZ_BADZIPFILE ? UnzipCorrupt : UnzipFlation;
    }
    itemRead = 0;
    itemDeclared = static_cast<uint32_t>(info.uncompressed_size);
    return UnzipOk;
}

int UnzipArchiveC::ReadItem(void* target, unsigned length)
{
    return itemEncrypted ? encrypted.read(target, length) : unzReadCurrentFile(Zip(zip), target, length);
}

// The result of a piece read that gave nothing more: the item's end when every recorded byte
// came out and the CRC matches, else the failure. Closes the item.
uint32_t UnzipArchiveC::ReadResult(int read)
{
    currentItem = -1;
    if (itemEncrypted) {
        // The password was checked at the open: what fails now is the data.
        const int closed = encrypted.close();
        if (read == ZipStreamReadFailed)
            return UnzipReadError;
        return read < 0 || closed != ZipStreamOk || itemRead != itemDeclared ? UnzipFlation : UnzipOk;
    }
    // minizip checks the CRC on closing once every recorded byte came out.
    const int closed = unzCloseCurrentFile(Zip(zip));
    const bool failed = read < 0 || itemRead != itemDeclared || closed == UNZ_CRCERROR;
    crcMismatch = read >= 0 && itemRead == itemDeclared && closed == UNZ_CRCERROR;
    if (!failed)
        return UnzipOk;
    if (read < 0)
        return read == UNZ_ERRNO ? UnzipReadError : UnzipFlation;
    return UnzipCorrupt;
}

uint32_t UnzipArchiveC::Unzip(int index, void* target, uint32_t length, int kind, uint32_t* bytesRead)
{
    if (bytesRead)
        *bytesRead = 0;
    crcMismatch = false;
    if (!source)
        return UnzipNotInitialised;
    if (kind != UnzipFromMemory)
        return index < 0 || index >= itemCount ? UnzipBadArguments
               : !Damage(index).empty()         ? UnzipCorrupt
                                                : UnzipWhole(index, target, kind);
    if (!target && length)
        return UnzipBadArguments;
    if (index != currentItem) {
        CloseItem();
        if (index < 0 || index >= itemCount)
            return UnzipBadArguments;
        if (!Damage(index).empty())
            return UnzipCorrupt;
        uint32_t r = GoTo(index);
        if (r == UnzipOk)
            r = OpenItem();
        if (r != UnzipOk)
            return r;
        currentItem = index;
    }
    const int read = length ? ReadItem(target, length) : 0;
    if (read > 0) {
        itemRead += static_cast<uint64_t>(read);
        if (itemRead > itemDeclared) {
            CloseItem();
            return UnzipCorrupt;
        }
        if (bytesRead)
            *bytesRead = static_cast<uint32_t>(read);
        return UnzipMore;
    }
    return ReadResult(read);
}

uint32_t UnzipArchiveC::UnzipWhole(int index, void* target, int kind)
{
    CloseItem();
    ZipEntryInfo record;
    uint32_t r = GoTo(index);
    if (r == UnzipOk)
        r = FillRecord(index, &record);
    if (r != UnzipOk)
        return r;
    const bool directory = (record.attributes & ZipAttrDirectory) != 0;

    int fd = -1;
    std::string path;
    if (kind == UnzipFromFile) {
        const char* name = static_cast<const char*>(target);
        if (!SafeRelativeName(name))
            return UnzipBadArguments;
        path = baseDir + name;
        std::error_code ec;
        if (directory) {
            std::filesystem::create_directories(path, ec);
            return ec ? UnzipNoFile : UnzipOk;
        }
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0)
            return UnzipNoFile;
    } else {
        if (directory)
            return UnzipOk;
        fd = static_cast<int>(reinterpret_cast<intptr_t>(target));
    }

    r = GoTo(index);
    if (r == UnzipOk)
        r = OpenItem();
    if (r == UnzipOk) {
        currentItem = index;
        std::vector<char> piece(16384);
        for (;;) {
            const int read = ReadItem(piece.data(), static_cast<unsigned>(piece.size()));
            if (read <= 0) {
                r = ReadResult(read);
                break;
            }
            itemRead += static_cast<uint64_t>(read);
            size_t written = 0;
            while (written < static_cast<size_t>(read)) {
                const ssize_t n = ::write(fd, piece.data() + written, static_cast<size_t>(read) - written);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                written += static_cast<size_t>(n);
            }
            if (written != static_cast<size_t>(read)) {
                CloseItem();
                r = UnzipWriteError;
                break;
            }
        }
    }
    if (r == UnzipOk) {
        const timespec times[2] = {ToTimespec(record.accessTime), ToTimespec(record.modifyTime)};
        ::futimens(fd, times);
        if (kind == UnzipFromFile && (record.attributes & ZipAttrReadOnly))
            ::fchmod(fd, 0444);
    }
    if (kind == UnzipFromFile)
        ::close(fd);
    return r;
}

uint32_t UnzipArchiveC::UnzipToBuffer(int index, void* buffer, uint32_t size)
{
    crcMismatch = false;
    if (!source)
        return UnzipNotInitialised;
    if (index < 0 || index >= itemCount || (!buffer && size))
        return UnzipBadArguments;
    if (!Damage(index).empty())
        return UnzipCorrupt;
    CloseItem();
    uint32_t r = GoTo(index);
    if (r != UnzipOk)
        return r;
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(Zip(zip), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        info.compressed_size > 0xffffffffull || info.uncompressed_size > 0xffffffffull)
        return UnzipCorrupt;
    if (info.uncompressed_size != size)
        return UnzipBadArguments;
    const bool direct = source->IsMemory() && !(info.flag & 1) &&
                        (info.compression_method == 0 || info.compression_method == Z_DEFLATED);
    if (!direct) {
        // Once the recorded size is in, one spare byte asks whether the data runs on past it,
        // as the pieces of a larger buffer would find.
        uint32_t got = 0, n = 0;
        char spare;
        auto* out = static_cast<char*>(buffer);
        while ((r = got < size ? Unzip(index, out + got, std::min<uint32_t>(16384, size - got), UnzipFromMemory, &n)
                               : Unzip(index, &spare, 1, UnzipFromMemory, &n)) == UnzipMore)
            got += n;
        return r;
    }

    // Where the item's stored bytes start, as its local header says; minizip counts from the
    // archive proper.
    if (unzOpenCurrentFile2(Zip(zip), nullptr, nullptr, 1) != UNZ_OK)
        return UnzipCorrupt;
    const uint64_t at = view->origin() + unzGetCurrentFileZStreamPos64(Zip(zip));
    unzCloseCurrentFile(Zip(zip));
    if (at > source->Length() || info.compressed_size > source->Length() - at)
        return UnzipCorrupt;
    const unsigned char* in = source->Data() + at;
    auto* out = static_cast<unsigned char*>(buffer);
    uLong crc = crc32(0, nullptr, 0);

    if (info.compression_method == 0) {
        if (info.compressed_size != size)
            return UnzipCorrupt;
        if (size)
            std::memcpy(out, in, size);
        crcMismatch = crc32(crc, out, size) != info.crc;
        return crcMismatch ? UnzipCorrupt : UnzipOk;
    }

    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return UnzipFlation;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(info.compressed_size);
    uint32_t done = 0;
    unsigned char spare;
    uint32_t result;
    // Output in slices, each checksummed while it is still in the cache; one spare byte
    // after the recorded size shows whether the stream runs longer than it claims.
    for (;;) {
        const bool full = done == size;
        z.next_out = full ? &spare : out + done;
        z.avail_out = full ? 1 : std::min<uint32_t>(1u << 20, size - done);
        const uInt offered = z.avail_out;
        const int status = inflate(&z, Z_NO_FLUSH);
        const uInt made = offered - z.avail_out;
        if (full && made) {
            result = UnzipCorrupt;
            break;
        }
        if (made) {
            crc = crc32(crc, out + done, made);
            done += made;
        }
        if (status == Z_STREAM_END) {
            crcMismatch = done == size && crc != info.crc;
            result = done == size && crc == info.crc ? UnzipOk : UnzipCorrupt;
            break;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            result = UnzipFlation;
            break;
        }
        if (status == Z_BUF_ERROR || (!made && z.avail_in == 0)) {
            result = UnzipCorrupt;  // the stored bytes ended before the stream did
            break;
        }
    }
    inflateEnd(&z);
    return result;
}

bool UnzipArchiveC::DeclaredSizes(int index, uint64_t* compressed, uint64_t* uncompressed)
{
    if (!zip || index < 0 || index >= itemCount)
        return false;
    CloseItem();
    // minizip leaves such a size all ones: its value is in the ZIP64 block.
    unz_file_info64 info{};
    std::vector<unsigned char> extra(0xFFFF);
    if (GoTo(index) != UnzipOk || unzGetCurrentFileInfo64(Zip(zip), &info, nullptr, 0, extra.data(),
                                                          static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK)
        return false;
    ZipEntrySizes sizes{info.uncompressed_size, info.compressed_size, 0};
    if (!zipReadZip64Extra(extra.data(), std::min<size_t>(info.size_file_extra, extra.size()), sizes))
        return false;
    *compressed = sizes.compressed;
    *uncompressed = sizes.uncompressed;
    return true;
}

bool UnzipArchiveC::Listed(int index, std::string* name, unsigned* unreadMethod)
{
    if (!zip || index < 0 || index >= itemCount)
        return false;
    CloseItem();
    unz_file_info64 info{};
    if (GoTo(index) != UnzipOk || unzGetCurrentFileInfo64(Zip(zip), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    // A damaged record may claim a name that runs past the archive: the item is still listed,
    // without one.
    const size_t nameSize = std::min<size_t>(info.size_filename, kMostNameBytes);
    std::vector<char> text(nameSize + 1, '\0');
    if (name && unzGetCurrentFileInfo64(Zip(zip), nullptr, text.data(), static_cast<uLong>(nameSize), nullptr, 0,
                                        nullptr, 0) == UNZ_OK)
        name->assign(text.data(), nameSize);
    const unsigned method = static_cast<unsigned>(info.compression_method);
    const bool aes = (info.flag & 1) && method == kMethodAes;
    if (unreadMethod)
        *unreadMethod = zipMethodReadable(method) || aes ? 0 : method;
    return true;
}

platform::ReasonText UnzipArchiveC::Damage(int index) const
{
    return view && index >= 0 ? view->damage(static_cast<uint64_t>(index)) : platform::ReasonText();
}

uint32_t UnzipArchiveC::Close()
{
    if (zip) {
        CloseItem();
        unzClose(Zip(zip));
        zip = nullptr;
    }
    if (source) {
        UnzipSourceC::Close(source);
        source = nullptr;
    }
    view.reset();
    cachedIndex = -1;
    itemCount = 0;
    return UnzipOk;
}
