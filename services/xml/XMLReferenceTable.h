// The process-wide table of the bytes that the XML writer prints as numeric references.
#pragma once

// Marks the fixed set of codes (34, 60, 62 and 160 to 255); every document does this
// when it is built.
void markReferenceTable();
// Whether the byte is marked.
bool isReferenceMarked(unsigned char byte);
