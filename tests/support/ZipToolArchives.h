// Archives in the layouts of other writers, made by the zip tool and Python's zipfile: ZIP64
// end records and extra blocks, data descriptors, a self-extracting stub in front.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TempDir.h"

using ToolItems = std::vector<std::pair<std::string, std::string>>;  // names and bytes, in archive order

struct ToolArchive {
    std::string what;
    std::string bytes;
    ToolItems items;
};

// The archives of `files` (written below dir/src) and of `seq 1 lines` zipped from a pipe,
// made in dir; a layout whose tool is missing is left out. The Python writer puts plain local
// headers, then (ZIP64_LIMIT 0 at closing) a directory leaving every size and offset to ZIP64
// blocks, which zip cannot make.
inline std::vector<ToolArchive> makeToolArchives(const TempDir& dir, const ToolItems& files, int lines)
{
    const auto run = [&](const std::string& command) {
        const int status = std::system(("(cd '" + dir.path() + "' && " + command + ") >/dev/null 2>&1").c_str());
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    std::string names, seq;
    for (const auto& [name, bytes] : files) {
        std::filesystem::create_directories(std::filesystem::path(dir.file("src/" + name)).parent_path());
        dir.write("src/" + name, bytes);
        names += " '" + name + "'";
    }
    for (int i = 1; i <= lines; ++i)
        seq += std::to_string(i) + "\n";
    dir.write("writer.py", "import sys, zipfile\nwith zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                           "    for i, name in enumerate(sys.argv[2:]):\n"
                           "        z.write('src/' + name, name, zipfile.ZIP_STORED if i % 2 else zipfile.ZIP_DEFLATED)\n"
                           "    zipfile.ZIP64_LIMIT = 0\n");
    const std::string stub = "#!/bin/sh\necho 'a self-extracting stub'\nexit 0\n";
    const std::string piped = "seq 1 " + std::to_string(lines) + " | zip -q ";
    std::vector<ToolArchive> out;
    const auto add = [&](const std::string& what, const std::string& file, const ToolItems& items) {
        out.push_back({what, TempDir::read(dir.file(file)), items});
    };
    if (run("cd src && zip -q -X -fz ../fz.zip" + names)) {
        add("zip -fz", "fz.zip", files);
        out.push_back({"stub before zip -fz", stub + out.back().bytes, files});
    }
    if (run(piped + "> pipe.zip"))
        add("zip from a pipe", "pipe.zip", {{"-", seq}});
    if (run(piped + "- - | cat > stream.zip"))
        add("zip from and to a pipe (data descriptors)", "stream.zip", {{"-", seq}});
    if (run("python3 writer.py py.zip" + names)) {
        add("python zipfile, directory in ZIP64 blocks", "py.zip", files);
        out.push_back({"stub before python zipfile", stub + out.back().bytes, files});
    }
    return out;
}
