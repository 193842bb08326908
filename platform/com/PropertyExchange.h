// PropertyExchange: the object parameters of a page (a property bag of name/text pairs) and
// the exchange that loads a control's persistent properties from it, saves them into it or
// resets them.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace platform::com {

// A persistent property as a control describes it to its container: the name a page gives it,
// how the exchange converts its text, and whether a text is read as a colour. A container that
// checks a page's parameters before handing them over learns them from here.
struct PropertyInfo {
    enum class Kind { Text, Long, Float };
    std::string name;
    Kind kind = Kind::Text;
    bool colour = false;  // a text property that the control parses as a colour
};

// Names compare exactly. A page gives every value as text; the exchange converts it.
using PropertyBag = std::map<std::string, std::string>;

class PropertyExchange {
public:
    enum class Mode { Load, Save, Reset };
    PropertyExchange(Mode mode, PropertyBag& bag) : mode_(mode), bag_(bag) {}

    Mode mode() const { return mode_; }
    bool isLoading() const { return mode_ == Mode::Load; }
    // The version of the saved properties (major in the high word); a load accepts any.
    void exchangeVersion(uint32_t version) { version_ = version; }
    uint32_t version() const { return version_; }

    // Load: a property missing from the bag, or whose text does not convert, keeps its value.
    // Save: the value is written as text. Reset: no default is given, so the value stays.
    void exchange(const char* name, std::string& value);
    void exchange(const char* name, int32_t& value);
    void exchange(const char* name, float& value);

private:
    const std::string* find(const char* name) const;

    Mode mode_;
    PropertyBag& bag_;
    uint32_t version_ = 0x00010000u;
};

}  // namespace platform::com
