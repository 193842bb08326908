// CSConfig: numbered-key lists, the most-recently-used list, ranges by id and name queries.
#include "services/config/CSConfig.h"

#include <cstdlib>
#include <cstring>

#include "services/NumberFormat.h"
#include "services/StringHelpers.h"

namespace {

inline RWCString numberedKey(const RWCString& prefix, int i)
{
    return prefix + intToString(i);
}

inline bool beginsWithExact(const RWCString& s, const RWCString& prefix)
{
    return s.length() >= prefix.length() && std::memcmp(s.data(), prefix.data(), prefix.length()) == 0;
}

}  // namespace

void CSConfig::getList(const RWCString& prefix, const RWCString& block, int n, StringVector& out)
{
    for (int i = 1; i <= n; ++i)
        out.append(getValue(numberedKey(prefix, i), block, "")->getText());
}

void CSConfig::setList(const RWCString& prefix, const RWCString& block, int n, const StringVector& values)
{
    for (int i = 1; i <= n; ++i) {
        CSConfigVal* v = getValue(numberedKey(prefix, i), block, "");
        v->setString(size_t(i - 1) < values.entries() ? values[size_t(i - 1)] : RWCString());
    }
}

void CSConfig::getIndexedValues(const RWCString& prefix, const RWCString& block, StringVector* out, unsigned max)
{
    if (out == nullptr)
        return;
    out->clear();
    const size_t n = prefix.length();
    const StringVector keys = getKeys(block);
    for (size_t k = 0; k < keys.entries(); ++k) {
        const RWCString& key = keys[k];
        if (key.length() <= n || key.data()[n] < '0' || key.data()[n] > '9')
            continue;
        if (RWCString(key.data(), n).compareTo(prefix, RWCString::ignoreCase) != 0)
            continue;
        const long i = std::strtol(key.data() + n, nullptr, 10);
        if (i < 0 || i >= long(max))
            continue;
        while (out->entries() < size_t(i) + 1)
            out->append(RWCString());
        (*out)[size_t(i)] = getValue(key, block, nullptr)->getText();
    }
}

void CSConfig::setIndexedValues(const RWCString& prefix, const RWCString& block, const StringVector& values, int count)
{
    const int given = int(values.entries());
    for (int i = 0; i < given; ++i)
        getValue(numberedKey(prefix, i), block, "")->setString(values[size_t(i)]);
    if (count != -1)
        for (int i = given; i < count; ++i)
            getValue(numberedKey(prefix, i), block, "")->setString("");
}

void CSConfig::pushRecent(const RWCString& prefix, const RWCString& block, const RWCString& value, int n)
{
    StringVector others(0, false, 64);
    for (int i = 1; i <= n; ++i) {
        const RWCString t = getValue(numberedKey(prefix, i), block, "")->getText();
        if (t != value)
            others.append(t);
    }
    getValue(prefix + "1", block, "")->setString(value);
    for (int j = 0, i = 2; size_t(j) < others.entries() && i <= n; ++j, ++i)
        getValue(numberedKey(prefix, i), block, "")->setString(others[size_t(j)]);
}

CSConfig::StringVector CSConfig::getValuesById(int from, int to)
{
    StringVector out(0, false, 64);
    for (int id = from; id <= to; ++id) {
        if (CSConfigVal* v = getValueById(id))  // an unregistered id has nothing to read
            out.append(v->getText());
        if (id == to)
            break;  // to may be INT_MAX
    }
    return out;
}

int CSConfig::setValuesById(int firstId, const StringVector& values)
{
    for (size_t i = 0; i < values.entries(); ++i)
        if (CSConfigVal* v = getValueById(firstId + int(i)))
            v->setString(values[i]);
    return int(values.entries());
}

CSConfig::StringVector CSConfig::getBlockNames() const
{
    StringVector out(0, false, 64);
    for (size_t i = 0; i < blocks.entries(); ++i)
        out.append(stripChars(blocks[i]->getName(), 3, "\r\n"));
    return out;
}

void CSConfig::getBlockNamesWithPrefix(const RWCString& prefix, StringVector* out) const
{
    if (out == nullptr)
        return;
    for (size_t i = 0; i < blocks.entries(); ++i) {
        const RWCString name = stripChars(blocks[i]->getName(), 3, " \t");
        if (beginsWithExact(name, prefix))
            out->append(name);
    }
}

CSConfig::StringVector CSConfig::getKeys(const RWCString& block) const
{
    StringVector out(0, false, 64);
    if (CSConfigBlock* b = findBlock(block))
        for (size_t i = 0; i < b->activeCount(); ++i)
            out.append(b->activeItemAt(i)->getKey());
    return out;
}

void CSConfig::getKeysWithPrefix(const RWCString& block, const RWCString& prefix, StringVector* out) const
{
    if (out == nullptr)
        return;
    if (CSConfigBlock* b = findBlock(block))
        for (size_t i = 0; i < b->activeCount(); ++i) {
            const RWCString key = b->activeItemAt(i)->getKey();
            if (beginsWithExact(key, prefix))
                out->append(key);
        }
}
