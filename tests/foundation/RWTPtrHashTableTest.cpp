// Tests of the pointer hash table and set and of the value hash set.
#include "foundation/RWTPtrHashSet.h"
#include "foundation/RWTPtrHashTable.h"
#include "foundation/RWTValHashSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/foundation/CollectionTestSupport.h"

namespace {

unsigned keyHash(const Keyed& k)
{
    return unsigned(k.key);
}

unsigned intHash(const int& i)
{
    return unsigned(i);
}

void collectTags(Keyed* k, void* data)
{
    static_cast<std::vector<int>*>(data)->push_back(k->tag);
}

}  // namespace

TEST(RWTPtrHashTable, KeepsDuplicatesWhileTheSetRefusesThem)
{
    Keyed a(3, 1), a2(3, 2), b(5, 3);
    RWTPtrHashTable<Keyed> table(keyHash, 0);
    EXPECT_EQ(table.buckets(), 2u);  // 0 buckets become 2
    EXPECT_TRUE(table.insert(&a));
    EXPECT_TRUE(table.insert(&a2));
    EXPECT_EQ(table.entries(), 2u);

    RWTPtrHashSet<Keyed> set(keyHash, 4);
    RWTPtrHashTable<Keyed>& asTable = set;  // insert is virtual
    EXPECT_TRUE(asTable.insert(&a));
    EXPECT_FALSE(asTable.insert(&a2));
    EXPECT_TRUE(set.insert(&b));
    EXPECT_EQ(set.entries(), 2u);
    Keyed probe(3);
    EXPECT_EQ(set.find(&probe), &a) << "the stored object, not the probe";
    EXPECT_TRUE(set.contains(&probe));
    Keyed absent(7);  // bucket 3, never used
    EXPECT_EQ(set.remove(&absent), nullptr);
    EXPECT_FALSE(set.contains(&absent));
    EXPECT_EQ(set.remove(&probe), &a);
    EXPECT_EQ(set.entries(), 1u);
    EXPECT_EQ(table.removeAll(&probe), 2u);
    EXPECT_EQ(table.entries(), 0u);
}

TEST(RWTPtrHashTable, OrderIsBucketThenInsertionAndClearKeepsBuckets)
{
    Keyed e[] = {{5, 0}, {0, 1}, {9, 2}, {4, 3}, {1, 4}};  // buckets of 4: 1 0 1 0 1
    RWTPtrHashTable<Keyed> table(keyHash, 4);
    for (Keyed& k : e)
        table.insert(&k);
    std::vector<int> tags;
    table.apply(collectTags, &tags);
    EXPECT_EQ(tags, (std::vector<int>{1, 3, 0, 2, 4}));
    RWTPtrHashTable<Keyed> copy(table);
    table.clear();
    EXPECT_EQ(table.entries(), 0u);
    EXPECT_EQ(table.buckets(), 4u);
    EXPECT_TRUE(table.insert(&e[0]));
    EXPECT_EQ(table.entries(), 1u);
    tags.clear();
    copy.apply(collectTags, &tags);
    EXPECT_EQ(tags, (std::vector<int>{1, 3, 0, 2, 4}));
}

TEST(RWTValHashSet, MembershipAndInsert)
{
    RWTValHashSet<int> set(intHash, 8);
    EXPECT_FALSE(set.contains(3));
    EXPECT_TRUE(set.insert(3));
    EXPECT_TRUE(set.insert(11));  // same bucket
    EXPECT_FALSE(set.insert(3));
    EXPECT_EQ(set.entries(), 2u);
    EXPECT_TRUE(set.contains(11));
    EXPECT_FALSE(set.contains(19));
    const RWTValHashSet<int> copy(set);
    EXPECT_TRUE(set.remove(3));
    EXPECT_FALSE(set.remove(3));
    EXPECT_FALSE(set.contains(3));
    EXPECT_TRUE(copy.contains(3));
    set.clear();
    EXPECT_TRUE(set.isEmpty());
    EXPECT_EQ(set.buckets(), 8u);
}
