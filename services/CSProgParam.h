// CSProgParam: the program option parser over command lines, argument arrays and parameter
// files of NAME=VALUE lines, recording every option and value met in input order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/RWCString.h"
#include "foundation/RWTPtrOrderedVector.h"
#include "foundation/RWTValOrderedVector.h"
#include "foundation/RWTValSlist.h"

// Options are declared first, each with a name (matched against command-line words, ignoring
// case), an alternative name (tried first for parameter-file lines), the largest number of
// values it keeps and two mode flags; one positional option may collect the words that belong
// to no option. Nothing is an error: undeclared options and surplus words are dropped. Every
// option name and value met becomes a parse event, kept across parses, so that a caller can
// replay the exact sequence. An option's index is its place in declaration order.
class CSProgParam {
public:
    class CSParamItem {
    public:
        // A null name or altName leaves it empty.
        CSParamItem(const char* name, const char* altName, uint32_t maxValues, int32_t wholeValue,
                    int32_t stopAtOptions);
        // The positional option: no names, up to 999 values, stops at option names.
        CSParamItem();

        // Appended only while fewer than maxValues values are held; null is stored as "".
        void addValue(const char* value);
        void addValue(const RWCString& value);
        // Value i, or null past the end.
        const char* getValue(size_t i) const;
        // Items never match by value.
        bool operator==(const CSParamItem&) const { return false; }

        RWCString name;
        RWCString altName;
        uint32_t maxValues;
        // Parameter files: non-zero keeps the text after '=' whole, 0 splits it into words.
        int32_t wholeValue;
        RWTValOrderedVector<RWCString> values;
        int32_t found;
        // While values are awaited, each word is first tried as an option name, and a word
        // beginning with '-' that names none ends the wait.
        int32_t stopAtOptions;
        bool isDefault;
    };

    // One parse event: an option name met (isValue false, text empty) or a value given to it.
    class CSParamOrderValue {
    public:
        CSParamOrderValue() = default;
        CSParamOrderValue(int32_t item, bool isValue, const RWCString& text)
            : item(item), isValue(isValue), text(text)
        {
        }
        bool operator==(const CSParamOrderValue&) const { return false; }

        int32_t item = -1;
        bool isValue = false;
        RWCString text;
    };

    CSProgParam();
    ~CSProgParam();
    CSProgParam(const CSProgParam&) = delete;
    CSProgParam& operator=(const CSProgParam&) = delete;

    // Declaration; each returns the new option's index.
    int addParam(const char* name, const char* altName, uint32_t maxValues, int32_t wholeValue,
                 int32_t stopAtOptions);
    int addDefaultParam();

    // Parsing; each returns 1. parseTokens skips its first token (the program name's place).
    int parseCommandLine(const char* text);
    int parseArguments(int count, const char* const* arguments);
    int parseTokens(const RWTValSlist<RWCString>& tokens);
    // NAME=VALUE lines; -1 when the file is missing, not a regular file, cannot be opened or
    // fails while being read (the file is read whole first, so then nothing is parsed).
    int parseParamFile(const char* fileName);

    // Queries: a missing option or value gives null, 0 or -1.
    CSParamItem* getParam(int index) const;
    const char* getParamValue(int index, int valueIndex) const;
    int getParamInt(int index, int valueIndex) const;
    // 1 for "YES", 0 for "NO" (any case), else the value as an integer.
    int getParamBool(int index, int valueIndex) const;
    int getParamCount(int index) const;
    int isParamFound(int index) const;
    const char* getParamName(int index) const;
    const char* getParamAltName(int index) const;
    // The first option other than the positional one whose name (alternative name) equals the
    // text ignoring case; an empty text names no option.
    int findParam(const char* text) const;
    int findParamByAltName(const char* text) const;
    int findDefaultParam() const;

    // Parse events in input order; an index past the end raises RWBoundsErr.
    size_t orderCount() const { return order_.entries(); }
    int orderItem(size_t i) const { return order_[i].item; }
    bool orderIsValue(size_t i) const { return order_[i].isValue; }
    RWCString orderText(size_t i) const { return order_[i].text; }

private:
    void record(int item, bool isValue, const RWCString& text);
    int findByName(RWCString CSParamItem::*field, const char* text) const;

    RWTPtrOrderedVector<CSParamItem> items_;
    RWTValOrderedVector<CSParamOrderValue> order_;
};
