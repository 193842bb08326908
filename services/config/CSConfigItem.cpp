// CSConfigItem: values, defaults, flags and key comparison of one configuration item.
#include "services/config/CSConfigItem.h"

#include <cstring>

#include "services/QuotedSplit.h"
#include "services/config/CSConfig.h"

CSConfigItem::CSConfigItem(CSConfig* config, const RWCString& key, const RWCString& defaultText)
    : key(key), defaultText(defaultText), config(config), values(1, false, 64)
{
    if (!defaultText.isNull())
        getValue()->setString(defaultText);
}

CSConfigItem::~CSConfigItem()
{
    values.clearAndDestroy();
}

void CSConfigItem::setDefault(const RWCString& text)
{
    if (text.isNull())
        return;
    defaultText = text;
    CSConfigVal* v = getValue();
    if (v->isEmpty())
        v->setString(text);
}

CSConfigVal* CSConfigItem::getValue()
{
    if (values.isEmpty())
        values.append(new CSConfigVal);
    return values[0];
}

CSConfigVal* CSConfigItem::getValueAt(unsigned i)
{
    while (values.entries() <= i)
        values.append(new CSConfigVal);
    return values[i];
}

void CSConfigItem::removeValue(unsigned i)
{
    delete values.removeAt(i);
}

void CSConfigItem::updateFlagsFromComment()
{
    if (hasFlag(CFG_ITEM_DISABLED))
        return;
    clearFlags(CFG_ITEM_FORCE);
    addFlags(CFG_ITEM_NORMAL);
    if (comment.isNull())
        return;
    RWTValOrderedVector<RWCString> lines = splitString(comment, '\n', '\0', false);
    for (size_t i = 0; i < lines.entries(); ++i) {
        if (std::strncmp(lines[i].data(), "#!", 2) == 0) {
            addFlags(CFG_ITEM_FORCE);
            clearFlags(CFG_ITEM_NORMAL);
            return;
        }
    }
}

bool CSConfigItem::operator==(const CSConfigItem& other) const
{
    return config ? config->compareKeys(key, other.key) == 0 : CSConfig::trim(key) == CSConfig::trim(other.key);
}

bool CSConfigItem::operator<(const CSConfigItem& other) const
{
    return config ? config->compareKeys(key, other.key) < 0
                  : CSConfig::trim(key).compareTo(CSConfig::trim(other.key)) < 0;
}
