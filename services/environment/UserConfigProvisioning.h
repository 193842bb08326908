// Bringing a user's configuration directory up to date from a template directory: rule-driven
// deployment with recorded template times, and the simpler deployment by mode.
#pragma once

#include "foundation/RWCString.h"
#include "foundation/RWTValOrderedVector.h"
#include "services/files/UTFilePath.h"

class CSConfig;

// Files with a meaning of their own: the rules beside the templates, the record in the user's
// directory, and the blocks they hold.
inline constexpr const char* DEFAULT_USER_CONFIG = "defaultuser.cfg";
inline constexpr const char* USER_CONFIG = "user.cfg";
inline constexpr const char* FLAGS_BLOCK = "FLAGS";
inline constexpr const char* FILEDATES_BLOCK = "FILEDATES";
// How a template's time is recorded in "FILEDATES" (in UTC, whole seconds).
inline constexpr const char* FILEDATE_FORMAT = "%d.%m.%Y %H:%M:%S";

// Deploys templateDir into userDir (both expanded first) under the rules of templateDir's
// "defaultuser.cfg" and records the deployed template times in userDir's "user.cfg".
// 1 when every file was deployed, else the code of the last failure (copyFile's codes; a merge
// gives -3 when the user's file exists but cannot be read, -2 when the template cannot be read
// and -5 when the merged file cannot be saved).
int provisionUserConfig(RWCString userDir, RWCString templateDir);

// Deploys the directory src into dst; rel is src's path below the template root (empty at the
// top), flags holds "FLAGS" and dates "FILEDATES" (either may be null); entries whose relative
// path text is in exclude are skipped (top level only). A file's time is recorded only once
// its copy or merge has succeeded, so a failed one is tried again on the next run. Same result
// as provisionUserConfig.
int deployConfigDirectory(const UTFilePath& dst, const UTFilePath& src, const UTFilePath& rel,
                          CSConfig* flags, CSConfig* dates, const RWTValOrderedVector<RWCString>* exclude);

// Deploys srcDir into dstDir (and its sub-directories when recurse is set) by mode: 0 copy
// always, 1 copy when the source is newer, 2 copy when the destination is missing, 4 like 1 but
// merge .cfg files, 8 copy always but merge .cfg files; other modes act like 0. Same result.
int deployDirectory(RWCString dstDir, RWCString srcDir, int mode, bool recurse);
