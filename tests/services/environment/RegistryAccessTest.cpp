// Tests of registry access by path text: root words, separators, value types and storeVariable.
#include "services/environment/RegistryAccess.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"
#include "services/environment/Environment.h"

namespace reg = platform::registry;

class RegistryAccess : public ::testing::Test {
protected:
    void SetUp() override { reg::reset(); }
    void TearDown() override { reg::reset(); }
};

TEST_F(RegistryAccess, RootWordsAndTheFirstSeparator)
{
    reg::setString(reg::Root::CurrentUser, "Software\\Maker", "Name", "cu");
    reg::setString(reg::Root::LocalMachine, "Software\\Maker", "Name", "lm");
    reg::setString(reg::Root::ClassesRoot, "Software\\Maker", "Name", "cr");
    reg::setString(reg::Root::Users, "Software\\Maker", "Name", "us");
    struct Case {
        const char* path;
        const char* expected;
        bool found;
    } cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Maker", "cu", true},
        {"HKEY_CURRENT_USER/Software\\Maker", "cu", true},
        {"HKEY_LOCAL_MACHINE\\software\\maker", "lm", true},
        {"HKEY_CLASSES_ROOT\\Software\\Maker", "cr", true},
        {"HKEY_USERS\\Software\\Maker", "us", true},
        {"hkey_current_user\\Software\\Maker", "", false},  // root words compare exactly
        {"HKEY_CURRENT_USER/Software/Maker", "", false},    // later '/' are part of the key name
        {"HKEY_CURRENT_USER", "", false},
        {"HKCU\\Software\\Maker", "", false},
    };
    for (const Case& c : cases) {
        bool found = !c.found;
        EXPECT_STREQ(readRegistryValue(c.path, "name", &found).data(), c.expected) << c.path;
        EXPECT_EQ(found, c.found) << c.path;
    }
}

TEST_F(RegistryAccess, OnlyStringValuesThatFitTheBufferAreRead)
{
    reg::setNumber(reg::Root::CurrentUser, "k", "n", 5);
    reg::setString(reg::Root::CurrentUser, "k", "fits", std::string(1023, 'x'));
    reg::setString(reg::Root::CurrentUser, "k", "long", std::string(1024, 'x'));
    bool found = true;
    EXPECT_STREQ(readRegistryValue("HKEY_CURRENT_USER\\k", "n", &found).data(), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(readRegistryValue("HKEY_CURRENT_USER\\k", "fits", &found).length(), 1023u);
    EXPECT_TRUE(found);
    EXPECT_EQ(readRegistryValue("HKEY_CURRENT_USER\\k", "long", &found).length(), 0u);
    EXPECT_FALSE(found);
}

TEST_F(RegistryAccess, EnumerationIgnoresOneTrailingSeparator)
{
    for (const char* name : {"b", "A", "c"})
        reg::createKey(reg::Root::LocalMachine, std::string("SOFTWARE\\KORVANE\\PATH\\") + name);
    for (const char* path : {"HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVANE\\PATH", "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVANE\\PATH\\",
                             "HKEY_LOCAL_MACHINE/SOFTWARE\\KORVANE\\PATH/"}) {
        RWTValOrderedVector<RWCString> names = enumRegistryKeys(path);
        ASSERT_EQ(names.entries(), 3u) << path;
        EXPECT_STREQ(names[0].data(), "A");
        EXPECT_STREQ(names[2].data(), "c");
    }
    EXPECT_EQ(enumRegistryKeys("").entries(), 0u);
    EXPECT_EQ(enumRegistryKeys("HKEY_LOCAL_MACHINE\\missing").entries(), 0u);
}

TEST_F(RegistryAccess, WriteCreatesKeysOnlyWhenAsked)
{
    EXPECT_EQ(writeRegistryValue("HKEY_USERS\\a\\b", "v", "1", false), -1);
    EXPECT_FALSE(reg::keyExists(reg::Root::Users, "a"));
    EXPECT_EQ(writeRegistryValue("HKEY_USERS\\a\\b", "v", "1", true), 1);
    EXPECT_EQ(writeRegistryValue("HKEY_USERS\\a\\b", "v", "2", false), 1);
    EXPECT_STREQ(readRegistryValue("HKEY_USERS\\a\\b", "v").data(), "2");
    EXPECT_EQ(writeRegistryValue("HKEY_NOWHERE\\a", "v", "1", true), -1);
    EXPECT_EQ(writeRegistryValue("nosep", "v", "1", true), -1);
}

TEST_F(RegistryAccess, StoreVariableWritesWhereTheVariableLives)
{
    reg::createKey(reg::Root::CurrentUser, "Environment");
    reg::setString(reg::Root::LocalMachine, "SOFTWARE\\KORVANE\\PATH\\InMachine", "", "old");
    reg::setString(reg::Root::CurrentUser, "SOFTWARE\\KORVANE\\PATH\\InBoth", "", "old");
    reg::setString(reg::Root::LocalMachine, "SOFTWARE\\KORVANE\\PATH\\InBoth", "", "old");

    EXPECT_EQ(storeVariable("InMachine", "m"), 1);
    EXPECT_EQ(storeVariable("InBoth", "u"), 1);
    EXPECT_EQ(storeVariable("Elsewhere", "e"), 1);

    EXPECT_EQ(reg::queryValue(reg::Root::LocalMachine, "SOFTWARE\\KORVANE\\PATH\\InMachine", "")->text, "m");
    EXPECT_EQ(reg::queryValue(reg::Root::CurrentUser, "SOFTWARE\\KORVANE\\PATH\\InBoth", "")->text, "u");
    EXPECT_EQ(reg::queryValue(reg::Root::LocalMachine, "SOFTWARE\\KORVANE\\PATH\\InBoth", "")->text, "old");
    EXPECT_EQ(reg::queryValue(reg::Root::CurrentUser, "Environment", "Elsewhere")->text, "e");
    EXPECT_FALSE(reg::keyExists(reg::Root::CurrentUser, "SOFTWARE\\KORVANE\\PATH\\Elsewhere"));
    EXPECT_FALSE(reg::keyExists(reg::Root::LocalMachine, "SOFTWARE\\KORVANE\\PATH\\Elsewhere"));
    EXPECT_EQ(getTableVariable("Elsewhere").length(), 0u);

    reg::removeKey(reg::Root::CurrentUser, "Environment");
    EXPECT_EQ(storeVariable("Elsewhere", "e"), -1);
}
