// XMLTagVisitorI: the interface of a walk over an XML tag tree.
#pragma once

class XMLTagC;
class XMLAttributeC;

class XMLTagVisitorI {
public:
    // False skips the tag's attributes, children and leaveTag.
    virtual bool enterTag(XMLTagC* tag) = 0;
    virtual bool leaveTag(XMLTagC* tag) = 0;
    virtual void visitAttribute(XMLAttributeC* attribute) = 0;
    virtual ~XMLTagVisitorI() = default;
};
