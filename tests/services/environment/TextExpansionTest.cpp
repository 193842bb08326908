// Tests of text expansion: reference syntax, nesting, folder tokens and the replaceable function.
#include "services/environment/TextExpansion.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/registry.h"
#include "platform/sys.h"
#include "services/environment/Environment.h"

namespace reg = platform::registry;
namespace sys = platform::sys;

class TextExpansion : public ::testing::Test {
protected:
    void SetUp() override
    {
        reg::reset();
        clearVariables();
        clearDefaultVariables();
    }
    void TearDown() override
    {
        reg::reset();
        clearVariables();
        clearDefaultVariables();
        sys::overrideTempFolder("");
        sys::overrideSystemFolder("");
        sys::overrideUserAppDataFolder("");
    }

    static std::string expand(const char* text, bool useRegistry = true)
    {
        int status = 0;
        RWCString r = expandVariables(text, &status, useRegistry);
        EXPECT_EQ(status, 1);
        return std::string(r.data(), r.length());
    }
};

TEST_F(TextExpansion, ReferenceNamesEndAtSlashBackslashDashAndParenthesis)
{
    setVariable("A", "va");
    setVariable("A.b", "dotted");
    setVariable("E", "");
    setVariable("REF", "$(A)z");
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"$(A)/x", "va/x"},
        {"$A/x", "va/x"},
        {"$A\\x", "va\\x"},
        {"$A-x", "va-x"},
        {"$(A)B", "vaB"},
        {"$(A-B)", "va-B)"},
        {"$A.b/x", "dotted/x"},
        {"$A.c", "$A.c"},
        {"$(UNKNOWN)/y", "$(UNKNOWN)/y"},
        {"x$", "x$"},
        {"$(E)x", "x"},
        {"$(REF)", "vaz"},
        {"$((A))", "va)"},
        {"$(A", "va"},
        {"no reference", "no reference"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(expand(c.text), c.expected) << c.text;
}

TEST_F(TextExpansion, SelfReferencesAndDeepNestingEnd)
{
    // A variable met again inside its own value stays as written.
    setVariable("S", "<$(S)>");
    EXPECT_EQ(expand("$(S)"), "<$(S)>");
    setVariable("P", "$(Q)");
    setVariable("Q", "$(P)");
    EXPECT_EQ(expand("$(P)"), "$(P)");
    // Many references to itself in one value: linear work, not one expansion per path.
    setVariable("F", "$(F)$(F)$(F)$(F)");
    EXPECT_EQ(expand("$(F)"), "$(F)$(F)$(F)$(F)");
    // The same name twice side by side is no cycle.
    setVariable("W", "w");
    setVariable("TWO", "$(W)$(W)");
    EXPECT_EQ(expand("$(TWO)-$(TWO)"), "ww-ww");

    // A chain longer than the depth bound stops there and keeps the reference met at it.
    for (int i = 0; i < maxExpansionDepth + 5; ++i)
        setVariable(RWCString("C") + RWCString(std::to_string(i).c_str()),
                    RWCString("$(C") + RWCString(std::to_string(i + 1).c_str()) + ")");
    setVariable(RWCString("C") + RWCString(std::to_string(maxExpansionDepth + 5).c_str()), "end");
    EXPECT_EQ(expand("$(C0)"), "$(C" + std::to_string(maxExpansionDepth) + ")");
    EXPECT_EQ(expand("$(C6)"), "end");

    // Distinct variables doubling at every level: the work is bounded, the text stays finite.
    for (int i = 0; i < 30; ++i)
        setVariable(RWCString("D") + RWCString(std::to_string(i).c_str()),
                    RWCString("$(D") + RWCString(std::to_string(i + 1).c_str()) + ")$(D" +
                        RWCString(std::to_string(i + 1).c_str()) + ")");
    setVariable("D30", "x");
    std::string doubled = expand("$(D0)");
    EXPECT_LT(doubled.size(), 64u * maxExpandedValues);
    EXPECT_NE(doubled.find("$(D"), std::string::npos);
    EXPECT_EQ(expand("$(D25)"), std::string(32, 'x'));
}

TEST_F(TextExpansion, FolderTokensIgnoreCaseAndLoseTheirTrailingSeparator)
{
    sys::overrideTempFolder("/t/tmp//");
    sys::overrideSystemFolder("/sys");
    sys::overrideUserAppDataFolder("/home/u/.config/");
    EXPECT_EQ(expand("%systemtemp%\\file"), "/t/tmp\\file");
    EXPECT_EQ(expand("%SystemRoot%/a:%SYSTEMROOT%"), "/sys/a:/sys");
    EXPECT_EQ(expand("%UserAppData%/Maker"), "/home/u/.config/Maker");
    // "%TEMP%" names the temporary folder too (the viewer's last fallback for its folder).
    EXPECT_EQ(expand("%TEMP%/korvane"), "/t/tmp/korvane");
    EXPECT_EQ(expand("%temp%"), "/t/tmp");
    EXPECT_STREQ(expandString("%TEMP%").data(), "/t/tmp");
    setVariable("CFG", "%UserAppData%/x");
    EXPECT_EQ(expand("$(CFG)/y"), "/home/u/.config/x/y");
    // A folder whose name holds its own token is replaced once, not again and again.
    sys::overrideSystemFolder("/r/%SystemRoot%");
    EXPECT_EQ(expand("%SystemRoot%!"), "/r/%SystemRoot%!");
}

TEST_F(TextExpansion, UserAppDataFallsBackOnTheShellFolderKeyThenTmp)
{
    const char* saved[] = {std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")};
    std::string keep[2] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : ""};
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    sys::overrideUserAppDataFolder("");
    EXPECT_EQ(expand("%UserAppData%"), "/tmp");
    reg::setString(reg::Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   "AppData", "/from/registry/");
    EXPECT_EQ(expand("%UserAppData%"), "/from/registry");
    if (saved[0])
        setenv("XDG_CONFIG_HOME", keep[0].c_str(), 1);
    if (saved[1])
        setenv("HOME", keep[1].c_str(), 1);
}

TEST_F(TextExpansion, RegistryVariablesOnlyWithTheRegistryFlag)
{
    reg::setString(reg::Root::CurrentUser, "SOFTWARE\\KORVANE\\PATH\\TVX_REG_ONLY", "", "fromreg");
    EXPECT_STREQ(expandString("$(TVX_REG_ONLY)").data(), "fromreg");
    int status = 0;
    EXPECT_STREQ(expandText("$(TVX_REG_ONLY)", &status).data(), "$(TVX_REG_ONLY)");
    EXPECT_EQ(status, 1);
}

namespace {
bool g_lastUseRegistry = false;
RWCString failingExpansion(RWCString, int* status, bool useRegistry)
{
    g_lastUseRegistry = useRegistry;
    *status = -1;
    return "garbage";
}
}  // namespace

TEST_F(TextExpansion, ReplaceableFunctionAndFailureGuard)
{
    ExpansionFunction previous = setExpansionFunction(failingExpansion);
    EXPECT_EQ(previous, &expandVariables);
    EXPECT_STREQ(expandString("in").data(), "in");
    EXPECT_TRUE(g_lastUseRegistry);
    int status = 0;
    EXPECT_STREQ(expandText("in", &status).data(), "garbage");
    EXPECT_EQ(status, -1);
    EXPECT_FALSE(g_lastUseRegistry);
    EXPECT_EQ(setExpansionFunction(previous), &failingExpansion);
}
