// ZipViewC: the directory scan and the file functions that show minizip the repaired archive.
#include "services/archive/ZipViewC.h"

#include <algorithm>
#include <utility>

namespace {

constexpr uint32_t kDirectorySignature = 0x02014B50;
constexpr unsigned kDirectoryRecordSize = 46;
constexpr uint32_t kAllOnes = 0xFFFFFFFFu;
constexpr size_t kWindowBytes = size_t(1) << 20;

ZipViewC* self(voidpf opaque) { return static_cast<ZipViewC*>(opaque); }

// How many 64-bit values the extra field's ZIP64 block (id 1) holds, -1 when it has none.
long zip64BlockValues(const unsigned char* p, size_t left)
{
    while (left >= 4) {
        const size_t size = zipLe16(p + 2);
        if (zipLe16(p) == 1)
            return long(std::min(size, left - 4) / 8);
        if (size > left - 4)
            return -1;
        p += 4 + size;
        left -= 4 + size;
    }
    return -1;
}

// What is wrong with an entry's ZIP64 values (stored: the record's 32-bit fields; sizes: their
// values, from the ZIP64 block where it had them), empty when nothing is. A value that cannot
// be, in an archive of fileSize bytes whose directory starts at directoryOffset: a compressed
// size larger than the file, a local header at or past the directory, more bytes than the
// method can make of the stored ones.
platform::ReasonText zip64Damage(const ZipEntrySizes& stored, const ZipEntrySizes& sizes, bool complete, long blockValues,
                        unsigned method, uint64_t fileSize, uint64_t directoryOffset)
{
    const struct {
        uint64_t stored, value;
        const char* name;
    } fields[3] = {{stored.uncompressed, sizes.uncompressed, "size"},
                   {stored.compressed, sizes.compressed, "compressed size"},
                   {stored.localHeaderOffset, sizes.localHeaderOffset, "local header offset"}};
    if (!complete) {
        // The block holds the values of the fields marked, in order, as far as it goes; a value
        // it holds may itself be all ones (4 GiB - 1).
        for (const auto& f : fields) {
            if (f.stored != kAllOnes)
                continue;
            if (blockValues <= 0)
                return blockValues == 0 ? platform::reasonText(platform::Reason::Zip64ValueMissing, f.name)
                                        : platform::reasonText(platform::Reason::Zip64BlockMissing, f.name);
            --blockValues;
        }
        return {};
    }
    const bool impossible[3] = {
        (method == 0 && sizes.uncompressed > sizes.compressed) ||
            (method == 8 && sizes.uncompressed / 1032 > sizes.compressed + 1),
        sizes.compressed > fileSize,
        sizes.localHeaderOffset >= directoryOffset,
    };
    for (int i = 0; i < 3; ++i)
        if (fields[i].stored == kAllOnes && impossible[i])
            return platform::reasonText(platform::Reason::Zip64ValueImpossible, fields[i].name, fields[i].value);
    return {};
}

}  // namespace

bool ZipViewC::scan(const ZipReadAt& readAt, uint64_t fileSize)
{
    patches_.clear();
    damages_.clear();
    if (!findZipDirectoryEnd(readAt, fileSize, end_))
        return false;
    // The directory is read in windows: however large it claims to be (the end records only
    // check that it lies inside the file, which may be sparse), it takes no more memory than a
    // window and its largest record.
    std::vector<unsigned char> window;
    uint64_t windowStart = 0;  // where window[0] lies in the directory
    auto bytesAt = [&](uint64_t at, size_t need) -> const unsigned char* {
        if (at >= windowStart && at - windowStart + need <= window.size())
            return &window[at - windowStart];
        if (end_.directorySize - at < need)
            return nullptr;
        const size_t take = size_t(std::min<uint64_t>(end_.directorySize - at, std::max<size_t>(kWindowBytes, need)));
        window.resize(take);
        windowStart = at;
        if (readAt(end_.directoryStart + at, window.data(), unsigned(take)) != long(take)) {
            window.clear();  // minizip meets the same read failure and reports it
            return nullptr;
        }
        return window.data();
    };
    for (uint64_t at = 0, entry = 0;; ++entry) {
        const unsigned char* r = bytesAt(at, kDirectoryRecordSize);
        if (!r || zipLe32(r) != kDirectorySignature)
            break;
        const size_t nameSize = zipLe16(r + 28), extraSize = zipLe16(r + 30), commentSize = zipLe16(r + 32);
        const size_t recordSize = kDirectoryRecordSize + nameSize + extraSize + commentSize;
        r = bytesAt(at, recordSize);
        if (!r)
            break;
        ZipEntrySizes sizes{zipLe32(r + 24), zipLe32(r + 20), zipLe32(r + 42)};
        const ZipEntrySizes stored = sizes;
        const unsigned char* extra = r + kDirectoryRecordSize + nameSize;
        const bool complete = zipReadZip64Extra(extra, extraSize, sizes);
        const platform::ReasonText damage = zip64Damage(stored, sizes, complete, zip64BlockValues(extra, extraSize),
                                               zipLe16(r + 10), fileSize, end_.directoryOffset);
        if (!damage.empty()) {
            const std::string name(reinterpret_cast<const char*>(r + kDirectoryRecordSize), nameSize);
            damages_.emplace_back(entry, platform::reasonText(platform::Reason::EntryDamage,
                                                              name.empty() ? "entry number " + std::to_string(entry + 1)
                                                                           : "entry '" + name + "'",
                                                              damage));
        }
        if (complete) {
            const uint64_t recordPos = end_.directoryStart + at;
            const std::pair<uint64_t, uint64_t> fields[3] = {
                {stored.uncompressed, sizes.uncompressed}, {stored.compressed, sizes.compressed},
                {stored.localHeaderOffset, sizes.localHeaderOffset}};
            const unsigned fieldAt[3] = {24, 20, 42};
            for (int i = 0; i < 3; ++i)
                if (fields[i].first == kAllOnes && fields[i].second < kAllOnes)
                    patches_.push_back({recordPos + fieldAt[i], uint32_t(fields[i].second)});
        }
        at += recordSize;
    }
    std::sort(patches_.begin(), patches_.end(), [](const Patch& a, const Patch& b) { return a.filePos < b.filePos; });
    return true;
}

platform::ReasonText ZipViewC::damage(uint64_t index) const
{
    // In entry order: an archive may hold many damaged entries, each looked up by index.
    const auto found = std::lower_bound(damages_.begin(), damages_.end(), index,
                                        [](const auto& damage, uint64_t i) { return damage.first < i; });
    return found != damages_.end() && found->first == index ? found->second : platform::ReasonText();
}

void ZipViewC::apply(uint64_t filePos, unsigned char* buf, uint64_t len) const
{
    // Fields that begin up to 3 bytes before the read may reach into it.
    const uint64_t from = filePos < 3 ? 0 : filePos - 3;
    auto p = std::lower_bound(patches_.begin(), patches_.end(), from,
                              [](const Patch& a, uint64_t pos) { return a.filePos < pos; });
    for (; p != patches_.end() && p->filePos < filePos + len; ++p)
        for (unsigned i = 0; i < 4; ++i) {
            const uint64_t at = p->filePos + i;
            if (at >= filePos && at < filePos + len)
                buf[at - filePos] = static_cast<unsigned char>(p->value >> (8 * i));
        }
}

zlib_filefunc64_def ZipViewC::functions(const zlib_filefunc64_32_def& inner)
{
    inner_ = inner;
    zlib_filefunc64_def f{};
    f.zopen64_file = openFn;
    f.zread_file = readFn;
    f.zwrite_file = writeFn;
    f.ztell64_file = tellFn;
    f.zseek64_file = seekFn;
    f.zclose_file = closeFn;
    f.zerror_file = errorFn;
    f.opaque = this;
    return f;
}

voidpf ZCALLBACK ZipViewC::openFn(voidpf opaque, const void* name, int mode)
{
    return call_zopen64(&self(opaque)->inner_, name, mode);
}

uLong ZCALLBACK ZipViewC::readFn(voidpf opaque, voidpf stream, void* buf, uLong size)
{
    const ZipViewC* v = self(opaque);
    const ZPOS64_T at = v->patches_.empty() ? 0 : call_ztell64(&v->inner_, stream);
    const uLong n = ZREAD64(v->inner_, stream, buf, size);
    if (!v->patches_.empty() && at != ZPOS64_T(-1) && n != uLong(-1) && n <= size)
        v->apply(at, static_cast<unsigned char*>(buf), n);
    return n;
}

uLong ZCALLBACK ZipViewC::writeFn(voidpf opaque, voidpf stream, const void* buf, uLong size)
{
    return ZWRITE64(self(opaque)->inner_, stream, buf, size);
}

ZPOS64_T ZCALLBACK ZipViewC::tellFn(voidpf opaque, voidpf stream)
{
    const ZipViewC* v = self(opaque);
    const ZPOS64_T at = call_ztell64(&v->inner_, stream);
    return at == ZPOS64_T(-1) || at < v->origin() ? ZPOS64_T(-1) : at - v->origin();
}

long ZCALLBACK ZipViewC::seekFn(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin)
{
    const ZipViewC* v = self(opaque);
    if (origin == ZLIB_FILEFUNC_SEEK_SET) {
        if (offset > ~v->origin())
            return -1;
        offset += v->origin();
    }
    return call_zseek64(&v->inner_, stream, offset, origin);
}

int ZCALLBACK ZipViewC::closeFn(voidpf opaque, voidpf stream)
{
    return ZCLOSE64(self(opaque)->inner_, stream);
}

int ZCALLBACK ZipViewC::errorFn(voidpf opaque, voidpf stream)
{
    return ZERROR64(self(opaque)->inner_, stream);
}
