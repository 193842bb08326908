// Tests of the ordered vectors of values and of pointers.
#include "foundation/RWTPtrOrderedVector.h"
#include "foundation/RWTValOrderedVector.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/foundation/CollectionTestSupport.h"

namespace {

template <class Vec>
std::vector<size_t> capacitiesWhileAppending(Vec& v, size_t n)
{
    std::vector<size_t> seen{v.capacity()};
    for (size_t i = 0; i < n; ++i) {
        v.append(int(i));
        if (v.capacity() != seen.back())
            seen.push_back(v.capacity());
    }
    return seen;
}

std::vector<int> contents(const RWTValOrderedVector<int>& v)
{
    return std::vector<int>(v.data(), v.data() + v.entries());
}

}  // namespace

TEST(RWTValOrderedVector, GrowthSequences)
{
    struct Case {
        size_t initial;
        bool doubling;
        size_t increment;
        size_t appends;
        std::vector<size_t> capacities;
    };
    const Case cases[] = {
        {0, false, 64, 193, {0, 64, 128, 192, 256}},
        {0, true, 64, 9, {0, 1, 2, 4, 8, 16}},
        {10000, true, 64, 20001, {10000, 20000, 40000}},
        {0, false, 0, 3, {0, 1, 2, 3}},
        {16, false, 64, 17, {16, 80}},
    };
    for (const Case& c : cases) {
        RWTValOrderedVector<int> v(c.initial, c.doubling, c.increment);
        EXPECT_EQ(capacitiesWhileAppending(v, c.appends), c.capacities) << c.initial << "/" << c.doubling;
        EXPECT_EQ(v.entries(), c.appends);
        v.removeAt(0);
        EXPECT_EQ(v.capacity(), c.capacities.back()) << "removal never shrinks";
        v.clear();
        EXPECT_EQ(v.entries(), 0u);
        EXPECT_EQ(v.capacity(), c.initial) << "clear returns to the initial capacity";
        if (c.initial == 0) {
            EXPECT_EQ(v.data(), nullptr);
        }
    }
}

TEST(RWTValOrderedVector, BadIndexesReportIndexErrNeverNpos)
{
    RWTValOrderedVector<int> v;
    for (int i = 0; i < 3; ++i)
        v.append(i);
    const RWTValOrderedVector<int>& cv = v;
    EXPECT_EQ(boundsText([&] { v[3]; }), indexErr(3, 3));
    EXPECT_EQ(boundsText([&] { cv[3]; }), indexErr(3, 3));
    EXPECT_EQ(boundsText([&] { v.at(RW_NPOS); }), indexErr(4294967295u, 3));
    EXPECT_EQ(boundsText([&] { v.removeAt(3); }), indexErr(3, 3));
    EXPECT_EQ(boundsText([&] { v.insertAt(5, 9); }), indexErr(4, 3));
    EXPECT_EQ(boundsText([&] { v.insertAt(4, 9); }), indexErr(3, 3));
    EXPECT_EQ(contents(v), (std::vector<int>{0, 1, 2})) << "nothing changed";
    v.insertAt(3, 9);
    v.insertAt(0, 7);
    v.insertAt(2, 8);
    EXPECT_EQ(contents(v), (std::vector<int>{7, 0, 8, 1, 2, 9}));
}

TEST(RWTValOrderedVector, SearchAndRemoval)
{
    RWTValOrderedVector<int> v;
    for (int x : {5, 1, 5, 2, 5, 3})
        v.insert(x);
    EXPECT_EQ(v.index(5), 0u);
    EXPECT_EQ(v.index(4), RW_NPOS);
    EXPECT_EQ(v.occurrencesOf(5), 3u);
    EXPECT_TRUE(v.contains(3));
    EXPECT_FALSE(v.remove(4));
    EXPECT_EQ(v.entries(), 6u);
    EXPECT_TRUE(v.remove(5));
    EXPECT_EQ(contents(v), (std::vector<int>{1, 5, 2, 5, 3}));
    EXPECT_EQ(v.removeAll(9), 0u);
    EXPECT_EQ(v.removeAll(5), 2u);
    EXPECT_EQ(contents(v), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(v.removeAt(1), 2);
    EXPECT_EQ(v.last(), 3);
    EXPECT_EQ(v.removeLast(), 3);
    EXPECT_EQ(contents(v), (std::vector<int>{1}));

    RWTValOrderedVector<NeverEqual> never;
    never.append(NeverEqual());
    EXPECT_EQ(never.index(never[0]), RW_NPOS);
    EXPECT_EQ(never.removeAll(never[0]), 0u);
}

TEST(RWTValOrderedVector, VacatedSlotsAreResetSoHandlesReleaseAtOnce)
{
    auto a = std::make_shared<int>(1);
    auto b = std::make_shared<int>(2);
    RWTValOrderedVector<std::shared_ptr<int>> v;
    v.append(a);
    v.append(b);
    v.append(a);
    EXPECT_EQ(b.use_count(), 2);
    v.removeAt(1);
    EXPECT_EQ(b.use_count(), 1);
    EXPECT_EQ(v.removeAll(a), 2u);
    EXPECT_EQ(a.use_count(), 1);
    v.append(b);
    v.clear();
    EXPECT_EQ(b.use_count(), 1);
}

TEST(RWTValOrderedVector, InsertingOwnElementSurvivesGrowthAndShift)
{
    RWTValOrderedVector<std::string> v(0, false, 1);
    v.append("first");
    v.append(v[0]);  // grows while the argument lives in the old array
    v.insertAt(0, v[1]);
    EXPECT_EQ(v.entries(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(v[i], "first");
    v.append("other");
    EXPECT_EQ(v.removeAll(v[0]), 3u);
    EXPECT_EQ(v.entries(), 1u);
    EXPECT_EQ(v[0], "other");
}

TEST(RWTValOrderedVector, CopyAndAssignmentKeepCapacityAndGrowth)
{
    RWTValOrderedVector<int> v(0, true, 64);
    for (int i = 0; i < 5; ++i)
        v.append(i);
    RWTValOrderedVector<int> c(v);
    EXPECT_EQ(c.entries(), 5u);
    EXPECT_EQ(c.capacity(), 8u);
    RWTValOrderedVector<int> d;
    d = v;
    d.append(5);
    d.append(6);
    d.append(7);
    d.append(8);
    EXPECT_EQ(d.capacity(), 16u);  // doubling travelled with the assignment
    EXPECT_EQ(v.entries(), 5u);
}

TEST(RWTPtrOrderedVector, ComparesPointedToObjects)
{
    Keyed a(1, 10), b(2, 20), a2(1, 11);
    RWTPtrOrderedVector<Keyed> v;
    v.insert(&a);
    v.append(&b);
    v.append(&a2);
    Keyed probe(1);
    EXPECT_EQ(v.index(&probe), 0u);
    EXPECT_EQ(v.occurrencesOf(&probe), 2u);
    EXPECT_TRUE(v.contains(&probe));
    Keyed absent(7);
    EXPECT_EQ(v.remove(&absent), nullptr);
    EXPECT_EQ(v.remove(&probe), &a);
    EXPECT_EQ(v.removeAll(&probe), 1u);
    EXPECT_EQ(v.entries(), 1u);
    EXPECT_EQ(v[0], &b);
    EXPECT_EQ(boundsText([&] { v[1]; }), indexErr(1, 1));
    EXPECT_EQ(boundsText([&] { v.insertAt(2, &a); }), indexErr(1, 1));
    v.append(nullptr);
    EXPECT_EQ(v.index(nullptr), 1u) << "a null element matches only null";
    EXPECT_EQ(v.index(&absent), RW_NPOS);
}

TEST(RWTPtrOrderedVector, ClearAndDestroyDeletesEachElementOnce)
{
    const int before = Keyed::live;
    {
        RWTPtrOrderedVector<Keyed> v(16, false, 64);
        Keyed* shared = new Keyed(3);
        v.append(new Keyed(1));
        v.append(nullptr);
        v.append(shared);
        v.append(new Keyed(2));
        v.append(shared);
        EXPECT_EQ(Keyed::live, before + 3);
        v.clearAndDestroy();
        EXPECT_EQ(Keyed::live, before);
        EXPECT_EQ(v.entries(), 0u);
        EXPECT_EQ(v.capacity(), 16u);
        // the same with more elements than the small-list path handles
        std::vector<Keyed*> many;
        for (int i = 0; i < 100; ++i) {
            many.push_back(new Keyed(i));
            v.append(many.back());
            v.append(many.back());
        }
        v.clearAndDestroy();
        EXPECT_EQ(Keyed::live, before);
    }
}
