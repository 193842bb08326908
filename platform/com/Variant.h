// Variant: one value handed through a dispatch call: nothing, a long, a double or a text.
#pragma once

#include <cstdint>
#include <string>

namespace platform::com {

struct Variant {
    enum class Type { Empty, Long, Double, Text };
    Type type = Type::Empty;
    int32_t longValue = 0;
    double doubleValue = 0.0;
    std::string text;

    Variant() = default;
    static Variant fromLong(int32_t v)
    {
        Variant r;
        r.type = Type::Long;
        r.longValue = v;
        return r;
    }
    static Variant fromDouble(double v)
    {
        Variant r;
        r.type = Type::Double;
        r.doubleValue = v;
        return r;
    }
    static Variant fromText(std::string v)
    {
        Variant r;
        r.type = Type::Text;
        r.text = std::move(v);
        return r;
    }

    // Conversions as a dispatch call makes them; false when the value does not convert (a
    // text that is not wholly a number, an empty value).
    bool toLong(int32_t& out) const;
    bool toDouble(double& out) const;
    bool toText(std::string& out) const;
};

}  // namespace platform::com
