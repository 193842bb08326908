// CSProgParam: the program option parser over command lines, argument arrays and parameter
// files of NAME=VALUE lines, recording every option and value met in input order.
#include "services/CSProgParam.h"

#include <cstdlib>
#include <sstream>
#include <string>

#include "services/QuotedSplit.h"
#include "services/StringHelpers.h"
#include "services/environment/TextExpansion.h"
#include "services/files/PathText.h"
#include "services/files/RegularFile.h"
#include "services/files/UTFilePath.h"

namespace {

bool beginsWithDash(const RWCString& t) { return !t.isNull() && t(0) == '-'; }

}  // namespace

// ---- options ----

CSProgParam::CSParamItem::CSParamItem(const char* name, const char* altName, uint32_t maxValues,
                                      int32_t wholeValue, int32_t stopAtOptions)
    : name(name ? name : ""), altName(altName ? altName : ""), maxValues(maxValues), wholeValue(wholeValue),
      values(64), found(0), stopAtOptions(stopAtOptions), isDefault(false)
{
}

CSProgParam::CSParamItem::CSParamItem()
    : maxValues(999), wholeValue(0), values(64), found(0), stopAtOptions(1), isDefault(true)
{
}

void CSProgParam::CSParamItem::addValue(const char* value) { addValue(RWCString(value ? value : "")); }

void CSProgParam::CSParamItem::addValue(const RWCString& value)
{
    if (values.entries() < maxValues)
        values.insert(value);
}

const char* CSProgParam::CSParamItem::getValue(size_t i) const
{
    return i < values.entries() ? values[i].data() : nullptr;
}

CSProgParam::CSProgParam() : items_(64), order_(64) {}

CSProgParam::~CSProgParam() { items_.clearAndDestroy(); }

int CSProgParam::addParam(const char* name, const char* altName, uint32_t maxValues, int32_t wholeValue,
                          int32_t stopAtOptions)
{
    items_.insert(new CSParamItem(name, altName, maxValues, wholeValue, stopAtOptions));
    return static_cast<int>(items_.entries()) - 1;
}

int CSProgParam::addDefaultParam()
{
    items_.insert(new CSParamItem());
    return static_cast<int>(items_.entries()) - 1;
}

void CSProgParam::record(int item, bool isValue, const RWCString& text)
{
    order_.insert(CSParamOrderValue(item, isValue, text));
}

// ---- parsing ----

int CSProgParam::parseCommandLine(const char* text)
{
    const RWTValOrderedVector<RWCString> words = splitCommandLine(text);
    RWTValSlist<RWCString> tokens;
    for (size_t i = 0; i < words.entries(); ++i)
        tokens.append(words[i]);
    return parseTokens(tokens);
}

int CSProgParam::parseArguments(int count, const char* const* arguments)
{
    RWTValSlist<RWCString> tokens;
    for (int i = 0; arguments && i < count; ++i)
        tokens.append(RWCString(arguments[i] ? arguments[i] : ""));
    return parseTokens(tokens);
}

int CSProgParam::parseTokens(const RWTValSlist<RWCString>& tokens)
{
    long long pending = 0;  // values still awaited by the current option
    int current = -1;
    int32_t stopMode = 0;
    bool dashSeen = false;

    // Makes option k the current one: it awaits what room it has left.
    auto switchTo = [&](int k) {
        CSParamItem* item = items_[static_cast<size_t>(k)];
        current = k;
        pending = static_cast<long long>(item->maxValues) - static_cast<long long>(item->values.entries());
        item->found = 1;
        stopMode = item->stopAtOptions;
        record(k, false, RWCString());
    };
    auto giveToCurrent = [&](const RWCString& t) {
        items_[static_cast<size_t>(current)]->addValue(t);
        if (--pending < 1)
            dashSeen = false;
        record(current, true, t);
    };

    using Link = RWTValSlink<RWCString>;
    const RWSlist& list = tokens.core();
    const RWSlink* end = list.tailSentinel();
    const RWSlink* link = list.firstLink();
    if (link != end)
        link = link->next_;  // the program name's place
    for (; link != end; link = link->next_) {
        const RWCString& t = static_cast<const Link*>(link)->item_;
        if (!dashSeen && beginsWithDash(t))
            dashSeen = true;
        if (pending == 0) {
            const int k = findParam(t.data());
            if (k >= 0) {
                switchTo(k);
            } else if (!dashSeen) {
                const int d = findDefaultParam();
                if (d >= 0) {
                    current = d;
                    items_[static_cast<size_t>(d)]->found = 1;
                    items_[static_cast<size_t>(d)]->addValue(t);
                    record(d, true, t);
                }
            }
        } else if (pending > 0 && stopMode != 0) {
            const int k = findParam(t.data());
            if (k >= 0) {
                switchTo(k);
            } else if (beginsWithDash(t)) {
                pending = 0;
                dashSeen = false;
            } else if (current != -1) {
                giveToCurrent(t);
            }
        } else if (pending > 0 && current != -1) {
            // Taken as a value even when it begins with '-' (a negative number, say).
            giveToCurrent(t);
        }
    }
    return 1;
}

int CSProgParam::parseParamFile(const char* fileName)
{
    if (!fileName)
        return -1;
    UTFilePath path(fileName);
    if (!path.exists(true) || !path.isFile(true))
        return -1;
    // Read whole through the check every reader makes: a name that no longer opens a regular
    // file (replaced since it was looked at) never blocks and is never read for ever.
    std::string bytes;
    if (!readRegularFile(path.nativePath().data(), bytes))
        return -1;
    std::istringstream in(std::move(bytes));
    RWCString line;
    while (!in.eof()) {
        line.readLine(in, false);
        // A read that fails before the end never reaches it: stop instead of trying again.
        if (in.bad() || (in.fail() && !in.eof()))
            return -1;
        line = stripChars(line, 3, " \t\r\n");
        const size_t eq = line.index("=");
        if (eq == RW_NPOS)
            continue;
        const RWCString name = stripChars(RWCString(line.data(), eq), 3, " \t");
        const RWCString value(line.data() + eq + 1, line.length() - eq - 1);
        int k = findParamByAltName(name.data());
        if (k < 0)
            k = findParam(name.data());
        if (k < 0)
            continue;
        CSParamItem* item = items_[static_cast<size_t>(k)];
        item->found = 1;
        record(k, false, RWCString());
        if (item->wholeValue != 0) {
            item->addValue(value);
            record(k, true, value);
        } else {
            const RWTValOrderedVector<RWCString> words = splitString(value, ' ', '"', true);
            for (size_t i = 0; i < words.entries(); ++i) {
                item->addValue(words[i]);
                record(k, true, words[i]);
            }
        }
    }
    return 1;
}

// ---- queries ----

CSProgParam::CSParamItem* CSProgParam::getParam(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= items_.entries())
        return nullptr;
    return items_[static_cast<size_t>(index)];
}

const char* CSProgParam::getParamValue(int index, int valueIndex) const
{
    const CSParamItem* item = getParam(index);
    if (!item || valueIndex < 0)
        return nullptr;
    return item->getValue(static_cast<size_t>(valueIndex));
}

int CSProgParam::getParamInt(int index, int valueIndex) const
{
    const char* v = getParamValue(index, valueIndex);
    return v ? std::atoi(v) : 0;
}

int CSProgParam::getParamBool(int index, int valueIndex) const
{
    const char* v = getParamValue(index, valueIndex);
    if (!v)
        return 0;
    const RWCString text(v);
    if (text.compareTo("YES", RWCString::ignoreCase) == 0)
        return 1;
    if (text.compareTo("NO", RWCString::ignoreCase) == 0)
        return 0;
    return std::atoi(v);
}

int CSProgParam::getParamCount(int index) const
{
    const CSParamItem* item = getParam(index);
    return item ? static_cast<int>(item->values.entries()) : 0;
}

int CSProgParam::isParamFound(int index) const
{
    const CSParamItem* item = getParam(index);
    return item ? item->found : 0;
}

const char* CSProgParam::getParamName(int index) const
{
    const CSParamItem* item = getParam(index);
    return item ? item->name.data() : nullptr;
}

const char* CSProgParam::getParamAltName(int index) const
{
    const CSParamItem* item = getParam(index);
    return item ? item->altName.data() : nullptr;
}

int CSProgParam::findParam(const char* text) const { return findByName(&CSParamItem::name, text); }

int CSProgParam::findParamByAltName(const char* text) const { return findByName(&CSParamItem::altName, text); }

int CSProgParam::findByName(RWCString CSParamItem::*field, const char* text) const
{
    if (!text || !*text)
        return -1;
    for (size_t i = 0; i < items_.entries(); ++i)
        if (!items_[i]->isDefault && (items_[i]->*field).compareTo(text, RWCString::ignoreCase) == 0)
            return static_cast<int>(i);
    return -1;
}

int CSProgParam::findDefaultParam() const
{
    for (size_t i = 0; i < items_.entries(); ++i)
        if (items_[i]->isDefault)
            return static_cast<int>(i);
    return -1;
}
