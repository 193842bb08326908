// ZipRemoverC: the rewrite of an archive without its removed entries.
#include "services/archive/ZipRemoverC.h"

#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include "services/archive/ZipFileInfoC.h"
#include "services/archive/ZipReaderC.h"
#include "services/archive/ZipResult.h"
#include "services/archive/ZipWriterC.h"
#include "services/files/RegularFile.h"

namespace {

constexpr unsigned kCopyPiece = 4096;

}  // namespace

ZipRemoverC::ZipRemoverC() : removeList(0, false, 64) {}

int ZipRemoverC::setArchive(const char* name)
{
    archiveName = name ? name : "";
    return ZipOk;
}

void ZipRemoverC::setTempName(const char* name) { tempName = name ? name : ""; }

int ZipRemoverC::addRemoval(const char* name)
{
    removeList.append(name ? name : "");
    return ZipOk;
}

int ZipRemoverC::copyEntries(const char* from, const char* to)
{
    ZipReaderC reader;
    int r = reader.open(from);
    if (r != ZipOk)
        return r;
    ZipWriterC writer;
    r = writer.openForWrite(to, false);
    if (r != ZipOk)
        return r;
    ZipFileInfoC info;
    char piece[kCopyPiece];
    r = reader.isEmpty() ? ZipEndOfList : reader.goToFirstFile();
    for (; r == ZipOk; r = reader.goToNextFile()) {
        r = reader.getCurrentFileInfo(info);
        if (r != ZipOk)
            break;
        bool removed = false;
        for (size_t i = 0; i < removeList.entries() && !removed; ++i)
            removed = removeList[i].length() == info.nameSize() &&
                      std::memcmp(removeList[i].data(), info.name(), info.nameSize()) == 0;
        if (removed)
            continue;
        r = reader.openCurrentFile();
        if (r == ZipOk)
            r = writer.openNewFile(info.name(), static_cast<const char*>(nullptr), -1);
        for (int n = 0; r == ZipOk; ) {
            n = reader.readCurrentFile(piece, kCopyPiece);
            if (n <= 0) {
                r = n == 0 ? ZipOk : ZipFailed;
                break;
            }
            r = writer.write(piece, unsigned(n));
        }
        if (r == ZipOk)
            r = writer.closeFileInZip();
        // The checksum of the copied entry counts too: a damaged entry fails the rewrite.
        const int closed = reader.closeCurrentFile();
        if (r == ZipOk)
            r = closed;
        if (r != ZipOk)
            break;
    }
    if (r == ZipEndOfList)
        r = writer.close();
    return r;
}

int ZipRemoverC::apply()
{
    if (archiveName.isNull())
        return ZipFailed;
    if (tempName.isNull())
        tempName = archiveName + ".bak";
    // Deleting the backup name first would delete the archive itself.
    if (tempName == archiveName || isSameExistingFile(tempName.data(), archiveName.data()))
        return ZipBadParameter;
    // An old backup goes only when there is an archive to take its place.
    struct stat st;
    if (::lstat(archiveName.data(), &st) != 0)
        return ZipFailed;
    std::remove(tempName.data());
    if (std::rename(archiveName.data(), tempName.data()) != 0)
        return ZipFailed;
    const int r = copyEntries(tempName.data(), archiveName.data());
    if (r != ZipOk) {
        // The archive is never lost: the incomplete rewrite goes, the old archive comes back.
        std::remove(archiveName.data());
        std::rename(tempName.data(), archiveName.data());
    }
    return r;
}
