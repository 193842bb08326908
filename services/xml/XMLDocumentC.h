// XMLDocumentC: an XML document in memory, with its reader and writer.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "foundation/RWCString.h"
#include "services/files/RegularFile.h"
#include "services/xml/XMLTagC.h"

class XMLContentHandlerI;

// Owns a root tag (no name) whose children are the document's top-level elements.
// Parse operations reset the document first and return true when no failure was
// recorded; a failure keeps its message and line in the document.
class XMLDocumentC {
public:
    // Deepest element nesting a parse accepts; deeper input fails rather than
    // exhausting the stack of whoever walks, writes or destroys the tree.
    static constexpr int maxNestingDepth = 1000;

    XMLDocumentC();
    XMLDocumentC(const XMLDocumentC&) = delete;
    XMLDocumentC& operator=(const XMLDocumentC&) = delete;
    ~XMLDocumentC();

    // Tree and settings.
    void reset();
    XMLTagC* getRootTag() { return &root; }
    bool hasError() const { return error; }
    RWCString getErrorMessage() const { return errorMessage; }
    int32_t getErrorLine() const { return errorLine; }
    RWCString getHeader() const { return header; }
    // The encoding that the header names when it is an XML declaration (encoding="..."); empty
    // when it names none.
    RWCString getDeclaredEncoding() const;
    void setRequireHeader(bool on) { requireHeader = on; }
    void setAutoCreate(bool on) { autoCreate = on; }
    bool getAutoCreate() const { return autoCreate; }
    void setDoctype(const RWCString& name, bool check);
    RWCString getDoctype() const { return doctype; }
    void setEncoding(const RWCString& name) { encoding = name; }
    void setEntityEncoding(bool on) { entityFlags = on ? 3 : 0; }
    bool enableEntities();
    void setEntityFlags(int flags) { entityFlags = flags; }
    int getEntityFlags() const { return entityFlags; }
    bool accept(XMLTagVisitorI& visitor);

    // Reading.
    bool parseString(const char* text);
    bool parseString(const RWCString& text);
    // A name that is no regular file, or a file above the size limit, is "Can't open file!".
    bool parseFile(const RWCString& fileName);
    void setMaxFileSize(uint64_t bytes) { maxFileSize = bytes; }
    uint64_t getMaxFileSize() const { return maxFileSize; }
    bool parse(std::istream& in);
    bool parse(std::istream& in, XMLContentHandlerI* handler);

    // Writing.
    bool writeFile(const RWCString& fileName);
    bool write(std::ostream& out, bool compact);
    bool writeString(RWCString& out, bool compact);
    bool writeTagString(RWCString& out, XMLTagC* tag, bool compact);
    bool writeTag(XMLTagC* tag, std::ostream& out, const RWCString& indent, bool compact);
    void encodeText(const RWCString& text, std::ostream& out);

private:
    bool runParse(std::istream& in, XMLContentHandlerI* handler, const char* begin = nullptr,
                  const char* end = nullptr);
    void recordError(const char* message);
    void recordError(const RWCString& message);
    bool refill();
    int readChar();
    bool appendUntil(std::string& token, char stop);
    int readToken(std::string& token);
    int readComment(std::string& token);
    void parseElement(XMLContentHandlerI* handler);
    static RWCString tagNameOf(const std::string& token);
    void parseStartTag(const std::string& token, const RWCString& tagName, XMLContentHandlerI* handler);
    static bool isValidName(const char* name, size_t length);
    void decodeEntities(std::string& text) const;
    static int lookupEntity(const char* name, size_t length);
    void encodeText(const RWCString& text, std::ostream& out, char quote);

    std::istream* input = nullptr;
    bool error = false;
    RWCString errorMessage;
    int32_t errorLine = 0;
    RWCString header;
    bool requireHeader = true;
    int32_t line = 1;
    bool autoCreate = false;
    RWCString doctype;
    bool checkDoctype = false;
    RWCString encoding;
    int32_t entityFlags = 3;
    XMLTagC root;
    uint64_t maxFileSize = kDefaultFileSizeCap;

    // The bytes of the parse under way: [cursor, limit) is what is left of the text of
    // parseString, or of the last chunk read from input's buffer (source).
    const char* cursor = nullptr;
    const char* limit = nullptr;
    std::streambuf* source = nullptr;
    std::string chunk;
};
