// Object parameters and dispatch values: what converts, what keeps the old value.
#include <gtest/gtest.h>

#include "platform/com/PropertyExchange.h"
#include "platform/com/Variant.h"

using platform::com::PropertyBag;
using platform::com::PropertyExchange;
using platform::com::Variant;

TEST(PropertyExchange, LoadConvertsWholeNumbersSaveWritesTextResetKeeps)
{
    PropertyBag bag = {{"Name", "model.stl"}, {"Count", " 12"}, {"Bad", "12abc"}, {"Alpha", "0.5"}, {"Huge", "1e99"}};
    std::string name = "x";
    int32_t count = 1, bad = 7, missing = 3;
    float alpha = 1.0f, huge = 2.0f;
    PropertyExchange load(PropertyExchange::Mode::Load, bag);
    load.exchange("Name", name);
    load.exchange("Count", count);
    load.exchange("Bad", bad);
    load.exchange("Missing", missing);
    load.exchange("Alpha", alpha);
    load.exchange("Huge", huge);
    EXPECT_EQ(name, "model.stl");
    EXPECT_EQ(count, 12);
    EXPECT_EQ(bad, 7);
    EXPECT_EQ(missing, 3);
    EXPECT_FLOAT_EQ(alpha, 0.5f);

    PropertyBag saved;
    PropertyExchange save(PropertyExchange::Mode::Save, saved);
    save.exchange("Name", name);
    save.exchange("Count", count);
    save.exchange("Alpha", alpha);
    EXPECT_EQ(saved, (PropertyBag{{"Name", "model.stl"}, {"Count", "12"}, {"Alpha", "0.5"}}));

    PropertyExchange reset(PropertyExchange::Mode::Reset, saved);
    count = 99;
    reset.exchange("Count", count);
    EXPECT_EQ(count, 99);
}

TEST(Variant, ConversionsOfDispatchArguments)
{
    int32_t l = 0;
    double d = 0;
    std::string t;
    EXPECT_TRUE(Variant::fromText("-42").toLong(l));
    EXPECT_EQ(l, -42);
    EXPECT_FALSE(Variant::fromText("4x").toLong(l));
    EXPECT_FALSE(Variant::fromText("99999999999").toLong(l));
    EXPECT_TRUE(Variant::fromDouble(2.6).toLong(l));
    EXPECT_EQ(l, 3);
    EXPECT_FALSE(Variant::fromDouble(1e20).toLong(l));
    EXPECT_TRUE(Variant::fromLong(5).toDouble(d));
    EXPECT_EQ(d, 5.0);
    EXPECT_TRUE(Variant::fromDouble(12.5).toText(t));
    EXPECT_EQ(t, "12.5");
    EXPECT_FALSE(Variant().toText(t));
}
