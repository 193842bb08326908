// The names an XML model descriptor gives: read in its encoding, and placed beside it.
#include "viewer/loader/DescriptorNames.h"

#include "services/StringHelpers.h"
#include "services/files/UTFilePath.h"
#include "services/xml/XMLDocumentC.h"

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
    if (plain || encoding.isNull() || lower == "utf-8" || lower == "utf8")
        return true;
    // The reader parses bytes whose ASCII is ASCII: a declared encoding in which it is not
    // (UTF-16, UTF-32, EBCDIC) is not the one the descriptor is written in, and would turn
    // its names into other characters.
    const RWCString probe("ORDER.zip");
    RWCString utf8;
    bool known = encodingToUtf8(probe, encoding, utf8) && utf8 == probe;
    if (known && encodingToUtf8(name, encoding, utf8, &known)) {
        name = utf8;
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
    const size_t scheme = descriptor.index("://");
    if (archive.length() > 0 && archive(0) == '/') {
        if (scheme == RW_NPOS)
            return archive;
        const size_t path = descriptor.index("/", scheme + 3);
        return (path == RW_NPOS ? descriptor : RWCString(descriptor.data(), path)) + archive;
    }
    const size_t slash = descriptor.last('/', descriptor.length());
    return (slash == RW_NPOS ? RWCString() : RWCString(descriptor.data(), slash + 1)) + archive;
}
