// XMLAttributeC: one attribute (name and value) of an XML tag.
#pragma once

#include "foundation/RWCString.h"

class XMLTagC;

// Made and owned by an XMLTagC. One shared invalid attribute stands in for a missing
// one; it ignores every write so that it stays empty for all callers.
class XMLAttributeC {
public:
    XMLAttributeC(const RWCString& name, const RWCString& value, XMLTagC* parent, bool valid);
    XMLAttributeC(const XMLAttributeC&) = delete;
    XMLAttributeC& operator=(const XMLAttributeC&) = delete;
    ~XMLAttributeC();

    // The shared attribute that lookups answer when nothing was found.
    static XMLAttributeC* getNullAttribute();

    RWCString getName() const { return name; }
    void setName(const RWCString& newName);
    RWCString getValue() const { return value; }
    void setValue(const RWCString& newValue);

    int getValueInt() const;        // atoi of the value
    double getValueDouble() const;  // stringToDouble of the value
    void setValueInt(int number);   // "%i"
    void setValueDouble(double number, int precision);  // "%.*f"

    bool isValid() const { return valid; }
    XMLTagC* getParent() const { return parent; }

    // Removes the attribute from its tag, which deletes it.
    void removeFromParent();

private:
    friend class XMLDomContentHandler;

    bool valid;
    RWCString name;
    RWCString value;
    XMLTagC* parent;
};
