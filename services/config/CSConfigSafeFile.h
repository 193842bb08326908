// Replacing a settings file's whole contents without ever leaving it half written.
#pragma once

#include <cstddef>

#include "foundation/RWCString.h"

// Writes the bytes through the whole-file writer (services/files/WholeFileWriter.h): beside the
// target, synced, renamed over it, the target's mode and (where the process may) owner kept, a
// symbolic link followed, temporaries of ended saves removed. On any failure the target stays as
// it was. A target or folder whose permission bits grant no write access is refused, whoever runs
// the program, and so is a target this process may not write and one that is no regular file.
bool replaceFileContents(const RWCString& path, const char* bytes, size_t length);

// The rename step, replaceable so that tests can make it fail; null restores rename(2).
using CSConfigRenameFunction = int (*)(const char* from, const char* to);
CSConfigRenameFunction setConfigRenameFunction(CSConfigRenameFunction fn);
