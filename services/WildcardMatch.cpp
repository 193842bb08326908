// The approximate wildcard match, counting edits.
#include "services/WildcardMatch.h"

#include <cctype>
#include <cstring>
#include <vector>

int fuzzyWildcardMatch(const char* text, const char* pattern, int maxErrors)
{
    const int noMatch = 1024;
    const size_t limit = 1023;
    if (!text)
        text = "";
    if (!pattern)
        pattern = "";
    size_t n = std::strlen(text), m = std::strlen(pattern);
    if (n > limit)
        n = limit;
    if (m > limit)
        m = limit;
    char t[limit + 1], p[limit + 1];
    for (size_t i = 0; i < n; ++i)
        t[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    for (size_t i = 0; i < m; ++i)
        p[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(pattern[i])));

    std::vector<int> row(n + 1), prev(n + 1);
    char first = m > 0 ? p[0] : '\0';
    if (first == '*') {
        for (size_t i = 0; i <= n; ++i)
            row[i] = 0;
    } else {
        row[0] = m > 0 ? 1 : 0;
        bool seen = false;
        for (size_t i = 1; i <= n; ++i) {
            if (m > 0 && (first == '?' || t[i - 1] == first))
                seen = true;
            row[i] = seen ? int(i) - 1 : int(i);
        }
    }
    int minimum = (row[0] != 0 && n > 0) ? row[1] : row[0];
    if (minimum > maxErrors)
        return noMatch;

    for (size_t j = 1; j < m; ++j) {
        char c = p[j];
        int sub = (c == '*' || c == '?') ? 0 : 1;
        int step = c == '*' ? 0 : 1;
        row.swap(prev);
        row[0] = prev[0] + step;
        minimum = row[0];
        for (size_t i = 1; i <= n; ++i) {
            int v = prev[i - 1] + (c == t[i - 1] ? 0 : sub);
            if (prev[i] + step < v)
                v = prev[i] + step;
            if (row[i - 1] + step < v)
                v = row[i - 1] + step;
            row[i] = v;
            if (v < minimum)
                minimum = v;
        }
        if (minimum > maxErrors)
            return noMatch;
    }
    return row[n] > maxErrors ? noMatch : row[n];
}
