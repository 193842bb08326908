// Tests of the option parser: flags, values, lists, repeated options, alternative names, the
// positional option, parameter files and the parse events in order.
#include "services/CSProgParam.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The events as "index:name" or "index=value" texts.
std::vector<std::string> events(const CSProgParam& p)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < p.orderCount(); ++i)
        out.push_back(std::to_string(p.orderItem(i)) + (p.orderIsValue(i) ? "=" + std::string(p.orderText(i).data()) : ":"));
    return out;
}

std::vector<std::string> values(const CSProgParam& p, int index)
{
    std::vector<std::string> out;
    for (int i = 0; i < p.getParamCount(index); ++i)
        out.push_back(p.getParamValue(index, i));
    return out;
}

int parse(CSProgParam& p, std::vector<const char*> args)
{
    args.insert(args.begin(), "program");
    return p.parseArguments(static_cast<int>(args.size()), args.data());
}

using Words = std::vector<std::string>;

}  // namespace

TEST(CSProgParam, CommandLinesFillOptionsAndRecordEventsInOrder)
{
    struct Case {
        const char* line;
        Words output, list, range, positional, events;
        int verboseFound;
    } cases[] = {
        // 0: -o (1 value), 1: -list (3, stops at options), 2: -range (2, takes '-' words), 3: -v, 4: positional
        {"-o out.txt in.txt", {"out.txt"}, {}, {}, {"in.txt"}, {"0:", "0=out.txt", "4=in.txt"}, 0},
        {"-v word", {}, {}, {}, {}, {"3:"}, 1},
        {"-list a -x b", {}, {"a"}, {}, {"b"}, {"1:", "1=a", "4=b"}, 0},
        {"-range -5 7 8", {}, {}, {"-5", "7"}, {"8"}, {"2:", "2=-5", "2=7", "4=8"}, 0},
        {"-LIST a -O b c", {"b"}, {"a"}, {}, {"c"}, {"1:", "1=a", "0:", "0=b", "4=c"}, 0},
        {"-list a b c d", {}, {"a", "b", "c"}, {}, {"d"}, {"1:", "1=a", "1=b", "1=c", "4=d"}, 0},
        // A repeated option takes only the room it has left; a full one takes no word.
        {"-o one -o two -list a -list b", {"one"}, {"a", "b"}, {}, {},
         {"0:", "0=one", "0:", "1:", "1=a", "1:", "1=b"}, 0},
        {"x \"two words\" -unknown y", {}, {}, {}, {"x", "two words"}, {"4=x", "4=two words"}, 0},
        {"", {}, {}, {}, {}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CSProgParam p;
        EXPECT_EQ(p.addParam("-o", "output", 1, 0, 0), 0);
        EXPECT_EQ(p.addParam("-list", nullptr, 3, 0, 1), 1);
        EXPECT_EQ(p.addParam("-range", nullptr, 2, 0, 0), 2);
        EXPECT_EQ(p.addParam("-v", nullptr, 0, 0, 0), 3);
        EXPECT_EQ(p.addDefaultParam(), 4);
        EXPECT_EQ(p.parseCommandLine(c.line), 1);
        EXPECT_EQ(values(p, 0), c.output);
        EXPECT_EQ(values(p, 1), c.list);
        EXPECT_EQ(values(p, 2), c.range);
        EXPECT_EQ(values(p, 4), c.positional);
        EXPECT_EQ(events(p), c.events);
        EXPECT_EQ(p.isParamFound(3), c.verboseFound);
    }
}

TEST(CSProgParam, ArgumentsQueriesAndRepeatedParses)
{
    CSProgParam p;
    const int setenv = p.addParam("-setenv", "setenv", 99, 1, 1);
    const int flag = p.addParam("-flag", nullptr, 3, 0, 0);
    const int altOnly = p.addParam(nullptr, "altonly", 1, 1, 0);
    EXPECT_EQ(parse(p, {"-setenv", "A=1", "B=2", "-flag", "yes", "No", "2", "", "ignored"}), 1);
    EXPECT_EQ(values(p, setenv), (Words{"A=1", "B=2"}));
    EXPECT_EQ(p.getParamBool(flag, 0), 1);
    EXPECT_EQ(p.getParamBool(flag, 1), 0);
    EXPECT_EQ(p.getParamBool(flag, 2), 2);
    EXPECT_EQ(p.getParamBool(flag, 3), 0);
    EXPECT_EQ(p.getParamInt(flag, 2), 2);
    // An empty word names no option, not even one declared without a name.
    EXPECT_EQ(p.isParamFound(altOnly), 0);
    EXPECT_EQ(p.findParam(""), -1);
    EXPECT_EQ(p.findParam("-SETENV"), setenv);
    EXPECT_EQ(p.findParamByAltName("SetEnv"), setenv);
    EXPECT_EQ(p.findDefaultParam(), -1);
    EXPECT_STREQ(p.getParamName(flag), "-flag");
    EXPECT_STREQ(p.getParamAltName(altOnly), "altonly");
    EXPECT_STREQ(p.getParamName(altOnly), "");

    // Missing options and values.
    EXPECT_EQ(p.getParam(-1), nullptr);
    EXPECT_EQ(p.getParam(3), nullptr);
    EXPECT_EQ(p.getParamValue(setenv, 2), nullptr);
    EXPECT_EQ(p.getParamValue(setenv, -1), nullptr);
    EXPECT_EQ(p.getParamValue(7, 0), nullptr);
    EXPECT_EQ(p.getParamName(7), nullptr);
    EXPECT_EQ(p.getParamCount(7), 0);
    EXPECT_EQ(p.getParamInt(7, 0), 0);
    EXPECT_EQ(p.isParamFound(-2), 0);
    EXPECT_THROW(p.orderItem(p.orderCount()), RWBoundsErr);

    // A second parse appends its events and values.
    const size_t before = p.orderCount();
    EXPECT_EQ(parse(p, {"-setenv", "C=3"}), 1);
    EXPECT_EQ(values(p, setenv), (Words{"A=1", "B=2", "C=3"}));
    EXPECT_EQ(p.orderCount(), before + 2);
    EXPECT_EQ(p.parseArguments(0, nullptr), 1);
    EXPECT_EQ(p.parseArguments(1, nullptr), 1);
}

TEST(CSProgParam, ParameterFilesTakeAlternativeNamesWholeOrSplitValues)
{
    TempDir dir;
    const std::string file = dir.write("params.txt",
                                       "setenv=A=1 B=2\r\n"
                                       "  words = a \"b c\"  d\n"
                                       "whole = a b\n"
                                       "no equals sign here\n"
                                       "unknown=1\n"
                                       "-WORDS=e\n"
                                       "\t-o=x\n"
                                       "limited=1 2 3\n"
                                       "last=no line end");
    CSProgParam p;
    const int setenv = p.addParam("-setenv", "setenv", 99, 1, 1);
    const int words = p.addParam("-words", "words", 10, 0, 0);
    const int whole = p.addParam("-whole", "WHOLE", 10, 1, 0);
    const int output = p.addParam("-o", "output", 1, 0, 0);
    const int limited = p.addParam("-limited", "limited", 2, 0, 0);
    const int last = p.addParam("last", nullptr, 1, 1, 0);
    EXPECT_EQ(p.parseParamFile(file.c_str()), 1);
    EXPECT_EQ(values(p, setenv), (Words{"A=1 B=2"}));
    EXPECT_EQ(values(p, words), (Words{"a", "b c", "d", "e"}));
    EXPECT_EQ(values(p, whole), (Words{" a b"}));
    EXPECT_EQ(values(p, output), (Words{"x"}));
    EXPECT_EQ(values(p, limited), (Words{"1", "2"}));
    EXPECT_EQ(values(p, last), (Words{"no line end"}));
    // A value beyond the limit is an event but is not kept.
    EXPECT_EQ(events(p), (Words{"0:", "0=A=1 B=2", "1:", "1=a", "1=b c", "1=d", "2:", "2= a b", "1:", "1=e", "3:",
                                "3=x", "4:", "4=1", "4=2", "4=3", "5:", "5=no line end"}));

    EXPECT_EQ(p.parseParamFile(dir.file("missing.txt").c_str()), -1);
    EXPECT_EQ(p.parseParamFile(dir.path().c_str()), -1);
    EXPECT_EQ(p.parseParamFile(nullptr), -1);
    const std::string fifo = dir.file("pipe.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(30);  // a FIFO without a writer must fail at once, not block
    EXPECT_EQ(p.parseParamFile(fifo.c_str()), -1);
    EXPECT_EQ(p.parseParamFile("/dev/zero"), -1);
    ::alarm(0);
    // A file whose reads fail: the parse stops instead of waiting for an end that never comes.
    const size_t before = p.orderCount();
    EXPECT_EQ(p.parseParamFile("/proc/self/mem"), -1);
    EXPECT_EQ(p.orderCount(), before);
}
