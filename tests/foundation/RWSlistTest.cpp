// Tests of the singly linked list core, the typed singly linked lists and their iterators.
#include "foundation/RWSlist.h"
#include "foundation/RWTPtrSlist.h"
#include "foundation/RWTValSlist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/foundation/CollectionTestSupport.h"

namespace {

std::vector<std::string> contents(RWTValSlist<std::string>& l)
{
    std::vector<std::string> out;
    RWTValSlistIterator<std::string> it(l);
    while (++it)
        out.push_back(it.key());
    return out;
}

}  // namespace

TEST(RWSlist, CoreIndexChecksAndLastLink)
{
    RWSlink a, b, c;
    RWSlist l;
    EXPECT_EQ(l.lastLink(), l.headSentinel());
    l.append(&a);
    l.insertAt(1, &c);  // insertAt(count) appends
    l.insertAt(1, &b);
    EXPECT_EQ(l.entries(), 3u);
    EXPECT_EQ(l.at(0), &a);
    EXPECT_EQ(l.at(1), &b);
    EXPECT_EQ(l.at(2), &c);
    EXPECT_EQ(boundsText([&] { l.at(3); }), indexErr(3, 3));
    EXPECT_EQ(boundsText([&] { l.at(RW_NPOS); }), kNposIndex);
    EXPECT_EQ(boundsText([&] { l.insertAt(4, &a); }), indexErr(4, 3));
    EXPECT_EQ(boundsText([&] { l.insertAt(RW_NPOS, &a); }), kNposIndex);
    EXPECT_EQ(boundsText([&] { l.removeAt(3); }), indexErr(3, 3));

    EXPECT_EQ(l.findLeftReference(&a), l.headSentinel());
    EXPECT_EQ(l.findLeftReference(&c), &b);
    RWSlink stranger;
    EXPECT_EQ(l.removeReference(&stranger), nullptr);
    EXPECT_EQ(l.removeReference(nullptr), nullptr);
    EXPECT_FALSE(l.containsReference(&stranger));
    EXPECT_EQ(l.removeReference(&c), &c);  // the last link: last moves back
    EXPECT_EQ(c.next_, nullptr);
    EXPECT_EQ(l.lastLink(), &b);
    l.append(&c);
    EXPECT_EQ(l.at(2), &c);
    EXPECT_EQ(l.removeAt(2), &c);
    EXPECT_EQ(l.removeAt(0), &a);
    EXPECT_EQ(l.removeAt(0), &b);
    EXPECT_EQ(l.lastLink(), l.headSentinel());
    l.append(&a);
    EXPECT_EQ(l.firstLink(), &a);
    EXPECT_EQ(l.lastLink(), &a);

    RWSlist one(&b);
    EXPECT_EQ(one.entries(), 1u);
    RWSlistIterator it(one);
    it.insertAfterPoint(&c);  // before the first link
    EXPECT_EQ(one.at(0), &c);
    it.toLast();
    it.insertAfterPoint(&a);  // after the last link: last follows
    EXPECT_EQ(one.lastLink(), &a);
    EXPECT_EQ(one.entries(), 3u);
}

TEST(RWSlist, IteratorEdges)
{
    RWTValSlist<std::string> empty;
    RWTValSlistIterator<std::string> e(empty);
    EXPECT_FALSE(++e);
    EXPECT_FALSE(++e);
    e.toLast();
    EXPECT_FALSE(e.isActive());

    RWTPtrSlist<Keyed> none;
    RWTPtrSlistIterator<Keyed> pe(none);
    EXPECT_EQ(pe(), nullptr);

    RWTValSlist<std::string> l;
    for (const char* s : {"a", "b", "c"})
        l.append(s);
    RWTValSlistIterator<std::string> it(l);
    EXPECT_FALSE(it.isActive());
    EXPECT_TRUE(++it);
    EXPECT_TRUE(it.atFirst());
    EXPECT_TRUE(++it);
    EXPECT_EQ(it.key(), "b");
    EXPECT_TRUE(it.remove());  // back on "a"
    EXPECT_EQ(it.key(), "a");
    EXPECT_TRUE(++it);
    EXPECT_EQ(it.key(), "c");
    EXPECT_TRUE(it.atLast());
    EXPECT_FALSE(++it);
    EXPECT_FALSE(++it);  // stays past the end
    EXPECT_FALSE(it.remove());
    it.reset();
    EXPECT_TRUE(it += 2);
    EXPECT_EQ(it.key(), "c");
    EXPECT_TRUE(it.remove());  // removing the last link: later appends still land at the end
    l.append("d");
    EXPECT_EQ(contents(l), (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(l.last(), "d");
}

TEST(RWTValSlist, ValuesCopiesAndRemoval)
{
    RWTValSlist<std::string> l;
    for (const char* s : {"x", "y", "x", "z"})
        l.insert(s);
    EXPECT_EQ(l.entries(), 4u);
    EXPECT_EQ(l.first(), "x");
    EXPECT_EQ(l.at(3), "z");
    EXPECT_EQ(boundsText([&] { l.at(4); }), indexErr(4, 4));
    EXPECT_EQ(boundsText([&] { l.at(RW_NPOS); }), kNposIndex);
    EXPECT_TRUE(l.contains("y"));
    EXPECT_FALSE(l.remove("w"));
    EXPECT_EQ(l.entries(), 4u);
    EXPECT_TRUE(l.remove("x"));  // only the first occurrence
    EXPECT_EQ(contents(l), (std::vector<std::string>{"y", "x", "z"}));
    EXPECT_TRUE(l.remove("z"));
    l.append("end");
    EXPECT_EQ(contents(l), (std::vector<std::string>{"y", "x", "end"}));

    RWTValSlist<std::string> c(l);
    c = c;
    EXPECT_EQ(contents(c), contents(l));
    RWTValSlist<std::string> d;
    d.append("old");
    d = l;
    EXPECT_EQ(contents(d), contents(l));
    EXPECT_EQ(d.removeAt(1), "x");
    EXPECT_EQ(contents(l).size(), 3u);
    RWTValSlist<std::string> moved(std::move(d));
    EXPECT_EQ(contents(moved), (std::vector<std::string>{"y", "end"}));
    moved.append("more");
    EXPECT_EQ(moved.last(), "more");
    EXPECT_TRUE(d.isEmpty());

    RWTValSlist<NeverEqual> never;
    never.append(NeverEqual());
    EXPECT_FALSE(never.remove(NeverEqual())) << "a non-reflexive equality must not hang the walk";
}

TEST(RWTPtrSlist, SearchRemovalAndDestroy)
{
    const int before = Keyed::live;
    RWTPtrSlist<Keyed> l;
    Keyed* a = new Keyed(1, 0);
    Keyed* b = new Keyed(2, 0);
    Keyed* a2 = new Keyed(1, 1);
    l.append(a);
    l.append(b);
    l.append(a2);
    Keyed one(1), three(3);
    EXPECT_EQ(l.find(&one), a);
    EXPECT_TRUE(l.contains(&one));
    EXPECT_FALSE(l.contains(&three));
    EXPECT_EQ(l.remove(&three), nullptr);
    EXPECT_EQ(l.remove(&one), a);
    EXPECT_EQ(l.removeAll(&one), 1u);
    EXPECT_EQ(l.entries(), 1u);
    l.append(a);
    l.append(a2);
    l.append(a);  // held twice
    l.append(nullptr);
    RWTPtrSlistIterator<Keyed> it(l);
    std::vector<Keyed*> seen;
    while (Keyed* k = it())
        seen.push_back(k);
    EXPECT_EQ(seen, (std::vector<Keyed*>{b, a, a2, a}));
    l.clearAndDestroy();
    EXPECT_EQ(l.entries(), 0u);
    EXPECT_EQ(Keyed::live, before + 2);  // one and three remain on the stack
}

TEST(RWTPtrSlistIterator, WalksAValueListOfPointers)
{
    Keyed a(1), b(2);
    RWTValSlist<Keyed*> l;
    l.append(&a);
    l.append(&b);
    RWTPtrSlistIterator<Keyed> it(l);
    EXPECT_TRUE(++it);
    EXPECT_EQ(it.key(), &a);
    EXPECT_EQ(it(), &b);
    EXPECT_EQ(it.remove(), &b);
    EXPECT_EQ(it.key(), &a);
    EXPECT_EQ(it(), nullptr);
    EXPECT_EQ(l.entries(), 1u);
    EXPECT_TRUE(l.remove(&a));  // value list of pointers: pointer identity
    EXPECT_TRUE(l.isEmpty());
}
