// Operating-system services the system's own code calls: locks, message boxes, folders,
// clocks, the zone facts of the C library and opening a web address.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/Reason.h"

namespace platform::sys {

// A recursive lock (stands in for a critical section).
class Lock {
public:
    void lock() { m_.lock(); }
    void unlock() { m_.unlock(); }
    bool tryLock() { return m_.try_lock(); }

private:
    std::recursive_mutex m_;
};

// Message boxes. The default sink writes "caption: text" to stderr and answers 1 (OK).
// Tests install a recording sink.
using MessageBoxSink = std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;
int messageBox(const std::string& text, const std::string& caption, unsigned flags = 0);
MessageBoxSink setMessageBoxSink(MessageBoxSink sink);  // returns the previous sink; empty restores the default

// Folders. Each can be overridden (tests); an empty override restores the default.
std::string userAppDataFolder();  // $XDG_CONFIG_HOME when absolute, else $HOME/.config, else ""
std::string tempFolder();         // $TMPDIR, else /tmp
std::string systemFolder();       // /etc
void overrideUserAppDataFolder(const std::string& folder);
void overrideTempFolder(const std::string& folder);
void overrideSystemFolder(const std::string& folder);

std::string moduleFileName();  // the running program, from /proc/self/exe
void overrideModuleFileName(const std::string& name);  // tests; empty restores /proc/self/exe
std::string currentFolder();   // the working folder, "" when it cannot be read

// Why the file system refused a name, from the error it gave (errno), in the program's own
// words: "not found", "permission denied", "too many symbolic links (a loop)", "the name is too
// long", "no space left on the device" and so on; an error with no words of ours gives the
// system's text. `writing`: the name was to be written, where a missing folder is the fault.
ReasonText fileErrorText(int error, bool writing = false);
// Why the local file at path cannot be read as a model, or empty when it can: the file system's
// reason, "is a folder, not a file", "not a regular file", or `openError` (an open that failed
// though the name is a regular file) in the words above.
ReasonText whyFileUnreadable(const std::string& path, int openError = 0);
// Why the file at path cannot be written, from the error a write gave: as fileErrorText, but a
// name that is a symbolic link to nothing says so, with the link's own text (the folder is there).
ReasonText whyFileUnwritable(const std::string& path, int error);

// Clocks. Ticks are 32-bit milliseconds of the monotonic clock; a test clock replaces them.
uint32_t tickCount();
void setTestClock(std::function<uint32_t()> clock);  // empty restores the real clock
void sleepMilliseconds(uint32_t ms);

// The local time zone as the C library describes it.
struct ZoneFacts {
    long secondsWestOfGmt = 0;  // standard time
    bool observesDaylight = false;
    std::string standardName;
    std::string daylightName;
};
ZoneFacts localZoneFacts();
void setZoneFactsProvider(std::function<ZoneFacts()> provider);  // empty restores the C library

// Opens a web address in the user's browser (xdg-open, never through a shell) without waiting
// for the browser; false when xdg-open cannot be started.
using UrlOpener = std::function<bool(const std::string& url)>;
bool openUrl(const std::string& url);
UrlOpener setUrlOpener(UrlOpener opener);  // empty restores xdg-open

// Starts a program (looked up on PATH) with its arguments, never through a shell, and does not
// wait for it; false when it cannot be started (an empty name included).
using ProgramLauncher = std::function<bool(const std::string& program, const std::vector<std::string>& args)>;
bool launchProgram(const std::string& program, const std::vector<std::string>& args);
ProgramLauncher setProgramLauncher(ProgramLauncher launcher);  // empty restores posix_spawnp

// Large memory blocks for record pools, backed by huge pages while the system hands them out
// cheaply (see adviseHugePages). Null when out of memory.
void* allocateLargeBlock(size_t bytes);
void freeLargeBlock(void* block, size_t bytes);
// A range of address space whose pages are backed only once touched (aligned to 2 MB; null
// when the system refuses, or when the process's limit of address space leaves the renderer less
// than twice the size: see addressRangeBudget for what the ranges may take together).
// Discarding gives a part's pages back; the range stays usable. Its pages are inaccessible
// until committed.
void* reserveAddressRange(size_t bytes);
// The same for [at, at + bytes) exactly (whole pages), where nothing is mapped: a range that
// gave back its end (releaseAddressRange) takes it again. False where it cannot be had there.
bool reserveAddressRangeAt(void* at, size_t bytes);
// Gives [block, block + bytes) of a reserved range (whole pages) back to the system.
void releaseAddressRange(void* block, size_t bytes);
// Makes [block, block + bytes) of such a range (whole pages) readable and writable; false where
// the system refuses, or where the data-segment limit (ulimit -d) would leave the renderer less
// than its room. Committed a stretch at a time: each call is a system call.
bool commitAddressRange(void* block, size_t bytes);
void discardPages(void* block, size_t bytes);
// Discards the pages of many blocks (as discardPages each): blocks that touch are taken as one,
// and where they hold many megabytes the work is cut into pieces run on several threads. The
// system frees the pages of a range a thread at a time, at a fraction of a microsecond each: the
// hundreds of megabytes a large mesh takes would keep one thread busy for a tenth of a second.
void discardPagesOfBlocks(std::vector<std::pair<void*, size_t>> blocks);
// Gives back the pages lying wholly within [begin, end), from any allocator, whose bytes are no
// longer needed (they read as zeros afterwards); the memory stays the owner's to use or free.
void discardWholePages(void* begin, void* end);
// Hands back to the system what the allocator keeps of memory freed, on every thread's heap.
// After a stage that took much memory for a while: else the process keeps it until it ends.
void returnFreedMemory();
// Asks for huge pages for a fresh block (2 MB aligned) as long as they come cheaply: its first
// huge page is touched at once and timed. Where the system must first assemble a huge page, or
// fetch it from the machine hosting it, that costs many times what small pages cost and varies
// widely; after a few such pages the process asks no more and small pages serve.
// Also for a block used again: once the process keeps to small pages, the block does too.
void adviseHugePages(void* block, size_t bytes);
// From now on the process asks for no huge pages, as after a few dear ones.
void keepToSmallPages();
// Has the pages of a block backed soon, on a thread of its own, so that the thread about to fill
// the block from its front finds them ready instead of waiting for the system to clear each one as
// it first writes it. Never waits (the block is only queued) and changes no byte; where the system
// cannot back pages ahead, nothing happens. Only whole pages within the block are touched.
void prefaultPages(void* block, size_t bytes);
// Drops what is still queued of a block and waits until no backing of it is under way. Call it
// before the block is given back (discarded, freed, unmapped): no page of it is backed after.
// Never throws: short of memory, it drops the whole queue instead.
void forgetPrefault(void* block, size_t bytes) noexcept;
// Whether the system backs pages ahead for this process (false where it cannot).
bool prefaultsPages();

// The text with its control characters written as escapes ("\n", "\r", "\t", "\x1b"), so that
// a name shown in a message keeps the message on one line, cannot steer the terminal and says
// what the name holds. Controls are the bytes below 0x20, 0x7F and the C1 controls U+0080 to
// U+009F (each byte of their UTF-8 form escaped: "\xc2\x85"); every byte that is not part of
// well-formed UTF-8 (a stray or missing continuation byte, an overlong form, a surrogate, a
// value above U+10FFFF) is escaped on its own as well. Other UTF-8 text passes unchanged.
// Backslashes stay as they are: they separate folders in many names.
std::string escapeControlCharacters(const std::string& text);

}  // namespace platform::sys
