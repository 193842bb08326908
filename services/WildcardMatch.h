// The approximate wildcard match: how many edits a text needs to match a pattern.
#pragma once

// Edits needed (at most maxErrors) for text to match pattern ('?' one character, '*' any run),
// ignoring case; 1024 when more are needed.
int fuzzyWildcardMatch(const char* text, const char* pattern, int maxErrors);
