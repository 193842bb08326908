// CTavoplexCtrl: the 25 object parameters: their exchange with the page, their list as a
// container reads it, SetParam by name, and ApplyProperties, which turns the colour texts into
// colours.
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/com/PropertyExchange.h"
#include "viewer/control/CTavoplexCtrl.h"

namespace {

using Kind = platform::com::PropertyInfo::Kind;

// One persistent property: its field, and for a colour text the colour it fills and the alpha
// set before the text is parsed (below 0: the alpha is left as it stands).
struct PropertyRow {
    const char* name;
    Kind kind;
    RWCString CTavoplexCtrl::*text;
    int32_t CTavoplexCtrl::*number;
    float CTavoplexCtrl::*real;
    feColor CTavoplexCtrl::*colour;
    float alpha;
};

constexpr PropertyRow text(const char* name, RWCString CTavoplexCtrl::*field)
{
    return PropertyRow{name, Kind::Text, field, nullptr, nullptr, nullptr, -1.0f};
}
constexpr PropertyRow colour(const char* name, RWCString CTavoplexCtrl::*field, feColor CTavoplexCtrl::*value,
                             float alpha = -1.0f)
{
    return PropertyRow{name, Kind::Text, field, nullptr, nullptr, value, alpha};
}
constexpr PropertyRow number(const char* name, int32_t CTavoplexCtrl::*field)
{
    return PropertyRow{name, Kind::Long, nullptr, field, nullptr, nullptr, -1.0f};
}
constexpr PropertyRow real(const char* name, float CTavoplexCtrl::*field)
{
    return PropertyRow{name, Kind::Float, nullptr, nullptr, field, nullptr, -1.0f};
}

// The exchange order, which is also the order in which ApplyProperties fills the colours.
const PropertyRow kExchangeOrder[] = {
    text("FileName", &CTavoplexCtrl::FileName),
    colour("ColorFadeIn", &CTavoplexCtrl::ColorFadeIn, &CTavoplexCtrl::ColorFadeInValue),
    colour("ColorTL", &CTavoplexCtrl::ColorTL, &CTavoplexCtrl::ColorTLValue),
    colour("ColorTR", &CTavoplexCtrl::ColorTR, &CTavoplexCtrl::ColorTRValue),
    colour("ColorBL", &CTavoplexCtrl::ColorBL, &CTavoplexCtrl::ColorBLValue),
    colour("ColorBR", &CTavoplexCtrl::ColorBR, &CTavoplexCtrl::ColorBRValue),
    colour("ColorGrid", &CTavoplexCtrl::ColorGrid, &CTavoplexCtrl::ColorGridValue),
    colour("ColorPanelOut", &CTavoplexCtrl::ColorPanelOut, &CTavoplexCtrl::ColorPanelOutValue, 0.85f),
    colour("ColorPanelIn", &CTavoplexCtrl::ColorPanelIn, &CTavoplexCtrl::ColorPanelInValue, 0.35f),
    colour("ColorPanelButtonsOut", &CTavoplexCtrl::ColorPanelButtonsOut, &CTavoplexCtrl::ColorPanelButtonsOutValue,
           0.85f),
    colour("ColorPanelButtonsIn1", &CTavoplexCtrl::ColorPanelButtonsIn1, &CTavoplexCtrl::ColorPanelButtonsIn1Value,
           0.35f),
    colour("ColorPanelButtonsIn2", &CTavoplexCtrl::ColorPanelButtonsIn2, &CTavoplexCtrl::ColorPanelButtonsIn2Value,
           0.35f),
    colour("ColorHelpPanel", &CTavoplexCtrl::ColorHelpPanel, &CTavoplexCtrl::ColorHelpPanelValue, 0.35f),
    colour("ColorLabel", &CTavoplexCtrl::ColorLabel, &CTavoplexCtrl::ColorLabelValue),
    colour("ColorLabelText", &CTavoplexCtrl::ColorLabelText, &CTavoplexCtrl::ColorLabelTextValue),
    number("Grid", &CTavoplexCtrl::Grid),
    number("Axes", &CTavoplexCtrl::Axes),
    number("Logo", &CTavoplexCtrl::Logo),
    number("Border", &CTavoplexCtrl::Border),
    number("BorderSize", &CTavoplexCtrl::BorderSize),
    real("BorderAlpha", &CTavoplexCtrl::BorderAlpha),
    number("Buttons", &CTavoplexCtrl::Buttons),
    number("ButtonSize", &CTavoplexCtrl::ButtonSize),
    text("BasePath", &CTavoplexCtrl::BasePath),
    number("Start", &CTavoplexCtrl::Start),
};

// atoi: leading blanks, a sign, digits up to the first other character; 0 without digits.
// Values beyond 32 bits stop at the nearest end instead of overflowing.
int32_t textToLong(const RWCString& text)
{
    const long long v = std::strtoll(text.data(), nullptr, 10);
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return int32_t(v);
}

// atof, stored as a float.
float textToFloat(const RWCString& text) { return float(std::strtod(text.data(), nullptr)); }

}  // namespace

void CTavoplexCtrl::DoPropExchange(platform::com::PropertyExchange& exchange)
{
    exchange.exchangeVersion(0x00010000u);
    for (const PropertyRow& row : kExchangeOrder) {
        switch (row.kind) {
        case Kind::Text: {
            RWCString& field = this->*row.text;
            std::string value(field.data(), field.length());
            exchange.exchange(row.name, value);
            field = RWCString(value.data(), value.size());
            break;
        }
        case Kind::Long:
            exchange.exchange(row.name, this->*row.number);
            break;
        case Kind::Float:
            exchange.exchange(row.name, this->*row.real);
            break;
        }
    }
    if (Start == 1)
        ApplyProperties();
}

std::vector<platform::com::PropertyInfo> CTavoplexCtrl::PropertyTable()
{
    std::vector<platform::com::PropertyInfo> table;
    for (const PropertyRow& row : kExchangeOrder)
        table.push_back(platform::com::PropertyInfo{row.name, row.kind, row.colour != nullptr});
    return table;
}

void CTavoplexCtrl::OnResetState()
{
    platform::com::PropertyBag none;
    platform::com::PropertyExchange reset(platform::com::PropertyExchange::Mode::Reset, none);
    DoPropExchange(reset);
}

void CTavoplexCtrl::ApplyProperties()
{
    for (const PropertyRow& row : kExchangeOrder) {
        if (row.colour == nullptr)
            continue;
        feColor& colour = this->*row.colour;
        if (row.alpha >= 0.0f)
            colour.setAlpha(row.alpha);
        // A text the parser rejects leaves the colour as it was.
        colour.setFromString(this->*row.text);
    }
    BaseUrl = BasePath;
    if (BaseUrl.length() >= 7 && RWCString(BaseUrl.data(), 7) == "file://")
        BaseUrl = RWCString(BaseUrl.data() + 7, BaseUrl.length() - 7);
    RedrawViewNow();
}

void CTavoplexCtrl::SetParam(const RWCString& key, const RWCString& val)
{
    // The names are distinct, so the exchange's order serves as well as any.
    for (const PropertyRow& row : kExchangeOrder) {
        if (key != row.name)
            continue;
        switch (row.kind) {
        case Kind::Text:
            this->*row.text = val;
            break;
        case Kind::Long:
            this->*row.number = textToLong(val);
            break;
        case Kind::Float:
            this->*row.real = textToFloat(val);
            break;
        }
        if (row.number == &CTavoplexCtrl::Start)
            ApplyProperties();
        return;
    }
}
