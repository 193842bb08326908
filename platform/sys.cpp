// Linux implementation of the operating-system services.
#include "platform/sys.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace platform::sys {
namespace {

std::mutex g_settingsLock;
MessageBoxSink g_messageBoxSink;
std::string g_appDataOverride, g_tempOverride, g_systemOverride, g_moduleOverride;
std::function<uint32_t()> g_testClock;
std::function<ZoneFacts()> g_zoneProvider;
UrlOpener g_urlOpener;
ProgramLauncher g_programLauncher;
std::vector<pid_t> g_launched;  // started programs not yet reaped

template <class T>
T copyUnderLock(const T& value)
{
    std::lock_guard<std::mutex> guard(g_settingsLock);
    return value;
}

std::string envOrEmpty(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

}  // namespace

int messageBox(const std::string& text, const std::string& caption, unsigned flags)
{
    MessageBoxSink sink = copyUnderLock(g_messageBoxSink);
    if (sink)
        return sink(text, caption, flags);
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return 1;
}

MessageBoxSink setMessageBoxSink(MessageBoxSink sink)
{
    std::lock_guard<std::mutex> guard(g_settingsLock);
    MessageBoxSink previous = std::move(g_messageBoxSink);
    g_messageBoxSink = std::move(sink);
    return previous;
}

std::string userAppDataFolder()
{
    std::string o = copyUnderLock(g_appDataOverride);
    if (!o.empty())
        return o;
    std::string xdg = envOrEmpty("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg[0] == '/')
        return xdg;
    std::string home = envOrEmpty("HOME");
    if (!home.empty())
        return home + "/.config";
    return std::string();
}

std::string tempFolder()
{
    std::string o = copyUnderLock(g_tempOverride);
    if (!o.empty())
        return o;
    std::string t = envOrEmpty("TMPDIR");
    return t.empty() ? std::string("/tmp") : t;
}

std::string systemFolder()
{
    std::string o = copyUnderLock(g_systemOverride);
    return o.empty() ? std::string("/etc") : o;
}

void overrideUserAppDataFolder(const std::string& folder)
{
    std::lock_guard<std::mutex> guard(g_settingsLock);
    g_appDataOverride = folder;
}

void overrideTempFolder(const std::string& folder)
{
    std::lock_guard<std::mutex> guard(g_settingsLock);
    g_tempOverride = folder;
}

void overrideSystemFolder(const std::string& folder)
{
    std::lock_guard<std::mutex> guard(g_settingsLock);
    g_systemOverride = folder;
}

void overrideModuleFileName(const std::string& name)
{
    std::lock_guard<std::mutex> guard(g_settingsLock);
    g_moduleOverride = name;
}

std::string moduleFileName()
{
    std::string o = copyUnderLock(g_moduleOverride);
    if (!o.empty())
        return o;
    std::vector<char> buf(256);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0)
            return std::string();
        if (static_cast<size_t>(n) < buf.size())
            return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

std::string currentFolder()
{
    std::vector<char> buf(256);
    while (!getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE)
            return std::string();
        buf.resize(buf.size() * 2);
    }
    return std::string(buf.data());
}

ReasonText fileErrorText(int error, bool writing)
{
    switch (error) {
    case ENOENT: return writing ? reasonText(Reason::FolderNotThere) : reasonText(Reason::NotFound);
    case ENOTDIR: return writing ? reasonText(Reason::FolderIsFile) : reasonText(Reason::NotFoundFolderIsFile);
    case ELOOP: return reasonText(Reason::LinkLoop);
    case ENAMETOOLONG: return reasonText(Reason::NameTooLong);
    case EACCES:
    case EPERM: return reasonText(Reason::PermissionDenied);
    case EISDIR: return reasonText(Reason::IsFolder);
    case ENOSPC: return reasonText(Reason::NoSpace);
    case EDQUOT: return reasonText(Reason::QuotaUsedUp);
    case EROFS: return reasonText(Reason::ReadOnly);
    case EFBIG: return reasonText(Reason::OverFileSizeLimit);
    case EIO: return reasonText(Reason::InputOutputError);
    case EMFILE:
    case ENFILE: return reasonText(Reason::TooManyOpenFiles);
    case ENOMEM: return reasonText(Reason::NotEnoughMemory);
    default: break;
    }
    std::string text = std::strerror(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = char(text[0] - 'A' + 'a');
    return reasonText(Reason::SystemWords, OutsideWords(text));
}

ReasonText whyFileUnreadable(const std::string& path, int openError)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return fileErrorText(errno);
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? reasonText(Reason::IsFolder) : reasonText(Reason::NotRegularFile);
    if (openError != 0)
        return fileErrorText(openError);
    return ::access(path.c_str(), R_OK) != 0 ? fileErrorText(errno) : ReasonText();
}

ReasonText whyFileUnwritable(const std::string& path, int error)
{
    if (error == ENOENT) {
        std::vector<char> target(4096);
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n >= 0)
            return reasonText(Reason::LinkToNothing, std::string(target.data(), size_t(n)));
    }
    return fileErrorText(error, true);
}

uint32_t tickCount()
{
    auto clock = copyUnderLock(g_testClock);
    if (clock)
        return clock();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

void setTestClock(std::function<uint32_t()> clock)
{
    std::lock_guard<std::mutex> guard(g_settingsLock);
    g_testClock = std::move(clock);
}

void sleepMilliseconds(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

ZoneFacts localZoneFacts()
{
    auto provider = copyUnderLock(g_zoneProvider);
    if (provider)
        return provider();
    tzset();
    ZoneFacts facts;
    facts.secondsWestOfGmt = timezone;
    facts.observesDaylight = daylight != 0;
    facts.standardName = tzname[0] ? tzname[0] : "";
    facts.daylightName = tzname[1] ? tzname[1] : "";
    return facts;
}

void setZoneFactsProvider(std::function<ZoneFacts()> provider)
{
    std::lock_guard<std::mutex> guard(g_settingsLock);
    g_zoneProvider = std::move(provider);
}

// Starts a program without waiting for it (a browser opened for the first time runs on in the
// foreground of its opener until it is closed). Programs started earlier that have ended are
// reaped here, so none is left a zombie for long.
static bool spawnDetached(const std::string& program, const std::vector<std::string>& args)
{
    if (program.empty())
        return false;
    std::vector<std::string> texts;
    texts.reserve(args.size() + 1);
    texts.push_back(program);
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    pid_t pid;
    std::lock_guard<std::mutex> guard(g_settingsLock);
    std::erase_if(g_launched, [](pid_t p) { return ::waitpid(p, nullptr, WNOHANG) != 0; });
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    g_launched.push_back(pid);
    return true;
}

bool openUrl(const std::string& url)
{
    UrlOpener opener = copyUnderLock(g_urlOpener);
    if (opener)
        return opener(url);
    return spawnDetached("xdg-open", {url});
}

bool launchProgram(const std::string& program, const std::vector<std::string>& args)
{
    ProgramLauncher launcher = copyUnderLock(g_programLauncher);
    if (launcher)
        return launcher(program, args);
    return spawnDetached(program, args);
}

ProgramLauncher setProgramLauncher(ProgramLauncher launcher)
{
    std::lock_guard<std::mutex> guard(g_settingsLock);
    ProgramLauncher previous = std::move(g_programLauncher);
    g_programLauncher = std::move(launcher);
    return previous;
}

UrlOpener setUrlOpener(UrlOpener opener)
{
    std::lock_guard<std::mutex> guard(g_settingsLock);
    UrlOpener previous = std::move(g_urlOpener);
    g_urlOpener = std::move(opener);
    return previous;
}

namespace {

// The length of the well-formed UTF-8 sequence that starts at text[at] (RFC 3629: no overlong
// form, no surrogate, nothing above U+10FFFF), or 0 when the byte starts none.
size_t utf8SequenceLength(const std::string& text, size_t at)
{
    const auto byte = [&](size_t i) { return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u; };
    const unsigned lead = byte(0);
    const auto within = [&](size_t i, unsigned low, unsigned high) { return byte(i) >= low && byte(i) <= high; };
    if (lead < 0x80)
        return 1;
    if (lead >= 0xc2 && lead <= 0xdf)
        return within(1, 0x80, 0xbf) ? 2 : 0;
    if (lead >= 0xe0 && lead <= 0xef) {
        // E0 would be overlong below A0; ED would be a surrogate from A0 on.
        const unsigned low = lead == 0xe0 ? 0xa0 : 0x80;
        const unsigned high = lead == 0xed ? 0x9f : 0xbf;
        return within(1, low, high) && within(2, 0x80, 0xbf) ? 3 : 0;
    }
    if (lead >= 0xf0 && lead <= 0xf4) {
        // F0 would be overlong below 90; F4 beyond U+10FFFF from 90 on.
        const unsigned low = lead == 0xf0 ? 0x90 : 0x80;
        const unsigned high = lead == 0xf4 ? 0x8f : 0xbf;
        return within(1, low, high) && within(2, 0x80, 0xbf) && within(3, 0x80, 0xbf) ? 4 : 0;
    }
    return 0;
}

}  // namespace

std::string escapeControlCharacters(const std::string& text)
{
    static const char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    const auto escapeByte = [&](unsigned char c) {
        if (c == '\n')
            shown += "\\n";
        else if (c == '\r')
            shown += "\\r";
        else if (c == '\t')
            shown += "\\t";
        else
            shown += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    };
    for (size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        const size_t length = utf8SequenceLength(text, at);
        // U+0080 to U+009F (C2 80 to C2 9F) are the C1 controls: a terminal obeys them too.
        const bool control = length == 1 ? (c < 0x20 || c == 0x7f)
                                         : length == 0 || (c == 0xc2 && static_cast<unsigned char>(text[at + 1]) < 0xa0);
        if (!control) {
            shown.append(text, at, length);
            at += length;
            continue;
        }
        // Each byte of a control or of a sequence that is no UTF-8 on its own: a byte that
        // starts no sequence is escaped and the next one looked at afresh.
        const size_t end = at + (length == 0 ? 1 : length);
        for (; at < end; ++at)
            escapeByte(static_cast<unsigned char>(text[at]));
    }
    return shown;
}

}  // namespace platform::sys
