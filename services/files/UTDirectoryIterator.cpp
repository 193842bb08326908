// UTDirectoryIterator: the entries of one directory whose names match its file or
// directory patterns.
#include "services/files/UTDirectoryIterator.h"

#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

#include "foundation/RWxmsg.h"

bool UTDirectoryIterator::myregexp::operator==(const myregexp& other) const
{
    if (!re_ || !other.re_)
        return !re_ && !other.re_;
    return std::memcmp(re_->codes(), other.re_->codes(), RWCRegexp::maxCodes * sizeof(uint16_t)) == 0;
}

bool UTDirectoryIterator::myregexp::matchesWhole(const RWCString& name) const
{
    if (!re_)
        return false;
    try {
        size_t len = 0;
        size_t pos = re_->index(name, &len, 0);
        return pos == 0 && len == name.length();
    } catch (const RWxmsg&) {
        return false; // a pattern that did not compile matches nothing
    }
}

UTDirectoryIterator::UTDirectoryIterator(const UTFilePath& dir, RWCString filePattern,
                                         RWCString dirPattern, bool ignoreCase)
    : directory_(dir), ignoreCase_(ignoreCase)
{
    filePatterns_.append(myregexp(filePattern.data()));
    directoryPatterns_.append(myregexp(dirPattern.data()));
    open();
}

UTDirectoryIterator::UTDirectoryIterator(const UTFilePath& dir,
                                         const RWTValOrderedVector<RWCString>& filePatterns,
                                         const RWTValOrderedVector<RWCString>& dirPatterns,
                                         bool ignoreCase)
    : directory_(dir), ignoreCase_(ignoreCase)
{
    setList(filePatterns_, filePatterns);
    setList(directoryPatterns_, dirPatterns);
    open();
}

UTDirectoryIterator::UTDirectoryIterator(UTDirectoryEntry dirEntry)
    : directory_(dirEntry.getPath()), ignoreCase_(false)
{
    filePatterns_.append(myregexp(".*"));
    directoryPatterns_.append(myregexp(".*"));
    open();
}

UTDirectoryIterator::~UTDirectoryIterator()
{
    if (isOpenFlag_)
        close();
}

void UTDirectoryIterator::open()
{
    RWCString native = directory_.isEmpty() ? RWCString(".") : directory_.nativePath();
    DIR* d = ::opendir(native.data());
    findHandle_ = d;
    isOpenFlag_ = d != nullptr;
    firstPending_ = isOpenFlag_ && readEntry();
}

void UTDirectoryIterator::close()
{
    if (isOpenFlag_ && findHandle_)
        ::closedir(static_cast<DIR*>(findHandle_));
    findHandle_ = nullptr;
    isOpenFlag_ = false;
    firstPending_ = false;
}

void UTDirectoryIterator::rewind()
{
    if (isOpenFlag_) {
        close();
        open();
    }
}

bool UTDirectoryIterator::readEntry()
{
    if (!findHandle_)
        return false;
    struct dirent* e = ::readdir(static_cast<DIR*>(findHandle_));
    if (!e)
        return false;
    findData_.name = RWCString(e->d_name);
    if (e->d_type == DT_DIR) {
        findData_.isDirectory = true;
    } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
        // Links are reported as what they lead to, as the directory search does.
        struct stat st;
        RWCString full = directory_.join(UTFilePath(findData_.name, true)).nativePath();
        findData_.isDirectory = ::stat(full.data(), &st) == 0 && S_ISDIR(st.st_mode);
    } else {
        findData_.isDirectory = false;
    }
    return true;
}

bool UTDirectoryIterator::next()
{
    if (!isOpenFlag_)
        return false;
    for (;;) {
        if (firstPending_)
            firstPending_ = false;
        else if (!readEntry())
            return false;
        const RWCString& name = findData_.name;
        if (name == "." || name == "..")
            continue;
        // The name is taken as it is: a backslash in a file name here is no separator.
        currentPath_ = directory_.join(UTFilePath(name, true));
        if (findData_.isDirectory) {
            currentPath_.markDirectory();
            if (matchesDirectory(name))
                return true;
        } else {
            currentPath_.markFile();
            if (matchesFile(name))
                return true;
        }
    }
}

bool UTDirectoryIterator::nextFile()
{
    while (next())
        if (currentPath_.isFile(false))
            return true;
    return false;
}

bool UTDirectoryIterator::nextDirectory()
{
    while (next())
        if (currentPath_.isDirectory(false))
            return true;
    return false;
}

UTFileSystemEntry UTDirectoryIterator::currentEntry() const
{
    UTFilePath p = currentPath_;
    if ((p.flags() & UTFilePath::flagTypeValid) && (p.flags() & UTFilePath::flagFile))
        return UTFileEntry(p);
    return UTDirectoryEntry(p);
}

void UTDirectoryIterator::setList(RWTValOrderedVector<myregexp>& list,
                                  const RWTValOrderedVector<RWCString>& patterns)
{
    list.clear();
    for (size_t i = 0; i < patterns.entries(); ++i)
        list.append(myregexp(patterns[i].data()));
}

void UTDirectoryIterator::setFilePatterns(const RWTValOrderedVector<RWCString>& patterns, bool ignoreCase)
{
    setList(filePatterns_, patterns);
    ignoreCase_ = ignoreCase;
}

void UTDirectoryIterator::setDirectoryPatterns(const RWTValOrderedVector<RWCString>& patterns,
                                               bool ignoreCase)
{
    setList(directoryPatterns_, patterns);
    ignoreCase_ = ignoreCase;
}

void UTDirectoryIterator::setFilePattern(const char* text, bool ignoreCase)
{
    filePatterns_.clear();
    filePatterns_.append(myregexp(text));
    ignoreCase_ = ignoreCase;
}

void UTDirectoryIterator::setDirectoryPattern(const char* text, bool ignoreCase)
{
    directoryPatterns_.clear();
    directoryPatterns_.append(myregexp(text));
    ignoreCase_ = ignoreCase;
}

void UTDirectoryIterator::setFileRegexp(const RWCRegexp& re, bool ignoreCase)
{
    filePatterns_.clear();
    filePatterns_.append(myregexp(re));
    ignoreCase_ = ignoreCase;
}

void UTDirectoryIterator::setDirectoryRegexp(const RWCRegexp& re, bool ignoreCase)
{
    directoryPatterns_.clear();
    directoryPatterns_.append(myregexp(re));
    ignoreCase_ = ignoreCase;
}

bool UTDirectoryIterator::matches(const RWTValOrderedVector<myregexp>& list, const RWCString& name,
                                  bool ignoreCase)
{
    for (size_t i = 0; i < list.entries(); ++i) {
        if (list[i].matchesWhole(name))
            return true;
        if (ignoreCase && list[i].matchesWhole(toLower(name)))
            return true;
    }
    return false;
}

bool UTDirectoryIterator::matchesFile(const RWCString& name) const
{
    return matches(filePatterns_, name, ignoreCase_);
}

bool UTDirectoryIterator::matchesDirectory(const RWCString& name) const
{
    return matches(directoryPatterns_, name, ignoreCase_);
}
