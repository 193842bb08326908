// Setting up the variable tables at program start: the defaults, the start file found near the
// program's module and the "-setenv" values of the command line.
#pragma once

#include "foundation/RWCString.h"
#include "services/files/PathText.h"

// The name of the start file looked for, and how many directories the search visits (the
// module's own and up to 15 ancestors).
inline constexpr const char* START_FILE_NAME = "start.env";
inline constexpr int startFileSearchDepth = 16;

// Fills the default table ("KORVANE_LANGUAGE", "KORVANE_PROGRAMDRIVE"), then the variable
// table from the blocks "ENVIRONS" and "ENVIRONS_$OSNAME" of the start file, then from the
// "NAME=VALUE" values of the "-setenv" option of commandLine (which may be null); later
// settings replace earlier ones. reserved has no effect. Nothing is reported.
void initEnvironment(CSModuleHandle module, void* reserved, const char* commandLine);

// The path text of the first readable "start.env" in the module's directory or one of its
// ancestors, or the empty string. From the module's grandparent on, a directory holding both
// "bin" and "libs" is the top of an installation and ends the search.
RWCString findStartFile(CSModuleHandle module, void* reserved);

// The program drive of a module path: "C:" for a drive letter, "//server/share" (the share in
// lower case) for a network path, else empty.
RWCString programDriveOf(const RWCString& modulePath);
