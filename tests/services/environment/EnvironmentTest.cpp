// Tests of the variable store: lookup order, tables, collection and environment blocks.
#include "services/environment/Environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/registry.h"

namespace reg = platform::registry;

namespace {

const char* const userKey = "SOFTWARE\\KORVANE\\PATH\\";

class Environment : public ::testing::Test {
protected:
    void SetUp() override { cleanUp(); }
    void TearDown() override { cleanUp(); }
    static void cleanUp()
    {
        reg::reset();
        clearVariables();
        clearDefaultVariables();
        for (const char* n : {"TvxLook", "TVXLOOK", "tvxlook", "TVX_EMPTY", "OSNAME", "osname"})
            unsetenv(n);
    }

    static std::string get(const char* name, bool useRegistry = true, int expectedStatus = 1)
    {
        int status = 0;
        RWCString v = getVariable(name, &status, useRegistry);
        EXPECT_EQ(status, expectedStatus) << name;
        return std::string(v.data(), v.length());
    }
};

CSEnvironDictionary makeDictionary() { return CSEnvironDictionary(RWCString::staticHash, 64); }

std::string lookup(const CSEnvironDictionary& d, const char* name)
{
    RWCString v;
    return d.findValue(name, v) ? std::string(v.data()) : std::string("<absent>");
}

}  // namespace

TEST_F(Environment, LookupOrderFromTheWeakestSourceUp)
{
    EXPECT_EQ(get("TvxLook", true, -1), "");
    setDefaultVariable("TvxLook", "default");
    EXPECT_EQ(get("TvxLook"), "default");
    setenv("tvxlook", "lower", 1);
    EXPECT_EQ(get("TvxLook"), "lower");
    setenv("TVXLOOK", "upper", 1);
    EXPECT_EQ(get("TvxLook"), "upper");
    setenv("TvxLook", "exact", 1);
    EXPECT_EQ(get("TvxLook"), "exact");
    reg::setString(reg::Root::LocalMachine, std::string(userKey) + "TvxLook", "", "machine");
    EXPECT_EQ(get("TvxLook"), "machine");
    EXPECT_EQ(get("TvxLook", false), "exact");
    reg::setString(reg::Root::CurrentUser, std::string(userKey) + "TvxLook", "", "user");
    EXPECT_EQ(get("TvxLook"), "user");
    setVariable("TvxLook", "table");
    EXPECT_EQ(get("TvxLook"), "table");
    // The table compares names exactly; the environment step still tries other spellings.
    clearVariables();
    reg::reset();
    setVariable("TvxLook", "table");
    unsetenv("TvxLook");
    EXPECT_EQ(get("tvxLOOK"), "upper");
}

TEST_F(Environment, EmptyRegistryValueGoesOnButEmptyEnvironmentVariableStops)
{
    reg::setString(reg::Root::CurrentUser, std::string(userKey) + "TVX_EMPTY", "", "");
    setDefaultVariable("TVX_EMPTY", "default");
    EXPECT_EQ(get("TVX_EMPTY"), "default");
    setenv("TVX_EMPTY", "", 1);
    EXPECT_EQ(get("TVX_EMPTY"), "");
    setVariable("TVX_EMPTY", "");
    EXPECT_EQ(get("TVX_EMPTY"), "");
    EXPECT_TRUE(variableExists("TVX_EMPTY"));
}

TEST_F(Environment, BuiltInsComeBeforeTheDefaultTable)
{
    setDefaultVariable("OSNAME", "never");
    EXPECT_EQ(get("osName"), "x86");
    EXPECT_EQ(get("OSDLLEXT"), "so");
    EXPECT_EQ(get("osext"), "");
    setenv("OSNAME", "other", 1);
    EXPECT_EQ(get("osname"), "other");
    setVariable("OSNAME", "table");
    EXPECT_EQ(get("OSNAME"), "table");
    EXPECT_STREQ(getVariable("OSNAME", nullptr, false).data(), "table");
    EXPECT_FALSE(variableExists("TVX_NOWHERE"));
}

TEST_F(Environment, TableEntriesKeepTheirPlaceAndFlag)
{
    setVariable("A", "1", true);
    setVariable("B", "2", false);
    setVariable("C", "3", true);
    setVariable("A", "4", false);
    EXPECT_TRUE(isVariableFlagged("A"));
    EXPECT_FALSE(isVariableFlagged("B"));
    EXPECT_FALSE(isVariableFlagged("missing"));
    EXPECT_STREQ(getTableVariable("A").data(), "4");
    EXPECT_STREQ(getTableVariable("a").data(), "");
    removeVariable("missing");
    removeVariable("B");
    const CSEnvironTable& t = *variableTable();
    ASSERT_EQ(t.entries(), 2u);
    EXPECT_STREQ(t[0].name.data(), "A");
    EXPECT_STREQ(t[1].name.data(), "C");

    RWTValOrderedVector<_CSEnvironClass> flagged;
    collectFlaggedVariables(flagged);
    ASSERT_EQ(flagged.entries(), 2u);
    EXPECT_STREQ(flagged[0].value.data(), "4");
    EXPECT_STREQ(flagged[1].name.data(), "C");
}

TEST_F(Environment, CollectVariablesLetsStrongerSourcesWin)
{
    setDefaultVariable("TVX_D", "default");
    setDefaultVariable("TVX_ALL", "default");
    setenv("TVX_ALL", "env", 1);
    setenv("TVX_ENV", "env", 1);
    reg::setString(reg::Root::LocalMachine, std::string(userKey) + "TVX_ALL", "", "machine");
    reg::setString(reg::Root::LocalMachine, std::string(userKey) + "TVX_M", "", "machine");
    reg::setString(reg::Root::LocalMachine, std::string(userKey) + "TVX_MU", "", "machine");
    reg::setString(reg::Root::LocalMachine, std::string(userKey) + "TVX_EMPTYREG", "", "");
    reg::setString(reg::Root::CurrentUser, std::string(userKey) + "TVX_MU", "", "user");
    setVariable("TVX_ALL", "table");

    CSEnvironDictionary d = makeDictionary();
    collectVariables(d);
    EXPECT_EQ(lookup(d, "TVX_D"), "default");
    EXPECT_EQ(lookup(d, "TVX_ENV"), "env");
    EXPECT_EQ(lookup(d, "TVX_M"), "machine");
    EXPECT_EQ(lookup(d, "TVX_MU"), "user");
    EXPECT_EQ(lookup(d, "TVX_ALL"), "table");
    EXPECT_EQ(lookup(d, "TVX_EMPTYREG"), "<absent>");
    EXPECT_EQ(lookup(d, "OSNAME"), "<absent>");
    unsetenv("TVX_ALL");
    unsetenv("TVX_ENV");
}

TEST_F(Environment, EnvironmentBlocksRoundTrip)
{
    const char block[] = "A=1\0B=\0noequals\0C=x=y\0\0";
    CSEnvironDictionary d = makeDictionary();
    addEnvironmentBlock(d, block);
    addEnvironmentBlock(d, nullptr);
    EXPECT_EQ(d.entries(), 3u);
    EXPECT_EQ(lookup(d, "B"), "");
    EXPECT_EQ(lookup(d, "C"), "x=y");

    const int needed = 2 + (1 + 1 + 2) + (1 + 0 + 2) + (1 + 3 + 2);
    char small[needed - 1];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(writeEnvironmentBlock(d, small, needed - 1), -needed);
    EXPECT_EQ(small[0], '#');

    char* made = makeEnvironmentBlock(d);
    ASSERT_NE(made, nullptr);
    CSEnvironDictionary back = makeDictionary();
    addEnvironmentBlock(back, made);
    EXPECT_EQ(back.entries(), 3u);
    EXPECT_EQ(lookup(back, "C"), "x=y");
    EXPECT_EQ(made[needed - 1], '\0');
    EXPECT_EQ(made[needed - 2], '\0');
    std::free(made);

    CSEnvironDictionary empty = makeDictionary();
    char two[2] = {'#', '#'};
    EXPECT_EQ(writeEnvironmentBlock(empty, two, 2), 2);
    EXPECT_EQ(two[0], '\0');
    EXPECT_EQ(two[1], '\0');
}

TEST_F(Environment, ProcessEnvironmentIsEntered)
{
    setenv("TVX_PROC", "p=q", 1);
    CSEnvironDictionary d = makeDictionary();
    addProcessEnvironment(d);
    EXPECT_EQ(lookup(d, "TVX_PROC"), "p=q");
    unsetenv("TVX_PROC");
}

TEST_F(Environment, OverlongRegistryPrefixIsRefused)
{
    RWCString original = userPathKey();
    EXPECT_FALSE(setUserPathKey(RWCString('x', 256)));
    EXPECT_STREQ(userPathKey().data(), original.data());
    EXPECT_TRUE(setMachinePathKey(RWCString("HKEY_LOCAL_MACHINE\\") + RWCString('k', 236)));
    EXPECT_EQ(machinePathKey().length(), 255u);

    EXPECT_TRUE(setUserPathKey("HKEY_CURRENT_USER\\Other\\"));
    reg::setString(reg::Root::CurrentUser, "Other\\TVX_MOVED", "", "moved");
    EXPECT_EQ(get("TVX_MOVED"), "moved");
    EXPECT_TRUE(setUserPathKey(original));
    EXPECT_TRUE(setMachinePathKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVANE\\PATH\\"));
}
