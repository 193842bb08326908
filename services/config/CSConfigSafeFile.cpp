// Replacing a settings file's whole contents through the shared whole-file writer.
#include "services/config/CSConfigSafeFile.h"

#include <cstdlib>
#include <string>

#include <sys/stat.h>

#include "services/files/WholeFileWriter.h"

namespace {

bool anyWriteBit(mode_t mode)
{
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

}  // namespace

CSConfigRenameFunction setConfigRenameFunction(CSConfigRenameFunction fn)
{
    return setWholeFileRenameFunction(fn);
}

bool replaceFileContents(const RWCString& pathText, const char* bytes, size_t length)
{
    const std::string path(pathText.data(), pathText.length());
    // Refused as opening it for writing would be, by the mode bits of the file and its folder,
    // also for an administrator, who would otherwise write over what its user made read-only.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !anyWriteBit(st.st_mode))
        return false;
    std::string real = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        real = resolved;
        ::free(resolved);
    }
    const size_t slash = real.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : real.substr(0, slash));
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !anyWriteBit(st.st_mode))
        return false;
    return writeWholeFile(path, bytes, length) == WholeFileStatus::Written;
}
