// Tests of the registry stand-in: addressing, case, values and enumeration.
#include "platform/registry.h"

#include <gtest/gtest.h>

using namespace platform::registry;

class Registry : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
};

TEST_F(Registry, KeysAndValuesIgnoreCaseAndKeepTheirSpelling)
{
    setString(Root::CurrentUser, "Software\\Maker\\Path", "", "dflt");
    setString(Root::CurrentUser, "SOFTWARE\\maker\\PATH", "Name", "v");
    EXPECT_TRUE(keyExists(Root::CurrentUser, "software\\MAKER\\path"));
    EXPECT_FALSE(keyExists(Root::LocalMachine, "software\\MAKER\\path"));
    EXPECT_EQ(queryValue(Root::CurrentUser, "software\\maker\\path", "")->text, "dflt");
    EXPECT_EQ(queryValue(Root::CurrentUser, "software\\maker\\path", "NAME")->text, "v");
    EXPECT_EQ(subkeyNames(Root::CurrentUser, "SOFTWARE")->at(0), "Maker");
    EXPECT_FALSE(queryValue(Root::CurrentUser, "software\\maker\\path", "other").has_value());
    EXPECT_FALSE(queryValue(Root::CurrentUser, "software\\nothing", "").has_value());
}

TEST_F(Registry, SetValueNeedsAnExistingKey)
{
    Value v;
    v.text = "x";
    EXPECT_FALSE(setValue(Root::Users, "a\\b", "n", v));
    EXPECT_TRUE(createKey(Root::Users, "a\\b"));
    EXPECT_TRUE(keyExists(Root::Users, "a"));
    EXPECT_TRUE(setValue(Root::Users, "a\\b", "n", v));
    EXPECT_EQ(queryValue(Root::Users, "a\\b", "n")->text, "x");
}

TEST_F(Registry, NumbersKeepTheirType)
{
    setNumber(Root::LocalMachine, "k", "count", 42);
    auto v = queryValue(Root::LocalMachine, "k", "count");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->type, ValueType::Number);
    EXPECT_EQ(v->number, 42u);
}

TEST_F(Registry, EnumerationIsSortedIgnoringCase)
{
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2", "Delta"})
        createKey(Root::ClassesRoot, std::string("top\\") + name);
    std::vector<std::string> expected = {"Alpha", "ALPHA2", "beta", "Delta", "gamma"};
    EXPECT_EQ(*subkeyNames(Root::ClassesRoot, "top"), expected);
    EXPECT_TRUE(subkeyNames(Root::ClassesRoot, "top\\beta")->empty());
    EXPECT_FALSE(subkeyNames(Root::ClassesRoot, "missing").has_value());
}

TEST_F(Registry, RemoveKeyTakesTheSubtreeAndRemoveValueOneValue)
{
    setString(Root::CurrentUser, "a\\b\\c", "v", "1");
    setString(Root::CurrentUser, "a", "w", "2");
    EXPECT_TRUE(removeValue(Root::CurrentUser, "a", "W"));
    EXPECT_FALSE(removeValue(Root::CurrentUser, "a", "w"));
    EXPECT_TRUE(removeKey(Root::CurrentUser, "A\\B"));
    EXPECT_FALSE(keyExists(Root::CurrentUser, "a\\b\\c"));
    EXPECT_TRUE(keyExists(Root::CurrentUser, "a"));
    EXPECT_FALSE(removeKey(Root::CurrentUser, "a\\b"));
}

TEST_F(Registry, ReadOnlyKeysRefuseWritesAtOrBelowThemUntilReset)
{
    using namespace platform::registry;
    reset();
    setString(Root::ClassesRoot, "Locked\\Inner", "v", "old");
    setReadOnly(Root::ClassesRoot, "Locked");
    EXPECT_FALSE(createKey(Root::ClassesRoot, "Locked\\New"));
    EXPECT_FALSE(setValue(Root::ClassesRoot, "locked\\inner", "v", Value{ValueType::String, "new", 0}));
    EXPECT_FALSE(removeValue(Root::ClassesRoot, "Locked\\Inner", "v"));
    EXPECT_FALSE(removeKey(Root::ClassesRoot, "Locked\\Inner"));
    EXPECT_FALSE(removeKey(Root::ClassesRoot, ""));
    EXPECT_EQ(queryValue(Root::ClassesRoot, "Locked\\Inner", "v")->text, "old");
    EXPECT_TRUE(createKey(Root::ClassesRoot, "Open\\Key"));  // beside it: writable
    reset();
    EXPECT_TRUE(createKey(Root::ClassesRoot, "Locked\\New"));
    reset();
}
