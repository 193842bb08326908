// CopyTableC: a pointer-to-pointer map with the identity hash.
#include "services/objects/CopyTable.h"

#include <cstdint>

unsigned CopyTableC::identityHash(void* const& p)
{
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
}

CopyTableC::CopyTableC() : CopyTableMap(identityHash, 64) {}

CopyTableC::~CopyTableC() = default;

bool CopyTableC::contains(void* source)
{
    return CopyTableMap.contains(source);
}

void* CopyTableC::lookup(void* source)
{
    return CopyTableMap[source];
}

void CopyTableC::insert(void* source, void* copy)
{
    CopyTableMap[source] = copy;
}

void* CopyTableC::copyOrSelf(void* source)
{
    return contains(source) ? lookup(source) : source;
}
