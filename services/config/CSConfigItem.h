// CSConfigItem: one key of a configuration block with its values, comment and flags.
#pragma once

#include "foundation/RWCString.h"
#include "foundation/RWTPtrOrderedVector.h"
#include "services/config/CSConfigFlags.h"
#include "services/config/CSConfigVal.h"

class CSConfig;
class CSConfigBlock;

// Owns its values. Value 0 is created on first use, so an item may hold no value until
// something reads it. Keys are stored as given and compared trimmed, through the owning
// configuration's key rule.
class CSConfigItem {
public:
    CSConfigItem(CSConfig* config, const RWCString& key, const RWCString& defaultText);
    ~CSConfigItem();
    CSConfigItem(const CSConfigItem&) = delete;
    CSConfigItem& operator=(const CSConfigItem&) = delete;

    RWCString getKey() const { return key; }
    void setKey(const RWCString& k) { key = k; }
    RWCString getDefaultText() const { return defaultText; }
    void setDefaultText(const RWCString& t) { defaultText = t; }
    RWCString getComment() const { return comment; }
    void setComment(const RWCString& c) { comment = c; }
    CSConfig* getConfig() const { return config; }

    // A non-empty text becomes the default text, and value 0 when that is empty.
    void setDefault(const RWCString& text);

    CSConfigVal* getValue();              // value 0, created empty when missing
    CSConfigVal* getValueAt(unsigned i);  // grows the list up to index i
    unsigned valueCount() const { return unsigned(values.entries()); }
    CSConfigVal* appendValue() { return getValueAt(valueCount()); }
    void removeValue(unsigned i);  // RWBoundsErr past the end

    int getFlags() const { return flags; }
    void setFlags(int f) { flags = f; }
    void addFlags(int f) { flags |= f; }
    void clearFlags(int f) { flags &= ~f; }
    bool hasFlag(int mask) const { return (flags & mask) != 0; }
    bool isActive() const { return cfgFlagsAreActive(flags); }

    // Sets CFG_ITEM_FORCE when a comment line begins with "#!", CFG_ITEM_NORMAL otherwise;
    // nothing for a disabled item.
    void updateFlagsFromComment();

    bool operator==(const CSConfigItem& other) const;
    bool operator<(const CSConfigItem& other) const;

private:
    friend class CSConfigBlock;

    RWCString key;
    RWCString defaultText;
    CSConfig* config;
    RWCString comment;
    int flags = 0;
    RWTPtrOrderedVector<CSConfigVal> values;
    // Whether the owning block lists the item among its active items; kept by the block so
    // that membership is known without a walk of the list.
    bool listedActive = false;
};
