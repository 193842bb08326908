// The names an XML model descriptor gives, its archive (ZIPFILE) and the entry inside it
// (FILENAME): read in the encoding the descriptor declares, and placed beside it.
#pragma once

#include "foundation/RWCString.h"
#include "platform/Reason.h"

class XMLDocumentC;

// The name a tag's text gives, without the white space around it and as UTF-8 (the file names'
// encoding), its character references ("&#252;", "&amp;") made characters: the document is to
// be read with its own decoding of them off, which makes a numeric one a single byte. False, with the failure reason in `why`, when the name cannot be read in the
// encoding that the document declares.
bool DescriptorName(const XMLDocumentC& document, const RWCString& text, RWCString& name, platform::ReasonText& why);

// Where the archive that a descriptor names lies: an address, or a name from the root, as it
// stands (on a served descriptor, from the root of its server); any other name in the
// descriptor's folder (a served one's: up to the last "/" of its path, before any query).
RWCString DescriptorArchivePath(const RWCString& descriptor, const RWCString& archive);
