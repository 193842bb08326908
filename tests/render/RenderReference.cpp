// A reference-image test of the host program: renders one picture with `tavoplex --output`
// and compares it with its baseline pixel by pixel.
//   render_reference PROGRAM NAME WxH BASELINE.png OUTPUT_FOLDER [Name=value ...]
// The picture (NAME.png) is always left in OUTPUT_FOLDER, with NAME-diff.png beside it when it
// differs. A missing baseline fails: look at the picture, then copy it in by name.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/ReferenceImage.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {

int run(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 6) {
        std::cerr << "usage: render_reference PROGRAM NAME WxH BASELINE.png OUTPUT_FOLDER [Name=value ...]\n";
        return 2;
    }
    const std::string program = argv[1], name = argv[2], size = argv[3], baselinePath = argv[4], outFolder = argv[5];
    // Fixed inputs: a fresh per-user folder (default settings), the packaged font.
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    setenv("HOME", dir.path().c_str(), 1);
    std::vector<std::string> args = {program};
    for (int i = 6; i < argc; ++i)
        args.emplace_back(argv[i]);
    const std::string bmp = dir.file(name + ".bmp");
    args.insert(args.end(), {"--output", bmp, "--size", size});
    const int status = run(args);
    if (status != 0) {
        std::cerr << name << ": the program ended with " << status << "\n";
        return 1;
    }
    RgbaImage picture;
    std::string error;
    if (!ReadBmpImage(bmp, picture, error)) {
        std::cerr << name << ": " << error << "\n";
        return 1;
    }
    const size_t slash = baselinePath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : baselinePath.substr(0, slash);
    const std::string report = CheckAgainstBaseline(picture, name, folder, outFolder);
    if (report.empty()) {
        std::cout << name << ": matches its baseline\n";
        return 0;
    }
    std::cerr << report << "\n";
    return 1;
}
