// UTFilePath: a path held in UTF-8 with '/' separators and cached file-system bits, the
// disk operations made by path, and the code-page conversions of path texts.
#pragma once

#include <cstdint>

#include "foundation/RWCString.h"
#include "foundation/RWTValSlist.h"

class RWTime;

// Code pages of the conversions: the process's ANSI code page and UTF-8.
inline constexpr unsigned CP_ANSI_CODE_PAGE = 0;
inline constexpr unsigned CP_UTF8_CODE_PAGE = 65001;

// The text's bytes (NULs included) converted from one code page to another. Here the ANSI
// code page is UTF-8, so conversions between 0 and 65001 change nothing; any other pair goes
// through iconv ("CP<n>"), and a text that cannot be converted comes back unchanged.
RWCString convertCodePage(RWCString text, unsigned fromCodePage, unsigned toCodePage);
RWCString toUtf8(RWCString text);
// The text, written in the encoding named (an iconv name such as "ISO-8859-1", any case), as
// UTF-8. False when the encoding is unknown (`known` false) or the text is none in it.
bool encodingToUtf8(const RWCString& text, const RWCString& encoding, RWCString& utf8, bool* known = nullptr);
RWCString fromUtf8(RWCString text);

class UTFilePath {
public:
    // Bits of the flag word.
    enum : uint32_t {
        flagAbsolute = 0x01,
        flagFile = 0x02,        // valid with flagTypeValid
        flagDirectory = 0x04,   // valid with flagTypeValid
        flagReadable = 0x08,    // valid with flagAccessValid
        flagWritable = 0x10,    // valid with flagAccessValid
        flagExists = 0x20,      // valid with flagAccessValid
        flagAccessValid = 0x40,
        flagTypeValid = 0x80,
    };

    // Called by resolveCase with the path text; returns a replacement text.
    using CaseCallback = RWCString (*)(RWCString);

    UTFilePath();
    UTFilePath(const char* text);
    UTFilePath(const RWCString& text);
    // A text already in normal form: no backslash replacement, and no conversion when isUtf8.
    UTFilePath(const RWCString& text, bool isUtf8);
    UTFilePath(const UTFilePath& other) = default;
    UTFilePath& operator=(const UTFilePath& other) = default;
    ~UTFilePath() = default;

    // Texts.
    RWCString text() const;        // network roots written "\\server\share"
    RWCString nativePath() const;  // the text handed to file functions ('/' separators here)
    const RWCString& utf8Path() const { return path_; }
    uint32_t flags() const { return flags_; }
    RWCString extension() const;
    RWCString stem() const;

    bool isAbsolute() const { return (flags_ & flagAbsolute) != 0; }
    bool isEmpty() const { return path_.isNull(); }
    bool operator==(const UTFilePath& other) const;
    bool operator!=(const UTFilePath& other) const { return !(*this == other); }

    bool hasDrive() const;
    RWCString drive() const;
    bool isDriveRoot() const;
    bool isUNC() const;
    bool hasUNCShare() const;
    bool isUNCServerOnly() const;
    bool isUNCShareRoot() const;
    RWCString uncServer(bool keepUtf8 = false) const;
    RWCString uncShare(bool keepUtf8 = false) const;

    // Derived paths.
    UTFilePath join(const UTFilePath& other) const;
    UTFilePath& append(const UTFilePath& other);
    UTFilePath parentPath() const;
    UTFilePath baseName() const;
    UTFilePath fileNameOnDisk() const;
    UTFilePath relativeTo(const UTFilePath& base) const;
    // Removes "." and empty components and resolves ".." in place; an absolute path stays
    // absolute ("/a/../b" gives "/b"). The flags are not recomputed.
    UTFilePath& normalized();
    void replaceExtension(RWCString extension);
    bool replaceDrive(RWCString reference);
    void toLower();

    // File-system state; recheck false answers from the cache when it is valid.
    bool isFile(bool recheck = false);
    bool isDirectory(bool recheck = false);
    bool exists(bool recheck = false);
    bool isReadable(bool recheck = false);
    bool isWritable(bool recheck = false);
    void stat();
    void markFile();
    void markDirectory();

    // File-system operations.
    bool makeDirectories(bool withParents = true);
    bool createFile(bool withParents = false);
    // Removes a file, or a directory (with its contents when recursive). A symbolic link is
    // removed itself and never followed.
    bool removeTree(bool recursive = true);
    void removeFiles(bool recursive = true);
    bool removeContents();
    bool isEmptyDirectory();
    // Never replaces an existing target.
    bool renamePath(const UTFilePath& target) const;
    bool setWritable(bool writable);
    uint64_t getFileSize();
    bool getAccessTime(RWTime& out, bool utc = false) const;
    bool getCreationTime(RWTime& out, bool utc = false) const;
    bool getModificationTime(RWTime& out, bool utc = false) const;
    bool setAccessTime(const RWTime& t, bool utc = false) const;
    bool setModificationTime(const RWTime& t, bool utc = false) const;
    // 0 the path exists; 1 it was changed to an existing path; 2 nothing was found; 4 empty.
    int resolveCase(CaseCallback callback = nullptr);

    static UTFilePath currentDirectory();
    static bool setCurrentDirectory(const UTFilePath& dir);

    // Components of a text ('/' or '\' separators; a leading "/" or "//" stays part of the
    // first one; a component in double quotes runs to the closing quote).
    static RWTValSlist<RWCString> splitComponents(const RWCString& text, bool keepUtf8);

private:
    void applyNormalForm();
    bool ensureAccess(bool recheck);
    bool ensureType(bool recheck);
    void clearCache() { flags_ &= ~uint32_t(flagAccessValid | flagTypeValid); }
    size_t extensionDot() const; // index of the extension's '.', or RW_NPOS

    RWCString path_;
    uint32_t flags_ = 0;
};
