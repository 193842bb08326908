// HostOptions: the command line of the host program.
#include "host/HostOptions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

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

bool hasBmpExtension(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".bmp";
}

// A parameter the control reads as a number, read here as the control reads it: a text it
// cannot read would leave the parameter as it was without a word (Start at 0, drawing nothing).
bool checkNumber(const std::string& name, const std::string& value, platform::ReasonText& error)
{
    static const char* const kWhole[] = {"Grid",    "Axes",       "Logo", "Border", "BorderSize",
                                         "Buttons", "ButtonSize", "Start"};
    const bool whole = std::find(std::begin(kWhole), std::end(kWhole), name) != std::end(kWhole);
    if (!whole && name != "BorderAlpha")
        return true;
    const platform::com::Variant text = platform::com::Variant::fromText(value);
    double real = 0.0;
    const bool number = text.toDouble(real) && std::isfinite(real);
    int32_t integer = 0;
    if (whole ? text.toLong(integer) : number && std::fabs(real) <= std::numeric_limits<float>::max())
        return true;
    error = reasonText(!number ? Reason::NotANumber : whole ? Reason::NotAWholeNumber : Reason::NotAFloat, name, value);
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
            const std::string name = arg.substr(0, eq);
            if (!checkNumber(name, arg.substr(eq + 1), error))
                return false;
            params[name] = arg.substr(eq + 1);
        }
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
