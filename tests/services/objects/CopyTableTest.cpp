// Tests of the copy table and of the reachability check over a traversal.
#include <vector>

#include <gtest/gtest.h>

#include "services/objects/CopyTable.h"
#include "services/objects/TraversalReceiver.h"

namespace {

// A node of a test graph: enters itself, then descends into its children when allowed.
struct Node : TraversableI {
    std::vector<Node*> children;
    int entered = 0;
    void traverse(TraversalReceiverI* receiver) override
    {
        ++entered;
        if (receiver->enter(this))
            for (Node* c : children)
                c->traverse(receiver);
        receiver->leave(this);
    }
};

}  // namespace

TEST(CopyTableTest, CopyOrSelfFollowsTheLatestInsert)
{
    CopyTableC table;
    int a = 0, b = 0, c = 0;
    EXPECT_FALSE(table.contains(&a));
    EXPECT_EQ(table.copyOrSelf(&a), &a);
    table.insert(&a, &b);
    EXPECT_EQ(table.copyOrSelf(&a), &b);
    table.insert(&a, &c);
    EXPECT_EQ(table.copyOrSelf(&a), &c);
    EXPECT_EQ(table.entries(), 1u);

    EXPECT_EQ(table.lookup(&b), nullptr);
    EXPECT_TRUE(table.contains(&b));
    EXPECT_EQ(table.entries(), 2u);
    EXPECT_EQ(table.lookup(&b), nullptr);
    EXPECT_EQ(table.entries(), 2u);
}

TEST(CopyTableTest, ReachabilityEndsOnCyclesAndStopsOnceFound)
{
    Node n[5];
    n[0].children = {&n[1], &n[2]};
    n[1].children = {&n[2], &n[0]};
    n[2].children = {&n[0], &n[1], &n[3]};
    n[3].children = {&n[4]};
    referenceCheckerC checker;
    EXPECT_TRUE(checker.reachesTarget(&n[0], &n[0]));
    EXPECT_TRUE(checker.reachesTarget(&n[0], &n[4]));
    EXPECT_FALSE(checker.reachesTarget(&n[3], &n[0]));
    for (Node& node : n)
        node.entered = 0;
    int unrelated = 0;
    EXPECT_FALSE(checker.reachesTarget(&n[0], &unrelated));
    // Every node is descended into once; a node reached again is entered but not walked.
    EXPECT_EQ(n[0].entered, 3);
    EXPECT_EQ(n[4].entered, 1);

    EXPECT_TRUE(checker.reachesTarget(&n[0], &n[1]));
    EXPECT_FALSE(checker.enter(&n[3]));
    EXPECT_FALSE(checker.markVisited(&n[3]));
    EXPECT_TRUE(checker.markVisited(&n[3]));
    checker.clearVisited();
    EXPECT_FALSE(checker.markVisited(&n[3]));
}
