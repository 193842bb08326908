// Tests of the value hash dictionary and its iterator.
#include "foundation/RWTValHashDictionary.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

unsigned intHash(const int& i)
{
    return unsigned(i);
}

unsigned lengthHash(const std::string& s)
{
    return unsigned(s.size());
}

std::vector<std::pair<int, int>> walk(const RWTValHashDictionary<int, int>& d)
{
    std::vector<std::pair<int, int>> out;
    RWTValHashDictionaryIterator<int, int> it(d);
    while (it())
        out.emplace_back(it.key(), it.value());
    return out;
}

}  // namespace

TEST(RWTValHashDictionary, SubscriptAddsOnceAndLookupsDoNotAdd)
{
    RWTValHashDictionary<std::string, std::string> d(lengthHash, 0);
    EXPECT_EQ(d.buckets(), 2u);
    EXPECT_EQ(d["ab"], "");  // added with an empty value
    EXPECT_EQ(d.entries(), 1u);
    d["ab"] = "x";
    EXPECT_EQ(d.entries(), 1u);
    d.insertKeyAndValue("cd", "y");  // same bucket as "ab"
    d.insertKeyAndValue("ab", "z");
    EXPECT_EQ(d.entries(), 2u);
    std::string v = "untouched";
    EXPECT_FALSE(d.findValue("zz", v));
    EXPECT_EQ(v, "untouched");
    EXPECT_TRUE(d.findValue("ab", v));
    EXPECT_EQ(v, "z");
    EXPECT_FALSE(d.contains("q"));
    EXPECT_EQ(d.entries(), 2u);

    RWTValHashDictionary<int, int*> ptrs(intHash, 64);
    EXPECT_EQ(ptrs[5], nullptr);  // new numbers and pointers start at 0
    RWTValHashDictionary<int, int> nums(intHash);
    EXPECT_EQ(nums[5], 0);
}

TEST(RWTValHashDictionary, IterationOrderIsBucketThenInsertion)
{
    RWTValHashDictionary<int, int> d(intHash, 8);
    EXPECT_EQ(walk(d), (std::vector<std::pair<int, int>>{}));
    d.insertKeyAndValue(13, 1);  // bucket 5
    d.insertKeyAndValue(8, 2);   // bucket 0
    d.insertKeyAndValue(5, 3);   // bucket 5
    d.insertKeyAndValue(0, 4);   // bucket 0
    const std::vector<std::pair<int, int>> expected{{8, 2}, {0, 4}, {13, 1}, {5, 3}};
    EXPECT_EQ(walk(d), expected);

    RWTValHashDictionaryIterator<int, int> it(d);
    EXPECT_TRUE(it());
    EXPECT_TRUE(it());
    it.reset();
    EXPECT_TRUE(it());
    EXPECT_EQ(it.key(), 8);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(it());
    EXPECT_FALSE(it());
    EXPECT_FALSE(it());

    RWTValHashDictionary<int, int> copy(d);
    EXPECT_TRUE(d.remove(8));
    EXPECT_FALSE(d.remove(8));
    EXPECT_EQ(d.entries(), 3u);
    EXPECT_EQ(walk(copy), expected);
    d.clear();
    EXPECT_EQ(d.entries(), 0u);
    EXPECT_EQ(d.buckets(), 8u);
    EXPECT_EQ(walk(d), (std::vector<std::pair<int, int>>{}));
    d[3] = 9;
    EXPECT_EQ(walk(d), (std::vector<std::pair<int, int>>{{3, 9}}));
    copy = d;
    EXPECT_EQ(walk(copy), (std::vector<std::pair<int, int>>{{3, 9}}));
}
