// ZipRemoverC: removes entries from an archive by rewriting it without them.
#pragma once

#include "foundation/RWCString.h"
#include "foundation/RWTValOrderedVector.h"

// Removals are collected, then apply() rewrites the archive: the old archive is first renamed
// to the backup name (the archive's name plus ".bak" unless another is set), which replaces any
// file of that name and stays behind afterwards. The kept entries are copied unpacked and
// stored. When any step fails the partial archive is removed and the backup renamed back.
class ZipRemoverC {
public:
    ZipRemoverC();

    int setArchive(const char* name);
    void setTempName(const char* name);
    int addRemoval(const char* name);
    int apply();

    const RWTValOrderedVector<RWCString>& removals() const { return removeList; }

private:
    int copyEntries(const char* from, const char* to);

    RWTValOrderedVector<RWCString> removeList;
    RWCString archiveName;
    RWCString tempName;
};
