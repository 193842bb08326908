// XMLContentHandlerI, the reader's handler interface, and XMLDomContentHandler, which builds the tree.
#pragma once

#include <string_view>
#include <unordered_set>
#include <vector>

#include "foundation/RWCString.h"

class XMLTagC;

// The reader reports what it reads through these calls; a false result makes it record
// a failure with getErrorMessage's text.
class XMLContentHandlerI {
public:
    virtual bool startElement(const RWCString& name) = 0;
    virtual bool attribute(const RWCString& name, const RWCString& value) = 0;
    virtual bool characters(const RWCString& text) = 0;
    virtual bool endElement(const RWCString& name) = 0;
    virtual RWCString getErrorMessage() = 0;
    virtual ~XMLContentHandlerI() = default;
};

// Builds XMLTagC children under the tag it was made on (a document's root tag).
class XMLDomContentHandler : public XMLContentHandlerI {
public:
    explicit XMLDomContentHandler(XMLTagC* top);
    ~XMLDomContentHandler() override;

    bool startElement(const RWCString& name) override;
    bool attribute(const RWCString& name, const RWCString& value) override;
    bool characters(const RWCString& text) override;
    bool endElement(const RWCString& name) override;
    RWCString getErrorMessage() override;

private:
    RWCString errorMessage;
    std::vector<XMLTagC*> openTags;
    // The names of indexedTag's attributes, kept once a tag has many of them so that the
    // duplicate check of a hostile tag with thousands of attributes stays linear overall.
    XMLTagC* indexedTag = nullptr;
    std::unordered_set<std::string_view> indexedNames;
};
