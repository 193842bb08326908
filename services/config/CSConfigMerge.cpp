// CSConfig: merging another configuration, and the process-wide list of shared configurations.
#include <cstdlib>

#include "services/config/CSConfig.h"
#include "services/config/LinkedConfigList.h"
#include "services/environment/TextExpansion.h"
#include "services/files/RegularFile.h"
#include "services/files/UTFilePath.h"

namespace {

LinkedConfigList* linkedConfigs = nullptr;

// The modification time of the file a configuration name denotes; false when unknown.
bool modificationTimeOf(const RWCString& expandedName, RWTime& t)
{
    UTFilePath path(expandedName);
    return path.getModificationTime(t);
}

}  // namespace

bool CSConfig::mergeConfig(const CSConfig& other)
{
    if (&other == this)
        return true;  // everything is already here
    for (size_t i = 0; i < other.blocks.entries(); ++i) {
        const CSConfigBlock* ob = other.blocks[i];
        const RWCString comment = ob->getComment();
        const bool existing = findBlock(ob->nameRef()) != nullptr;
        CSConfigBlock* target = getOrCreateBlock(ob->getName());
        if (existing)
            target->mergeFrom(*ob);
        else
            target->copyFrom(*ob);
        target->setComment(comment);
    }
    trailingComment = other.trailingComment;
    return true;
}

refHandle<CSConfig> CSConfig::getLinkedConfig(const RWCString& name)
{
    if (linkedConfigs == nullptr) {
        linkedConfigs = new LinkedConfigList;
        static bool registered = false;
        if (!registered) {
            registered = true;
            std::atexit(freeLinkedConfigs);
        }
    }
    return linkedConfigs->getConfig(name);
}

void CSConfig::saveLinkedConfigs(bool onlyModified)
{
    if (linkedConfigs)
        linkedConfigs->saveAll(onlyModified);
}

void freeLinkedConfigs()
{
    LinkedConfigList* list = linkedConfigs;
    linkedConfigs = nullptr;
    delete list;
}

refHandle<CSConfig> LinkedConfigList::getConfig(const RWCString& name)
{
    const RWCString expanded = expandString(name);
    refHandle<CSConfig> found = find(expanded);
    if (found.isValid()) {
        RWTime t(0UL);
        if (modificationTimeOf(expanded, t) && t != found->fileTimeRef())
            found->reload();
        return found;
    }
    refHandle<CSConfig> created(new CSConfig(expanded, true));
    list.append(created);
    return created;
}

refHandle<CSConfig> LinkedConfigList::find(const RWCString& name) const
{
    // "." and ".." components are resolved first, so that every spelling of one path finds
    // the same configuration. File names here tell letter case apart, so the texts are
    // compared exactly (the path equality ignores case and would hand out the settings of
    // another file); a name that reaches an existing file through another path (a link)
    // finds that file's configuration, so that one file is never held twice.
    UTFilePath wanted(name);
    wanted.normalized();
    for (size_t i = 0; i < list.entries(); ++i) {
        const refHandle<CSConfig>& h = list[i];
        if (!h.isValid())
            continue;
        UTFilePath held(h->getFileName());
        held.normalized();
        if (held.utf8Path() == wanted.utf8Path() ||
            isSameExistingFile(held.nativePath().data(), wanted.nativePath().data()))
            return h;
    }
    return refHandle<CSConfig>();
}

void LinkedConfigList::saveAll(bool onlyModified)
{
    for (size_t i = 0; i < list.entries(); ++i) {
        refHandle<CSConfig> h = list[i];
        if (!h.isValid())
            continue;
        RWTime t(0UL);
        if (modificationTimeOf(expandString(h->getFileName()), t) && t != h->fileTimeRef())
            h->reload();
        if (!onlyModified || h->isModified())
            h->save();
    }
}

void LinkedConfigList::clear()
{
    while (!list.isEmpty())
        list.removeAt(list.entries() - 1);
}
