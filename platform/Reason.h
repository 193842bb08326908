// Reason: the texts the program gives for what went wrong, from the one table in Reasons.def.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace platform {

enum class Reason {
#define REASON(name, format, row) name,
#define REASON_PASSING(name, format, row, outside) name,
#include "platform/Reasons.def"
#undef REASON_PASSING
#undef REASON
};

// A line of the table. `row` is README's piece for it, "" for a text that only joins others,
// null for one that never reaches the user. `outside` is the value that passes words from
// outside the table through (REASON_PASSING), -1 for none.
struct ReasonEntry {
    const char* name;
    const char* format;
    const char* row;
    int outside;
};
std::span<const ReasonEntry> reasonTable();

// Words this program did not write and cannot check: the system's (strerror, the loader's
// dlerror), libcurl's, the XML or ZIP reader's message, an exception's what(), a reason the
// control made on its side. Made only by name, so that a free sentence never passes for them;
// only the value an entry of Reasons.def marks as passing them through takes them.
class OutsideWords {
public:
    explicit OutsideWords(std::string_view words) : words_(words) {}
    template <class Text>
        requires requires(const Text& text) { std::string(text.data(), text.length()); }
    explicit OutsideWords(const Text& words) : words_(words.data(), words.length())  // RWCString
    {
    }
    const char* data() const { return words_.data(); }
    size_t length() const { return words_.length(); }

private:
    std::string words_;
};

template <class... Values>
class ReasonFor;

// A reason as the user reads it. Only reasonText() makes one, so a function that takes a
// ReasonText takes a line of the table and never free text; an empty one is no reason.
class ReasonText {
public:
    ReasonText() = default;
    const std::string& str() const { return text_; }
    const char* data() const { return text_.data(); }
    size_t length() const { return text_.length(); }
    size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    // Cut to at most `most` bytes: a value from outside (a library's words) may be long.
    ReasonText& limit(size_t most);
    friend bool operator==(const ReasonText& a, std::string_view b) { return a.text_ == b; }
    friend std::ostream& operator<<(std::ostream& out, const ReasonText& r) { return out << r.text_; }

private:
    template <class... Values>
    friend class ReasonFor;
    // The entry's format with %N replaced by values[N].
    static ReasonText format(Reason reason, std::initializer_list<std::string> values);
    explicit ReasonText(std::string text) : text_(std::move(text)) {}
    std::string text_;
};

// A value as it goes into a reason: text as it is, a number in digits.
template <class T>
std::string reasonValue(const T& value)
{
    if constexpr (std::is_arithmetic_v<T>)
        return std::to_string(value);
    else if constexpr (std::is_convertible_v<const T&, std::string_view>)
        return std::string(std::string_view(value));
    else
        return std::string(value.data(), value.length());  // RWCString, ReasonText, OutsideWords
}

namespace reason_table {

#define NOT_SHOWN nullptr
inline constexpr ReasonEntry kEntries[] = {
#define REASON(name, format, row) {#name, format, row, -1},
#define REASON_PASSING(name, format, row, outside) {#name, format, row, outside},
#include "platform/Reasons.def"
#undef REASON_PASSING
#undef REASON
};
#undef NOT_SHOWN

// How many values the format takes: the number of its %N.
consteval size_t valueCount(const char* format)
{
    size_t count = 0;
    for (const char* at = format; *at != '\0'; ++at)
        if (at[0] == '%' && at[1] >= '0' && at[1] <= '9')
            ++count;
    return count;
}

// Every format takes its values as %0, %1, ... each once, none left out (one digit, so at most
// ten), and an entry passes outside words through one of them.
consteval bool wellFormed(const ReasonEntry& entry)
{
    const size_t count = valueCount(entry.format);
    size_t seen[10] = {};
    for (const char* at = entry.format; *at != '\0'; ++at)
        if (at[0] == '%' && at[1] >= '0' && at[1] <= '9' && size_t(at[1] - '0') < count && count <= 10)
            ++seen[at[1] - '0'];
    for (size_t n = 0; n < count; ++n)
        if (n >= 10 || seen[n] != 1)
            return false;
    return entry.outside >= -1 && entry.outside < int(count);
}

consteval bool allWellFormed()
{
    for (const ReasonEntry& entry : kEntries)
        if (!wellFormed(entry))
            return false;
    return true;
}
static_assert(allWellFormed(), "a format of Reasons.def does not take its values as %0, %1, ... each once");

// Called only where a call of reasonText() does not fit its entry: not being constexpr, it stops
// the build there, and its name says why.
void theValuesDoNotMatchTheFormatsCount();
void onlyOutsideWordsOrAReasonPassThrough();
void outsideWordsGoOnlyWhereTheTablePassesThem();

template <class Value>
consteval void checkValue(bool passesOutsideWords)
{
    using T = std::remove_cvref_t<Value>;
    constexpr bool outside = std::is_same_v<T, OutsideWords>;
    if (passesOutsideWords && !outside && !std::is_same_v<T, ReasonText>)
        onlyOutsideWordsOrAReasonPassThrough();
    if (!passesOutsideWords && outside)
        outsideWordsGoOnlyWhereTheTablePassesThem();
}

}  // namespace reason_table

// A Reason checked, while the call compiles, against the values it is given: as many as its
// format takes, and outside words exactly where its entry passes them through (there, a reason
// made from this table does too). Made from a Reason named in the call, as reasonText() does.
template <class... Values>
class ReasonFor {
public:
    consteval ReasonFor(Reason reason) : reason_(reason)
    {
        const ReasonEntry& entry = reason_table::kEntries[size_t(reason)];
        if (reason_table::valueCount(entry.format) != sizeof...(Values))
            reason_table::theValuesDoNotMatchTheFormatsCount();
        [[maybe_unused]] int n = 0;
        (reason_table::checkValue<Values>(n++ == entry.outside), ...);
    }
    ReasonText text(const Values&... values) const { return ReasonText::format(reason_, {reasonValue(values)...}); }

private:
    Reason reason_;
};

// reasonText(Reason::X, values...): the entry's text with its values. The Reason is named in
// the call, so a count or a kind of value that does not fit the entry fails to build.
template <class... Values>
ReasonText reasonText(std::type_identity_t<ReasonFor<Values...>> reason, const Values&... values)
{
    return reason.text(values...);
}

}  // namespace platform
