// HostOptions: what the command line of the host program asks for: the page's object
// parameters, its address, and either an image file to render or a window to show.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Reason.h"
#include "platform/com/PropertyExchange.h"

struct HostOptions {
    // Object parameters as the page gives them (Name=value), names exact.
    std::map<std::string, std::string> params;
    // The address of the hosting page; its folder resolves relative model names.
    std::string page;
    std::string output;  // an image file to render into (headless); empty: show a window
    std::string module;  // the viewer's module to load; empty: the one beside the program
    int width = 800;
    int height = 600;
    bool help = false;

    // Parses argv; false with a one-line message in error when the line cannot be used.
    // workingFolder gives the default page: the folder itself as a file address.
    bool parse(const std::vector<std::string>& args, const std::string& workingFolder, platform::ReasonText& error);

    // Checks the parameters against the control's properties, before the control takes them
    // without a word: a name it does not have (naming the nearest it has), and a number or a
    // colour it could not read. False with a one-line message in error.
    bool checkParams(const std::vector<platform::com::PropertyInfo>& properties, platform::ReasonText& error) const;

    static const char* usage();
};

// "WxH" with both sides from 1 to 16384; false for anything else.
bool parseSize(const std::string& text, int& width, int& height);
