// CTavoplexCtrl: fetching files from disk or over HTTP into memory or the per-user folder,
// unzipping the first item of a zipped fetch, and the panel image cache.
#include "viewer/control/CTavoplexCtrl.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "geometry/display/MemoryBlockC.h"
#include "platform/WebAddress.h"
#include "platform/sys.h"
#include "services/archive/ZipDirectoryEnd.h"
#include "services/config/CSConfigVal.h"
#include "services/files/RegularFile.h"
#include "services/files/WholeFileWriter.h"
#include "viewer/loader/FetchFile.h"
#include "viewer/loader/DownloadObserverI.h"
#include "viewer/loader/HTTPDownloadC.h"
#include "viewer/loader/UnzipToBlock.h"
#include "viewer/loader/WideText.h"
#include "viewer/loader/ZipHandle.h"
#include "viewer/ui/PanelImages.h"

using platform::Reason;
using platform::ReasonText;
using platform::reasonText;

namespace {

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// A download that failed this way says the server is not there for now; one that got an
// answer (another status, a body too large) says nothing about the next address.
bool ServerLost(platform::net::Outcome outcome)
{
    using platform::net::Outcome;
    return outcome == Outcome::ConnectFailed || outcome == Outcome::Stalled || outcome == Outcome::ShortBody ||
           outcome == Outcome::Failed || outcome == Outcome::TooSlow || outcome == Outcome::TookTooLong;
}

// The most bytes the in-memory ZIP reader takes: it counts an archive's length in 32 bits.
constexpr uint64_t kMostZipReaderBytes = 0xFFFFFFFFu;

// Why a file of `size` bytes is not read, or empty when it may be: over `cap`, over what the
// in-memory ZIP reader takes when its bytes are to go through it, or over the `mostHeld` bytes
// the file object it goes into can hold (a block counts in 32 bits) - known before a byte is
// read, where reading first would take seconds and gigabytes to end the same way.
ReasonText TooLarge(uint64_t size, uint64_t cap, bool throughZipReader, uint64_t mostHeld)
{
    if (throughZipReader && size > kMostZipReaderBytes && kMostZipReaderBytes < cap)
        return reasonText(Reason::OverZipReader);
    if (size > cap)
        return reasonText(Reason::OverLimit, cap);
    return size > mostHeld ? reasonText(Reason::TooLargeToHold) : ReasonText();
}

// Reads a local file into `out`. Only a regular file is read (a device or a pipe could give
// bytes forever or never), and no more than `cap` bytes of it, nor more than the in-memory ZIP
// reader takes when `throughZipReader`, nor more than `out` can hold. The size the file states is read
// straight into room taken in `out` (a large one in pieces side by side); what a file that grew
// meanwhile (or one whose size says nothing) still gives comes in pieces of 16384 bytes,
// counted against the cap.
// On failure `why` says what went wrong. A local name is not retried: what the file system
// answers now (a missing file too) it answers again.
bool ReadLocalFile(const std::string& name, FetchFileI& out, uint64_t cap, bool throughZipReader, ReasonText& why)
{
    // A NUL byte would end the name early and read the file its first bytes name instead.
    if (name.find('\0') != std::string::npos) {
        why = reasonText(Reason::NameHoldsNul);
        return false;
    }
    std::string path = name;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    uint64_t size = 0;
    errno = 0;
    const int fd = openRegularFile(path.c_str(), &size);
    if (fd < 0) {
        why = platform::sys::whyFileUnreadable(path, errno);
        return false;
    }
    why = TooLarge(size, cap, throughZipReader, out.MostLength());
    // Bytes whose end holds no ZIP directory the ZIP reader does not open: told from the end
    // alone, before a large file takes seconds and gigabytes to be read.
    const auto readAt = [fd](uint64_t pos, void* buf, unsigned len) { return zipReadFully(fd, pos, buf, len); };
    ZipDirectoryEnd end;
    if (why.empty() && throughZipReader && size > 0 && !findZipDirectoryEnd(readAt, size, end))
        why = reasonText(Reason::NotZip);
    bool ok = why.empty();
    uint64_t total = 0;
    bool readFailed = false;  // the file failed, not the memory for its bytes
    if (ok && size > 0 && size <= SIZE_MAX) {
        const uint64_t start = out.GetLength();
        char* room = out.Extend(static_cast<size_t>(size));
        readFailed = room != nullptr && !ReadFileStart(fd, room, size, total);
        ok = room != nullptr && !readFailed;
        if (ok && total < size)
            ok = out.SetLength(start + total);  // the file shrank: keep what came
    }
    std::vector<char> piece(ok ? 16384 : 0);
    while (ok) {
        const ssize_t n = ::read(fd, piece.data(), piece.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            readFailed = !ok;
            break;
        }
        total += static_cast<uint64_t>(n);
        why = TooLarge(total, cap, throughZipReader, out.MostLength());
        if (!why.empty()) {
            ok = false;
            break;
        }
        ok = out.Write(piece.data(), static_cast<size_t>(n));
    }
    ok = ok && out.Flush();
    if (!ok && why.empty())
        why = readFailed ? reasonText(Reason::CannotBeRead, platform::sys::fileErrorText(errno))
                         : reasonText(Reason::CannotBeHeld);
    ::close(fd);
    return ok;
}

// Keeps the error text of a download, which becomes the fetch's failure reason.
class ErrorKeeperC : public NullDownloadObserverC {
public:
    void OnError(const ReasonText& text) override { error = text; }
    ReasonText error;
};

// Download outcomes that a later attempt would meet again: the address, its redirects, the
// form, size or pace of the answer, or a transfer library that cannot be loaded. A refused
// connection, a status other than 200 or a transfer cut off may heal.
bool IsLastingOutcome(platform::net::Outcome outcome)
{
    using platform::net::Outcome;
    switch (outcome) {
    case Outcome::BadAddress:
    case Outcome::TooManyRedirects:
    case Outcome::BadRedirect:
    case Outcome::BadAnswer:
    case Outcome::TooLarge:
    case Outcome::TooSlow:
    case Outcome::TookTooLong:
    case Outcome::NoTransferLibrary: return true;
    default: return false;
    }
}

}  // namespace

int CTavoplexCtrl::FetchToMemory(const RWCString& name, FetchFileI& out, bool unzip)
{
    FetchFailure = ReasonText();
    const auto failure = [this](const ReasonText& what) { FetchFailure = what; };
    std::string lower(name.data(), name.length());
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    // Such a name's bytes go through the in-memory ZIP reader when unzipped here; an archive
    // fetched whole (a descriptor's) goes through it in the loader. Bytes fetched as they are
    // (a descriptor, an image) whose folder's name holds ".zip" are no archive. An address is
    // judged by its path, as its type is: what its query or fragment holds names no file.
    const size_t pathStart = platform::address::pathStart(lower);
    const std::string path = lower.substr(pathStart, platform::address::pathEnd(lower) - pathStart);
    const bool zipped = unzip && (Contains(path, ".zip") || Contains(path, ".zjv"));
    RWCString extension = UTFilePath(RWCString(path.data(), path.size())).extension();
    extension.toLower();
    const bool archive = zipped || extension == "zip";
    MemFileC staging;
    FetchFileI& target = zipped ? static_cast<FetchFileI&>(staging) : out;
    bool failed = false;
    bool refused = false;  // failed, and no retry can heal it

    const std::string scheme = platform::address::schemeOf(lower);
    if (!Contains(lower, "http://") && !scheme.empty()) {
        // Read as a local file, an address of another scheme would be retried for as long as the
        // load lasts, and never be found.
        failure(reasonText(Reason::SchemeNotFetched, scheme));
        return FetchRefused;
    }
    if (Contains(lower, "http://")) {
        WriteLog("      Start HTTP stream.\n");
        HTTPDownloadC download;
        if (FetchLimits != nullptr)
            download.SetLimits(*FetchLimits);
        ErrorKeeperC errors;
        const uint64_t start = target.GetLength();
        failed = download.DownloadInternal(WidenText(std::string(name.data(), name.length())), target, errors, 80) != 0;
        LastFetchLostServer = failed && ServerLost(download.LastOutcome());
        if (failed) {
            failure(errors.error);  // a failed download always says why
            refused = IsLastingOutcome(download.LastOutcome());
        } else if (platform::net::isWebPage(download.LastResult().contentType, download.LastResult().bodyStart)) {
            // A login or error page is the commonest wrong download: read as a model, its
            // markup would pass for a broken file. Asking again brings the same page.
            target.SetLength(start);
            failed = refused = true;
            const std::string& type = download.LastResult().contentType;
            failure(platform::net::afterRedirects(download.LastResult(),
                                                  reasonText(Reason::WebPage, type.substr(0, type.find(';')))));
        }
        WriteLog("      End HTTP stream.\n");
    } else {
        WriteLog("      Start local stream.\n");
        const uint64_t start = target.GetLength();
        ReasonText why;
        if (ReadLocalFile(std::string(name.data(), name.length()), target, LocalFileLimit, archive, why)) {
            WriteLog("      End local stream.\n");
        } else {
            target.SetLength(start);
            failed = true;
            refused = true;
            failure(why);
        }
    }

    WriteLog("      Start Unzip in memory.\n");
    // A zipped fetch is only done when item 0 came out whole; bytes that are no archive, a
    // damaged item or one over the size cap fail it.
    ZipHandle* handle = staging.GetLength() > 0 && staging.GetLength() <= 0xffffffffu
                            ? OpenZipHandleFromMemory(staging.Data(), static_cast<uint32_t>(staging.GetLength()), "")
                            : nullptr;
    if (!handle) {
        if (failed)
            return refused ? FetchRefused : FetchFailed;
        if (zipped)
            failure(staging.GetLength() == 0 ? reasonText(Reason::EmptyFile) : reasonText(Reason::NotZip));
        return zipped ? FetchNotUnpacked : 0;
    }
    MemoryBlockC item;
    bool unpacked = false;
    ReasonText why;
    if (UnzipItemToBlock(handle, staging.Data(), static_cast<uint32_t>(staging.GetLength()), 0, "", item, &why)) {
        char* room = item.GetSize() ? out.Extend(item.GetSize()) : nullptr;
        unpacked = item.GetSize() == 0 || room;
        if (item.GetSize() == 0)
            failure(EmptyFirstEntryReason(staging.Data(), static_cast<uint32_t>(staging.GetLength())));
        if (room)
            std::memcpy(room, item.GetData(), item.GetSize());
        else if (!unpacked)
            failure(reasonText(Reason::NoMemoryToUnpackArchive));
    } else if (!failed) {
        failure(why);
    }
    CloseZipHandle(handle);
    staging.SetLength(0);
    WriteLog("      End Unzip in memory.\n");
    if (failed)
        return refused ? FetchRefused : FetchFailed;
    return unpacked ? 0 : FetchNotUnpacked;
}

int CTavoplexCtrl::LoadFileInternal(const RWCString& name, MemoryBlockC& block, bool unzip)
{
    BlockFileC file(block);
    WriteLog(RWCString("      Start LoadFileInternal (") + Shown(name) + ").\n");
    int result = FetchToMemory(name, file, unzip);
    WriteLog("      End LoadFileInternal.\n");
    if (!file.Finish()) {
        FetchFailure = reasonText(Reason::TooLargeToHold);
        return FetchRefused;
    }
    return result;
}

int CTavoplexCtrl::LoadFileInternalToFile(const RWCString& name, const UTFilePath& target, bool unzip)
{
    UTFilePath where(target);
    if (where.exists(true))
        return 0;
    MemFileC file;
    WriteLog(RWCString("      Start LoadFileInternal (") + Shown(name) + ").\n");
    const int result = FetchToMemory(name, file, unzip);
    WriteLog("      End LoadFileInternal.\n");
    if (result != 0)
        return 1;

    // Written whole or not at all, so that a file that exists is always a whole one: an
    // interrupted write never passes for a finished fetch.
    const RWCString native = where.nativePath();
    const std::string path(native.data(), native.length());
    return writeWholeFile(path, file.Data(), size_t(file.GetLength())) == WholeFileStatus::Written ? 0 : 1;
}

bool CTavoplexCtrl::RefreshImageCache()
{
    CSConfigVal* version = Config.getValue("DATA_VERSION", "COMMON");
    bool refresh = false;
    if (std::atoi(version->getString()) < 2) {
        version->setInt(2);
        Config.save();
        refresh = true;
    }
    // The refresh runs inside one frame: a server that stalls would otherwise hold the
    // control for a stall time-out per image. Every image gets only what is left of the
    // refresh's time, and a server lost once is asked for nothing more this time; the images
    // left out are missing, so the next control asks again.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ImageRefreshLimitMs);
    platform::net::Limits limits = HTTPDownloadC::DefaultLimits();
    // The narrowed bounds hold for this refresh only, however it ends.
    struct LimitsBack {
        const platform::net::Limits*& current;
        const platform::net::Limits* outer;
        ~LimitsBack() { current = outer; }
    } limitsBack{FetchLimits, FetchLimits};
    FetchLimits = &limits;
    bool serverLost = false;
    for (const char* const* image = PanelImageNames; **image; ++image) {
        const RWCString address = BaseUrl + "/" + *image;
        const UTFilePath target = UserFolder.join(UTFilePath(*image));
        if (refresh)
            std::remove(target.nativePath().data());
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (serverLost || left <= 0)
            continue;
        const uint32_t leftMs = static_cast<uint32_t>(left);
        const platform::net::Limits& defaults = HTTPDownloadC::DefaultLimits();
        limits.connectTimeoutMs = std::min(defaults.connectTimeoutMs, leftMs);
        limits.stallTimeoutMs = std::min(defaults.stallTimeoutMs, leftMs);
        limits.totalTimeoutMs = defaults.totalTimeoutMs == 0 ? leftMs : std::min(defaults.totalTimeoutMs, leftMs);
        LastFetchLostServer = false;
        LoadFileInternalToFile(address, target, false);
        serverLost = LastFetchLostServer;
    }
    return true;
}
