// ZipArchiveC: one object to read, write and remove the entries of an archive file, with a tree
// of entry names.
#pragma once

#include "foundation/RWCString.h"
#include "services/archive/ZipReaderC.h"
#include "services/archive/ZipRemoverC.h"
#include "services/archive/ZipResult.h"
#include "services/archive/ZipTreeNodeC.h"
#include "services/archive/ZipWriterC.h"

// Modes: -1 closed, 1 read, 2 write (appending to an existing archive), 3 remove (removals are
// carried out on closing, see ZipRemoverC). Operations not allowed in the current mode give
// ZipBadParameter. Switching mode with openEntry or removeEntry closes the current one first.
// The entry tree is filled only through addPath; names in it compare ignoring case unless asked.
class ZipArchiveC {
public:
    enum Mode { Closed = -1, Read = 1, Write = 2, Remove = 3 };

    ZipArchiveC();
    ~ZipArchiveC();
    ZipArchiveC(const ZipArchiveC&) = delete;
    ZipArchiveC& operator=(const ZipArchiveC&) = delete;

    // Closes whatever was open, then opens name in the given mode.
    int open(const char* name, int mode);
    int close();
    int mode() const { return mode_; }
    const RWCString& archiveName() const { return archiveName_; }

    // Reading opens the named entry; writing starts a new stored entry of that name, dated as
    // a local file of the same name when there is one, else now.
    int openEntry(const char* entry, int mode);
    int closeEntry();
    int read(void* buf, unsigned len);
    int write(const void* buf, unsigned len);
    int removeEntry(const char* entry);
    // Every file entered below the directory is removed on closing; ZipNotFound when the tree
    // holds no such directory.
    int removeDirectory(const char* dir);

    // ---- the entry tree ----
    ZipTreeNodeC* root() const { return root_; }
    void addPath(RWCString path, bool caseSensitive);
    ZipTreeNodeC* findNode(RWCString path, bool caseSensitive) const;
    void removeNode(ZipTreeNodeC* node);
    static ZipTreeNodeC* findChild(ZipTreeNodeC* node, const char* name, bool caseSensitive);
    static RWCString fullPath(const ZipTreeNodeC* node);

    ZipReaderC& reader() { return reader_; }
    ZipWriterC& writer() { return writer_; }
    ZipRemoverC& remover() { return remover_; }

private:
    int openMode(int mode);
    int closeMode();
    int collectFiles(ZipTreeNodeC* dir);

    RWCString archiveName_;
    int mode_ = Closed;
    ZipReaderC reader_;
    ZipWriterC writer_;
    ZipRemoverC remover_;
    ZipTreeNodeC* root_;
};
