// Tests of the path text utilities: cleaning, normalisation, joining, parts and relative paths.
#include "services/files/PathText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sys.h"
#include "services/environment/Environment.h"

namespace {

struct Pair {
    const char* in;
    const char* expected;
};

std::vector<std::string> items(const RWTValSlist<RWCString>& list)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < list.entries(); ++i)
        out.emplace_back(list[i].data(), list[i].length());
    return out;
}

}  // namespace

TEST(PathText, SeparatorsAndCleaning)
{
    EXPECT_STREQ(toBackslashPath("a/b\\c/ \n").data(), "a\\b\\c");
    EXPECT_STREQ(cleanPathText("C:\\Users\\x\\").data(), "C:/Users/x");
    EXPECT_STREQ(cleanPathText("//srv/share/dir/").data(), "\\\\srv\\share/dir");
    EXPECT_STREQ(cleanPathText("//srv").data(), "\\\\srv");
    EXPECT_STREQ(cleanPathText("a/b \t").data(), "a/b");
}

TEST(PathText, NormalizeFoldsDotsAndKeepsRoots)
{
    Pair cases[] = {
        {"a/./b/../c", "a/c"},     {"../x", "../x"},         {"a/b/../../..", ".."},
        {"a//b", "a/b"},           {"/a/b", "/a/b"},         {"C:\\x\\..\\y", "C:/y"},
        {"a\\b\\", "a/b"},         {"", ""},                 {"./a", "a"},
        {"../../a/../b", "../../b"}, {"//srv/share/a/../b", "\\\\srv/share/b"}, {"x/\"q\"\"d\"/y", "x/q\"d/y"},
        // ".." never climbs over the root: an absolute path stays absolute.
        {"/a/../b", "/b"},         {"/a/../../b", "/b"},     {"/..", "/"},
        {"/a/..", "/"},            {"C:/a/../..", "C:"},     {"C:/../x", "C:/x"},
        {"C:x/../y", "y"},
    };
    for (const Pair& c : cases)
        EXPECT_STREQ(normalizePath(c.in).data(), c.expected) << c.in;
}

TEST(PathText, SplitPathKeepsLeadingSeparatorsWithTheFirstComponent)
{
    EXPECT_EQ(items(splitPath("/a/b")), (std::vector<std::string>{"/a", "b"}));
    EXPECT_EQ(items(splitPath("//server/share")), (std::vector<std::string>{"//server", "share"}));
    EXPECT_EQ(items(splitPath("a//b")), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(items(splitPath("a/\"b/c\"/d")), (std::vector<std::string>{"a", "b/c", "d"}));
    EXPECT_EQ(items(splitPath("a/\"\"/d")), (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(items(splitPath("")).size(), 0u);
    EXPECT_EQ(items(splitPath(nullptr)).size(), 0u);
}

TEST(PathText, CombineJoinsRelativeAndKeepsAbsolute)
{
    clearVariables();
    setVariable("TVX_SUB", "sub");
    setVariable("TVX_ABS", "/abs");
    struct Case {
        const char* base;
        const char* rel;
        bool expand;
        const char* expected;
    } cases[] = {
        {"/data/models", "x.prt", false, "/data/models/x.prt"},
        {"/data/models/", "../y/z", false, "/data/y/z"},
        {"/data", "../x", false, "/x"},
        {"/data", "../../x", false, "/x"},
        {"C:\\data", "x", false, "C:/data/x"},
        {"/data", "/other/x", false, "/other/x"},
        {"/data", "D:\\x", false, "D:/x"},
        {"", "a/b", false, "a/b"},
        {"/data", "$(TVX_SUB)/x", false, "/data/$(TVX_SUB)/x"},
        {"/data", "$(TVX_SUB)/x", true, "/data/sub/x"},
        {"/data", "$(TVX_ABS)/x", false, "$(TVX_ABS)/x"},
        {"//srv/share", "a", false, "\\\\srv\\share/a"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(combinePath(c.base, c.rel, c.expand).data(), c.expected) << c.base << " + " << c.rel;
    clearVariables();
}

TEST(PathText, DirectoryFileAndExtensionParts)
{
    Pair dirs[] = {{"C:\\x", "C:/"}, {"name", ""}, {"/x", ""}, {"a/b/c.txt", "a/b"}, {"a\\b:c", "a\\b"}};
    for (const Pair& c : dirs)
        EXPECT_STREQ(directoryPart(c.in, false).data(), c.expected) << c.in;
    EXPECT_STREQ(directoryPart("name", true).data(), platform::sys::currentFolder().c_str());

    Pair names[] = {{"a/b/c.txt", "c.txt"}, {"C:x", "x"}, {"name", "name"}, {"", ""}, {"a\\", ""}};
    for (const Pair& c : names)
        EXPECT_STREQ(fileNamePart(c.in).data(), c.expected) << c.in;

    Pair exts[] = {{"Model.PRT", "prt"}, {"name.", ""}, {"name", ""}, {"dir.x/file", "x/file"}, {"a.tar.GZ", "gz"}};
    for (const Pair& c : exts)
        EXPECT_STREQ(fileExtensionPart(c.in).data(), c.expected) << c.in;
}

TEST(PathText, RelativePaths)
{
    struct Case {
        const char* target;
        const char* base;
        const char* expected;
    } cases[] = {
        {"C:/a/b/c", "C:/a/x", "../b/c"},
        {"C:/a/b/c", "D:/a/x", "C:/a/b/c"},
        {"c:/A/b", "C:/a", "b"},
        {"/a/b", "/a/b", ""},
        {"/a", "/a/b/c", "../.."},
        {"x/y", "/base", "x/y"},
        {"../y", "/base/dir", "../y"},
        {"../../../y", "/base", "../../../y"},
        {"C:/a", "/a", "C:/a"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(relativePath(c.target, c.base).data(), c.expected) << c.target << " from " << c.base;
}

TEST(PathText, ModuleFileNameDropsTheLongPathPrefix)
{
    Pair cases[] = {
        {"\\\\?\\UNC\\srv\\share\\bin\\prog", "\\\\srv\\share\\bin\\prog"},
        {"\\\\?\\C:\\bin\\prog", "C:\\bin\\prog"},
        {"/opt/viewer/bin/prog", "/opt/viewer/bin/prog"},
    };
    for (const Pair& c : cases) {
        platform::sys::overrideModuleFileName(c.in);
        EXPECT_STREQ(moduleFileName(nullptr).data(), c.expected) << c.in;
    }
    platform::sys::overrideModuleFileName("/opt/viewer/bin/prog");
    EXPECT_STREQ(moduleDirectory(nullptr).data(), "/opt/viewer/bin");
    EXPECT_STREQ(moduleBaseName(nullptr).data(), "prog");
    platform::sys::overrideModuleFileName("");
    EXPECT_NE(std::string(moduleFileName(nullptr).data()).find("PathTextTest"), std::string::npos);
}

TEST(PathText, ListTests)
{
    EXPECT_TRUE(listContains("b", "a;b ;c", RWCString::exact, ";"));
    EXPECT_TRUE(listContains("B", "a;b\t;c", RWCString::ignoreCase, ";"));
    EXPECT_FALSE(listContains("B", "a;b;c", RWCString::exact, ";"));
    EXPECT_FALSE(listContains("c", "a;;c", RWCString::exact, ";"));  // an empty piece ends the walk
    EXPECT_FALSE(listContains("a", "a", RWCString::exact, ""));

    RWTValHashSet<RWCString> set(RWCString::staticHash, 16);
    set.insert("two words");
    set.insert("x\"y");
    EXPECT_TRUE(quotedListIntersects("a, \"two words\"", set));
    EXPECT_TRUE(quotedListIntersects("\"x\"\"y\"", set));
    EXPECT_TRUE(quotedListIntersects("two words", set) == false);  // blanks outside quotes are dropped
    EXPECT_TRUE(quotedListIntersects(",twowords,", set) == false);
    EXPECT_FALSE(quotedListIntersects("", set));
}

TEST(PathText, CommandLineWords)
{
    RWTValOrderedVector<RWCString> words = splitCommandLine("-x \"a b\"  c\td\"e \"\"");
    std::vector<std::string> got;
    for (size_t i = 0; i < words.entries(); ++i)
        got.emplace_back(words[i].data());
    EXPECT_EQ(got, (std::vector<std::string>{"", "-x", "a b", "c", "d\"e", ""}));
    EXPECT_EQ(countCommandLineWords("-x \"a b\" c"), 4);
    EXPECT_EQ(countCommandLineWords("   "), 1);
    EXPECT_EQ(countCommandLineWords(nullptr), 1);
}
