// Reason: the table of reason texts and their formatting.
#include "platform/Reason.h"

namespace platform {

std::span<const ReasonEntry> reasonTable() { return reason_table::kEntries; }

ReasonText& ReasonText::limit(size_t most)
{
    if (text_.size() > most)
        text_.resize(most);
    return *this;
}

ReasonText ReasonText::format(Reason reason, std::initializer_list<std::string> values)
{
    const std::string_view format = reason_table::kEntries[size_t(reason)].format;
    std::string text;
    for (size_t at = 0; at < format.size(); ++at) {
        const size_t n = at + 1 < format.size() ? size_t(format[at + 1] - '0') : values.size();
        if (format[at] == '%' && n < values.size()) {
            text += values.begin()[n];
            ++at;
        } else {
            text += format[at];
        }
    }
    return ReasonText(std::move(text));
}

}  // namespace platform
