// XMLTagC: one element of an XML tree, with its text, attributes and children.
#pragma once

#include <cstdint>

#include "foundation/RWCString.h"
#include "foundation/RWTValOrderedVector.h"
#include "services/xml/XMLAttributeC.h"
#include "services/xml/XMLTagVisitorI.h"

class XMLDocumentC;

// A tag owns its children and attributes. Lookups by name compare exactly. A lookup that
// finds nothing answers the shared invalid null tag (or null attribute), whose own
// lookups answer it again and which ignores every write.
class XMLTagC {
public:
    XMLTagC(XMLDocumentC* document, const RWCString& name, XMLTagC* parent, bool valid);
    XMLTagC(const XMLTagC&) = delete;
    XMLTagC& operator=(const XMLTagC&) = delete;
    ~XMLTagC();

    // The shared tag that lookups answer when nothing was found.
    static XMLTagC* getNullTag();

    // Text and identity.
    RWCString getName() const { return name; }
    void setName(const RWCString& newName);
    RWCString getText() const { return text; }
    void setText(const RWCString& newText);
    int getTextInt() const;
    double getTextDouble() const;
    void setTextInt(int number);
    void setTextDouble(double number, int precision);
    XMLTagC* getParent() const { return parent; }
    XMLDocumentC* getDocument() const { return document; }
    bool isValid() const { return valid; }

    // Children.
    XMLTagC* addChild(const RWCString& childName);
    XMLTagC* insertChild(const RWCString& childName, XMLTagC* after);
    XMLTagC* findChild(const RWCString& childName) const;
    XMLTagC* getChild(const RWCString& childName);
    XMLTagC* getChildAt(unsigned index) const;
    unsigned getChildCount() const { return unsigned(children.entries()); }
    XMLTagC* findFirstChild(const RWCString& filter);
    XMLTagC* findNextChild();
    void removeChild(XMLTagC* child);
    void removeChildAt(unsigned index);
    void removeChildren(RWCString childName);
    void removeFromParent();
    void deleteChildren();

    // Attributes.
    XMLAttributeC* addAttribute(const RWCString& attributeName, const RWCString& value);
    XMLAttributeC* findAttribute(const RWCString& attributeName) const;
    XMLAttributeC* getAttribute(const RWCString& attributeName);
    XMLAttributeC* getAttributeAt(unsigned index) const;
    unsigned getAttributeCount() const { return unsigned(attributes.entries()); }
    XMLAttributeC* firstAttribute();
    XMLAttributeC* nextAttribute();
    void removeAttribute(XMLAttributeC* attribute);
    void removeAttributeAt(unsigned index);
    void removeAttributes(RWCString attributeName);
    void deleteAttributes();
    void clear();

    // Whole subtrees.
    void copyTo(XMLTagC* target);
    XMLTagC* addChildFromString(const RWCString& xmlText);
    bool toString(RWCString& out);
    bool visit(XMLTagVisitorI& visitor);

private:
    friend class XMLDomContentHandler;

    void copyInto(XMLTagC* target);
    // Appends without looking for a namesake (the caller has done that).
    XMLAttributeC* appendAttribute(const RWCString& attributeName, const RWCString& value);

    bool valid;
    RWCString name;
    RWCString text;
    RWTValOrderedVector<XMLAttributeC*> attributes;
    int32_t attributeCursor;
    RWTValOrderedVector<XMLTagC*> children;
    int32_t childCursor;
    RWCString childFilter;
    XMLDocumentC* document;
    XMLTagC* parent;
};
