// Fuzz target: file path texts (UTFilePath): splitting, the text forms, parts, normalising,
// joining and relative paths; nothing here touches the file system.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/RWCString.h"
#include "fuzz/FuzzCheck.h"
#include "services/files/UTFilePath.h"

// Input: a first path, a NUL, then a second path (the base of the relative forms).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string all(reinterpret_cast<const char*>(data), size);
    const size_t nul = all.find('\0');
    const std::string first = all.substr(0, nul);
    const std::string second = nul == std::string::npos ? std::string() : all.substr(nul + 1);
    const RWCString a(first.data(), first.size());
    const RWCString b(second.data(), second.size());

    UTFilePath::splitComponents(a, false);
    UTFilePath::splitComponents(a, true);

    UTFilePath path(a);
    UTFilePath base(b);
    UTFilePath raw(a, true);
    path.text();
    path.nativePath();
    path.extension();
    path.stem();
    path.hasDrive();
    path.drive();
    path.isDriveRoot();
    path.isUNC();
    path.hasUNCShare();
    path.isUNCServerOnly();
    path.isUNCShareRoot();
    path.uncServer();
    path.uncShare(true);
    path.join(base);
    path.parentPath();
    path.baseName();
    path.relativeTo(base);
    (void)(path == raw);

    UTFilePath normal(path);
    normal.normalized();
    // Normalising what is already normal changes nothing.
    UTFilePath again(normal);
    again.normalized();
    FUZZ_CHECK(again.utf8Path() == normal.utf8Path(),
               std::string(normal.utf8Path().data(), normal.utf8Path().length()),
               std::string(again.utf8Path().data(), again.utf8Path().length()));

    UTFilePath changed(path);
    changed.replaceExtension(b);
    changed.replaceDrive(b);
    changed.toLower();
    UTFilePath appended(path);
    appended.append(base);
    return 0;
}
