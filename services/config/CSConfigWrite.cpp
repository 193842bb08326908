// CSConfig: writing the .cfg text, comment markers, and saving to files and streams.
#include "services/config/CSConfig.h"

#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>

#include "services/QuotedSplit.h"
#include "services/config/CSConfigSafeFile.h"
#include "services/environment/TextExpansion.h"
#include "services/files/RegularFile.h"
#include "services/files/UTFilePath.h"

namespace {

// Writes a key, value or block name. A line feed inside it would start a new line of the
// file (and could forge items), so it is written as a blank; a carriage return ends no line
// for the reader and is kept.
void writeField(std::ostream& os, const RWCString& s)
{
    const char* p = s.data();
    const size_t n = s.length();
    size_t from = 0;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == '\n') {
            os.write(p + from, std::streamsize(i - from));
            os.put(' ');
            from = i + 1;
        }
    }
    os.write(p + from, std::streamsize(n - from));
}

// Writes a key so that it reads back as the same key: one that begins with a comment
// character would read back as a comment (or, behind "#-" or "#:INACTIVE;", as another
// item), so a blank goes in front; the reader trims it again.
void writeKey(std::ostream& os, const RWCString& key)
{
    if (!key.isNull()) {
        const char c = key.data()[0];
        if (c == ';' || c == '*' || c == '!' || c == '#')
            os.put(' ');
    }
    writeField(os, key);
}

inline bool isBlankOrTab(char c)
{
    return c == ' ' || c == '\t';
}

bool readsAsHeader(const char* p, size_t n)
{
    size_t i = 0;
    while (i < n && isBlankOrTab(p[i]))
        ++i;
    return i < n && p[i] == '[' && std::memchr(p, ']', n) != nullptr;
}

// Whether the reader takes the line for a comment line (with or without a marker in front).
bool readsAsComment(const char* p, size_t n)
{
    static const char inactive[] = "#:INACTIVE;";
    const size_t inactiveLength = sizeof(inactive) - 1;
    if (n >= 2 && p[0] == '#' && p[1] == '-') {
        if (!readsAsHeader(p + 2, n - 2)) {
            p += 2;
            n -= 2;
        }
    } else if (n >= inactiveLength && std::memcmp(p, inactive, inactiveLength) == 0) {
        p += inactiveLength;
        n -= inactiveLength;
    }
    if (readsAsHeader(p, n))
        return false;
    if (n > 0 && (p[0] == ';' || p[0] == '*' || p[0] == '!' || p[0] == '#'))
        return true;
    return std::memchr(p, '=', n) == nullptr;
}

// A comment line that would read back as a header or an item is written behind "# ", so
// that a comment can never move the settings after it into another block or forge one.
inline void keepAsComment(RWCString& line)
{
    if (!readsAsComment(line.data(), line.length()))
        line = RWCString("# ") + line;
}

// The trailing comment, each line made safe as above (lines are written as stored).
RWCString safeTrailingComment(const RWCString& text)
{
    RWCString out;
    const char* p = text.data();
    const size_t n = text.length();
    size_t from = 0;
    bool changed = false;
    while (from <= n) {
        const void* nl = std::memchr(p + from, '\n', n - from);
        const size_t end = nl ? size_t(static_cast<const char*>(nl) - p) : n;
        RWCString line(p + from, end - from);
        if (!readsAsComment(line.data(), line.length())) {
            line = RWCString("# ") + line;
            changed = true;
        }
        out.append(line);
        if (!nl)
            break;
        out.append('\n');
        from = end + 1;
    }
    return changed ? out : text;
}

void writeText(std::ostream& os, const RWCString& s)
{
    os.write(s.data(), std::streamsize(s.length()));
}

RWCString joinLines(const CSConfig::StringVector& lines)
{
    RWCString out;
    for (size_t i = 0; i < lines.entries(); ++i) {
        if (i)
            out.append('\n');
        out.append(lines[i]);
    }
    return out;
}

inline bool beginsWith(const RWCString& s, const char* prefix)
{
    return std::strncmp(s.data(), prefix, std::strlen(prefix)) == 0;
}

}  // namespace

void CSConfig::splitCommentLines(const RWCString& comment, StringVector& lines)
{
    lines = splitString(comment, '\n', '\0', false);
    for (size_t i = 0; i < lines.entries(); ++i) {
        RWCString& line = lines[i];
        // An old marker becomes an ordinary comment line. That holds for the inactive marker
        // too: left as it is, a comment line beginning with it would be taken for the marker
        // an inactive item's line gets, and replaced by it (losing the line's text).
        if (beginsWith(line, "#!") || beginsWith(line, "#-") || beginsWith(line, "#~") ||
            beginsWith(line, "#:INACTIVE;"))
            line(1) = ' ';
        keepAsComment(line);
    }
}

RWCString CSConfig::appendMarkerLine(StringVector& lines, const char* marker)
{
    const size_t n = lines.entries();
    if (n == 0)
        return RWCString(marker);
    if (beginsWith(lines[n - 1], marker))
        lines[n - 1] = RWCString(marker);
    else
        lines.append(RWCString(marker));
    return joinLines(lines);
}

RWCString CSConfig::insertMarker(StringVector& lines, const char* marker)
{
    const size_t n = lines.entries();
    if (n == 0)
        return RWCString(marker);
    size_t k = 0;
    while (k < n && lines[k].isNull())
        ++k;
    if (k == n)
        k = 0;
    RWCString& line = lines[k];
    if (beginsWith(line, marker)) {
        // already marked
    } else if (beginsWith(line, "#:")) {
        lines.insertAt(k, RWCString(marker));
    } else {
        RWCString rest = line;
        if (beginsWith(rest, "# "))
            rest = RWCString(rest.data() + 2, rest.length() - 2);
        else if (beginsWith(rest, "#"))
            rest = RWCString(rest.data() + 1, rest.length() - 1);
        line = RWCString(marker) + rest;
    }
    return joinLines(lines);
}

RWCString CSConfig::blockCommentText(CSConfigBlock* block) const
{
    StringVector lines(0, false, 64);
    splitCommentLines(block->getComment(), lines);
    if (block->hasFlag(CFG_BLOCK_KEEP))
        return insertMarker(lines, "#~") + "\n";
    RWCString t = joinLines(lines);
    return t.isNull() ? t : t + "\n";
}

RWCString CSConfig::itemCommentText(CSConfigItem* item) const
{
    StringVector lines(0, false, 64);
    splitCommentLines(item->getComment(), lines);
    if (item->hasFlag(CFG_ITEM_INACTIVE))
        return appendMarkerLine(lines, "#:INACTIVE;");
    if (item->hasFlag(CFG_ITEM_DISABLED))
        return appendMarkerLine(lines, "#-");
    if (item->hasFlag(CFG_ITEM_FORCE))
        return insertMarker(lines, "#!") + "\n";
    RWCString t = joinLines(lines);
    return t.isNull() ? t : t + "\n";
}

void CSConfig::writeItem(CSConfigItem* item, std::ostream& os)
{
    const RWCString k = item->getKey();
    const RWCString t = itemCommentText(item);
    if (!t.isNull())
        writeText(os, t);
    if (multiValue) {
        // The marker of an inactive item waits for the item's line; with no value to write,
        // end it here so that it does not mark the next item instead.
        if (item->valueCount() == 0 && !t.isNull() && t.data()[t.length() - 1] != '\n')
            os.put('\n');
        for (unsigned i = 0; i < item->valueCount(); ++i) {
            CSConfigVal* v = item->getValueAt(i);
            writeKey(os, k);
            os.put('=');
            writeField(os, v->getText());
            os.put('\n');
            v->setModified(false);
        }
    } else {
        CSConfigVal* v = item->getValue();
        writeKey(os, k);
        os.put('=');
        writeField(os, v->getText());
        os.put('\n');
        v->setModified(false);
    }
}

int CSConfig::writeStream(std::ostream& os)
{
    // The items that stand before the first header are read into the block "<default>", so
    // that block goes first, without a header, wherever it stands in the list; every other
    // block (under exact names also one spelt "<DEFAULT>") gets its header, so that each
    // setting reads back into the block it came from.
    CSConfigBlock* defaultBlock = findBlock(RWCString(CFG_DEFAULT_BLOCK));
    const size_t at = defaultBlock ? size_t(indexOfBlock(defaultBlock)) : 0;
    bool wroteAny = false;
    for (size_t i = 0; i < blocks.entries(); ++i) {
        CSConfigBlock* b = blocks[i];
        if (defaultBlock)
            b = i == 0 ? defaultBlock : blocks[i <= at ? i - 1 : i];
        const bool isDefault = b == defaultBlock;
        const RWCString t = blockCommentText(b);
        if (!t.isNull()) {
            if (!isDefault) {
                writeText(os, t);
                wroteAny = true;
            }
        } else if (wroteAny) {
            // The empty line that separates a block from what stands before it; an empty
            // "<default>" block writes nothing, so the block after it is the first one.
            os.put('\n');
        }
        if (!isDefault) {
            os.put('[');
            writeField(os, b->nameRef());
            os.write("]\n", 2);
            wroteAny = true;
        }
        for (size_t j = 0; j < b->itemCount(); ++j)
            writeItem(b->itemAt(j), os);
        wroteAny = wroteAny || b->itemCount() > 0;
    }
    if (!trailingComment.isNull())
        writeText(os, safeTrailingComment(trailingComment));
    os.put('\n');
    os.flush();
    return os.fail() ? -2 : 1;
}

void CSConfig::collectModified(RWTPtrOrderedVector<CSConfigVal>& marked) const
{
    for (size_t i = 0; i < blocks.entries(); ++i) {
        CSConfigBlock* b = blocks[i];
        for (size_t j = 0; j < b->itemCount(); ++j) {
            CSConfigItem* item = b->itemAt(j);
            for (unsigned k = 0; k < item->valueCount(); ++k) {
                CSConfigVal* v = item->getValueAt(k);
                if (v->isModified())
                    marked.append(v);
            }
        }
    }
}

void CSConfig::restoreModified(const RWTPtrOrderedVector<CSConfigVal>& marked)
{
    for (size_t i = 0; i < marked.entries(); ++i)
        marked[i]->setModified(true);
}

int CSConfig::save()
{
    if (!fileName.isNull())
        return saveFile(fileName);
    if (outStream == nullptr)
        return -2;
    RWTPtrOrderedVector<CSConfigVal> marked(0, true, 64);
    collectModified(marked);
    outStream->clear();
    outStream->seekp(0);
    outStream->clear();
    int r = writeToStream(*outStream);
    if (r != 1)
        restoreModified(marked);  // nothing was saved: the changes are still unsaved
    return r;
}

int CSConfig::saveFile(const RWCString& name)
{
    int r = writeFile(name);
    rememberFileTime(name);
    return r;
}

int CSConfig::writeFile(const RWCString& name)
{
    const RWCString expanded = expandString(name);
    const RWCString native = UTFilePath(expanded).nativePath();
    // The settings that could not be read would be lost, under whatever name the file is saved.
    if (!unreadFile.isNull() && (native == unreadFile || isSameExistingFile(native.data(), unreadFile.data())))
        return -2;
    RWTPtrOrderedVector<CSConfigVal> marked(0, true, 64);
    collectModified(marked);
    std::ostringstream text;
    int r = writeStream(text);
    if (r == 1) {
        const std::string& bytes = text.str();
        if (!replaceFileContents(native, bytes.data(), bytes.size()))
            r = -2;
    }
    if (r != 1)
        restoreModified(marked);
    return r;
}

int CSConfig::saveNow()
{
    return save() == 1 ? 0 : -1;
}

bool CSConfig::isModified() const
{
    for (size_t i = 0; i < blocks.entries(); ++i) {
        CSConfigBlock* b = blocks[i];
        for (size_t j = 0; j < b->activeCount(); ++j) {
            CSConfigItem* item = b->activeItemAt(j);
            if (item->valueCount() > 0 && item->getValue()->isModified())
                return true;
        }
    }
    return false;
}

int CSConfig::reloadAndSave()
{
    if (!fileName.isNull()) {
        loadFile(fileName, true);
    } else if (inStream) {
        inStream->clear();
        inStream->seekg(0);
        readStream(*inStream, true);
    }
    return save();
}

int CSConfig::revert()
{
    clear();
    if (reread() != 1)
        return -1;
    notifyChanged();
    return 0;
}
