// The fixed table of the bytes that the XML writer prints as numeric references.
#pragma once

// Whether the byte is printed as a numeric reference (34, 60, 62 and 160 to 255).
bool isReferenceMarked(unsigned char byte);
