// The process-wide variable store: in-program and default tables, registry prefixes, built-ins and lookup.
#pragma once

#include "foundation/RWCString.h"
#include "foundation/RWTValHashDictionary.h"
#include "foundation/RWTValOrderedVector.h"

// One variable of the in-program or default table. Entries are equal when their names are
// equal exactly (case matters); value and flag take no part.
class _CSEnvironClass {
public:
    _CSEnvironClass();
    _CSEnvironClass(RWCString name, RWCString value, bool flagged);

    bool operator==(const _CSEnvironClass& other) const { return name == other.name; }

    RWCString name;
    RWCString value;
    bool flagged;  // stored with the flag of setVariable (the "-setenv" variables)
};

typedef RWTValOrderedVector<_CSEnvironClass> CSEnvironTable;
typedef RWTValHashDictionary<RWCString, RWCString> CSEnvironDictionary;

// The two tables, made on first use and deleted at exit.
CSEnvironTable* variableTable();
CSEnvironTable* defaultTable();

// Deletes both tables at exit; one static instance lives in the library.
class CSEnvironTableGuard {
public:
    CSEnvironTableGuard() {}
    ~CSEnvironTableGuard();
};

// The seven-step lookup; status (may be null) receives 1 when found, -1 when not.
RWCString getVariable(RWCString name, int* status, bool useRegistry);
bool variableExists(RWCString name);

void setVariable(RWCString name, RWCString value, bool flag = false);
void setDefaultVariable(RWCString name, RWCString value);
RWCString getTableVariable(RWCString name);
void removeVariable(RWCString name);
void clearVariables();
void clearDefaultVariables();
bool isVariableFlagged(RWCString name);
void collectFlaggedVariables(RWTValOrderedVector<_CSEnvironClass>& out);

// Every variable that can be enumerated, weakest source first (built-ins excluded).
void collectVariables(CSEnvironDictionary& out);
void addProcessEnvironment(CSEnvironDictionary& out);
void addEnvironmentBlock(CSEnvironDictionary& out, const char* block);

// Writes name=value NUL ... NUL NUL; returns the bytes written, or minus the size needed
// (writing nothing) when size is too small.
int writeEnvironmentBlock(const CSEnvironDictionary& vars, char* buffer, int size);
// A block from the C heap; free it with free().
char* makeEnvironmentBlock(const CSEnvironDictionary& vars);

// Registry prefixes of stored variables. A prefix holds at most 255 characters: a longer
// text is refused (false) and the old prefix kept.
bool setUserPathKey(RWCString key);
bool setMachinePathKey(RWCString key);
RWCString userPathKey();
RWCString machinePathKey();

void sleepMilliseconds(unsigned int ms);
