// Tests of the sorted pointer vector: stable ordered insertion, binary search and runs.
#include "foundation/RWTPtrSortedVector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "tests/foundation/CollectionTestSupport.h"

namespace {

// Keys and tags of the elements, in vector order.
std::vector<std::pair<int, int>> order(const RWTPtrSortedVector<Keyed>& v)
{
    std::vector<std::pair<int, int>> out;
    for (size_t i = 0; i < v.entries(); ++i)
        out.emplace_back(v[i]->key, v[i]->tag);
    return out;
}

}  // namespace

TEST(RWTPtrSortedVector, InsertionKeepsOrderAndPutsEqualsAfterTheRun)
{
    std::deque<Keyed> store;
    RWTPtrSortedVector<Keyed> v;
    const std::pair<int, int> inserts[] = {{5, 0}, {1, 0}, {9, 0}, {5, 1}, {0, 0}, {5, 2}, {10, 0}, {1, 1}};
    for (auto [key, tag] : inserts) {
        store.emplace_back(key, tag);
        v.insert(&store.back());
    }
    EXPECT_EQ(order(v), (std::vector<std::pair<int, int>>{
                            {0, 0}, {1, 0}, {1, 1}, {5, 0}, {5, 1}, {5, 2}, {9, 0}, {10, 0}}));
    Keyed five(5), one(1), three(3);
    EXPECT_EQ(v.index(&five), 3u) << "first of the run";
    EXPECT_EQ(v.index(&three), RW_NPOS);
    EXPECT_EQ(v.occurrencesOf(&five), 3u);
    EXPECT_EQ(v.occurrencesOf(&three), 0u);
    size_t last = 77;
    EXPECT_EQ(v.equalRange(&five, last), 3u);
    EXPECT_EQ(last, 5u);
    last = 77;
    EXPECT_EQ(v.equalRange(&three, last), RW_NPOS);
    EXPECT_EQ(last, 77u);
    EXPECT_TRUE(v.contains(&one));

    EXPECT_EQ(v.remove(&five)->tag, 0);
    EXPECT_EQ(v.removeAll(&one), 2u);
    EXPECT_EQ(v.removeAll(&three), 0u);
    EXPECT_EQ(order(v), (std::vector<std::pair<int, int>>{{0, 0}, {5, 1}, {5, 2}, {9, 0}, {10, 0}}));
    EXPECT_EQ(boundsText([&] { v[5]; }), indexErr(5, 5));
    EXPECT_EQ(boundsText([&] { v[RW_NPOS]; }), indexErr(4294967295u, 5));
}

TEST(RWTPtrSortedVector, BsearchStopsWhereTheWalkSays)
{
    std::deque<Keyed> store;
    RWTPtrSortedVector<Keyed> v;
    for (int k : {1, 2, 8, 9, 10}) {
        store.emplace_back(k);
        v.insert(&store.back());
    }
    struct Case {
        int key;
        bool found;
        size_t position;
    };
    const Case cases[] = {{3, false, 1}, {1, true, 0}, {10, true, 4}, {0, false, 0}, {11, false, 4}, {8, true, 2}};
    for (const Case& c : cases) {
        Keyed probe(c.key);
        size_t pos = 99;
        EXPECT_EQ(v.bsearch(&probe, pos), c.found) << c.key;
        EXPECT_EQ(pos, c.position) << c.key;
    }
    RWTPtrSortedVector<Keyed> empty;
    Keyed probe(1);
    size_t pos = 99;
    EXPECT_FALSE(empty.bsearch(&probe, pos));
    EXPECT_EQ(pos, 0u);
    EXPECT_EQ(empty.index(&probe), RW_NPOS);
}

TEST(RWTPtrSortedVector, MatchesAStableSortOfRandomKeys)
{
    std::deque<Keyed> store;
    RWTPtrSortedVector<Keyed> v(16);
    std::vector<std::pair<int, int>> expected;
    unsigned seed = 12345;
    for (int i = 0; i < 500; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int key = int((seed >> 16) % 40);
        store.emplace_back(key, i);
        v.insert(&store.back());
        expected.emplace_back(key, i);
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    EXPECT_EQ(order(v), expected);
    EXPECT_EQ(v.capacity(), 528u) << "grows by 64 from 16";
    RWTPtrSortedVector<Keyed> copy(v);
    EXPECT_EQ(order(copy), expected);
}

TEST(RWTPtrSortedVector, ClearAndDestroyDeletesThroughVirtualDestructor)
{
    struct Hit : Keyed {
        explicit Hit(int k, int* gone) : Keyed(k), gone_(gone) {}
        ~Hit() override { ++*gone_; }
        int* gone_;
    };
    int gone = 0;
    RWTPtrSortedVector<Keyed> v(64);
    v.insert(new Hit(3, &gone));
    v.insert(new Hit(1, &gone));
    v.insert(new Hit(2, &gone));
    v.clearAndDestroy();
    EXPECT_EQ(gone, 3);
    EXPECT_EQ(v.entries(), 0u);
}
