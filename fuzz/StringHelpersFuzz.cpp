// Fuzz target: the services string helpers that take outside text: percent escapes,
// quoted splitting, date texts, word and field reading, replace-all and the wildcard match.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/RWCString.h"
#include "foundation/RWZone.h"
#include "fuzz/FuzzCheck.h"
#include "services/DateText.h"
#include "services/PercentEscapes.h"
#include "services/QuotedSplit.h"
#include "services/ReplaceAll.h"
#include "services/StringHelpers.h"
#include "services/WildcardMatch.h"

// Input: separator byte, quote byte, then the text. Texts are also used up to a NUL as the
// C strings some helpers take (the wildcard pattern is what follows that NUL).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const char sep = static_cast<char>(data[0]);
    const char quote = static_cast<char>(data[1]);
    const RWCString text(reinterpret_cast<const char*>(data + 2), size - 2);

    // Decoding what was encoded gives the text back, whatever escapes it held.
    const RWCString allowed("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.~/");
    const RWCString encoded = percentEncode(text, allowed);
    const RWCString back = percentDecode(encoded);
    FUZZ_CHECK(back == text, std::string(text.data(), text.length()), std::string(back.data(), back.length()));
    FUZZ_CHECK(percentDecode(text).length() <= text.length(), std::string(text.data(), text.length()));

    RWTValOrderedVector<RWCString> fields = splitString(text, sep, quote, (data[0] & 1) != 0);
    RWTValOrderedVector<RWCString> into;
    splitInto(into, text, sep, quote, false);
    RWCString few[3];
    FUZZ_CHECK(splitToArray(few, 3, text, sep, quote) <= 3);
    splitToInts(text, sep, quote);
    splitToDoubles(text, sep, quote);
    // Quoted joining is undone by splitting with the same separator and quote (both set and
    // different; NUL ends the splitter's text).
    const RWCString joined = joinQuoted(fields, sep, quote);
    if (sep && quote && sep != quote && text.first('\0') == RW_NPOS) {
        RWTValOrderedVector<RWCString> back = splitString(joined, sep, quote, false);
        bool same = back.entries() == fields.entries();
        for (size_t i = 0; same && i < back.entries(); ++i)
            same = back[i] == fields[i];
        FUZZ_CHECK(same, std::string(text.data(), text.length()), std::string(joined.data(), joined.length()));
    }

    parseDate(text);
    parseDateTime(text, RWZone::utc());
    hasTimePart(text);
    firstWord(text);
    isYes(text);

    size_t pos = 0;
    size_t pieces = 0;
    while (pos < text.length()) {
        const size_t before = pos;
        readUntil(text, &pos, sep);
        FUZZ_CHECK(pos >= before && pos <= text.length());
        ++pos;
        FUZZ_CHECK(++pieces <= text.length() + 1);
    }

    const RWCString from = fields.entries() ? fields[0] : RWCString();
    replaceAll(text, from, RWCString("<>"), RWCString::ignoreCase);

    const std::string all(text.data(), text.length());
    const char* textPart = all.c_str();
    const size_t nul = all.find('\0');
    const char* pattern = nul == std::string::npos ? "*" : textPart + nul + 1;
    const int errors = fuzzyWildcardMatch(textPart, pattern, data[0] % 8);
    FUZZ_CHECK(errors >= 0 && (errors <= data[0] % 8 || errors == 1024), all);
    return 0;
}
