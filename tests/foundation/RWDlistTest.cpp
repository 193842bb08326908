// Tests of the doubly linked list core, the typed doubly linked lists and their iterators.
#include "foundation/RWDlist.h"
#include "foundation/RWTPair.h"
#include "foundation/RWTPtrDlist.h"
#include "foundation/RWTValDlist.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/foundation/CollectionTestSupport.h"

namespace {

std::vector<int> contents(RWTValDlist<int>& l)
{
    std::vector<int> out;
    RWTValDlistIterator<int> it(l);
    while (++it)
        out.push_back(it.key());
    return out;
}

bool firstIs(RWTPair<int, int>* p, void* data)
{
    return p->first == *static_cast<int*>(data);
}

void sumSeconds(RWTPair<int, int>* p, void* data)
{
    *static_cast<int*>(data) += p->second;
}

}  // namespace

TEST(RWDlist, CoreChecksAndBothDirections)
{
    RWDlink a, b, c;
    RWDlist l;
    RWDlistIterator it(l);
    EXPECT_EQ(++it, nullptr);
    it.toLast();
    EXPECT_FALSE(it.isActive());
    l.append(&b);
    l.prepend(&a);
    l.insertAt(2, &c);
    EXPECT_EQ(l.at(0), &a);
    EXPECT_EQ(l.at(2), &c);
    EXPECT_EQ(boundsText([&] { l.at(3); }), indexErr(3, 3));
    EXPECT_EQ(boundsText([&] { l.at(RW_NPOS); }), kNposIndex);
    EXPECT_EQ(boundsText([&] { l.insertAt(4, &a); }), indexErr(4, 3));
    EXPECT_EQ(boundsText([&] { l.removeAt(RW_NPOS); }), kNposIndex);
    it.reset();
    EXPECT_EQ(it += 3, &c);
    EXPECT_TRUE(it.atLast());
    EXPECT_EQ(++it, nullptr);
    EXPECT_EQ(++it, nullptr);  // stays at the tail
    EXPECT_EQ(--it, &c);
    EXPECT_EQ(it -= 2, &a);
    EXPECT_EQ(--it, nullptr);
    EXPECT_EQ(--it, nullptr);  // stays at the head
    EXPECT_EQ(l.removeAt(1), &b);
    EXPECT_EQ(l.removeFirst(), &a);
    EXPECT_EQ(l.removeFirst(), &c);
    EXPECT_EQ(l.removeFirst(), nullptr);
    EXPECT_TRUE(l.isEmpty());
}

TEST(RWTValDlist, StackOrderRemovalAndIteratorRemove)
{
    RWTValDlist<int> l;
    l.prepend(1);
    l.prepend(2);
    l.prepend(3);
    EXPECT_EQ(l.removeFirst(), 3);  // the last pushed comes back first
    EXPECT_EQ(contents(l), (std::vector<int>{2, 1}));
    l.append(5);
    l.append(2);
    EXPECT_FALSE(l.remove(9));
    EXPECT_EQ(l.entries(), 4u);
    EXPECT_TRUE(l.remove(2));
    EXPECT_EQ(contents(l), (std::vector<int>{1, 5, 2}));
    EXPECT_EQ(l.first(), 1);

    RWTValDlistIterator<int> it(l);
    ++it;
    ++it;
    EXPECT_EQ(it.key(), 5);
    EXPECT_TRUE(it.remove());
    EXPECT_EQ(it.key(), 1);  // on the predecessor
    EXPECT_TRUE(++it);
    EXPECT_EQ(it.key(), 2);  // the link after the removed one
    EXPECT_FALSE(++it);
    EXPECT_FALSE(it.remove());
    EXPECT_EQ(contents(l), (std::vector<int>{1, 2}));

    RWTValDlist<int> empty;
    EXPECT_FALSE(empty.remove(1));
    RWTValDlistIterator<int> e(empty);
    EXPECT_FALSE(++e);
    RWTValDlist<int> copy(l);
    copy.append(3);
    EXPECT_EQ(contents(copy), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(contents(l), (std::vector<int>{1, 2}));
}

TEST(RWTPtrDlist, TestersApplyAndPairEquality)
{
    using Pair = RWTPair<int, int>;
    RWTPtrDlist<Pair> l;
    l.append(new Pair(1, 10));
    l.append(new Pair(2, 20));
    l.append(new Pair(1, 30));
    int sum = 0;
    l.apply(sumSeconds, &sum);
    EXPECT_EQ(sum, 60);
    int want = 1;
    Pair* found = l.find(firstIs, &want);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->second, 10);
    want = 7;
    EXPECT_EQ(l.find(firstIs, &want), nullptr);
    Pair probe(1, 30);
    Pair* byValue = l.remove(&probe);  // both members must match
    ASSERT_NE(byValue, nullptr);
    EXPECT_EQ(byValue->second, 30);
    delete byValue;
    want = 2;
    delete l.remove(firstIs, &want);
    EXPECT_EQ(l.entries(), 1u);
    RWTPtrDlistIterator<Pair> it(l);
    EXPECT_EQ(it()->second, 10);
    EXPECT_EQ(it(), nullptr);
    delete l.removeFirst();
    EXPECT_EQ(l.removeFirst(), nullptr);
}
