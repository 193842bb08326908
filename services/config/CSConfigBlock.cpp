// CSConfigBlock: items of one block, the active list, the key index, copying and merging.
#include "services/config/CSConfigBlock.h"

#include <cstring>

#include "services/QuotedSplit.h"
#include "services/config/CSConfig.h"

CSConfigBlock::CSConfigBlock(CSConfig* config, const RWCString& name)
    : name(name), activeItems(16, false, 64), items(16, false, 64), keyIndex(16), config(config)
{
}

CSConfigBlock::~CSConfigBlock()
{
    clear();
}

void CSConfigBlock::clear()
{
    for (size_t i = 0; i < items.entries(); ++i)
        delete items[i];
    items.clear();
    activeItems.clear();
    keyIndex.clear();
}

CSConfigItem* CSConfigBlock::newItem(CSConfig* cfg, const RWCString& key, const RWCString& text)
{
    return new CSConfigItem(cfg, key, text);
}

CSConfigItem* CSConfigBlock::addItem(const RWCString& key, const RWCString& text, int flags)
{
    CSConfigItem* item = findItem(key);
    if (item == nullptr) {
        item = newItem(config, key, text);
        if (cfgFlagsAreActive(flags))
            listActive(item);
        items.append(item);
        keyIndex.insert(item);
        item->getValue()->setModified(true);
    } else {
        item->setDefault(text);
        if (cfgFlagsAreActive(flags) && !item->listedActive) {
            item->getValue()->setString(text);
            listActive(item);
        }
    }
    item->setFlags(flags);
    return item;
}

bool CSConfigBlock::removeItem(const RWCString& key)
{
    CSConfigItem probe(config, key, RWCString());
    size_t pos = keyIndex.index(&probe);
    if (pos == RW_NPOS)
        return false;
    CSConfigItem* item = keyIndex.removeAt(pos);
    unlistActive(item);
    size_t at = itemPositionOf(item);
    if (at != RW_NPOS)
        items.removeAt(at);
    delete item;
    return true;
}

CSConfigItem* CSConfigBlock::findItem(const RWCString& key) const
{
    CSConfigItem probe(config, key, RWCString());
    size_t pos = keyIndex.index(&probe);
    return pos == RW_NPOS ? nullptr : keyIndex[pos];
}

CSConfigItem* CSConfigBlock::findActiveItem(const RWCString& key) const
{
    CSConfigItem* item = findItem(key);
    return item && item->listedActive ? item : nullptr;
}

size_t CSConfigBlock::indexOfActive(const RWCString& key) const
{
    CSConfigItem probe(config, key, RWCString());
    for (size_t i = 0; i < activeItems.entries(); ++i)
        if (*activeItems[i] == probe)
            return i;
    return RW_NPOS;
}

size_t CSConfigBlock::indexOfItem(const RWCString& key) const
{
    CSConfigItem probe(config, key, RWCString());
    for (size_t i = 0; i < items.entries(); ++i)
        if (*items[i] == probe)
            return i;
    return RW_NPOS;
}

size_t CSConfigBlock::activePositionOf(const CSConfigItem* item) const
{
    if (item == nullptr || !item->listedActive)
        return RW_NPOS;
    for (size_t i = 0; i < activeItems.entries(); ++i)
        if (activeItems[i] == item)
            return i;
    return RW_NPOS;
}

size_t CSConfigBlock::itemPositionOf(const CSConfigItem* item) const
{
    for (size_t i = 0; i < items.entries(); ++i)
        if (items[i] == item)
            return i;
    return RW_NPOS;
}

void CSConfigBlock::listActive(CSConfigItem* item)
{
    if (item->listedActive)
        return;
    activeItems.append(item);
    item->listedActive = true;
}

void CSConfigBlock::unlistActive(CSConfigItem* item)
{
    size_t pos = activePositionOf(item);
    if (pos != RW_NPOS)
        activeItems.removeAt(pos);
    if (item)
        item->listedActive = false;
}

void CSConfigBlock::updateActive(CSConfigItem* item)
{
    // Keys are unique, so the key index tells whether the item belongs to this block.
    if (item == nullptr || findItem(item->key) != item)
        return;
    if (item->isActive())
        listActive(item);
    else
        unlistActive(item);
}

void CSConfigBlock::updateFlagsFromComment()
{
    clearFlags(CFG_BLOCK_KEEP);
    if (comment.isNull())
        return;
    RWTValOrderedVector<RWCString> lines = splitString(comment, '\n', '\0', false);
    for (size_t i = 0; i < lines.entries(); ++i) {
        if (std::strncmp(lines[i].data(), "#~", 2) == 0) {
            flags |= CFG_BLOCK_KEEP;
            return;
        }
    }
}

bool CSConfigBlock::copyFrom(const CSConfigBlock& other)
{
    if (&other == this)
        return true;
    clear();
    comment = other.comment;
    for (size_t i = 0; i < other.items.entries(); ++i) {
        CSConfigItem* o = other.items[i];
        CSConfigItem* n = addItem(o->key, o->getValue()->getText(), o->flags);
        n->comment = o->comment;
    }
    return true;
}

bool CSConfigBlock::mergeFrom(const CSConfigBlock& other)
{
    if (&other == this)
        return true;  // a block merged into itself has nothing to add
    flags = other.flags;
    if (other.hasFlag(CFG_BLOCK_KEEP))
        return false;
    for (size_t i = 0; i < other.items.entries(); ++i) {
        CSConfigItem* o = other.items[i];
        const RWCString c = o->comment;
        const RWCString sourceText = o->getValue()->getText();
        CSConfigItem* n;
        if (!o->isActive()) {
            n = addItem(o->key, RWCString(), o->flags);
            n->getValue()->setString(sourceText);
            n->comment = c;
            unlistActive(n);
        } else if (o->hasFlag(CFG_ITEM_FORCE)) {
            n = addItem(o->key, RWCString(), 0);
            n->setFlags(CFG_ITEM_FORCE);
            n->getValue()->setString(sourceText);
            n->comment = c;
        } else {
            n = addItem(o->key, sourceText, 0);
            n->setFlags(CFG_ITEM_NORMAL);
            n->comment = c;
        }
    }
    return true;
}

bool CSConfigBlock::operator==(const CSConfigBlock& other) const
{
    return config ? config->compareBlockNames(name, other.name) == 0 : CSConfig::trim(name) == CSConfig::trim(other.name);
}

bool CSConfigBlock::operator<(const CSConfigBlock& other) const
{
    return config ? config->compareBlockNames(name, other.name) < 0
                  : CSConfig::trim(name).compareTo(CSConfig::trim(other.name)) < 0;
}

unsigned CSConfigBlock::hash() const
{
    const bool fold = config && config->ignoresBlockCase();
    return CSConfig::trim(name).hash(fold ? RWCString::ignoreCase : RWCString::exact);
}

unsigned hashConfigBlock(const CSConfigBlock& block)
{
    return block.hash();
}
