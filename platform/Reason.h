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
#include "platform/Reasons.def"
#undef REASON
};

// A line of the table. `row` is README's piece for it, "" for a text that only joins others,
// null for one that never reaches the user.
struct ReasonEntry {
    const char* name;
    const char* format;
    const char* row;
};
std::span<const ReasonEntry> reasonTable();

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
    friend ReasonText formatReason(Reason reason, std::initializer_list<std::string> values);
    explicit ReasonText(std::string text) : text_(std::move(text)) {}
    std::string text_;
};

// The entry's format with %N replaced by values[N].
ReasonText formatReason(Reason reason, std::initializer_list<std::string> values);

// A value as it goes into a reason: text as it is, a number in digits.
template <class T>
std::string reasonValue(const T& value)
{
    if constexpr (std::is_arithmetic_v<T>)
        return std::to_string(value);
    else if constexpr (std::is_convertible_v<const T&, std::string_view>)
        return std::string(std::string_view(value));
    else
        return std::string(value.data(), value.length());  // RWCString, ReasonText
}

template <class... Values>
ReasonText reasonText(Reason reason, const Values&... values)
{
    return formatReason(reason, {reasonValue(values)...});
}

}  // namespace platform
