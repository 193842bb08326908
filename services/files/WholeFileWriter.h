// Replacing a file's whole contents through a temporary file beside it and a rename.
#pragma once

#include <cstddef>
#include <string>

// What preparing or making a whole-file write came to.
enum class WholeFileStatus {
    Written,     // done (or, from open, ready to write)
    NotRegular,  // the name is, or links to, a folder, device, FIFO or socket: left alone
    Failed,      // anything else; the target is as it was and no temporary is left
};

// One write of a file's whole contents. open decides where the bytes go: a symbolic link is
// followed to the regular file it names (the link stays); an existing target must be a regular
// file this process may write. The bytes go to a new file beside the target, named
// ".<name>.tmp<process id>-<number>" (the name cut so that it fits the file system's limit), which
// commit syncs and renames over the target. Where the folder takes no new file but the existing
// target may be written, the target itself is written (and cut to the new length) instead. An
// existing target's mode is kept, and its owner where the process may give files away; a new
// file's mode is 0666 less the umask. Until commit, the temporary is removed by abandon, by the
// destructor, and when the process is ended by SIGINT, SIGTERM or SIGHUP (signals whose action
// is the default); a temporary that a process ended otherwise left behind is removed by the next
// write of the same target once that process is gone. A write beyond the process's file-size
// limit fails like any other (SIGXFSZ, where its action is the default, is set to be ignored).
class WholeFileWriter {
public:
    WholeFileWriter() = default;
    ~WholeFileWriter();
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;

    WholeFileStatus open(const std::string& path);
    // The open file to write to, -1 before a successful open.
    int descriptor() const { return fd_; }
    // The file the bytes replace (a link's target).
    const std::string& target() const { return target_; }
    bool write(const char* data, size_t size);
    // Syncs the bytes and puts them in place. False, with the temporary removed and the target
    // as it was (when it was not written in place), when any step fails.
    bool commit();
    // Drops what was written; the target stays as it was (when it was not written in place).
    // A failed step leaves errno telling why (abandon keeps it).
    void abandon();

private:
    int fd_ = -1;
    int slot_ = -1;  // where the temporary's name waits for a terminating signal
    std::string target_;
    std::string temporary_;  // empty when writing in place
};

// The whole of size bytes at data as the contents of path, by the rules of WholeFileWriter.
WholeFileStatus writeWholeFile(const std::string& path, const char* data, size_t size);

// The sync and rename steps, replaceable so that tests can watch or fail them; null restores
// fsync(2) and rename(2). Each returns the previous function.
using WholeFileSyncFunction = int (*)(int fd);
using WholeFileRenameFunction = int (*)(const char* from, const char* to);
WholeFileSyncFunction setWholeFileSyncFunction(WholeFileSyncFunction fn);
WholeFileRenameFunction setWholeFileRenameFunction(WholeFileRenameFunction fn);
