// Expansion of "$(NAME)" references and folder tokens in texts, and character-set trimming.
#pragma once

#include <cstddef>

#include "foundation/RWCString.h"

// A replaceable expansion function: sets *status to 1 on success.
typedef RWCString (*ExpansionFunction)(RWCString text, int* status, bool useRegistry);

// Installs fn and returns the function installed before (initially expandVariables).
ExpansionFunction setExpansionFunction(ExpansionFunction fn);
RWCString callExpansionFunction(RWCString text, int* status, bool useRegistry);

// The installed function without registry lookup; status must point to an int.
RWCString expandText(RWCString text, int* status);
// The installed function with registry lookup; the text unchanged when it reports failure.
RWCString expandString(RWCString text);

// The library's expansion function: references, then "%SystemRoot%", "%SystemTemp%",
// "%UserAppData%" and "%TEMP%" (the temporary folder as well). Unknown references stay as
// written; values are expanded again up to maxExpansionDepth levels. A reference met at that
// depth, inside its own value (a cycle), or after maxExpandedValues values have been
// expanded in one call stays as written, as an unknown one does.
RWCString expandVariables(RWCString text, int* status, bool useRegistry);
constexpr int maxExpansionDepth = 32;
constexpr size_t maxExpandedValues = 4096;
