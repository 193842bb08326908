// Tests of the vector storages: untyped and typed pointer arrays and the value array.
// g++ 12 at -O3 reports a false -Wrestrict inside std::string::assign (GCC bug 105329).
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

#include "foundation/RWPtrVector.h"
#include "foundation/RWTPtrVector.h"
#include "foundation/RWTValVector.h"

#include <gtest/gtest.h>

#include "tests/foundation/CollectionTestSupport.h"

TEST(RWPtrVector, ConstructorsAndArrays)
{
    int a = 1, b = 2;
    RWPtrVector filled(3, &a);
    EXPECT_EQ(filled.length(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(filled(i), &a);

    RWPtrVector copy(filled);
    copy.set(1, &b);
    EXPECT_EQ(copy(0), &a);
    EXPECT_EQ(copy(1), &b);
    EXPECT_EQ(filled(1), &a);  // own array

    copy = &b;
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(copy(i), &b);

    RWPtrVector assigned(1);
    assigned = filled;
    EXPECT_EQ(assigned.length(), 3u);
    EXPECT_EQ(assigned(2), &a);
    assigned = assigned;  // self-assignment keeps the array
    EXPECT_EQ(assigned(2), &a);
}

TEST(RWPtrVector, ReshapeKeepsLeadingSlotsAndResizeNullsNewOnes)
{
    int x[5];
    RWPtrVector v(5);
    for (size_t i = 0; i < 5; ++i)
        v.set(i, &x[i]);
    v.reshape(5);
    EXPECT_EQ(v(4), &x[4]);
    v.reshape(3);
    ASSERT_EQ(v.length(), 3u);
    EXPECT_EQ(v(0), &x[0]);
    EXPECT_EQ(v(2), &x[2]);
    v.resize(6);
    ASSERT_EQ(v.length(), 6u);
    EXPECT_EQ(v(2), &x[2]);
    for (size_t i = 3; i < 6; ++i)
        EXPECT_EQ(v(i), nullptr);
    v.reshape(0);
    EXPECT_EQ(v.length(), 0u);
}

TEST(RWPtrVector, BoundsCheckTexts)
{
    RWPtrVector v(4);
    EXPECT_EQ(boundsText([&] { v.boundsCheck(3); }), "no error");
    EXPECT_EQ(boundsText([&] { v.boundsCheck(4); }), indexErr(4, 4));
    EXPECT_EQ(boundsText([&] { v.boundsCheck(RW_NPOS); }), kNposIndex);
    EXPECT_EQ(v.length(), 4u);
}

TEST(RWTPtrVector, GrowthFieldsTravelWithCopies)
{
    RWTPtrVector<int> v(0, true, 0);  // increment 0 is stored as 1
    EXPECT_EQ(v.length(), 0u);
    EXPECT_EQ(v.resizeIncrement(), 1u);
    EXPECT_TRUE(v.growByDoubling());
    RWTPtrVector<int> w(16, false, 64);
    int k = 5;
    w(15) = &k;
    w = v;
    EXPECT_EQ(w.length(), 0u);
    EXPECT_EQ(w.resizeIncrement(), 1u);
    EXPECT_TRUE(w.growByDoubling());
    RWTPtrVector<int> c(RWTPtrVector<int>(16, false, 64));
    EXPECT_EQ(c.initialCapacity(), 16u);
    EXPECT_EQ(c.length(), 16u);
}

TEST(RWTValVector, CopyHasSourceCapacityAndReshapeKeepsValues)
{
    RWTValVector<std::string> v(4, false, 64);
    EXPECT_EQ(v.length(), 4u);
    EXPECT_EQ(v(3), "");
    v(0) = "a";
    v(3) = "d";
    RWTValVector<std::string> c(v);
    EXPECT_EQ(c.length(), 4u);
    EXPECT_EQ(c(3), "d");
    c.reshape(2);
    EXPECT_EQ(c.length(), 2u);
    EXPECT_EQ(c(0), "a");
    c.reshape(5);
    EXPECT_EQ(c(0), "a");
    EXPECT_EQ(c(4), "");
    c.reshape(0);
    EXPECT_EQ(c.data(), nullptr);

    RWTValVector<int> ints(3);
    EXPECT_EQ(ints(2), 0);  // plain slots start at zero
    RWTValVector<int> none1(0), none2(0, true, 7);
    none1 = none2;  // both without an array: counted as the same, fields kept
    EXPECT_FALSE(none1.growByDoubling());
}
