// UTFileSystemEntry, UTFileEntry and UTDirectoryEntry: one file or directory named by its
// directory and its name.
#include "services/files/UTFileSystemEntry.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "services/files/UTPathComponentIterator.h"

UTFileSystemEntry::UTFileSystemEntry() = default;

UTFileSystemEntry::UTFileSystemEntry(const UTFilePath& dir, const UTFilePath& name)
    : directory_(dir), name_(name)
{
}

UTFileSystemEntry::UTFileSystemEntry(const UTFilePath& path)
{
    const RWCString& text = path.utf8Path();
    size_t slash = text.last('/', text.length());
    if (slash != RW_NPOS && slash + 1 < text.length()) {
        directory_ = UTFilePath(RWCString(text.data(), slash + 1), true);
        name_ = UTFilePath(RWCString(text.data() + slash + 1, text.length() - slash - 1), true);
    } else {
        name_ = path;
    }
}

UTFilePath UTFileSystemEntry::getPath() const
{
    if (name_.isAbsolute() || (directory_.isEmpty() && !directory_.isAbsolute()))
        return name_;
    return directory_.join(name_);
}

bool UTFileSystemEntry::existsAsKind() const
{
    RWCString n = getPath().nativePath();
    if (n.length() == 2 && n(1) == ':')
        return true;
    struct stat st;
    if (kind_ == unspecified || ::stat(n.data(), &st) != 0)
        return false;
    return kind_ == file ? S_ISREG(st.st_mode) : S_ISDIR(st.st_mode);
}

bool UTFileSystemEntry::createAsKind() const
{
    RWCString n = getPath().nativePath();
    if (kind_ == file) {
        FILE* f = std::fopen(n.data(), "w");
        if (!f)
            return false;
        std::fclose(f);
        return true;
    }
    if (kind_ == directory)
        return ::mkdir(n.data(), 0777) == 0;
    return false;
}

bool UTFileSystemEntry::removeEntry() const
{
    RWCString n = getPath().nativePath();
    if (kind_ == file)
        return ::unlink(n.data()) == 0;
    if (kind_ == directory)
        return ::rmdir(n.data()) == 0;
    return false;
}

UTFileEntry::UTFileEntry(const UTFilePath& dir, const UTFilePath& name) : UTFileSystemEntry(dir, name)
{
    kind_ = file;
}

UTFileEntry::UTFileEntry(const UTFilePath& path) : UTFileSystemEntry(path)
{
    kind_ = file;
}

UTDirectoryEntry::UTDirectoryEntry()
{
    kind_ = directory;
    UTFilePath cwd = UTFilePath::currentDirectory();
    UTPathComponentIterator it(cwd);
    if (it.count() < 2) {
        name_ = it.current();
        // A folder right below "/" still has its directory.
        if (cwd.utf8Path().length() > 0 && cwd.utf8Path()(0) == '/')
            directory_ = UTFilePath(RWCString("/"), true);
        return;
    }
    it.seek(static_cast<int>(it.count() - 1));
    directory_ = it.headBefore();
    name_ = it.current();
}

UTDirectoryEntry::UTDirectoryEntry(const UTFilePath& dir, const UTFilePath& name)
    : UTFileSystemEntry(dir, name)
{
    kind_ = directory;
}

UTDirectoryEntry::UTDirectoryEntry(const UTFilePath& path) : UTFileSystemEntry(path)
{
    kind_ = directory;
}
