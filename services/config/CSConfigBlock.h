// CSConfigBlock: one named block of a configuration: its items in order, its active items
// and a key-sorted index.
#pragma once

#include <cstddef>

#include "foundation/RWCString.h"
#include "foundation/RWTPtrOrderedVector.h"
#include "foundation/RWTPtrSortedVector.h"
#include "services/config/CSConfigFlags.h"
#include "services/config/CSConfigItem.h"

class CSConfig;

// Owns its items (through items). Every item is in items and keyIndex exactly once;
// activeItems holds the active ones in the order they became active.
class CSConfigBlock {
public:
    CSConfigBlock(CSConfig* config, const RWCString& name);
    // Virtual so that a block made by a derived configuration's newBlock is deleted whole.
    virtual ~CSConfigBlock();
    CSConfigBlock(const CSConfigBlock&) = delete;
    CSConfigBlock& operator=(const CSConfigBlock&) = delete;

    void clear();

    // The one entry through which items are created or re-used.
    virtual CSConfigItem* addItem(const RWCString& key, const RWCString& text, int flags);
    virtual bool removeItem(const RWCString& key);
    virtual CSConfigItem* newItem(CSConfig* config, const RWCString& key, const RWCString& text);

    CSConfigItem* findItem(const RWCString& key) const;        // inactive items too
    CSConfigItem* findActiveItem(const RWCString& key) const;  // null for an inactive item
    size_t indexOfActive(const RWCString& key) const;          // RW_NPOS when missing
    size_t indexOfItem(const RWCString& key) const;
    size_t activePositionOf(const CSConfigItem* item) const;   // by pointer; RW_NPOS when not listed
    bool isListedActive(const CSConfigItem* item) const { return item && item->listedActive; }
    // Lists an active item among the active items, or takes an inactive one out.
    void updateActive(CSConfigItem* item);
    // Takes an item out of the active list whatever its flags (the merge deactivates this way).
    void unlistActive(CSConfigItem* item);
    void updateFlagsFromComment();

    bool copyFrom(const CSConfigBlock& other);
    bool mergeFrom(const CSConfigBlock& other);

    RWCString getName() const { return name; }
    const RWCString& nameRef() const { return name; }
    void setName(const RWCString& n) { name = n; }
    RWCString getComment() const { return comment; }
    void setComment(const RWCString& c) { comment = c; }
    int getFlags() const { return flags; }
    void setFlags(int f) { flags = f; }
    void clearFlags(int f) { flags &= ~f; }
    bool hasFlag(int mask) const { return (flags & mask) != 0; }
    CSConfig* getConfig() const { return config; }

    size_t itemCount() const { return items.entries(); }
    CSConfigItem* itemAt(size_t i) const { return items[i]; }
    size_t activeCount() const { return activeItems.entries(); }
    CSConfigItem* activeItemAt(size_t i) const { return activeItems[i]; }

    bool operator==(const CSConfigBlock& other) const;
    bool operator<(const CSConfigBlock& other) const;
    unsigned hash() const;

private:
    void listActive(CSConfigItem* item);
    size_t itemPositionOf(const CSConfigItem* item) const;

    RWCString name;
    RWCString comment;
    RWTPtrOrderedVector<CSConfigItem> activeItems;
    RWTPtrOrderedVector<CSConfigItem> items;
    RWTPtrSortedVector<CSConfigItem> keyIndex;
    CSConfig* config;
    int flags = 0;
};

// The hash function of a configuration's block set: equal names hash equal.
unsigned hashConfigBlock(const CSConfigBlock& block);
