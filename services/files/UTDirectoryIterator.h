// UTDirectoryIterator: the entries of one directory whose names match its file or
// directory patterns.
#pragma once

#include <memory>

#include "foundation/RWCRegexp.h"
#include "foundation/RWCString.h"
#include "foundation/RWTValOrderedVector.h"
#include "services/files/UTFilePath.h"
#include "services/files/UTFileSystemEntry.h"

class UTDirectoryIterator {
public:
    // One compiled expression of a pattern list.
    class myregexp {
    public:
        myregexp() = default;
        explicit myregexp(const RWCRegexp& re) : re_(std::make_unique<RWCRegexp>(re)) {}
        explicit myregexp(const char* pattern) : re_(std::make_unique<RWCRegexp>(pattern)) {}
        myregexp(const myregexp& other) : re_(other.re_ ? std::make_unique<RWCRegexp>(*other.re_) : nullptr) {}
        myregexp& operator=(const myregexp& other)
        {
            if (this != &other)
                re_ = other.re_ ? std::make_unique<RWCRegexp>(*other.re_) : nullptr;
            return *this;
        }
        // Two expressions are equal when their compiled codes are.
        bool operator==(const myregexp& other) const;
        // True when the expression's first match in name is the whole name.
        bool matchesWhole(const RWCString& name) const;

    private:
        std::unique_ptr<RWCRegexp> re_;
    };

    UTDirectoryIterator(const UTFilePath& dir, RWCString filePattern, RWCString dirPattern,
                        bool ignoreCase);
    UTDirectoryIterator(const UTFilePath& dir, const RWTValOrderedVector<RWCString>& filePatterns,
                        const RWTValOrderedVector<RWCString>& dirPatterns, bool ignoreCase);
    explicit UTDirectoryIterator(UTDirectoryEntry dirEntry);
    ~UTDirectoryIterator();
    UTDirectoryIterator(const UTDirectoryIterator&) = delete;
    UTDirectoryIterator& operator=(const UTDirectoryIterator&) = delete;

    bool next();
    bool nextFile();
    bool nextDirectory();
    UTFilePath currentPath() const { return currentPath_; }
    UTFileSystemEntry currentEntry() const;

    void rewind();
    void open();
    void close();
    bool isOpen() const { return isOpenFlag_; }

    void setFilePatterns(const RWTValOrderedVector<RWCString>& patterns, bool ignoreCase);
    void setDirectoryPatterns(const RWTValOrderedVector<RWCString>& patterns, bool ignoreCase);
    void setFilePattern(const char* text, bool ignoreCase);
    void setDirectoryPattern(const char* text, bool ignoreCase);
    void setFileRegexp(const RWCRegexp& re, bool ignoreCase);
    void setDirectoryRegexp(const RWCRegexp& re, bool ignoreCase);

    bool matchesFile(const RWCString& name) const;
    bool matchesDirectory(const RWCString& name) const;

private:
    // The entry last found by the listing.
    struct FindData {
        RWCString name;
        bool isDirectory = false;
    };

    bool readEntry(); // the listing's next entry into findData_; false at the end
    static bool matches(const RWTValOrderedVector<myregexp>& list, const RWCString& name,
                        bool ignoreCase);
    static void setList(RWTValOrderedVector<myregexp>& list,
                        const RWTValOrderedVector<RWCString>& patterns);

    FindData findData_;
    void* findHandle_ = nullptr; // the open DIR*
    UTFilePath directory_;
    UTFilePath currentPath_;
    RWTValOrderedVector<myregexp> directoryPatterns_{0, false, 64};
    RWTValOrderedVector<myregexp> filePatterns_{0, false, 64};
    bool ignoreCase_ = false;
    bool isOpenFlag_ = false;
    bool firstPending_ = false;
};
