// Path texts: separators, cleaning, normalisation, joining, parts, relative paths, the
// module's file name, list tests and command-line words.
#pragma once

#include "foundation/RWCString.h"
#include "foundation/RWTValHashSet.h"
#include "foundation/RWTValOrderedVector.h"
#include "foundation/RWTValSlist.h"

// Identifies a loaded module; null is the running program.
typedef const void* CSModuleHandle;

RWCString toBackslashPath(RWCString path);
RWCString cleanPathText(RWCString path);
RWCString normalizePath(RWCString path);
RWCString combinePath(RWCString base, RWCString relative, bool expand);
RWTValSlist<RWCString> splitPath(const char* text);
RWCString directoryPart(RWCString path, bool useWorkingDirectory);
RWCString fileNamePart(RWCString path);
RWCString fileExtensionPart(RWCString path);
RWCString relativePath(RWCString target, RWCString base);

RWCString moduleFileName(CSModuleHandle module);
RWCString moduleDirectory(CSModuleHandle module);
RWCString moduleBaseName(CSModuleHandle module);

// True when one sep-separated piece of list (trailing blanks removed) equals item.
bool listContains(RWCString item, RWCString list, RWCString::caseCompare caseMode, RWCString sep);
// True when one item of a comma-separated, quoted list is in the set.
bool quotedListIntersects(RWCString list, const RWTValHashSet<RWCString>& set);

int countCommandLineWords(const char* text);
// An empty first element (the program name's place), then the words.
RWTValOrderedVector<RWCString> splitCommandLine(const char* text);
