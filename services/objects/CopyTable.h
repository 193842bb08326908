// CopyTableI and CopyTableC: the record of objects already copied during a deep copy.
#pragma once

#include "foundation/RWTValHashDictionary.h"

// Maps each source object already copied to its copy, so that an object reached twice
// during a deep copy is copied once. Pointers are untyped.
class CopyTableI {
public:
    virtual bool contains(void* source) = 0;
    virtual void* lookup(void* source) = 0;
    virtual void insert(void* source, void* copy) = 0;
    virtual void* copyOrSelf(void* source) = 0;
    virtual void emptyHook(void*) {}

protected:
    ~CopyTableI() = default;  // not deleted through the interface
};

class CopyTableC : public CopyTableI {
public:
    CopyTableC();
    virtual ~CopyTableC();
    CopyTableC(const CopyTableC&) = delete;
    CopyTableC& operator=(const CopyTableC&) = delete;

    bool contains(void* source) override;
    // The copy of source; a missing source is entered with a null copy.
    void* lookup(void* source) override;
    void insert(void* source, void* copy) override;  // replaces an existing mapping
    void* copyOrSelf(void* source) override;         // the copy when there is one, else source

    size_t entries() const { return CopyTableMap.entries(); }
    static unsigned identityHash(void* const& p);

private:
    RWTValHashDictionary<void*, void*> CopyTableMap;
};
