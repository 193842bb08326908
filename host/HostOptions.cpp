// HostOptions: the command line of the host program.
#include "host/HostOptions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "foundation/RWCString.h"
#include "math/feColor.h"
#include "platform/com/Variant.h"

using platform::Reason;
using platform::reasonText;

namespace {

constexpr int kMaxSide = 16384;

bool parseSide(const std::string& text, int& out)
{
    if (text.empty() || text.size() > 5)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    const int v = std::atoi(text.c_str());
    if (v < 1 || v > kMaxSide)
        return false;
    out = v;
    return true;
}

std::string lowerCase(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool hasBmpExtension(const std::string& name)
{
    if (name.size() < 4)
        return false;
    return lowerCase(name.substr(name.size() - 4)) == ".bmp";
}

// The number of single-character insertions, deletions and replacements between a and b.
size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t replaced = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
            diagonal = row[j];
            row[j] = std::min({replaced, row[j] + 1, row[j - 1] + 1});
        }
    }
    return row[b.size()];
}

// The property name a mistyped one most likely meant: the same name in another case, else the
// one fewest edits away (case aside), the first in the table on a tie.
std::string nearest(const std::string& name, const std::vector<platform::com::PropertyInfo>& properties)
{
    const std::string lower = lowerCase(name);
    std::string best;
    size_t bestDistance = std::numeric_limits<size_t>::max();
    for (const platform::com::PropertyInfo& property : properties) {
        const size_t distance = editDistance(lower, lowerCase(property.name));
        if (distance < bestDistance) {
            best = property.name;
            bestDistance = distance;
        }
    }
    return best;
}

// A value read as the control reads it: a text it cannot read would leave the parameter as it
// was without a word (Start at 0, drawing nothing; a colour black).
bool checkValue(const platform::com::PropertyInfo& property, const std::string& value, platform::ReasonText& error)
{
    using Kind = platform::com::PropertyInfo::Kind;
    const std::string& name = property.name;
    if (property.kind == Kind::Text) {
        feColor colour;
        if (!property.colour || colour.setFromString(RWCString(value.data(), value.size())))
            return true;
        error = reasonText(Reason::NotAColour, name, value);
        return false;
    }
    const bool whole = property.kind == Kind::Long;
    const platform::com::Variant text = platform::com::Variant::fromText(value);
    double real = 0.0;
    const bool number = text.toDouble(real) && std::isfinite(real);
    int32_t integer = 0;
    if (whole ? text.toLong(integer) : number && std::fabs(real) <= std::numeric_limits<float>::max())
        return true;
    error = !number ? reasonText(Reason::NotANumber, name, value)
            : whole ? reasonText(Reason::NotAWholeNumber, name, value)
                    : reasonText(Reason::NotAFloat, name, value);
    return false;
}

}  // namespace

bool parseSize(const std::string& text, int& width, int& height)
{
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    int w = 0, h = 0;
    if (!parseSide(text.substr(0, x), w) || !parseSide(text.substr(x + 1), h))
        return false;
    width = w;
    height = h;
    return true;
}

bool HostOptions::parse(const std::vector<std::string>& args, const std::string& workingFolder, platform::ReasonText& error)
{
    page = "file://" + workingFolder + (workingFolder.empty() || workingFolder.back() != '/' ? "/" : "");
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const char* option, std::string& out) {
            if (i + 1 >= args.size()) {
                error = reasonText(Reason::NeedsValue, option);
                return false;
            }
            out = args[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--page") {
            if (!value("--page", page))
                return false;
        } else if (arg == "--output") {
            if (!value("--output", output))
                return false;
            if (output.empty()) {
                error = reasonText(Reason::OutputNeedsName);
                return false;
            }
            // The picture is always BMP bytes: a name that says otherwise would lie about them.
            if (!hasBmpExtension(output)) {
                error = reasonText(Reason::OutputNotBmp, output);
                return false;
            }
        } else if (arg == "--module") {
            if (!value("--module", module))
                return false;
            if (module.empty()) {
                error = reasonText(Reason::ModuleNeedsName);
                return false;
            }
        } else if (arg == "--size") {
            std::string size;
            if (!value("--size", size))
                return false;
            if (!parseSize(size, width, height)) {
                error = reasonText(Reason::BadSize, size);
                return false;
            }
        } else if (arg.rfind("--", 0) == 0) {
            error = reasonText(Reason::UnknownOption, arg);
            return false;
        } else {
            const size_t eq = arg.find('=');
            if (eq == std::string::npos || eq == 0) {
                error = reasonText(Reason::NeitherOptionNorParameter, arg);
                return false;
            }
            params[arg.substr(0, eq)] = arg.substr(eq + 1);
        }
    }
    return true;
}

bool HostOptions::checkParams(const std::vector<platform::com::PropertyInfo>& properties, platform::ReasonText& error) const
{
    for (const auto& [name, value] : params) {
        // The control matches names exactly: "Filename" would be dropped without a word.
        const auto known = std::find_if(properties.begin(), properties.end(),
                                        [&](const platform::com::PropertyInfo& p) { return p.name == name; });
        if (known == properties.end()) {
            error = reasonText(Reason::NoSuchParameter, name, nearest(name, properties));
            return false;
        }
        if (!checkValue(*known, value, error))
            return false;
    }
    return true;
}

const char* HostOptions::usage()
{
    return "usage: tavoplex [Name=value ...] [--page URL] [--output FILE.bmp] [--size WxH]\n"
           "                [--module FILE.so]\n"
           "  Name=value      an object parameter of the page (FileName, Start, Buttons, Grid,\n"
           "                  ColorTL, BasePath, ...); Start is 1 unless given\n"
           "  --page URL      the address of the hosting page (default: the working folder)\n"
           "  --output FILE.bmp  render the model into a BMP file and exit (no display\n"
           "                  needed); the name must end in .bmp\n"
           "  --size WxH      the size of the image or window (default 800x600)\n"
           "  --module FILE   the viewer's module (default: libtavoplex.so beside the program,\n"
           "                  or in ../module/ from it)\n"
           "Without --output the model is shown in a window on $DISPLAY.\n";
}
