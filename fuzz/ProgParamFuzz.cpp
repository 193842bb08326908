// Fuzz target: the option parser over command lines, argument vectors and parameter files.
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "services/CSProgParam.h"

namespace {

// The parser's state after all parses must agree with its events: each option keeps exactly
// the first maxValues values recorded for it, name events carry no text, and an option met is
// marked found.
void checkAgainstEvents(const CSProgParam& p, const std::string& input)
{
    const int count = [&] {
        int n = 0;
        while (p.getParam(n))
            ++n;
        return n;
    }();
    std::vector<std::vector<std::string>> recorded(static_cast<size_t>(count));
    std::vector<bool> met(static_cast<size_t>(count), false);
    for (size_t i = 0; i < p.orderCount(); ++i) {
        const int item = p.orderItem(i);
        FUZZ_CHECK(item >= 0 && item < count, input);
        met[static_cast<size_t>(item)] = true;
        const RWCString text = p.orderText(i);
        if (p.orderIsValue(i))
            recorded[static_cast<size_t>(item)].emplace_back(text.data(), text.length());
        else
            FUZZ_CHECK(text.isNull(), input);
    }
    for (int k = 0; k < count; ++k) {
        const CSProgParam::CSParamItem* item = p.getParam(k);
        const std::vector<std::string>& values = recorded[static_cast<size_t>(k)];
        const size_t kept = values.size() < item->maxValues ? values.size() : item->maxValues;
        FUZZ_CHECK(static_cast<size_t>(p.getParamCount(k)) == kept, input);
        for (size_t v = 0; v < kept; ++v)
            FUZZ_CHECK(values[v] == std::string(item->values[v].data(), item->values[v].length()), input, values[v]);
        FUZZ_CHECK(p.isParamFound(k) == (met[static_cast<size_t>(k)] ? 1 : 0), input);
    }
}

}  // namespace

// Input: a settings byte, then words separated by line feeds up to the first NUL (parsed as
// one command line and as an argument vector), then the text of a parameter file. The
// settings pick the limits and modes of the declared options and whether a positional option
// is declared.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t settings = data[0];
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t nul = rest.find('\0');
    const std::string args = rest.substr(0, nul);
    const std::string file = nul == std::string::npos ? std::string() : rest.substr(nul + 1);

    static const uint32_t limits[] = {0, 1, 2, 99};
    CSProgParam p;
    p.addParam("-o", "output", limits[settings & 3], (settings >> 2) & 1, (settings >> 3) & 1);
    p.addParam("-list", "list", 3, 0, (settings >> 4) & 1);
    p.addParam("-setenv", "setenv", 99, 1, 1);
    p.addParam(nullptr, "alt", 1, (settings >> 6) & 1, 0);
    p.addParam("-O", nullptr, 2, 0, (settings >> 7) & 1);
    if (settings & 0x20)
        p.addDefaultParam();

    p.parseCommandLine(args.c_str());
    std::vector<std::string> words{"program"};
    size_t start = 0;
    for (;;) {
        const size_t end = args.find('\n', start);
        words.push_back(args.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    p.parseArguments(static_cast<int>(argv.size()), argv.data());

    // The parameter file lives in memory, reached through its descriptor's name.
    const int fd = ::memfd_create("params", 0);
    if (fd >= 0) {
        if (::write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size())) {
            const std::string name = "/proc/self/fd/" + std::to_string(fd);
            FUZZ_CHECK(p.parseParamFile(name.c_str()) == 1, file);
        }
        ::close(fd);
    }
    checkAgainstEvents(p, std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
