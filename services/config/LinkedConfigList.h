// LinkedConfigList: the process-wide list of shared configurations, one per file.
#pragma once

#include "foundation/RWCString.h"
#include "foundation/RWTValOrderedVector.h"
#include "services/config/CSConfig.h"
#include "services/objects/refHandle.h"

// Holds one reference to each configuration, in the order they were first asked for.
class LinkedConfigList {
public:
    LinkedConfigList() : list(0, false, 64) {}
    ~LinkedConfigList() { clear(); }
    LinkedConfigList(const LinkedConfigList&) = delete;
    LinkedConfigList& operator=(const LinkedConfigList&) = delete;

    // The shared configuration of a file: reloaded first when the file changed on disk, or
    // created (and read) when the list does not hold it yet.
    refHandle<CSConfig> getConfig(const RWCString& name);
    // The entry whose file denotes the same path, or a null handle.
    refHandle<CSConfig> find(const RWCString& name) const;
    // Folds changes made on disk into each configuration, then saves it (only the modified
    // ones when onlyModified is set).
    void saveAll(bool onlyModified);
    void clear();
    size_t entries() const { return list.entries(); }

private:
    RWTValOrderedVector<refHandle<CSConfig>> list;
};

// Deletes the process-wide list (run at exit); the next getLinkedConfig starts a new one.
void freeLinkedConfigs();
