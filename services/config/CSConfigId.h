// CSConfigId: a registered well-known setting of a configuration (id, key, block).
#pragma once

#include "foundation/RWCString.h"

class CSConfigId {
public:
    CSConfigId() = default;
    CSConfigId(int id, const RWCString& keyName, const RWCString& blockName)
        : id(id), keyName(keyName), blockName(blockName)
    {
    }
    CSConfigId(const CSConfigId& other) = default;
    CSConfigId& operator=(const CSConfigId& other) = default;

    int getId() const { return id; }
    RWCString getKeyName() const { return keyName; }
    RWCString getBlockName() const { return blockName; }

    bool operator==(const CSConfigId& other) const
    {
        return id == other.id && keyName == other.keyName && blockName == other.blockName;
    }

private:
    int id = -1;
    RWCString keyName;
    RWCString blockName;
};
