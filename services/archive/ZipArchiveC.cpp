// ZipArchiveC: mode switching between reader, writer and remover, and the entry tree.
#include "services/archive/ZipArchiveC.h"

#include <vector>

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// The path without a drive and leading separators; empty or "#..." stands for the root.
RWCString normalisedPath(const RWCString& path)
{
    const char* p = path.data();
    size_t len = path.length();
    if (len >= 2 && p[1] == ':') {
        p += 2;
        len -= 2;
    }
    while (len > 0 && *p == '/') {
        ++p;
        --len;
    }
    while (len > 0 && *p == '\\') {
        ++p;
        --len;
    }
    return RWCString(p, len);
}

// Calls visit(component, followedBySeparator) for each non-empty component of path.
template <typename Visit>
bool forEachComponent(const RWCString& path, Visit visit)
{
    const char* p = path.data();
    const size_t len = path.length();
    size_t start = 0;
    for (size_t i = 0; i <= len; ++i) {
        if (i < len && !isSeparator(p[i]))
            continue;
        if (i > start && !visit(RWCString(p + start, i - start), i < len))
            return false;
        start = i + 1;
    }
    return true;
}

}  // namespace

ZipArchiveC::ZipArchiveC() : root_(new ZipTreeNodeC("/", 1)) {}

ZipArchiveC::~ZipArchiveC()
{
    close();
    delete root_;
}

int ZipArchiveC::openMode(int mode)
{
    switch (mode) {
    case Read: return reader_.open(archiveName_.data(), nullptr);
    case Write: return writer_.openForWrite(archiveName_.data(), true, nullptr);
    case Remove: return remover_.setArchive(archiveName_.data());
    default: return ZipOk;
    }
}

int ZipArchiveC::closeMode()
{
    switch (mode_) {
    case Read: return reader_.close();
    case Write: return writer_.close();
    case Remove: return remover_.apply();
    default: return ZipOk;
    }
}

int ZipArchiveC::open(const char* name, int mode)
{
    // Whatever was open is finished first: an open writer holds a half-written archive.
    if (mode_ != Closed)
        close();
    archiveName_ = name ? name : "";
    mode_ = mode;
    return openMode(mode);
}

int ZipArchiveC::close()
{
    const int r = closeMode();
    mode_ = Closed;
    return r;
}

int ZipArchiveC::openEntry(const char* entry, int mode)
{
    if (archiveName_.isNull())
        return ZipBadParameter;
    if (mode != mode_) {
        int r = closeMode();
        if (r == ZipOk)
            r = openMode(mode);
        mode_ = mode;
        if (r != ZipOk)
            return r;
    }
    switch (mode_) {
    case Read: return reader_.locateAndOpen(entry, nullptr);
    case Write: return writer_.openNewFile(entry, static_cast<const char*>(nullptr), -1);
    default: return ZipBadParameter;
    }
}

int ZipArchiveC::closeEntry()
{
    switch (mode_) {
    case Read: return reader_.closeCurrentFile();
    case Write: return writer_.closeFileInZip();
    default: return ZipBadParameter;
    }
}

int ZipArchiveC::read(void* buf, unsigned len)
{
    return mode_ == Read ? reader_.readCurrentFile(buf, len) : ZipBadParameter;
}

int ZipArchiveC::write(const void* buf, unsigned len)
{
    return mode_ == Write ? writer_.write(buf, len) : ZipBadParameter;
}

int ZipArchiveC::removeEntry(const char* entry)
{
    if (!entry)
        return ZipBadParameter;
    int r = ZipOk;
    if (mode_ != Remove) {
        if (mode_ == Read || mode_ == Write)
            r = closeMode();
        if (r == ZipOk)
            r = remover_.setArchive(archiveName_.data());
        mode_ = Remove;
    }
    if (r == ZipOk) {
        r = remover_.addRemoval(entry);
        removeNode(findNode(entry, false));
    }
    return r;
}

int ZipArchiveC::collectFiles(ZipTreeNodeC* dir)
{
    // Depth first, children in order, without recursion.
    std::vector<ZipTreeNodeC*> pending;
    auto pushChildren = [&pending](ZipTreeNodeC* node) {
        const size_t at = pending.size();
        for (ZipTreeNodeC* c = node->firstChild; c; c = c->next)
            pending.insert(pending.begin() + long(at), c);
    };
    pushChildren(dir);
    while (!pending.empty()) {
        ZipTreeNodeC* node = pending.back();
        pending.pop_back();
        if (node->isDirectory) {
            pushChildren(node);
            continue;
        }
        const int r = remover_.addRemoval(fullPath(node).data());
        if (r != ZipOk)
            return r;
    }
    return ZipOk;
}

int ZipArchiveC::removeDirectory(const char* dir)
{
    ZipTreeNodeC* node = dir ? findNode(dir, false) : nullptr;
    if (!node || !node->isDirectory)
        return ZipNotFound;
    const int r = collectFiles(node);
    removeNode(node);
    return r;
}

void ZipArchiveC::addPath(RWCString path, bool caseSensitive)
{
    path = normalisedPath(path);
    if (path.isNull() || path.data()[0] == '#')
        return;
    ZipTreeNodeC* node = root_;
    forEachComponent(path, [&](const RWCString& name, bool isFolder) {
        if (!isFolder) {
            node->addChild(new ZipTreeNodeC(name.data(), 0));
            return true;
        }
        ZipTreeNodeC* child = findChild(node, name.data(), caseSensitive);
        if (!child) {
            child = new ZipTreeNodeC(name.data(), 1);
            node->addChild(child);
        }
        node = child;
        return true;
    });
}

ZipTreeNodeC* ZipArchiveC::findNode(RWCString path, bool caseSensitive) const
{
    path = normalisedPath(path);
    if (path.isNull() || path.data()[0] == '#')
        return root_;
    ZipTreeNodeC* node = root_;
    const bool found = forEachComponent(path, [&](const RWCString& name, bool) {
        node = findChild(node, name.data(), caseSensitive);
        return node != nullptr;
    });
    return found ? node : nullptr;
}

void ZipArchiveC::removeNode(ZipTreeNodeC* node)
{
    if (!node)
        return;
    if (node == root_) {
        delete root_;
        root_ = new ZipTreeNodeC("/", 1);
        return;
    }
    if (ZipTreeNodeC* parent = node->parent) {
        ZipTreeNodeC** link = &parent->firstChild;
        while (*link && *link != node)
            link = &(*link)->next;
        if (*link)
            *link = node->next;
    }
    delete node;
}

ZipTreeNodeC* ZipArchiveC::findChild(ZipTreeNodeC* node, const char* name, bool caseSensitive)
{
    if (!node || !name)
        return nullptr;
    for (ZipTreeNodeC* c = node->firstChild; c; c = c->next)
        if (c->name.compareTo(name, caseSensitive ? RWCString::exact : RWCString::ignoreCase) == 0)
            return c;
    return nullptr;
}

RWCString ZipArchiveC::fullPath(const ZipTreeNodeC* node)
{
    std::vector<const ZipTreeNodeC*> chain;
    for (; node && node->parent; node = node->parent)
        chain.push_back(node);
    RWCString path;
    for (size_t i = chain.size(); i-- > 0;) {
        path += chain[i]->name;
        if (i > 0)
            path += "/";
    }
    return path;
}
