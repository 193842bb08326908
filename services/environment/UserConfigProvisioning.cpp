// Deploying template directories into a user's configuration directory.
#include "services/environment/UserConfigProvisioning.h"

#include <sys/stat.h>

#include <memory>
#include <utility>
#include <vector>

#include "foundation/RWTime.h"
#include "foundation/RWZone.h"
#include "services/DateText.h"
#include "services/QuotedSplit.h"
#include "services/StringHelpers.h"
#include "services/config/CSConfig.h"
#include "services/environment/TextExpansion.h"
#include "services/files/CopyFile.h"
#include "services/files/UTDirectoryIterator.h"

namespace {

// Template trees are walked with links followed, so a link to an ancestor (or a destination
// inside the template tree) would recurse without end: the walk remembers the directories it
// is inside and never enters one of them again, nor the destination it writes into, nor goes
// deeper than this.
constexpr size_t maxDeployDepth = 64;

using DirectoryId = std::pair<dev_t, ino_t>;

struct DeployWalk {
    std::vector<DirectoryId> chain;  // the source directories being walked, outermost first
    std::vector<DirectoryId> targets;  // the destinations being written
};

bool directoryId(const UTFilePath& dir, DirectoryId& id)
{
    struct stat st;
    if (::stat(dir.nativePath().data(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

bool contains(const std::vector<DirectoryId>& ids, const DirectoryId& id)
{
    for (const DirectoryId& each : ids)
        if (each == id)
            return true;
    return false;
}

// A path whose cached file-system bits are fresh.
UTFilePath fresh(const UTFilePath& path) { return UTFilePath(path.utf8Path(), true); }

bool isRegularFile(const UTFilePath& path)
{
    struct stat st;
    return ::stat(path.nativePath().data(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isConfigFile(const UTFilePath& path) { return path.extension().compareTo("cfg", RWCString::ignoreCase) == 0; }

// The modification time in whole seconds; time 0 when it cannot be read.
RWTime modificationTime(const UTFilePath& path)
{
    RWTime t(0UL);
    if (!path.getModificationTime(t, false))
        return RWTime(0UL);
    return t;
}

// Merges the template into the user's configuration file and saves it in one piece. A user's
// file that exists but cannot be read is left alone: saving the template's settings over it
// would lose the user's own.
int mergeFile(const UTFilePath& dst, const UTFilePath& src)
{
    const bool dstExists = fresh(dst).exists();
    CSConfig target(true);
    if (target.open(dst.nativePath()) != 1 && dstExists)
        return COPY_DESTINATION_FAILED;
    CSConfig source(true);
    if (source.open(src.nativePath()) != 1)
        return COPY_SOURCE_FAILED;
    target.mergeConfig(source);
    return target.saveFile(dst.nativePath()) == 1 ? COPY_OK : COPY_WRITE_FAILED;
}

int copyOne(const UTFilePath& dst, const UTFilePath& src)
{
    return copyFile(src.nativePath().data(), dst.nativePath().data(), 0, nullptr);
}

// Calls visit (entry, isDirectory) for each directory and regular file in dir, links followed;
// anything else (devices, pipes, sockets, broken links) is skipped.
template <typename Visit>
void walkEntries(const UTFilePath& dir, Visit visit)
{
    UTDirectoryIterator it(dir, ".*", ".*", false);
    while (it.next()) {
        const UTFilePath entry = fresh(it.currentPath());
        DirectoryId id;
        if (directoryId(entry, id))
            visit(entry, true);
        else if (isRegularFile(entry))
            visit(entry, false);
    }
}

// Whether the walk may descend into dir.
bool mayEnter(const DeployWalk& walk, const UTFilePath& dir, DirectoryId& id)
{
    return directoryId(dir, id) && walk.chain.size() < maxDeployDepth && !contains(walk.chain, id) &&
           !contains(walk.targets, id);
}

// Puts src on the chain and dst among the targets for the time of one directory's walk.
class DirectoryVisit {
public:
    DirectoryVisit(DeployWalk& walk, const DirectoryId& src, const UTFilePath& dst) : walk_(walk)
    {
        walk_.chain.push_back(src);
        DirectoryId target;
        hasTarget_ = directoryId(dst, target);
        if (hasTarget_)
            walk_.targets.push_back(target);
    }
    ~DirectoryVisit()
    {
        walk_.chain.pop_back();
        if (hasTarget_)
            walk_.targets.pop_back();
    }
    DirectoryVisit(const DirectoryVisit&) = delete;
    DirectoryVisit& operator=(const DirectoryVisit&) = delete;

private:
    DeployWalk& walk_;
    bool hasTarget_ = false;
};

// Creates a sub-directory's destination, unless the walk may not enter the source at all.
bool prepareSubdirectory(const DeployWalk& walk, const UTFilePath& src, const UTFilePath& dst)
{
    DirectoryId id;
    if (!mayEnter(walk, src, id))
        return false;
    UTFilePath made(dst);
    if (!made.exists())
        made.makeDirectories(false);
    return true;
}

RWCString recordedText(const RWTime& t) { return t.asString(FILEDATE_FORMAT, RWZone::utc()); }

RWTime recordedTime(CSConfig* dates, const RWCString& key)
{
    if (dates == nullptr)
        return RWTime(0UL);
    CSConfigItem* item = dates->findItem(key, FILEDATES_BLOCK);
    if (item == nullptr || item->getValue()->isEmpty())
        return RWTime(0UL);
    return parseDateTime(item->getValue()->getText(), RWZone::utc());
}

// Deploys one template file under the rules of flags and the record of dates.
int deployConfigFile(const UTFilePath& dst, const UTFilePath& src, const RWCString& key, CSConfig* flags,
                     CSConfig* dates)
{
    bool merge = isConfigFile(dst);
    bool copy = !merge;
    bool newerOnly = true;
    const bool dstExists = fresh(dst).exists();

    if (flags != nullptr) {
        CSConfigItem* item = flags->findItem(key, FLAGS_BLOCK);
        if (item != nullptr && !item->getValue()->isEmpty()) {
            const RWTValOrderedVector<RWCString> words =
                splitString(toUpper(item->getValue()->getText()), ',', '"', true);
            for (size_t i = 0; i < words.entries(); ++i) {
                const RWCString word = stripChars(words[i], 3, " \t");
                if (word == "MERGE") {
                    merge = true;
                    copy = false;
                } else if (word == "COPY") {
                    copy = true;
                    merge = false;
                } else if (word == "ALWAYS") {
                    newerOnly = false;
                } else if (word == "NEWER") {
                    newerOnly = true;
                } else if (word == "NOTEXISTS" && dstExists) {
                    merge = false;
                    copy = false;
                }
            }
        }
    }

    const RWTime templateTime = modificationTime(src);
    bool record = false;
    if (newerOnly) {
        if (dstExists && recordedTime(dates, key) >= templateTime) {
            merge = false;
            copy = false;
        } else {
            record = templateTime.seconds() != 0;
        }
    }

    int result = COPY_OK;
    if (merge)
        result = mergeFile(dst, src);
    else if (copy)
        result = copyOne(dst, src);
    else
        return COPY_OK;
    // Recorded only once deployed, so that a failed deployment is tried again.
    if (result >= 0 && record && dates != nullptr)
        dates->getValue(key, FILEDATES_BLOCK, "")->setString(recordedText(templateTime));
    return result;
}

// The frame of both deployments: dst is made with its parents, then, when the walk may enter
// src, deploy (entry, isDirectory) runs for each of its entries; a negative result of deploy
// becomes the overall result and the walk goes on. A destination without a name is refused:
// its entries would land in the working folder.
template <typename Deploy>
int deployEntries(DeployWalk& walk, const UTFilePath& dst, const UTFilePath& src, Deploy deploy)
{
    if (dst.isEmpty())
        return COPY_DESTINATION_FAILED;
    int result = COPY_OK;
    UTFilePath(dst).makeDirectories(true);
    DirectoryId srcId;
    if (src.isEmpty() || !mayEnter(walk, src, srcId))
        return result;
    DirectoryVisit visit(walk, srcId, dst);

    walkEntries(src, [&](const UTFilePath& entry, bool isDirectory) {
        const int r = deploy(entry, isDirectory);
        if (r < 0)
            result = r;
    });
    return result;
}

int deployConfigTree(DeployWalk& walk, const UTFilePath& dst, const UTFilePath& src, const UTFilePath& rel,
                     CSConfig* flags, CSConfig* dates, const RWTValOrderedVector<RWCString>* exclude)
{
    return deployEntries(walk, dst, src, [&](const UTFilePath& entry, bool isDirectory) -> int {
        const UTFilePath name = entry.baseName();
        const UTFilePath destination = dst.join(name);
        const UTFilePath relative = rel.join(name);
        const RWCString key = relative.text();
        if (exclude != nullptr && exclude->contains(key))
            return COPY_OK;
        if (!isDirectory)
            return deployConfigFile(destination, entry, key, flags, dates);
        if (prepareSubdirectory(walk, entry, destination))
            return deployConfigTree(walk, destination, entry, relative, flags, dates, nullptr);
        return COPY_OK;
    });
}

int deployTree(DeployWalk& walk, const UTFilePath& dst, const UTFilePath& src, int mode, bool recurse)
{
    return deployEntries(walk, dst, src, [&](const UTFilePath& entry, bool isDirectory) -> int {
        const UTFilePath destination = fresh(dst.join(entry.baseName()));
        int r = COPY_OK;
        if (isDirectory) {
            if (recurse && prepareSubdirectory(walk, entry, destination))
                r = deployTree(walk, destination, entry, mode, recurse);
        } else {
            bool copy = true;
            bool merge = false;
            const bool dstExists = fresh(destination).exists();
            if ((mode == 4 || mode == 8) && isConfigFile(destination))
                merge = true;
            if (mode == 2 && dstExists)
                copy = false;
            if ((mode == 1 || mode == 4) && dstExists && modificationTime(destination) >= modificationTime(entry)) {
                copy = false;
                merge = false;
            }
            if (merge)
                r = mergeFile(destination, entry);
            else if (copy)
                r = copyOne(destination, entry);
        }
        return r;
    });
}

}  // namespace

int provisionUserConfig(RWCString userDir, RWCString templateDir)
{
    const UTFilePath user(expandString(userDir));
    const UTFilePath templates(expandString(templateDir));

    std::unique_ptr<CSConfig> flags;
    const UTFilePath rules = templates.join(UTFilePath(DEFAULT_USER_CONFIG));
    if (!templates.isEmpty() && isRegularFile(rules))
        flags = std::make_unique<CSConfig>(rules.nativePath(), true);
    CSConfig dates(user.join(UTFilePath(USER_CONFIG)).nativePath(), true);

    const int result = deployConfigDirectory(user, templates, UTFilePath(), flags.get(), &dates, nullptr);
    if (dates.isModified())
        dates.saveNow();
    return result;
}

int deployConfigDirectory(const UTFilePath& dst, const UTFilePath& src, const UTFilePath& rel, CSConfig* flags,
                          CSConfig* dates, const RWTValOrderedVector<RWCString>* exclude)
{
    DeployWalk walk;
    return deployConfigTree(walk, dst, src, rel, flags, dates, exclude);
}

int deployDirectory(RWCString dstDir, RWCString srcDir, int mode, bool recurse)
{
    DeployWalk walk;
    return deployTree(walk, UTFilePath(dstDir), UTFilePath(srcDir), mode, recurse);
}
