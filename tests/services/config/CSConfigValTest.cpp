// Tests of CSConfigVal: setters, typed getters, clamping and the modified mark.
#include <functional>

#include <gtest/gtest.h>

#include "services/config/CSConfigVal.h"

TEST(CSConfigValTest, SettersMarkModifiedAndClearKeepsTheMark)
{
    CSConfigVal v;
    EXPECT_FALSE(v.isModified());
    EXPECT_TRUE(v.isEmpty());
    v.setString(static_cast<const char*>(nullptr));
    EXPECT_TRUE(v.isModified());
    EXPECT_TRUE(v.isEmpty());
    v.setModified(false);
    v.setString("abc");
    v.setModified(false);
    v.clear();
    EXPECT_FALSE(v.isModified());
    EXPECT_STREQ(v.getString(), "");
    v.append(nullptr);
    EXPECT_TRUE(v.isModified());
}

TEST(CSConfigValTest, SettingFromItsOwnTextIsSafe)
{
    CSConfigVal v;
    v.setString("hello world");
    v.setString(v.getString() + 6);
    EXPECT_STREQ(v.getString(), "world");
    v.append(v.getString());
    EXPECT_STREQ(v.getString(), "worldworld");
    v.setModified(false);
    v = v;
    EXPECT_STREQ(v.getString(), "worldworld");
    EXPECT_FALSE(v.isModified());
}

TEST(CSConfigValTest, NumberAndArrayTexts)
{
    CSConfigVal v;
    const double d[] = {1.5, 2.25};
    const float f[] = {0.5f, 1.0f};
    const int ints[] = {4, -5, 6};
    struct {
        std::function<void()> set;
        const char* text;
    } cases[] = {
        {[&] { v.setInt(-42); }, "-42"},
        {[&] { v.setDouble(3.14159, 3); }, "3.142"},
        {[&] { v = 2.5; }, "2.50"},
        {[&] { v = 7; }, "7"},
        {[&] { v.setBool(true); }, "YES"},
        {[&] { v.setBool(false); }, "NO"},
        {[&] { v.setDoubleArray(d, 2, 2); }, "1.50,2.25"},
        {[&] { v.setFloatArray(f, 2, 1); }, "0.5,1.0"},
        {[&] { v.setIntArray(ints, 3); }, "4,-5,6"},
        {[&] { v.setIntArray(ints, 0); }, ""},
    };
    for (auto& c : cases) {
        c.set();
        EXPECT_STREQ(v.getString(), c.text);
    }
    RWTValOrderedVector<int> iv;
    iv.append(1);
    iv.append(2);
    v.setIntVector(iv, ';');
    EXPECT_STREQ(v.getString(), "1;2");
    RWTValOrderedVector<RWCString> sv;
    sv.append("a b");
    sv.append("c\"d");
    v.setStringVector(sv, ',', '"');
    EXPECT_STREQ(v.getString(), "\"a b\",\"c\"\"d\"");
    RWTValOrderedVector<RWCString> back = v.getStringVector(',', '"');
    ASSERT_EQ(back.entries(), 2u);
    EXPECT_EQ(back[0], "a b");
    EXPECT_EQ(back[1], "c\"d");
}

TEST(CSConfigValTest, BoolIntAndDoubleReadings)
{
    struct {
        const char* text;
        bool b;
        int i;
    } cases[] = {
        {"YES", true, 0}, {"Ja", true, 0}, {"TRUE", true, 0}, {"1", true, 1}, {" 1", true, 1},
        {"y", false, 0},  {"on", false, 0}, {" yes", false, 0}, {"12abc", false, 12}, {"-3", false, -3},
    };
    CSConfigVal v;
    for (auto& c : cases) {
        v.setString(c.text);
        EXPECT_EQ(v.getBool(), c.b) << c.text;
        EXPECT_EQ(v.getInt(), c.i) << c.text;
    }
    v.setString("  2.5e1x");
    EXPECT_DOUBLE_EQ(v.getDouble(), 25.0);
    v.setString("x");
    EXPECT_DOUBLE_EQ(v.getDouble(), 0.0);
}

TEST(CSConfigValTest, ClampingStoresOnlyWhenItClamps)
{
    CSConfigVal v;
    v.setString("15");
    v.setModified(false);
    EXPECT_EQ(v.getIntClamped(0, 10), 10);
    EXPECT_STREQ(v.getString(), "10");
    EXPECT_TRUE(v.isModified());
    v.setString("5");
    v.setModified(false);
    EXPECT_EQ(v.getIntClamped(0, 10), 5);
    EXPECT_FALSE(v.isModified());
    v.setString("-1.5");
    EXPECT_DOUBLE_EQ(v.getDoubleClamped(0.0, 1.0, 1), 0.0);
    EXPECT_STREQ(v.getString(), "0.0");
    v.setString("0.25");
    v.setModified(false);
    EXPECT_DOUBLE_EQ(v.getDoubleClamped(0.0, 1.0, 1), 0.25);
    EXPECT_FALSE(v.isModified());
}

TEST(CSConfigValTest, ArrayGettersStopAtMaxOrPieces)
{
    CSConfigVal v;
    v.setString("4, 5,6");
    int out[3] = {0, 0, 0};
    EXPECT_EQ(v.getIntArray(out, 2), 2);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[1], 5);
    EXPECT_EQ(out[2], 0);
    double dout[5];
    v.setString("1.5,2.5");
    EXPECT_EQ(v.getDoubleArray(dout, 5), 2);
    EXPECT_DOUBLE_EQ(dout[1], 2.5);
    float fout[1];
    EXPECT_EQ(v.getFloatArray(fout, 1), 1);
    EXPECT_FLOAT_EQ(fout[0], 1.5f);
    RWTValOrderedVector<int> iv = v.getIntVector(',');
    ASSERT_EQ(iv.entries(), 2u);
    EXPECT_EQ(iv[1], 2);
    RWTValOrderedVector<double> dv = v.getDoubleVector(',');
    ASSERT_EQ(dv.entries(), 2u);
    EXPECT_DOUBLE_EQ(dv[0], 1.5);
}
