// The names an XML model descriptor gives: read in its encoding, and placed beside it.
#include "viewer/loader/DescriptorNames.h"

#include "platform/HexDigit.h"
#include "platform/WebAddress.h"
#include "services/StringHelpers.h"
#include "services/files/UTFilePath.h"
#include "services/xml/XMLDocumentC.h"
#include "viewer/loader/WideText.h"

#include <string>

namespace {

// The code point a character reference between "&" and ";" stands for (252 of "#252" and of
// "#xFC", '&' of "amp"), or 0 when it stands for none: no such character, or a name that XML
// does not give.
uint32_t referenced(const std::string& ref)
{
    static const struct {
        const char* name;
        char c;
    } named[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& n : named)
        if (ref == n.name)
            return static_cast<unsigned char>(n.c);
    const bool hex = ref.size() > 2 && ref[1] == 'x';
    if (ref.size() < 2 || ref[0] != '#' || ref.size() > (hex ? 8u : 9u))
        return 0;
    uint32_t code = 0;
    for (size_t i = hex ? 2 : 1; i < ref.size(); ++i) {
        const int digit = hex ? platform::hexDigitValue(ref[i]) : ref[i] >= '0' && ref[i] <= '9' ? ref[i] - '0' : -1;
        if (digit < 0)
            return 0;
        code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code > 0x10FFFF || surrogate ? 0 : code;
}

// The name with its character references made the characters they stand for, in UTF-8. A
// reference that stands for none stays as it is written.
RWCString withReferencesDecoded(const RWCString& name)
{
    const std::string text(name.data(), name.length());
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t end = text[i] == '&' ? text.find(';', i) : std::string::npos;
        const uint32_t code = end == std::string::npos ? 0 : referenced(text.substr(i + 1, end - i - 1));
        if (code == 0) {
            out += text[i++];
            continue;
        }
        AppendUtf8(out, code);
        i = end + 1;
    }
    return RWCString(out.data(), out.size());
}

}  // namespace

bool DescriptorName(const XMLDocumentC& document, const RWCString& text, RWCString& name, platform::ReasonText& why)
{
    // A name written on a line of its own is indented: the white space around it is layout.
    name = stripChars(text, 3, " \t\r\n");
    bool plain = true;
    for (size_t i = 0; i < name.length(); ++i)
        plain = plain && static_cast<unsigned char>(name(i)) < 0x80;
    // XML without a declaration is UTF-8, as file names are; a name in ASCII reads the same in
    // every encoding that a descriptor the reader parses can be written in.
    const RWCString encoding = document.getDeclaredEncoding();
    RWCString lower = encoding;
    lower.toLower();
    if (plain || encoding.isNull() || lower == "utf-8" || lower == "utf8") {
        name = withReferencesDecoded(name);
        return true;
    }
    // The reader parses bytes whose ASCII is ASCII: a declared encoding in which it is not
    // (UTF-16, UTF-32, EBCDIC) is not the one the descriptor is written in, and would turn
    // its names into other characters.
    const RWCString probe("ORDER.zip");
    RWCString utf8;
    bool known = encodingToUtf8(probe, encoding, utf8) && utf8 == probe;
    if (known && encodingToUtf8(name, encoding, utf8, &known)) {
        // A reference is a code point whatever the encoding of the bytes around it.
        name = withReferencesDecoded(utf8);
        return true;
    }
    why = known ? platform::reasonText(platform::Reason::NotEncodingText, name, encoding)
                : platform::reasonText(platform::Reason::UnreadEncoding, encoding);
    return false;
}

RWCString DescriptorArchivePath(const RWCString& descriptor, const RWCString& archive)
{
    if (archive.contains("://"))
        return archive;
    // A served descriptor's server and folder are those of its path: its query may hold "/".
    const std::string text(descriptor.data(), descriptor.length());
    const bool served = !platform::address::schemeOf(text).empty();
    const size_t start = platform::address::pathStart(text), end = platform::address::pathEnd(text);
    const RWCString server(descriptor.data(), start);
    if (archive.length() > 0 && archive(0) == '/')
        return served ? server + archive : archive;
    const size_t slash = end == 0 ? std::string::npos : text.rfind('/', end - 1);
    if (served && (slash == std::string::npos || slash < start))
        return server + "/" + archive;
    return (slash == std::string::npos ? RWCString() : RWCString(descriptor.data(), slash + 1)) + archive;
}
