// Replacing a file's whole contents without ever leaving it half written.
#pragma once

#include <cstddef>

#include "foundation/RWCString.h"

// Writes the bytes to a new file in the target's folder, flushes it to disk, closes it and
// renames it over the target, checking every step. On any failure the temporary file is
// removed and the target stays as it was. A target or folder whose permission bits grant no
// write access is refused, whoever runs the program, and so is a target this process may not
// write. The replacement keeps the target's mode and, where the process may, its owner. A
// symbolic link is followed: the file it names is replaced and the link stays. The temporary
// file is named ".<name>.tmp<process id>-<number>"; those a killed save left behind for the same
// target are removed once their process is gone.
bool replaceFileContents(const RWCString& path, const char* bytes, size_t length);

// The rename step, replaceable so that tests can make it fail; null restores rename(2).
using CSConfigRenameFunction = int (*)(const char* from, const char* to);
CSConfigRenameFunction setConfigRenameFunction(CSConfigRenameFunction fn);
