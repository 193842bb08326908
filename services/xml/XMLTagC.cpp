// XMLTagC: one element of an XML tree, with its text, attributes and children.
#include "services/xml/XMLTagC.h"

#include <vector>

#include "math/NumberText.h"
#include "services/xml/XMLDocumentC.h"

XMLTagC::XMLTagC(XMLDocumentC* document_, const RWCString& name_, XMLTagC* parent_, bool valid_)
    : valid(valid_),
      name(name_),
      attributes(0, true, 64),
      attributeCursor(-1),
      children(0, true, 64),
      childCursor(-1),
      document(document_),
      parent(parent_)
{
}

XMLTagC::~XMLTagC()
{
    clear();
}

XMLTagC* XMLTagC::getNullTag()
{
    static XMLTagC nullTag(nullptr, RWCString(), nullptr, false);
    return &nullTag;
}

void XMLTagC::setName(const RWCString& newName)
{
    if (valid)
        name = newName;
}

void XMLTagC::setText(const RWCString& newText)
{
    if (valid)
        text = newText;
}

int XMLTagC::getTextInt() const
{
    return stringToInt(text);
}

double XMLTagC::getTextDouble() const
{
    return stringToDouble(text);
}

void XMLTagC::setTextInt(int number)
{
    setText(formatString("%i", number));
}

void XMLTagC::setTextDouble(double number, int precision)
{
    setText(formatString("%.*f", precision, number));
}

XMLTagC* XMLTagC::addChild(const RWCString& childName)
{
    if (!valid)
        return this;
    XMLTagC* child = new XMLTagC(document, childName, this, true);
    children.append(child);
    return child;
}

XMLTagC* XMLTagC::insertChild(const RWCString& childName, XMLTagC* after)
{
    if (!valid)
        return this;
    size_t position = 0;
    if (after) {
        size_t found = children.index(after);
        position = found == RW_NPOS ? children.entries() : found + 1;
    }
    XMLTagC* child = new XMLTagC(document, childName, this, true);
    children.insertAt(position, child);
    return child;
}

XMLTagC* XMLTagC::findChild(const RWCString& childName) const
{
    const size_t n = children.entries();
    for (size_t i = 0; i < n; ++i) {
        XMLTagC* child = children(i);
        if (child->name == childName)
            return child;
    }
    return nullptr;
}

XMLTagC* XMLTagC::getChild(const RWCString& childName)
{
    if (XMLTagC* child = findChild(childName))
        return child;
    if (document && document->getAutoCreate())
        return addChild(childName);
    return getNullTag();
}

XMLTagC* XMLTagC::getChildAt(unsigned index) const
{
    if (index >= children.entries())
        return getNullTag();
    return children(index);
}

XMLTagC* XMLTagC::findFirstChild(const RWCString& filter)
{
    if (!valid)
        return nullptr;
    childCursor = 0;
    childFilter = filter;
    return findNextChild();
}

XMLTagC* XMLTagC::findNextChild()
{
    if (childCursor >= 0) {
        const size_t n = children.entries();
        const bool any = childFilter.length() == 0;
        for (size_t i = size_t(childCursor); i < n; ++i) {
            XMLTagC* child = children(i);
            if (any || child->name == childFilter) {
                childCursor = int32_t(i + 1);
                return child;
            }
        }
    }
    if (valid)
        childCursor = -1;
    return nullptr;
}

void XMLTagC::removeChild(XMLTagC* child)
{
    size_t position = children.index(child);
    if (position != RW_NPOS)
        removeChildAt(unsigned(position));
}

void XMLTagC::removeChildAt(unsigned index)
{
    if (index >= children.entries())
        return;
    delete children.removeAt(index);
}

void XMLTagC::removeChildren(RWCString childName)
{
    for (bool removed = true; removed;) {
        removed = false;
        for (size_t i = 0; i < children.entries();) {
            if (children(i)->name == childName) {
                delete children.removeAt(i);
                removed = true;
            } else {
                ++i;
            }
        }
    }
}

void XMLTagC::removeFromParent()
{
    if (parent)
        parent->removeChild(this);
}

void XMLTagC::deleteChildren()
{
    if (children.entries() == 0)
        return;
    // Deleting a deep subtree recursively could exhaust the stack; detach every
    // descendant's children first, so each delete below only frees one tag.
    std::vector<XMLTagC*> pending;
    pending.reserve(children.entries());
    for (size_t i = 0; i < children.entries(); ++i)
        pending.push_back(children(i));
    children.clear();
    while (!pending.empty()) {
        XMLTagC* tag = pending.back();
        pending.pop_back();
        for (size_t i = 0; i < tag->children.entries(); ++i)
            pending.push_back(tag->children(i));
        tag->children.clear();
        delete tag;
    }
}

XMLAttributeC* XMLTagC::addAttribute(const RWCString& attributeName, const RWCString& value)
{
    if (!valid || findAttribute(attributeName))
        return XMLAttributeC::getNullAttribute();
    return appendAttribute(attributeName, value);
}

XMLAttributeC* XMLTagC::appendAttribute(const RWCString& attributeName, const RWCString& value)
{
    XMLAttributeC* attribute = new XMLAttributeC(attributeName, value, this, true);
    attributes.append(attribute);
    return attribute;
}

XMLAttributeC* XMLTagC::findAttribute(const RWCString& attributeName) const
{
    const size_t n = attributes.entries();
    for (size_t i = 0; i < n; ++i) {
        XMLAttributeC* attribute = attributes(i);
        if (attribute->getName() == attributeName)
            return attribute;
    }
    return nullptr;
}

XMLAttributeC* XMLTagC::getAttribute(const RWCString& attributeName)
{
    if (XMLAttributeC* attribute = findAttribute(attributeName))
        return attribute;
    if (!document || !document->getAutoCreate())
        return XMLAttributeC::getNullAttribute();
    return addAttribute(attributeName, RWCString());
}

XMLAttributeC* XMLTagC::getAttributeAt(unsigned index) const
{
    if (index >= attributes.entries())
        return XMLAttributeC::getNullAttribute();
    return attributes(index);
}

XMLAttributeC* XMLTagC::firstAttribute()
{
    if (!valid)
        return nullptr;
    attributeCursor = 0;
    return nextAttribute();
}

XMLAttributeC* XMLTagC::nextAttribute()
{
    if (attributeCursor >= 0 && size_t(attributeCursor) < attributes.entries())
        return attributes(size_t(attributeCursor++));
    if (valid)
        attributeCursor = -1;
    return nullptr;
}

void XMLTagC::removeAttribute(XMLAttributeC* attribute)
{
    size_t position = attributes.index(attribute);
    if (position != RW_NPOS)
        removeAttributeAt(unsigned(position));
}

void XMLTagC::removeAttributeAt(unsigned index)
{
    if (index >= attributes.entries())
        return;
    delete attributes.removeAt(index);
}

void XMLTagC::removeAttributes(RWCString attributeName)
{
    for (bool removed = true; removed;) {
        removed = false;
        for (size_t i = 0; i < attributes.entries();) {
            if (attributes(i)->getName() == attributeName) {
                delete attributes.removeAt(i);
                removed = true;
            } else {
                ++i;
            }
        }
    }
}

void XMLTagC::deleteAttributes()
{
    const size_t n = attributes.entries();
    for (size_t i = 0; i < n; ++i)
        delete attributes(i);
    attributes.clear();
}

void XMLTagC::clear()
{
    deleteChildren();
    deleteAttributes();
}

void XMLTagC::copyTo(XMLTagC* target)
{
    if (!target)
        return;
    // Copying into this tag or one of its descendants would keep finding the children it
    // has just added; copy into a detached tag first and from there into the target.
    for (XMLTagC* up = target; up; up = up->parent) {
        if (up == this) {
            XMLTagC staging(document, name, nullptr, true);
            copyInto(&staging);
            staging.copyInto(target);
            return;
        }
    }
    copyInto(target);
}

void XMLTagC::copyInto(XMLTagC* target)
{
    target->setText(text);
    const size_t attributeCount = attributes.entries();
    for (size_t i = 0; i < attributeCount; ++i)
        target->addAttribute(attributes(i)->getName(), attributes(i)->getValue());
    const size_t childCount = children.entries();
    for (size_t i = 0; i < childCount; ++i) {
        XMLTagC* child = children(i);
        XMLTagC* copy = target->addChild(child->name);
        if (copy->valid)
            child->copyInto(copy);
    }
}

XMLTagC* XMLTagC::addChildFromString(const RWCString& xmlText)
{
    if (!valid)
        return this;
    XMLDocumentC scratch;
    scratch.parseString(xmlText);
    XMLTagC* source = scratch.getRootTag()->getChildAt(0);
    XMLTagC* child = addChild(source->name);
    source->copyTo(child);
    return child;
}

bool XMLTagC::toString(RWCString& out)
{
    if (!document)
        return false;
    return document->writeTagString(out, this, true);
}

bool XMLTagC::visit(XMLTagVisitorI& visitor)
{
    if (!visitor.enterTag(this))
        return false;
    const size_t attributeCount = attributes.entries();
    for (size_t i = 0; i < attributeCount && i < attributes.entries(); ++i)
        visitor.visitAttribute(attributes(i));
    for (size_t i = 0; i < children.entries(); ++i)
        children(i)->visit(visitor);
    return visitor.leaveTag(this);
}
