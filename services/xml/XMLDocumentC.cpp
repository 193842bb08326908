// XMLDocumentC: the document object, its settings and the tree operations.
#include "services/xml/XMLDocumentC.h"


XMLDocumentC::XMLDocumentC() : root(this, RWCString(), nullptr, true) {}

XMLDocumentC::~XMLDocumentC() = default;

void XMLDocumentC::reset()
{
    error = false;
    errorLine = 0;
    errorMessage = RWCString();
    header = RWCString();
    root.clear();
}

void XMLDocumentC::setDoctype(const RWCString& name, bool check)
{
    doctype = name;
    checkDoctype = check;
}

bool XMLDocumentC::enableEntities()
{
    entityFlags = 3;
    return true;
}

bool XMLDocumentC::accept(XMLTagVisitorI& visitor)
{
    return root.visit(visitor);
}
