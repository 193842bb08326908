// XMLAttributeC: one attribute (name and value) of an XML tag.
#include "services/xml/XMLAttributeC.h"

#include "math/NumberText.h"
#include "services/xml/XMLTagC.h"

XMLAttributeC::XMLAttributeC(const RWCString& name_, const RWCString& value_, XMLTagC* parent_, bool valid_)
    : valid(valid_), name(name_), value(value_), parent(parent_)
{
}

XMLAttributeC::~XMLAttributeC() = default;

XMLAttributeC* XMLAttributeC::getNullAttribute()
{
    static XMLAttributeC nullAttribute(RWCString(), RWCString(), nullptr, false);
    return &nullAttribute;
}

void XMLAttributeC::setName(const RWCString& newName)
{
    if (valid)
        name = newName;
}

void XMLAttributeC::setValue(const RWCString& newValue)
{
    if (valid)
        value = newValue;
}

int XMLAttributeC::getValueInt() const
{
    return stringToInt(value);
}

double XMLAttributeC::getValueDouble() const
{
    return stringToDouble(value);
}

void XMLAttributeC::setValueInt(int number)
{
    setValue(formatString("%i", number));
}

void XMLAttributeC::setValueDouble(double number, int precision)
{
    setValue(formatString("%.*f", precision, number));
}

void XMLAttributeC::removeFromParent()
{
    if (parent)
        parent->removeAttribute(this);
}
