// CSConfig: construction, name rules, block and item lookup, getting and setting values.
#include "services/config/CSConfig.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

inline bool isBlankOrTab(char c)
{
    return c == ' ' || c == '\t';
}

// The characters of s without the blanks and tabs at both ends.
inline void trimmedRange(const RWCString& s, const char*& p, size_t& n)
{
    p = s.data();
    n = s.length();
    while (n && isBlankOrTab(*p)) {
        ++p;
        --n;
    }
    while (n && isBlankOrTab(p[n - 1]))
        --n;
}

// compareTo of the two trimmed texts, without building them.
int compareTrimmed(const RWCString& a, const RWCString& b, bool ignoreCase)
{
    const char* pa;
    const char* pb;
    size_t na, nb;
    trimmedRange(a, pa, na);
    trimmedRange(b, pb, nb);
    const size_t n = std::min(na, nb);
    if (!ignoreCase) {
        int r = n ? std::memcmp(pa, pb, n) : 0;
        if (r)
            return r;
    } else {
        for (size_t i = 0; i < n; ++i) {
            int ca = std::tolower(static_cast<unsigned char>(pa[i]));
            int cb = std::tolower(static_cast<unsigned char>(pb[i]));
            if (ca != cb)
                return ca < cb ? -1 : 1;
        }
    }
    if (na == nb)
        return 0;
    return na > nb ? 1 : -1;
}

}  // namespace

// ---- construction ----

CSConfig::CSConfig(bool ignoreCase) : blocks(0, false, 64), ids(0, false, 64)
{
    initCommon(ignoreCase);
}

CSConfig::CSConfig(const char* name, bool ignoreCase) : CSConfig(RWCString(name ? name : ""), ignoreCase) {}

CSConfig::CSConfig(const RWCString& name, bool ignoreCase)
    : fileName(name), blocks(0, false, 64), ids(0, false, 64)
{
    initCommon(ignoreCase);
    if (!fileName.isNull())
        open(fileName);
}

CSConfig::CSConfig(std::istream* in, std::ostream* out, bool ignoreCase)
    : inStream(in), outStream(out), blocks(1, true, 64), ids(0, false, 64)
{
    initCommon(ignoreCase);
    if (in)
        attachStream(in);
}

void CSConfig::initCommon(bool ignoreCase)
{
    saveOnDestroy = false;
    multiValue = false;
    lastBlock = nullptr;
    cursorItemIndex = 0;
    cursorBlockIndex = 0;
    ignoreKeyCase = ignoreBlockCase = ignoreCase;
}

CSConfig::~CSConfig()
{
    if (saveOnDestroy)
        saveNow();
    blockIndex.clear();
    for (size_t i = 0; i < blocks.entries(); ++i)
        delete blocks[i];
    blocks.clear();
}

// ---- names ----

RWCString CSConfig::trim(const RWCString& s)
{
    const char* p;
    size_t n;
    trimmedRange(s, p, n);
    if (n == s.length())
        return s;
    return RWCString(p, n);
}

int CSConfig::compareKeys(const RWCString& a, const RWCString& b) const
{
    return compareTrimmed(a, b, ignoreKeyCase);
}

int CSConfig::compareBlockNames(const RWCString& a, const RWCString& b) const
{
    return compareTrimmed(a, b, ignoreBlockCase);
}

bool CSConfig::isDefaultBlockName(const RWCString& name)
{
    return name.compareTo(CFG_DEFAULT_BLOCK, RWCString::ignoreCase) == 0;
}

// ---- lookup ----

CSConfigBlock* CSConfig::findBlock(const RWCString& name) const
{
    if (lastBlock && compareBlockNames(lastBlock->nameRef(), name) == 0)
        return lastBlock;
    auto it = blockIndex.find(blockKey(name));
    return it == blockIndex.end() ? nullptr : it->second;
}

std::string CSConfig::blockKey(const RWCString& name) const
{
    const char* p;
    size_t n;
    trimmedRange(name, p, n);
    std::string key(p, n);
    if (ignoreBlockCase)
        for (char& c : key)
            c = char(std::tolower(static_cast<unsigned char>(c)));  // as compareTrimmed folds
    return key;
}

void CSConfig::indexBlock(CSConfigBlock* block)
{
    blockIndex.emplace(blockKey(block->nameRef()), block);
}

void CSConfig::unindexBlock(CSConfigBlock* block)
{
    auto it = blockIndex.find(blockKey(block->nameRef()));
    if (it == blockIndex.end() || it->second != block)
        return;
    blockIndex.erase(it);
    // Another block of an equal name (possible after the case rule changed) takes its place.
    for (size_t i = 0; i < blocks.entries(); ++i)
        if (blocks[i] != block && compareBlockNames(blocks[i]->nameRef(), block->nameRef()) == 0) {
            indexBlock(blocks[i]);
            break;
        }
}

void CSConfig::rebuildBlockIndex()
{
    blockIndex.clear();
    for (size_t i = 0; i < blocks.entries(); ++i)
        indexBlock(blocks[i]);
}

void CSConfig::setIgnoreBlockCase(bool b)
{
    if (b == ignoreBlockCase)
        return;
    ignoreBlockCase = b;
    lastBlock = nullptr;
    rebuildBlockIndex();
}

void CSConfig::insertBlockAt(CSConfigBlock* block, size_t pos)
{
    blocks.insertAt(pos, block);
    indexBlock(block);
    lastBlock = block;
}

CSConfigBlock* CSConfig::getOrCreateBlock(const RWCString& name)
{
    CSConfigBlock* block = findBlock(name);
    if (block)
        return block;
    block = newBlock(name);
    insertBlockAt(block, isDefaultBlockName(name) ? 0 : blocks.entries());
    return block;
}

CSConfigBlock* CSConfig::newBlock(const RWCString& name)
{
    return new CSConfigBlock(this, name);
}

CSConfigItem* CSConfig::findItem(const RWCString& key, const RWCString& block) const
{
    CSConfigBlock* b = findBlock(block);
    return b ? b->findActiveItem(key) : nullptr;
}

// ---- getting and setting ----

CSConfigItem* CSConfig::addItem(const RWCString& key, const RWCString& block, const RWCString& text)
{
    return getOrCreateBlock(block)->addItem(key, text, 0);
}

CSConfigVal* CSConfig::getValue(const RWCString& key, const RWCString& block, const char* defaultText)
{
    return addItem(key, block, RWCString(defaultText ? defaultText : ""))->getValue();
}

CSConfigVal* CSConfig::getValue(const char* key, const char* block, const char* defaultText)
{
    return getValue(RWCString(key ? key : ""), RWCString(block ? block : ""), defaultText);
}

int CSConfig::registeredIndex(int id) const
{
    for (size_t i = 0; i < ids.entries(); ++i)
        if (ids[i].getId() == id)
            return int(i);
    return -1;
}

int CSConfig::setDefault(int id, const RWCString& key, const RWCString& block, const char* text)
{
    const RWCString t(text ? text : "");
    if (registeredIndex(id) >= 0) {
        if (CSConfigItem* item = findItemById(id)) {
            item->setDefault(t);
            return 1;
        }
    } else {
        ids.append(CSConfigId(id, key, block));
    }
    addItem(key, block, t);
    return 1;
}

int CSConfig::setDefaults(const char* const table[][3], int)
{
    if (table == nullptr)
        return 1;
    for (int i = 0; table[i][0] != nullptr; ++i)
        setDefault(i, RWCString(table[i][0]), RWCString(table[i][1] ? table[i][1] : ""), table[i][2]);
    return 1;
}

CSConfigItem* CSConfig::findItemById(int id) const
{
    int i = registeredIndex(id);
    if (i < 0)
        return nullptr;
    const CSConfigId& r = ids[size_t(i)];
    return findItem(r.getKeyName(), r.getBlockName());
}

CSConfigItem* CSConfig::getItemById(int id)
{
    int i = registeredIndex(id);
    if (i < 0)
        return nullptr;
    const RWCString key = ids[size_t(i)].getKeyName();
    CSConfigBlock* block = getOrCreateBlock(ids[size_t(i)].getBlockName());
    if (CSConfigItem* item = block->findActiveItem(key))
        return item;
    CSConfigItem* inactive = block->findItem(key);
    const RWCString text = inactive ? inactive->getDefaultText() : RWCString();
    return block->addItem(key, text, 0);
}

CSConfigVal* CSConfig::getValueById(int id)
{
    CSConfigItem* item = getItemById(id);
    return item ? item->getValue() : nullptr;
}

int CSConfig::reread()
{
    if (!fileName.isNull())
        return open(fileName);
    if (inStream)
        return attachStream(inStream);
    return -2;
}
