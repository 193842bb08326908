// CSConfig: removing, placing, renaming and copying blocks and items, change notification,
// and the cursor that walks blocks and items and reads a setting as a comma-separated list.
#include "services/config/CSConfig.h"

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <locale.h>

#include "math/NumberText.h"

namespace {

// "%lf" of sscanf, in the "C" locale whatever the process locale is: white space skipped,
// then one number; true when one was converted.
bool scanDouble(const RWCString& text, double& v)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const char* p = text.data();
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    char* end = nullptr;
    double d = cLocale ? strtod_l(p, &end, cLocale) : std::strtod(p, &end);
    if (end == p)
        return false;
    v = d;
    return true;
}

bool scanInt(const RWCString& text, int& v)
{
    return std::sscanf(text.data(), "%d", &v) == 1;
}

bool isTrueWord(const RWCString& s)
{
    return s.compareTo("true", RWCString::ignoreCase) == 0 || s.compareTo("yes", RWCString::ignoreCase) == 0 ||
           s.compareTo("ja", RWCString::ignoreCase) == 0 || s.compareTo("1", RWCString::ignoreCase) == 0;
}

}  // namespace

// ---- removing ----

bool CSConfig::removeItem(const RWCString& key, const RWCString& block)
{
    cursorKey = RWCString();
    CSConfigBlock* b = findBlock(block);
    if (b == nullptr)
        return false;
    CSConfigItem* item = b->findActiveItem(key);
    if (item == nullptr)
        return false;
    const size_t pos = b->activePositionOf(item);
    b->removeItem(key);
    if (pos != RW_NPOS && int(pos) == cursorItemIndex)
        --cursorItemIndex;  // a walk that removed its current item goes on with the next one
    return true;
}

bool CSConfig::removeBlock(const RWCString& name)
{
    CSConfigBlock* b = findBlock(name);
    lastBlock = nullptr;
    if (cursorBlock == name) {
        cursorBlock = RWCString();
        cursorKey = RWCString();
        cursorItemIndex = -1;
    }
    if (b == nullptr)
        return false;
    const int pos = indexOfBlock(b);
    if (pos >= 0) {
        blocks.removeAt(size_t(pos));
        if (pos == cursorBlockIndex)
            --cursorBlockIndex;
    }
    unindexBlock(b);
    delete b;
    return true;
}

void CSConfig::removeBlockNotify(const RWCString& name)
{
    removeBlock(name);
    notifyChanged();
}

void CSConfig::removeCursorItemNotify(const RWCString& key)
{
    removeItem(key, cursorBlock);
    notifyChanged();
}

void CSConfig::removeItemNotify(const RWCString& block, const RWCString& key)
{
    if (findBlock(block) == nullptr)
        return;
    beginItemIteration(block);
    removeCursorItemNotify(key);
}

void CSConfig::notifyChanged()
{
    NotificationEventConfigChanged event(this);
    notifyReferers(&event);
}

void CSConfig::clear()
{
    blockIndex.clear();
    for (size_t i = 0; i < blocks.entries(); ++i)
        delete blocks[i];
    blocks.clear();
    ids.clear();
    lastBlock = nullptr;
    cursorBlock = RWCString();
    cursorKey = RWCString();
    cursorItemIndex = 0;
    cursorBlockIndex = 0;
}

// ---- placing and renaming blocks ----

CSConfigBlock* CSConfig::getOrCreateBlockAfter(const RWCString& name, const RWCString& afterName)
{
    if (CSConfigBlock* existing = findBlock(name))
        return existing;
    size_t pos;
    if (afterName.isNull() || isDefaultBlockName(afterName)) {
        pos = 0;
    } else if (CSConfigBlock* after = findBlock(afterName)) {
        pos = size_t(indexOfBlock(after) + 1);
    } else {
        pos = blocks.entries();
    }
    insertBlockAt(newBlock(name), pos);
    return lastBlock;
}

void CSConfig::moveBlockAfter(const RWCString& name, const RWCString& afterName)
{
    CSConfigBlock* b = findBlock(name);
    CSConfigBlock* after = findBlock(afterName);
    if (b == nullptr || after == nullptr || b == after)
        return;
    lastBlock = b;
    blocks.removeAt(size_t(indexOfBlock(b)));
    const int pos = indexOfBlock(after);
    blocks.insertAt(size_t(pos + 1), b);
}

int CSConfig::indexOfBlock(const CSConfigBlock* block) const
{
    for (size_t i = blocks.entries(); i-- > 0;)
        if (blocks[i] == block)
            return int(i);
    return -1;
}

bool CSConfig::renameBlock(const RWCString& oldName, const RWCString& newName)
{
    lastBlock = nullptr;
    if (findBlock(newName) == nullptr) {
        CSConfigBlock* b = findBlock(oldName);
        if (b == nullptr)
            return false;
        unindexBlock(b);
        b->setName(newName);
        indexBlock(b);
        return true;
    }
    if (ignoreBlockCase && compareBlockNames(oldName, newName) == 0) {
        // Only the letter case changes: the index folds case, so the block keeps its entry.
        if (CSConfigBlock* b = findBlock(oldName))
            b->setName(newName);
    }
    return false;
}

// ---- copying ----

CSConfig& CSConfig::operator=(const CSConfig& other)
{
    if (this == &other)
        return *this;
    clear();
    multiValue = other.multiValue;
    ignoreKeyCase = other.ignoreKeyCase;
    ignoreBlockCase = other.ignoreBlockCase;
    trailingComment = other.trailingComment;
    for (size_t i = 0; i < other.blocks.entries(); ++i) {
        const CSConfigBlock* ob = other.blocks[i];
        CSConfigBlock* nb = getOrCreateBlock(ob->getName());
        nb->setComment(ob->getComment());
        for (size_t j = 0; j < ob->activeCount(); ++j) {
            CSConfigItem* oi = ob->activeItemAt(j);
            CSConfigItem* ni = nb->addItem(oi->getKey(), oi->getDefaultText(), 0);
            ni->setComment(oi->getComment());
            for (unsigned k = 0; k < oi->valueCount(); ++k)
                *ni->getValueAt(k) = *oi->getValueAt(k);
        }
    }
    return *this;
}

// ---- the cursor ----

bool CSConfig::beginItemIteration(const RWCString& block)
{
    const bool exists = findBlock(block) != nullptr;
    if (!exists)
        getOrCreateBlock(block);
    cursorBlock = block;
    cursorKey = RWCString();
    cursorItemIndex = -1;
    return exists;
}

bool CSConfig::firstBlock(RWCString& name)
{
    cursorBlockIndex = -1;
    return nextBlock(name);
}

bool CSConfig::nextBlock(RWCString& name)
{
    ++cursorBlockIndex;
    if (cursorBlockIndex < 0 || size_t(cursorBlockIndex) >= blocks.entries())
        return false;
    name = blocks[size_t(cursorBlockIndex)]->getName();
    beginItemIteration(name);
    return true;
}

bool CSConfig::firstItem(RWCString& key)
{
    if (findBlock(cursorBlock) == nullptr)
        return false;
    cursorItemIndex = -1;
    return nextItem(key);
}

bool CSConfig::nextItem(RWCString& key)
{
    CSConfigBlock* b = findBlock(cursorBlock);
    if (b == nullptr)
        return false;
    ++cursorItemIndex;
    if (cursorItemIndex < 0 || size_t(cursorItemIndex) >= b->activeCount())
        return false;
    key = b->activeItemAt(size_t(cursorItemIndex))->getKey();
    selectItem(key, false);
    return true;
}

bool CSConfig::hasCursorItem(const RWCString& key) const
{
    CSConfigBlock* b = findBlock(cursorBlock);
    return b && b->findActiveItem(key);
}

bool CSConfig::selectItem(const RWCString& key, bool renew)
{
    listPos = 0;
    const bool missing = !hasCursorItem(key);
    CSConfigItem* item = addItem(key, cursorBlock, RWCString());
    listElement = RWCString();
    cursorKey = key;
    if (missing || renew) {
        item->getValue()->setString("");
        listText = RWCString();
        return true;
    }
    listText = item->getValue()->getText();
    advanceElement();
    return false;
}

void CSConfig::advanceElement()
{
    const size_t len = listText.length();
    if (listPos < 0 || size_t(listPos) >= len)
        return;
    const size_t from = size_t(listPos);
    const size_t p = listText.index(",", from);
    if (p != RW_NPOS) {
        listElement = RWCString(listText.data() + from, p - from);
        listPos = int(p + 1);
    } else {
        listElement = RWCString(listText.data() + from, len - from);
        listPos = int(len);
    }
}

void CSConfig::readElement(RWCString& text)
{
    text = listElement;
    advanceElement();
}

bool CSConfig::readDouble(double& v)
{
    RWCString e;
    readElement(e);
    return scanDouble(e, v);
}

bool CSConfig::readInt(int& v)
{
    RWCString e;
    readElement(e);
    return scanInt(e, v);
}

int CSConfig::elementCount() const
{
    int n = 1;
    for (size_t i = 0; i < listText.length(); ++i)
        if (listText.data()[i] == ',')
            ++n;
    return n;
}

void CSConfig::appendText(const RWCString& text)
{
    if (!listText.isNull())
        listText.append(',');
    listText.append(text);
}

void CSConfig::appendFormatted(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    RWCString t = formatStringV(format, args);
    va_end(args);
    appendText(t);
}

void CSConfig::appendDouble(double v)
{
    appendFormatted("%lf", v);
}

void CSConfig::appendInt(int v)
{
    appendFormatted("%d", v);
}

void CSConfig::writeBack()
{
    CSConfigBlock* b = findBlock(cursorBlock);
    if (b == nullptr)
        return;
    if (CSConfigItem* item = b->findActiveItem(cursorKey))
        item->getValue()->setString(listText);
}

void CSConfig::getCursorText(const RWCString& key, RWCString& text)
{
    selectItem(key, false);
    text = listText;
}

void CSConfig::getCursorElement(const RWCString& key, RWCString& text)
{
    selectItem(key, false);
    readElement(text);
}

void CSConfig::setCursorText(const RWCString& key, const RWCString& text)
{
    selectItem(key, true);
    listText = text;
    writeBack();
}

void CSConfig::setCursorFormattedV(const RWCString& key, const char* format, va_list args)
{
    setCursorText(key, formatStringV(format, args));
}

void CSConfig::setCursorFormatted(const RWCString& key, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    setCursorFormattedV(key, format, args);
    va_end(args);
}

void CSConfig::setCursorDouble(const RWCString& key, double v)
{
    setCursorFormatted(key, "%lf", v);
}

void CSConfig::setCursorInt(const RWCString& key, int v)
{
    setCursorFormatted(key, "%d", v);
}

void CSConfig::setCursorBool(const RWCString& key, bool v)
{
    setCursorText(key, RWCString(v ? "true" : "false"));
}

bool CSConfig::getCursorDouble(const RWCString& key, double& v)
{
    RWCString e;
    getCursorElement(key, e);
    bool ok = false;
    v = stringToDoubleChecked(e, &ok);
    return ok;
}

bool CSConfig::getCursorInt(const RWCString& key, int& v)
{
    RWCString e;
    getCursorElement(key, e);
    return scanInt(e, v);
}

bool CSConfig::getCursorBool(const RWCString& key, bool& v)
{
    RWCString e;
    getCursorElement(key, e);
    v = isTrueWord(e);
    return true;
}

bool CSConfig::getCursorBool(const RWCString& key, int& v)
{
    bool b = false;
    getCursorBool(key, b);
    v = b ? 1 : 0;
    return true;
}

void CSConfig::getCursorTextIfPresent(const RWCString& key, RWCString& text)
{
    if (hasCursorItem(key))
        getCursorText(key, text);
}

void CSConfig::getCursorElementIfPresent(const RWCString& key, RWCString& text)
{
    if (hasCursorItem(key))
        getCursorElement(key, text);
}

bool CSConfig::getCursorDoubleIfPresent(const RWCString& key, double& v)
{
    return hasCursorItem(key) && getCursorDouble(key, v);
}

bool CSConfig::getCursorIntIfPresent(const RWCString& key, int& v)
{
    return hasCursorItem(key) && getCursorInt(key, v);
}

bool CSConfig::getCursorBoolIfPresent(const RWCString& key, bool& v)
{
    return hasCursorItem(key) && getCursorBool(key, v);
}

bool CSConfig::getCursorBoolIfPresent(const RWCString& key, int& v)
{
    return hasCursorItem(key) && getCursorBool(key, v);
}
