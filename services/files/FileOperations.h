// File operations through path texts: the working folder, writability, search in a folder list,
// folder chains, stream copy, file sizes and times, network names and path comparisons.
#pragma once

#include <iosfwd>

#include "foundation/RWCString.h"

// Every function reports by its result or a status value and never throws. Path texts are
// expanded ($(NAME) references and folder tokens) where noted.

// The working folder, empty when it cannot be read.
RWCString currentDirectory();
// Makes the expanded path (trailing separators removed) the working folder: 1, or -1.
int changeDirectory(RWCString path);
// The absolute form of the folder the expanded path names, with symbolic links resolved;
// status 1, or -3 with an empty result when it names no folder that could be entered. The
// working folder is left as it is.
RWCString absoluteDirectory(RWCString path, int& status);
// 1 when a file could be written at the path: an existing path when it is writable, a new one
// when its nearest existing ancestor lets a file be made there. Else 0.
int isWritablePath(RWCString path);
// The first folder of the ";"-separated list (each below root when root is not empty) that
// holds name; the expanded candidate when useExpanded is not 0, else as written. An absolute
// name is returned as it is. Empty when none is found.
RWCString findFileInDirectories(RWCString name, RWCString list, int useExpanded, RWCString root);
// 1 when the folder exists or was made with its missing parents, else 0.
int ensureDirectory(const char* path);
// Copies in to its end into out through a buffer of size bytes (0 means 4000): 1, -1 no
// buffer, -4 the read failed, -5 the write failed.
int copyStream(std::ostream& out, std::istream& in, int size);
// The size of a readable file in bytes, -1 when it cannot be opened or measured.
long fileSize(const char* name);
// The universal (network) name of a path. There are no network names here: the result is the
// path's native text and the status (when given) -1.
RWCString universalName(RWCString path, int* status);
// Expanded, normalised and compared ignoring case: 0 equal, 1 a lies inside b, 2 b lies inside
// a, -1 otherwise (or either is empty).
int comparePaths(RWCString a, RWCString b);
// The part of path below base ("b/c" for "C:/a" and "C:/a/b/c"), components compared ignoring
// case; status (when given) 1, or -1 with an empty result when path is not at or below base.
RWCString pathBelow(const char* base, const char* path, int* status);
// Order of the modification times (whole seconds): -1 a is older, 0 equal, 1 a is newer;
// status (when given) -1 with the result 0 when either file cannot be read.
int compareFileTimes(const char* a, const char* b, int* status);
