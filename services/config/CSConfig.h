// CSConfig: the configuration store: named blocks of key=value items, read from and written
// to .cfg text files, with lookups, cursors, lists, merging and change notification.
#pragma once

#include <cstdarg>
#include <iosfwd>
#include <string>
#include <unordered_map>

#include "foundation/RWCString.h"
#include "foundation/RWTPtrOrderedVector.h"
#include "foundation/RWTValOrderedVector.h"
#include "foundation/RWTime.h"
#include "services/config/CSConfigBlock.h"
#include "services/config/CSConfigFlags.h"
#include "services/config/CSConfigId.h"
#include "services/config/CSConfigItem.h"
#include "services/config/CSConfigVal.h"
#include "services/objects/NotifyingObject.h"
#include "services/objects/refHandle.h"

// The name of the implicit block that holds the items standing before any block header.
inline constexpr const char* CFG_DEFAULT_BLOCK = "<default>";

// Results of reading and saving: 1 success, 0 no file read, -1 empty file name, -2 stream
// failure. Lookups by (key, block name) trim both names and compare them exactly or ignoring
// case as the configuration was built. Reading a setting creates it with its default, so the
// next save writes it.
class CSConfig : public NotifyingObject {
public:
    using StringVector = RWTValOrderedVector<RWCString>;

    explicit CSConfig(bool ignoreCase);
    CSConfig(const char* fileName, bool ignoreCase);
    CSConfig(const RWCString& fileName, bool ignoreCase);
    CSConfig(std::istream* in, std::ostream* out, bool ignoreCase);
    ~CSConfig() override;
    CSConfig(const CSConfig&) = delete;
    // Copies the settings, blocks and active items of another configuration.
    CSConfig& operator=(const CSConfig& other);

    // ---- overridable operations (in table order) ----
    virtual int setDefault(int id, const RWCString& key, const RWCString& block, const char* text);
    virtual CSConfigItem* addItem(const RWCString& key, const RWCString& block, const RWCString& text);
    virtual bool removeItem(const RWCString& key, const RWCString& block);
    virtual CSConfigBlock* getOrCreateBlock(const RWCString& name);
    virtual bool removeBlock(const RWCString& name);
    virtual int save();
    virtual bool beginItemIteration(const RWCString& block);
    virtual void removeBlockNotify(const RWCString& name);
    virtual CSConfigBlock* newBlock(const RWCString& name);
    virtual bool mergeConfig(const CSConfig& other);
    virtual int readStream(std::istream& in, bool merge);
    virtual int loadFile(const RWCString& name, bool merge);
    virtual void parseLine(const RWCString& line, int& kind, RWCString& nameOrKey, RWCString& value, int& flags);
    virtual void writeItem(CSConfigItem* item, std::ostream& os);

    // ---- settings ----
    void setIgnoreCase(bool b)
    {
        ignoreKeyCase = b;
        setIgnoreBlockCase(b);
    }
    void setIgnoreKeyCase(bool b) { ignoreKeyCase = b; }
    void setIgnoreBlockCase(bool b);
    void setMultiValue(bool b) { multiValue = b; }
    void setFileName(const RWCString& name) { fileName = name; }
    bool ignoresKeyCase() const { return ignoreKeyCase; }
    bool ignoresBlockCase() const { return ignoreBlockCase; }
    bool isMultiValue() const { return multiValue; }
    RWCString getFileName() const { return fileName; }
    RWTime& fileTimeRef() { return fileTime; }
    RWCString getTrailingComment() const { return trailingComment; }
    void setTrailingComment(const RWCString& c) { trailingComment = c; }

    // ---- names ----
    static RWCString trim(const RWCString& s);  // blanks and tabs at both ends
    int compareKeys(const RWCString& a, const RWCString& b) const;
    int compareBlockNames(const RWCString& a, const RWCString& b) const;
    static bool isDefaultBlockName(const RWCString& name);  // "<default>" in any case

    // ---- lookup ----
    CSConfigBlock* findBlock(const RWCString& name) const;
    bool hasBlock(const RWCString& name) const { return findBlock(name) != nullptr; }
    bool hasBlock(const char* name) const { return hasBlock(RWCString(name)); }
    CSConfigItem* findItem(const RWCString& key, const RWCString& block) const;
    bool hasItem(const RWCString& key, const RWCString& block) const { return findItem(key, block) != nullptr; }

    // ---- getting and setting ----
    CSConfigVal* getValue(const RWCString& key, const RWCString& block, const char* defaultText);
    CSConfigVal* getValue(const char* key, const char* block, const char* defaultText = nullptr);
    // Table rows of (key, block, default text) ended by a row whose key is null; row i gets id i.
    int setDefaults(const char* const table[][3], int unused = 0);
    CSConfigItem* findItemById(int id) const;
    CSConfigItem* getItemById(int id);
    CSConfigVal* getValueById(int id);  // null for an id that is not registered
    CSConfigVal* getValueById(unsigned id) { return getValueById(int(id)); }
    int reread();

    // ---- reading ----
    int open(const RWCString& name);
    int attachStream(std::istream* in);
    bool isBlockHeader(const RWCString& line) const;
    bool isComment(const RWCString& line) const;
    RWCString blockNameOf(const RWCString& line) const;
    RWCString keyOf(const RWCString& line) const;
    RWCString valueOf(const RWCString& line) const;
    static RWCString stripLineEnd(const RWCString& s);
    int reload();
    bool fileChanged();
    int reloadIfChanged();
    void rememberFileTime(const RWCString& name);

    // ---- writing ----
    int saveFile(const RWCString& name);
    int writeFile(const RWCString& name);
    int writeToStream(std::ostream& os) { return writeStream(os); }
    int writeStream(std::ostream& os);
    RWCString blockCommentText(CSConfigBlock* block) const;
    RWCString itemCommentText(CSConfigItem* item) const;
    static void splitCommentLines(const RWCString& comment, StringVector& lines);
    static RWCString appendMarkerLine(StringVector& lines, const char* marker);
    static RWCString insertMarker(StringVector& lines, const char* marker);
    CSConfig& attachOutStream(std::ostream* os)
    {
        outStream = os;
        return *this;
    }
    int saveNow();
    CSConfig& setSaveOnDestroy(bool b)
    {
        saveOnDestroy = b;
        return *this;
    }
    bool isModified() const;
    int reloadAndSave();
    int revert();

    // ---- structural changes and notification ----
    void removeCursorItemNotify(const RWCString& key);
    void removeItemNotify(const RWCString& block, const RWCString& key);
    void notifyChanged();
    void clear();
    CSConfigBlock* getOrCreateBlockAfter(const RWCString& name, const RWCString& afterName);
    void moveBlockAfter(const RWCString& name, const RWCString& afterName);
    int indexOfBlock(const CSConfigBlock* block) const;
    bool renameBlock(const RWCString& oldName, const RWCString& newName);

    // ---- cursor over blocks and items ----
    bool firstBlock(RWCString& name);
    bool nextBlock(RWCString& name);
    bool firstItem(RWCString& key);
    bool nextItem(RWCString& key);
    bool hasCursorItem(const RWCString& key) const;

    // ---- the current item's text as a comma-separated list ----
    bool selectItem(const RWCString& key, bool renew);
    void advanceElement();
    void readElement(RWCString& text);
    bool readDouble(double& v);
    bool readInt(int& v);
    int elementCount() const;
    void appendText(const RWCString& text);
    void appendFormatted(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void appendDouble(double v);
    void appendInt(int v);
    void writeBack();
    void getCursorText(const RWCString& key, RWCString& text);
    void getCursorElement(const RWCString& key, RWCString& text);
    void setCursorText(const RWCString& key, const RWCString& text);
    void setCursorFormatted(const RWCString& key, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void setCursorDouble(const RWCString& key, double v);
    void setCursorInt(const RWCString& key, int v);
    void setCursorBool(const RWCString& key, bool v);
    void setCursorBool(const RWCString& key, int v) { setCursorBool(key, v != 0); }
    bool getCursorDouble(const RWCString& key, double& v);
    bool getCursorInt(const RWCString& key, int& v);
    bool getCursorBool(const RWCString& key, bool& v);
    bool getCursorBool(const RWCString& key, int& v);
    void getCursorTextIfPresent(const RWCString& key, RWCString& text);
    void getCursorElementIfPresent(const RWCString& key, RWCString& text);
    bool getCursorDoubleIfPresent(const RWCString& key, double& v);
    bool getCursorIntIfPresent(const RWCString& key, int& v);
    bool getCursorBoolIfPresent(const RWCString& key, bool& v);
    bool getCursorBoolIfPresent(const RWCString& key, int& v);

    // ---- lists and queries ----
    void getList(const RWCString& prefix, const RWCString& block, int n, StringVector& out);
    void setList(const RWCString& prefix, const RWCString& block, int n, const StringVector& values);
    void getIndexedValues(const RWCString& prefix, const RWCString& block, StringVector* out, unsigned max);
    void setIndexedValues(const RWCString& prefix, const RWCString& block, const StringVector& values, int count);
    void pushRecent(const RWCString& prefix, const RWCString& block, const RWCString& value, int n);
    StringVector getValuesById(int from, int to);
    int setValuesById(int firstId, const StringVector& values);
    StringVector getBlockNames() const;
    void getBlockNamesWithPrefix(const RWCString& prefix, StringVector* out) const;
    StringVector getKeys(const RWCString& block) const;
    void getKeysWithPrefix(const RWCString& block, const RWCString& prefix, StringVector* out) const;
    unsigned blockCount() const { return unsigned(blocks.entries()); }
    CSConfigBlock* blockAt(unsigned i) const { return blocks[i]; }

    // ---- the process-wide list of shared configurations, one per file ----
    static refHandle<CSConfig> getLinkedConfig(const RWCString& name);
    static void saveLinkedConfigs(bool onlyModified);

private:
    void initCommon(bool ignoreCase);
    int registeredIndex(int id) const;
    void setCursorFormattedV(const RWCString& key, const char* format, va_list args);
    void restoreModified(const RWTPtrOrderedVector<CSConfigVal>& marked);
    void collectModified(RWTPtrOrderedVector<CSConfigVal>& marked) const;
    void insertBlockAt(CSConfigBlock* block, size_t pos);
    // The block index: the trimmed name (folded when block names ignore case) of every block;
    // two names compare equal exactly when their keys are equal.
    std::string blockKey(const RWCString& name) const;
    void indexBlock(CSConfigBlock* block);
    void unindexBlock(CSConfigBlock* block);
    void rebuildBlockIndex();

    RWCString fileName;
    // The native name of a file that exists but was not read whole (it could not be opened,
    // or reading it failed part way). Saving over it would drop the settings not read, so
    // that is refused until the file is read whole again.
    RWCString unreadFile;
    std::istream* inStream = nullptr;
    std::ostream* outStream = nullptr;
    bool ignoreKeyCase = false;
    bool ignoreBlockCase = false;
    bool saveOnDestroy = false;
    bool multiValue = false;
    RWTime fileTime{0UL};  // invalid until a load or save looked at the file
    RWCString trailingComment;
    RWTPtrOrderedVector<CSConfigBlock> blocks;
    // Finds a block by name in constant time however many there are; the first block indexed
    // under a name keeps it.
    std::unordered_map<std::string, CSConfigBlock*> blockIndex;
    RWTValOrderedVector<CSConfigId> ids;
    CSConfigBlock* lastBlock = nullptr;
    RWCString cursorBlock;
    RWCString cursorKey;
    int cursorItemIndex = 0;
    int cursorBlockIndex = 0;
    RWCString listText;
    RWCString listElement;
    int listPos = 0;
};
