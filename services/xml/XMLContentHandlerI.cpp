// XMLDomContentHandler: the reader's handler that builds the XMLTagC tree.
#include "services/xml/XMLContentHandlerI.h"

#include "services/xml/XMLTagC.h"

XMLDomContentHandler::XMLDomContentHandler(XMLTagC* top)
{
    openTags.push_back(top);
}

XMLDomContentHandler::~XMLDomContentHandler() = default;

bool XMLDomContentHandler::startElement(const RWCString& name)
{
    openTags.push_back(openTags.back()->addChild(name));
    indexedTag = nullptr;
    return true;
}

bool XMLDomContentHandler::attribute(const RWCString& name, const RWCString& value)
{
    XMLTagC* tag = openTags.back();
    const unsigned plainLookups = 16;
    if (tag->getAttributeCount() < plainLookups || !tag->isValid()) {
        if (tag->addAttribute(name, value) == XMLAttributeC::getNullAttribute()) {
            errorMessage = "Duplicate attributes not allowed";
            return false;
        }
        return true;
    }
    if (tag != indexedTag) {
        indexedTag = tag;
        indexedNames.clear();
        for (unsigned i = 0; i < tag->getAttributeCount(); ++i) {
            const RWCString& existing = tag->getAttributeAt(i)->name;
            indexedNames.insert(std::string_view(existing.data(), existing.length()));
        }
    }
    if (indexedNames.count(std::string_view(name.data(), name.length())) != 0) {
        errorMessage = "Duplicate attributes not allowed";
        return false;
    }
    const RWCString& stored = tag->appendAttribute(name, value)->name;
    indexedNames.insert(std::string_view(stored.data(), stored.length()));
    return true;
}

bool XMLDomContentHandler::characters(const RWCString& text)
{
    openTags.back()->setText(text);
    return true;
}

bool XMLDomContentHandler::endElement(const RWCString&)
{
    // The tag the handler was made on stays, whatever a caller's handler order does.
    if (openTags.size() > 1)
        openTags.pop_back();
    return true;
}

RWCString XMLDomContentHandler::getErrorMessage()
{
    return errorMessage;
}
