// XMLDocumentC's writer: headers, indented or compact elements and escaped text.
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "services/xml/XMLDocumentC.h"
#include "services/xml/XMLReferenceTable.h"

namespace {

// The bytes printed as numeric references: the quote, the angle brackets and 160 to 255. A
// constant, so that documents built on several threads never write to it.
constexpr std::array<bool, 256> referenceTable = [] {
    std::array<bool, 256> table{};
    table[34] = table[60] = table[62] = true;
    for (int code = 160; code < 256; ++code)
        table[size_t(code)] = true;
    return table;
}();

const char* entityFor(unsigned char c)
{
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '\'': return "&apos;";
    case '"': return "&quot;";
    default: return nullptr;
    }
}

RWCString textOf(const std::string& s)
{
    // The text ends at its first NUL byte.
    return RWCString(s.c_str());
}

}  // namespace

bool isReferenceMarked(unsigned char byte)
{
    return referenceTable[byte];
}

bool XMLDocumentC::writeFile(const RWCString& fileName)
{
    std::ofstream out(fileName.data(), std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        error = true;
        errorMessage = "Can't write file!";
        return false;
    }
    write(out, false);
    out.close();
    // A full disk or a failing device shows only now: report it rather than success.
    if (out.fail()) {
        error = true;
        errorMessage = "Can't write file!";
    }
    return !error;
}

bool XMLDocumentC::write(std::ostream& out, bool compact)
{
    out << "<?xml version=\"1.0\"";
    if (encoding.length() != 0)
        out << " encoding=\"" << encoding.data() << '"';
    out << "?>";
    if (doctype.length() != 0) {
        if (!compact)
            out << '\n';
        out << "<!DOCTYPE " << doctype.data() << '>';
    }
    if (!compact)
        out << '\n';
    const RWCString noIndent;
    for (XMLTagC* child = root.findFirstChild(RWCString()); child; child = root.findNextChild())
        writeTag(child, out, noIndent, compact);
    return true;
}

bool XMLDocumentC::writeString(RWCString& out, bool compact)
{
    std::ostringstream stream;
    bool result = write(stream, compact);
    out = textOf(stream.str());
    return result;
}

bool XMLDocumentC::writeTagString(RWCString& out, XMLTagC* tag, bool compact)
{
    std::ostringstream stream;
    stream << "<?xml version=\"1.0\"?>";
    if (!compact)
        stream << '\n';
    bool result = writeTag(tag, stream, RWCString(), compact);
    out = textOf(stream.str());
    return result;
}

bool XMLDocumentC::writeTag(XMLTagC* tag, std::ostream& out, const RWCString& indent, bool compact)
{
    const char* lineEnd = compact ? "" : "\n";
    const char* margin = compact ? "" : indent.data();
    const RWCString name = tag->getName();
    out << margin << '<' << name.data();
    for (XMLAttributeC* attribute = tag->firstAttribute(); attribute; attribute = tag->nextAttribute()) {
        const RWCString value = attribute->getValue();
        const char quote = std::strchr(value.data(), '"') ? '\'' : '"';
        out << ' ' << attribute->getName().data() << '=' << quote;
        encodeText(value, out, quote);
        out << quote;
    }
    if (tag->getChildCount() == 0) {
        const RWCString text = tag->getText();
        if (text.length() == 0) {
            out << "/>" << lineEnd;
        } else {
            out << '>';
            encodeText(text, out);
            out << "</" << name.data() << '>' << lineEnd;
        }
        return true;
    }
    out << '>' << lineEnd;
    const RWCString childIndent = compact ? RWCString() : indent + RWCString("  ");
    for (XMLTagC* child = tag->findFirstChild(RWCString()); child; child = tag->findNextChild())
        writeTag(child, out, childIndent, compact);
    out << margin << "</" << name.data() << '>' << lineEnd;
    return true;
}

void XMLDocumentC::encodeText(const RWCString& text, std::ostream& out)
{
    encodeText(text, out, 0);
}

void XMLDocumentC::encodeText(const RWCString& text, std::ostream& out, char quote)
{
    if (text.length() == 0)
        return;
    const char* bytes = text.data();
    if (entityFlags == 0) {
        if (quote != '\'') {
            out << bytes;
            return;
        }
    }
    for (const char* p = bytes; *p; ++p) {
        const unsigned char c = (unsigned char)*p;
        const char* entity = (entityFlags & 2) ? entityFor(c) : nullptr;
        if (entity) {
            out << entity;
        } else if ((entityFlags & 1) && isReferenceMarked(c)) {
            char number[8];
            std::snprintf(number, sizeof number, "&#%u;", unsigned(c));
            out << number;
        } else if (quote == '\'' && c == '\'') {
            // The value is enclosed in apostrophes: a bare one would end it early.
            out << "&#39;";
        } else {
            out << char(c);
        }
    }
}
