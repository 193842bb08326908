// CTavoplexCtrl: the 25 object parameters: their exchange with the page, SetParam by name,
// and ApplyProperties, which turns the colour texts into colours.
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/com/PropertyExchange.h"
#include "viewer/control/CTavoplexCtrl.h"

namespace {

enum class Kind { Text, Long, Float };

struct PropertyRow {
    const char* name;
    Kind kind;
    RWCString CTavoplexCtrl::*text;
    int32_t CTavoplexCtrl::*number;
    float CTavoplexCtrl::*real;
};

constexpr PropertyRow text(const char* name, RWCString CTavoplexCtrl::*field)
{
    return PropertyRow{name, Kind::Text, field, nullptr, nullptr};
}
constexpr PropertyRow number(const char* name, int32_t CTavoplexCtrl::*field)
{
    return PropertyRow{name, Kind::Long, nullptr, field, nullptr};
}
constexpr PropertyRow real(const char* name, float CTavoplexCtrl::*field)
{
    return PropertyRow{name, Kind::Float, nullptr, nullptr, field};
}

// The exchange order.
const PropertyRow kExchangeOrder[] = {
    text("FileName", &CTavoplexCtrl::FileName),
    text("ColorFadeIn", &CTavoplexCtrl::ColorFadeIn),
    text("ColorTL", &CTavoplexCtrl::ColorTL),
    text("ColorTR", &CTavoplexCtrl::ColorTR),
    text("ColorBL", &CTavoplexCtrl::ColorBL),
    text("ColorBR", &CTavoplexCtrl::ColorBR),
    text("ColorGrid", &CTavoplexCtrl::ColorGrid),
    text("ColorPanelOut", &CTavoplexCtrl::ColorPanelOut),
    text("ColorPanelIn", &CTavoplexCtrl::ColorPanelIn),
    text("ColorPanelButtonsOut", &CTavoplexCtrl::ColorPanelButtonsOut),
    text("ColorPanelButtonsIn1", &CTavoplexCtrl::ColorPanelButtonsIn1),
    text("ColorPanelButtonsIn2", &CTavoplexCtrl::ColorPanelButtonsIn2),
    text("ColorHelpPanel", &CTavoplexCtrl::ColorHelpPanel),
    text("ColorLabel", &CTavoplexCtrl::ColorLabel),
    text("ColorLabelText", &CTavoplexCtrl::ColorLabelText),
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

void CTavoplexCtrl::OnResetState()
{
    platform::com::PropertyBag none;
    platform::com::PropertyExchange reset(platform::com::PropertyExchange::Mode::Reset, none);
    DoPropExchange(reset);
}

void CTavoplexCtrl::ApplyProperties()
{
    struct ColourRow {
        RWCString CTavoplexCtrl::*text;
        feColor CTavoplexCtrl::*colour;
        float alpha;  // below 0: the alpha is left as it stands
    };
    static const ColourRow kColours[] = {
        {&CTavoplexCtrl::ColorFadeIn, &CTavoplexCtrl::ColorFadeInValue, -1.0f},
        {&CTavoplexCtrl::ColorTL, &CTavoplexCtrl::ColorTLValue, -1.0f},
        {&CTavoplexCtrl::ColorTR, &CTavoplexCtrl::ColorTRValue, -1.0f},
        {&CTavoplexCtrl::ColorBL, &CTavoplexCtrl::ColorBLValue, -1.0f},
        {&CTavoplexCtrl::ColorBR, &CTavoplexCtrl::ColorBRValue, -1.0f},
        {&CTavoplexCtrl::ColorGrid, &CTavoplexCtrl::ColorGridValue, -1.0f},
        {&CTavoplexCtrl::ColorPanelOut, &CTavoplexCtrl::ColorPanelOutValue, 0.85f},
        {&CTavoplexCtrl::ColorPanelIn, &CTavoplexCtrl::ColorPanelInValue, 0.35f},
        {&CTavoplexCtrl::ColorPanelButtonsOut, &CTavoplexCtrl::ColorPanelButtonsOutValue, 0.85f},
        {&CTavoplexCtrl::ColorPanelButtonsIn1, &CTavoplexCtrl::ColorPanelButtonsIn1Value, 0.35f},
        {&CTavoplexCtrl::ColorPanelButtonsIn2, &CTavoplexCtrl::ColorPanelButtonsIn2Value, 0.35f},
        {&CTavoplexCtrl::ColorHelpPanel, &CTavoplexCtrl::ColorHelpPanelValue, 0.35f},
        {&CTavoplexCtrl::ColorLabel, &CTavoplexCtrl::ColorLabelValue, -1.0f},
        {&CTavoplexCtrl::ColorLabelText, &CTavoplexCtrl::ColorLabelTextValue, -1.0f},
    };
    for (const ColourRow& row : kColours) {
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
