// PropertyExchange and Variant: text conversions of object parameters and dispatch arguments.
#include "platform/com/PropertyExchange.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/com/Variant.h"

namespace platform::com {

namespace {

// The whole text (blanks around allowed) as a number in the "C" form.
bool parseLong(const std::string& text, int32_t& out)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, 10);
    if (end == begin || errno != 0 || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    out = int32_t(v);
    return true;
}

bool parseDouble(const std::string& text, double& out)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    out = v;
    return true;
}

std::string formatDouble(double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.9g", v);
    return buffer;
}

}  // namespace

bool Variant::toLong(int32_t& out) const
{
    switch (type) {
    case Type::Long:
        out = longValue;
        return true;
    case Type::Double:
        if (!std::isfinite(doubleValue) || doubleValue < double(std::numeric_limits<int32_t>::min()) ||
            doubleValue > double(std::numeric_limits<int32_t>::max()))
            return false;
        out = int32_t(std::lround(doubleValue));
        return true;
    case Type::Text:
        return parseLong(text, out);
    default:
        return false;
    }
}

bool Variant::toDouble(double& out) const
{
    switch (type) {
    case Type::Long:
        out = longValue;
        return true;
    case Type::Double:
        out = doubleValue;
        return true;
    case Type::Text:
        return parseDouble(text, out);
    default:
        return false;
    }
}

bool Variant::toText(std::string& out) const
{
    switch (type) {
    case Type::Long:
        out = std::to_string(longValue);
        return true;
    case Type::Double:
        out = formatDouble(doubleValue);
        return true;
    case Type::Text:
        out = text;
        return true;
    default:
        return false;
    }
}

const std::string* PropertyExchange::find(const char* name) const
{
    const auto it = bag_.find(name);
    return it == bag_.end() ? nullptr : &it->second;
}

void PropertyExchange::exchange(const char* name, std::string& value)
{
    if (mode_ == Mode::Save) {
        bag_[name] = value;
    } else if (mode_ == Mode::Load) {
        if (const std::string* text = find(name))
            value = *text;
    }
}

void PropertyExchange::exchange(const char* name, int32_t& value)
{
    if (mode_ == Mode::Save) {
        bag_[name] = std::to_string(value);
    } else if (mode_ == Mode::Load) {
        int32_t v = 0;
        if (const std::string* text = find(name); text != nullptr && parseLong(*text, v))
            value = v;
    }
}

void PropertyExchange::exchange(const char* name, float& value)
{
    if (mode_ == Mode::Save) {
        bag_[name] = formatDouble(value);
    } else if (mode_ == Mode::Load) {
        double v = 0.0;
        if (const std::string* text = find(name); text != nullptr && parseDouble(*text, v))
            value = float(v);
    }
}

}  // namespace platform::com
