// CSConfig: the .cfg text format as read: open, streams, line classification and re-reading.
#include "services/config/CSConfig.h"

#include <cstring>
#include <istream>
#include <sstream>
#include <string>
#include <unordered_set>

#include "services/environment/TextExpansion.h"
#include "services/files/RegularFile.h"
#include "services/files/UTFilePath.h"

namespace {

const char markerDisabled[] = "#-";
const char markerInactive[] = "#:INACTIVE;";
const size_t markerInactiveLength = sizeof(markerInactive) - 1;

inline bool beginsWith(const RWCString& s, const char* prefix, size_t n)
{
    return s.length() >= n && std::memcmp(s.data(), prefix, n) == 0;
}

}  // namespace

int CSConfig::open(const RWCString& name)
{
    fileName = name;
    inStream = nullptr;
    outStream = nullptr;
    if (name.isNull())
        return -1;
    int r = loadFile(name, false);
    return r == -3 ? 0 : r;
}

int CSConfig::attachStream(std::istream* in)
{
    fileName = RWCString();
    inStream = in;
    if (in == nullptr)
        return -2;
    int r = readStream(*in, false);
    return r == -3 ? 0 : r;
}

int CSConfig::loadFile(const RWCString& name, bool merge)
{
    const RWCString expanded = expandString(name);
    UTFilePath path(expanded);
    if (!path.exists(true) || !path.isFile(true))
        return 0;
    const RWCString native = path.nativePath();
    // Read whole first, through the one check every reader makes: a name that no longer opens
    // a regular file (replaced since it was looked at) never blocks and is never read for ever.
    std::string bytes;
    if (!readRegularFile(native.data(), bytes)) {
        unreadFile = native;
        return 0;
    }
    std::istringstream in(std::move(bytes));
    int result = readStream(in, merge);
    if (result == -2)
        unreadFile = native;
    else if (unreadFile == native)
        unreadFile = RWCString();
    rememberFileTime(name);
    return result;
}

RWCString CSConfig::stripLineEnd(const RWCString& s)
{
    size_t n = s.length();
    while (n && (s.data()[n - 1] == '\r' || s.data()[n - 1] == '\n'))
        --n;
    return n == s.length() ? s : RWCString(s.data(), n);
}

bool CSConfig::isBlockHeader(const RWCString& line) const
{
    const char* p = line.data();
    const size_t n = line.length();
    size_t i = 0;
    while (i < n && (p[i] == ' ' || p[i] == '\t'))
        ++i;
    if (i == n || p[i] != '[')
        return false;
    return std::memchr(p, ']', n) != nullptr;
}

bool CSConfig::isComment(const RWCString& line) const
{
    if (!line.isNull()) {
        char c = line.data()[0];
        if (c == ';' || c == '*' || c == '!' || c == '#')
            return true;
    }
    return std::memchr(line.data(), '=', line.length()) == nullptr;
}

RWCString CSConfig::blockNameOf(const RWCString& line) const
{
    const char* p = line.data();
    const void* open = std::memchr(p, '[', line.length());
    const void* close = std::memchr(p, ']', line.length());
    if (!open || !close || close < open)
        return RWCString();
    const char* a = static_cast<const char*>(open) + 1;
    const char* b = static_cast<const char*>(close);
    return trim(RWCString(a, size_t(b - a)));
}

RWCString CSConfig::keyOf(const RWCString& line) const
{
    const void* eq = std::memchr(line.data(), '=', line.length());
    if (!eq)
        return RWCString();
    return trim(RWCString(line.data(), size_t(static_cast<const char*>(eq) - line.data())));
}

RWCString CSConfig::valueOf(const RWCString& line) const
{
    const void* eq = std::memchr(line.data(), '=', line.length());
    if (!eq)
        return RWCString();
    const char* v = static_cast<const char*>(eq) + 1;
    return trim(RWCString(v, size_t(line.data() + line.length() - v)));
}

void CSConfig::parseLine(const RWCString& lineIn, int& kind, RWCString& nameOrKey, RWCString& value, int& flags)
{
    RWCString line = lineIn;
    if (beginsWith(line, markerDisabled, 2)) {
        RWCString rest(line.data() + 2, line.length() - 2);
        if (!isBlockHeader(rest)) {
            line = rest;
            flags |= CFG_ITEM_DISABLED;
        }
    } else if (beginsWith(line, markerInactive, markerInactiveLength)) {
        line = RWCString(line.data() + markerInactiveLength, line.length() - markerInactiveLength);
        flags |= CFG_ITEM_INACTIVE;
    }
    if (isBlockHeader(line)) {
        kind = 0;
        nameOrKey = blockNameOf(line);
    } else if (!isComment(line)) {
        kind = 1;
        nameOrKey = keyOf(line);
        value = valueOf(line);
    } else {
        kind = 2;
    }
}

int CSConfig::readStream(std::istream& in, bool merge)
{
    RWCString comment;
    CSConfigBlock* block = nullptr;
    int result = 1;
    RWCString line, nameOrKey, value;
    std::unordered_set<const CSConfigItem*> commented;  // items whose comment this reading set
    while (!in.eof() && !in.fail()) {
        line.readLine(in, false);
        line = stripLineEnd(line);
        int flags = 0;
        int kind = 2;
        parseLine(line, kind, nameOrKey, value, flags);
        if (kind == 2) {
            comment.append(line);
            comment.append('\n');
            continue;
        }
        if (kind == 0) {
            block = getOrCreateBlock(nameOrKey);
            block->setComment(comment);
            block->updateFlagsFromComment();
            comment = RWCString();
            continue;
        }
        if (block == nullptr)
            block = getOrCreateBlock(RWCString(CFG_DEFAULT_BLOCK));
        CSConfigItem* item = block->findActiveItem(nameOrKey);
        if (merge && item && item->getValue()->isModified()) {
            // a value changed in memory since it was read wins over the file
        } else if (item == nullptr) {
            item = block->addItem(nameOrKey, RWCString(), flags);
            CSConfigVal* v = item->getValue();
            v->setString(value);
            v->setModified(false);
        } else if (multiValue) {
            item->appendValue()->setString(value);
        } else {
            CSConfigVal* v = item->getValue();
            const bool wasModified = v->isModified();
            v->setString(value);
            item->setFlags(flags);
            item->setDefault(item->getDefaultText());
            v->setModified(wasModified);
            block->updateActive(item);
        }
        if (multiValue && !commented.insert(item).second) {
            // A further value line of a key already read here: the comment gathered above the
            // item's first value stays; comment lines of its own are added below it, so that
            // nothing read is lost and a written file reads back with the same comment.
            if (!comment.isNull()) {
                item->setComment(item->getComment() + comment);
                if (flags == 0)
                    item->updateFlagsFromComment();
            }
        } else {
            item->setComment(comment);
            if (flags == 0)
                item->updateFlagsFromComment();
        }
        comment = RWCString();
    }
    trailingComment = stripLineEnd(comment);
    if (!in.eof() && (in.fail() || in.bad()))
        result = -2;
    return result;
}

int CSConfig::reload()
{
    if (!fileName.isNull())
        return loadFile(fileName, true);
    if (inStream) {
        inStream->clear();
        inStream->seekg(0);
        return readStream(*inStream, true);
    }
    return 1;
}

bool CSConfig::fileChanged()
{
    if (fileName.isNull())
        return false;
    // The same expanded name as rememberFileTime looks at, so that a name holding
    // references is compared against the file it was read from.
    UTFilePath path(expandString(fileName));
    RWTime t(0UL);
    if (!path.getModificationTime(t))
        return false;
    return t != fileTime;
}

int CSConfig::reloadIfChanged()
{
    if (!fileName.isNull() && fileChanged())
        return reload();
    return 0;
}

void CSConfig::rememberFileTime(const RWCString& name)
{
    UTFilePath path(expandString(name));
    RWTime t(0UL);
    if (path.getModificationTime(t))
        fileTime = t;
}
