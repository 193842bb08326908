// Registry access by one path text: root word, separator, key path.
#pragma once

#include "foundation/RWCString.h"
#include "foundation/RWTValOrderedVector.h"

// The string value valueName ("" for the default value) of keyPath; empty on any failure.
// found, when given, is true only when a string value was read.
RWCString readRegistryValue(RWCString keyPath, RWCString valueName, bool* found = nullptr);

// Names of the direct subkeys; empty on any failure.
RWTValOrderedVector<RWCString> enumRegistryKeys(RWCString keyPath);

// Sets a string value: 1 on success, -1 on failure. With create, missing keys are made.
int writeRegistryValue(RWCString keyPath, RWCString valueName, RWCString value, bool create);

// Persists a variable under the user or machine prefix where it already lives, else in the
// user's environment key. 1 or -1.
int storeVariable(RWCString name, RWCString value);
