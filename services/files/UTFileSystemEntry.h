// UTFileSystemEntry and its kinds UTFileEntry and UTDirectoryEntry: one file or directory
// named by its directory and its name.
#pragma once

#include "services/files/UTFilePath.h"

class UTFileSystemEntry {
public:
    enum Kind { unspecified = 0, file = 1, directory = 2 };

    UTFileSystemEntry();
    UTFileSystemEntry(const UTFilePath& dir, const UTFilePath& name);
    explicit UTFileSystemEntry(const UTFilePath& path);
    UTFileSystemEntry(const UTFileSystemEntry&) = default;
    UTFileSystemEntry& operator=(const UTFileSystemEntry&) = default;
    ~UTFileSystemEntry() = default;

    UTFilePath getDirectory() const { return directory_; }
    UTFilePath getName() const { return name_; }
    int getKind() const { return kind_; }
    UTFilePath getPath() const;

    bool existsAsKind() const;
    bool createAsKind() const;
    bool removeEntry() const;

protected:
    UTFilePath directory_;
    UTFilePath name_;
    int kind_ = unspecified;
};

class UTFileEntry : public UTFileSystemEntry {
public:
    UTFileEntry(const UTFilePath& dir, const UTFilePath& name);
    explicit UTFileEntry(const UTFilePath& path);
};

class UTDirectoryEntry : public UTFileSystemEntry {
public:
    // The working directory.
    UTDirectoryEntry();
    UTDirectoryEntry(const UTFilePath& dir, const UTFilePath& name);
    explicit UTDirectoryEntry(const UTFilePath& path);
};
