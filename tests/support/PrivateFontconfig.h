// PrivateFontconfig: a fontconfig configuration of a test's own, in a temporary folder, that
// knows only the fonts the test puts there; FONTCONFIG_FILE pointing at it hides the system's.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"

class PrivateFontconfig {
public:
    PrivateFontconfig()
    {
        std::filesystem::create_directories(dir_.file("fonts"));
        dir_.write("fonts.conf", "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                                 "<fontconfig>\n  <dir>" + dir_.file("fonts") + "</dir>\n  <cachedir>" +
                                     dir_.file("cache") + "</cachedir>\n</fontconfig>\n");
    }

    // The value for FONTCONFIG_FILE.
    std::string configFile() const { return dir_.file("fonts.conf"); }

    // Copies a font into the configuration's font folder; with `renameDejaVu`, every "DejaVu"
    // in its names becomes "Tavoxx" (same length, so the tables stay where they are), which
    // makes a font of a family that no one asks for by name. The copy's path.
    std::string addFont(const std::string& from, const std::string& name, bool renameDejaVu)
    {
        std::string bytes = TempDir::read(from);
        if (renameDejaVu) {
            replaceAll(bytes, "DejaVu", "Tavoxx");
            replaceAll(bytes, std::string("\0D\0e\0j\0a\0V\0u", 12), std::string("\0T\0a\0v\0o\0x\0x", 12));
        }
        return dir_.write("fonts/" + name, bytes);
    }

private:
    static void replaceAll(std::string& text, const std::string& from, const std::string& to)
    {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    }

    TempDir dir_;
};
