// Tests of the counted string: sharing, the capacity rule, the core replace and the queries.
#include "foundation/RWCString.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/RWxmsg.h"

namespace {

std::string whyOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const RWBoundsErr& e) {
        return e.why();
    }
    return "(nothing raised)";
}

}  // namespace

TEST(RWCString, EmptyStringsShareTheEmptyRepresentation)
{
    RWCString a;
    RWCString b("");
    RWCString c(a);
    RWCString d(RWCapacity(0));
    RWCString e("", 0);
    EXPECT_EQ(a.data(), b.data());
    EXPECT_EQ(a.data(), c.data());
    EXPECT_EQ(a.data(), d.data());
    EXPECT_EQ(a.data(), e.data());
    EXPECT_EQ(a.capacity(), 0u);
    EXPECT_EQ(a.length(), 0u);
    EXPECT_TRUE(a.isNull());
    EXPECT_STREQ(a.data(), "");
}

TEST(RWCString, ConstructorsFollowTheCapacityRule)
{
    struct Case {
        RWCString s;
        size_t length;
        size_t capacity;
    } cases[] = {
        {RWCString("abc"), 3, 3},
        {RWCString('x'), 1, 15},
        {RWCString('x', 4), 4, 4},
        {RWCString("ab\0cd", 5), 5, 5},
        {RWCString(RWCapacity(40)), 0, 40},
        {RWCString("abc") + RWCString(), 3, 15},
        {RWCString("0123456789") + "0123456789", 20, 31},
        {"x" + RWCString("y"), 2, 15},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.s.length(), c.length) << c.s.data();
        EXPECT_EQ(c.s.capacity(), c.capacity) << c.s.data();
        EXPECT_EQ(c.s.data()[c.length], '\0');
    }
}

TEST(RWCString, AdjustCapacitySteps)
{
    const size_t table[][2] = {{0, 15}, {15, 15}, {16, 31}, {31, 31}, {32, 47}, {47, 47}, {48, 63}, {100, 111}};
    for (auto& row : table)
        EXPECT_EQ(RWCString::adjustCapacity(row[0]), row[1]) << row[0];
}

TEST(RWCString, SettingsReturnPreviousValue)
{
    EXPECT_EQ(RWCString::initialCapacity(31), 15u);
    EXPECT_EQ(RWCString::adjustCapacity(3), 31u);
    EXPECT_EQ(RWCString::initialCapacity(15), 31u);
    EXPECT_EQ(RWCString::resizeIncrement(0), 16u);  // 0 would divide by zero; taken as 1
    EXPECT_EQ(RWCString::adjustCapacity(20), 20u);
    EXPECT_EQ(RWCString::resizeIncrement(16), 1u);
    EXPECT_EQ(RWCString::maxWaste(3), 15u);
    EXPECT_EQ(RWCString::maxWaste(15), 3u);
}

TEST(RWCString, AppendGrowsByTheRule)
{
    RWCString s;
    s.append("abcdefghijklmnopqrst");  // 20
    EXPECT_EQ(s.capacity(), 31u);
    s.append("ABCDEFGHIJKLMNOPQ");  // 37
    EXPECT_EQ(s.length(), 37u);
    EXPECT_EQ(s.capacity(), 47u);
    EXPECT_EQ(s, "abcdefghijklmnopqrstABCDEFGHIJKLMNOPQ");
}

TEST(RWCString, ManyAppendsKeepTextAndRuleCapacity)
{
    RWCString s;
    std::string expect;
    for (int i = 0; i < 500; ++i) {
        const char* piece = (i % 3) ? "xyz" : "0123456789";
        s.append(piece);
        expect += piece;
        ASSERT_EQ(s.capacity(), RWCString::adjustCapacity(s.length()));
    }
    EXPECT_EQ(std::string(s.data(), s.length()), expect);
}

TEST(RWCString, GrowingEditsKeepTextAndTheRule)
{
    // Inserts in the middle, at the front and repeated characters, each growing the buffer now
    // and then; the text and the capacity rule must hold after every step.
    RWCString s;
    std::string expect;
    for (int i = 0; i < 300; ++i) {
        switch (i % 3) {
        case 0:
            s.insert(s.length() / 2, "<mid>");
            expect.insert(expect.size() / 2, "<mid>");
            ASSERT_EQ(s.capacity(), RWCString::adjustCapacity(s.length()));
            break;
        case 1:
            s.prepend("ab");
            expect.insert(0, "ab");
            ASSERT_EQ(s.capacity(), RWCString::adjustCapacity(s.length()));
            break;
        default:
            s.append('x', 3);  // grows to exactly the new length when it must grow
            expect.append(3, 'x');
            ASSERT_GE(s.capacity(), s.length());
            break;
        }
        ASSERT_EQ(std::string(s.data(), s.length()), expect) << i;
        ASSERT_EQ(s.data()[s.length()], '\0');
    }
    // A copy taken while growing keeps its text when the original grows on.
    RWCString snapshot(s);
    const std::string before = expect;
    for (int i = 0; i < 50; ++i)
        s.append("0123456789");
    EXPECT_EQ(std::string(snapshot.data(), snapshot.length()), before);
    EXPECT_EQ(s.length(), before.size() + 500);
    EXPECT_EQ(s.capacity(), RWCString::adjustCapacity(s.length()));
}

TEST(RWCString, AppendsFollowTheSettingsOfTheMoment)
{
    // Increments that are and are not powers of two, changed while a string grows.
    const struct {
        size_t initial, increment;
    } settings[] = {{15, 16}, {15, 10}, {7, 3}, {31, 64}, {15, 1}};
    RWCString s;
    std::string expect;
    for (const auto& set : settings) {
        const size_t oldInitial = RWCString::initialCapacity(set.initial);
        const size_t oldIncrement = RWCString::resizeIncrement(set.increment);
        for (int i = 0; i < 40; ++i) {
            const size_t before = s.capacity();
            s.append("abcde");
            expect += "abcde";
            ASSERT_EQ(std::string(s.data(), s.length()), expect);
            if (s.length() > before) {
                ASSERT_EQ(s.capacity(), RWCString::adjustCapacity(s.length()))
                    << set.initial << "/" << set.increment << " at " << s.length();
            } else {
                ASSERT_EQ(s.capacity(), before);
            }
        }
        RWCString::initialCapacity(oldInitial);
        RWCString::resizeIncrement(oldIncrement);
    }
    EXPECT_EQ(RWCString::adjustCapacity(20), 31u);
}

TEST(RWCString, ShrinkingEditsRespectMaxWaste)
{
    struct Case {
        size_t removed;
        size_t capacity;
    } cases[] = {{30, 15}, {20, 31}, {5, 47}};
    for (auto c : cases) {
        RWCString s(RWCapacity(47));
        s.append(std::string(40, 'q').c_str());
        ASSERT_EQ(s.capacity(), 47u);
        s.remove(0, c.removed);
        EXPECT_EQ(s.length(), 40 - c.removed);
        EXPECT_EQ(s.capacity(), c.capacity) << c.removed;
    }
}

TEST(RWCString, CopyBeforeChange)
{
    RWCString a("shared text");
    RWCString b;
    b = a;
    EXPECT_EQ(a.data(), b.data());
    b.append("!");
    EXPECT_EQ(a, "shared text");
    EXPECT_EQ(b, "shared text!");
    EXPECT_NE(a.data(), b.data());

    RWCString c(a);
    c[0] = 'S';
    EXPECT_EQ(a, "shared text");
    EXPECT_EQ(c, "Shared text");

    RWCString d(a);
    d.toLower();
    d.toUpper();
    EXPECT_EQ(a, "shared text");
    EXPECT_EQ(d, "SHARED TEXT");
}

TEST(RWCString, AppendOwnTextToItself)
{
    RWCString s("abcdef");
    s.append(s.data(), s.length());
    EXPECT_EQ(s, "abcdefabcdef");
    s.append(s);
    EXPECT_EQ(s, "abcdefabcdefabcdefabcdef");
    // With room to spare the source still lies in the own buffer.
    RWCString t(RWCapacity(64));
    t = "hello";
    t.append(t.data() + 1, 3);
    EXPECT_EQ(t, "helloell");
    t.prepend(t.data() + 5, 3);
    EXPECT_EQ(t, "ellhelloell");
    t.replace(2, 4, t.data(), 11);
    EXPECT_EQ(t, "elellhelloellloell");
}

TEST(RWCString, AssignEmptyText)
{
    RWCString s(RWCapacity(31));
    s = "some text";
    s = "";
    EXPECT_EQ(s.length(), 0u);
    EXPECT_EQ(s.capacity(), 31u);
    EXPECT_EQ(s.data()[0], '\0');

    RWCString t("abc");
    RWCString u(t);
    u = "";
    EXPECT_EQ(u.data(), RWCString().data());
    EXPECT_EQ(t, "abc");
}

TEST(RWCString, SelfAssignmentChangesNothing)
{
    RWCString s("text");
    const char* before = s.data();
    RWCString& alias = s;
    s = alias;
    EXPECT_EQ(s.data(), before);
    EXPECT_EQ(s, "text");
    RWCString copy(s);
    s = copy;
    EXPECT_EQ(s, "text");
    s = s.data() + 1;  // text from the own buffer
    EXPECT_EQ(s, "ext");
}

TEST(RWCString, CopyGivesPrivateExactBuffer)
{
    RWCString a("01234567890123456789");
    RWCString b(a);
    RWCString c = b.copy();
    EXPECT_NE(c.data(), a.data());
    EXPECT_EQ(c.capacity(), 20u);
    EXPECT_EQ(c, a);
    EXPECT_EQ(RWCString().copy().data(), RWCString().data());
}

TEST(RWCString, AppendAndPrependCharacters)
{
    RWCString s("abc");
    s.append('x', 2);
    EXPECT_EQ(s, "abcxx");
    EXPECT_EQ(s.capacity(), 5u);
    s.prepend('-', 3);
    EXPECT_EQ(s, "---abcxx");
    EXPECT_EQ(s.capacity(), 15u);
    s.prepend('+', 2);  // fits: moved up in place
    EXPECT_EQ(s, "++---abcxx");
    EXPECT_EQ(s.capacity(), 15u);
    s += 'z';
    s += "yz";
    s += RWCString("!");
    EXPECT_EQ(s, "++---abcxxzyz!");
}

TEST(RWCString, ResizePadsOrTruncates)
{
    RWCString s("ab");
    s.resize(5);
    EXPECT_EQ(s, "ab   ");
    s.resize(1);
    EXPECT_EQ(s, "a");
}

TEST(RWCString, ReplaceInsertRemoveForms)
{
    RWCString s("hello world");
    s.replace(0, 5, "HELLO");
    EXPECT_EQ(s, "HELLO world");
    s.replace(6, 100, RWCString("there"));  // count cut at the end
    EXPECT_EQ(s, "HELLO there");
    s.insert(5, RWCString(","));
    EXPECT_EQ(s, "HELLO, there");
    s.remove(5, 1);
    EXPECT_EQ(s, "HELLO there");
    s.remove(5);
    EXPECT_EQ(s, "HELLO");
    s.prepend("<");
    s.append(">");
    EXPECT_EQ(s, "<HELLO>");
    s.replace(1, 5, nullptr, 7);  // a null text counts as nothing
    EXPECT_EQ(s, "<>");
}

TEST(RWCString, ReplaceBeyondLengthRaisesIndexError)
{
    RWCString s("abc");
    EXPECT_EQ(whyOf([&] { s.replace(4, 0, "x"); }),
              "[INDEXERR] Illegal Index (4) for collection or string with 3 elements");
    EXPECT_EQ(whyOf([&] { s.remove(RW_NPOS); }),
              "[INDEXERR] Illegal Index (4294967295) for collection or string with 3 elements");
    EXPECT_EQ(s, "abc");
    s.replace(3, 0, "d");  // the end itself is a valid position
    EXPECT_EQ(s, "abcd");
}

TEST(RWCString, CapacityRequest)
{
    RWCString s("abc");
    EXPECT_EQ(s.capacity(50), 50u);
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(s.capacity(2), 50u);  // not below the length
    RWCString t(s);
    EXPECT_EQ(t.capacity(50), 50u);
    EXPECT_EQ(t.data(), s.data());  // unchanged capacity: still shared
}

TEST(RWCString, CompareToOrders)
{
    RWCString e9("\xE9");
    EXPECT_EQ(e9.compareTo("a"), -1);                 // signed against a text
    EXPECT_GT(e9.compareTo(RWCString("a")), 0);       // unsigned against a string
    EXPECT_EQ(RWCString("ab").compareTo("abc"), -1);
    EXPECT_EQ(RWCString("abc").compareTo("ab"), 1);
    EXPECT_EQ(RWCString("abc").compareTo("abc"), 0);
    EXPECT_EQ(RWCString("ABC").compareTo("abc", RWCString::ignoreCase), 0);
    EXPECT_EQ(RWCString("ABC").compareTo(RWCString("abd"), RWCString::ignoreCase), -1);
    EXPECT_EQ(RWCString("abc").compareTo(RWCString("ab")), 1);
    EXPECT_EQ(RWCString("ab").compareTo(RWCString("abc")), -1);
    EXPECT_TRUE(RWCString("a") < RWCString("b"));
    EXPECT_TRUE("a" < RWCString("b"));
}

TEST(RWCString, EqualityCountsCharacters)
{
    RWCString withNul("ab\0c", 4);
    EXPECT_FALSE(withNul == "ab");
    EXPECT_TRUE(withNul == RWCString("ab\0c", 4));
    EXPECT_FALSE(withNul == RWCString("ab\0d", 4));
    EXPECT_TRUE(RWCString("ab") == "ab");
    EXPECT_TRUE("ab" == RWCString("ab"));
    EXPECT_TRUE(RWCString("ab") != "abc");
    EXPECT_TRUE(RWCString() == "");
}

TEST(RWCString, HashValuesAreFixed)
{
    struct Case {
        RWCString s;
        unsigned exact;
        unsigned folded;
    } cases[] = {
        {RWCString(), 0x0u, 0x0u},
        {RWCString("abcd"), 0x646362e1u, 0x618024u},
        {RWCString("abcde"), 0x8c6c5849u, 0xe3004c5u},
        {RWCString("Hello, World"), 0x31fade34u, 0xa04b0fb7u},
        {RWCString("ab\xE9"), 0xffffff89u, 0x8ca9u},  // a high tail byte sets the upper bits
        {RWCString("abcd\x80"), 0x7393a7acu, 0xe300400u},
        {RWCString("config.key"), 0xdc7405cdu, 0x16460998u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.s.hash(), c.exact) << c.s.data();
        EXPECT_EQ(RWCString::staticHash(c.s), c.exact) << c.s.data();
        EXPECT_EQ(c.s.hash(RWCString::ignoreCase), c.folded) << c.s.data();
    }
}

TEST(RWCString, IgnoreCaseCompareAndHashAgree)
{
    const char* pairs[][2] = {{"Config", "CONFIG"}, {"path/To/File.CFG", "PATH/to/file.cfg"}, {"x", "X"}};
    for (auto& p : pairs) {
        RWCString a(p[0]), b(p[1]);
        EXPECT_EQ(a.compareTo(b, RWCString::ignoreCase), 0);
        EXPECT_EQ(a.hash(RWCString::ignoreCase), b.hash(RWCString::ignoreCase));
        EXPECT_NE(a.hash(), b.hash());
    }
}

TEST(RWCString, IndexFindsPatterns)
{
    RWCString s("abcabcABC");
    EXPECT_EQ(s.index("bc"), 1u);
    EXPECT_EQ(s.index("bc", 2), 4u);
    EXPECT_EQ(s.index("BC", 0, RWCString::ignoreCase), 1u);
    EXPECT_EQ(s.index("Bc", 5, RWCString::ignoreCase), 7u);
    EXPECT_EQ(s.index("xyz"), RW_NPOS);
    EXPECT_EQ(s.index("", 4), 4u);
    EXPECT_EQ(RWCString().index(""), 0u);
    EXPECT_EQ(s.index("ABC", 7), RW_NPOS);
    EXPECT_EQ(s.index("", 10), RW_NPOS);
    EXPECT_EQ(RWCString("ABC").index("b", 0, RWCString::ignoreCase), 1u);
    EXPECT_EQ(s.index(RWCString("cA")), 5u);
    EXPECT_EQ(s.index("c\0A", 3, 0, RWCString::exact), RW_NPOS);
    EXPECT_TRUE(s.contains("cab"));
    EXPECT_TRUE(s.contains(RWCString("cabc")));
    EXPECT_FALSE(s.contains("cc"));
}

TEST(RWCString, CharacterSearchesAndEmbeddedNul)
{
    RWCString s("a/b\0c/d", 7);
    EXPECT_EQ(s.first('/'), 1u);
    EXPECT_EQ(s.last('/'), 1u);         // stops at the NUL
    EXPECT_EQ(s.last('/', 7), 5u);      // counted
    EXPECT_EQ(s.first('d'), RW_NPOS);
    EXPECT_EQ(s.first('d', 7), 6u);
    EXPECT_EQ(s.first('\0'), 3u);
    EXPECT_EQ(RWCString("abc").first('\0'), 3u);
    EXPECT_EQ(s.firstOf("cb"), 2u);
    EXPECT_EQ(s.firstOf("dc"), RW_NPOS);
    EXPECT_EQ(s.firstOf("dc", 2), 4u);
    EXPECT_EQ(s.firstOf("\0", 1), 3u);
}

TEST(RWCString, CaseConversionFreeFunctions)
{
    RWCString s(RWCapacity(31));
    s = "MiXed 1";
    RWCString lower = toLower(s);
    RWCString upper = toUpper(s);
    EXPECT_EQ(lower, "mixed 1");
    EXPECT_EQ(upper, "MIXED 1");
    EXPECT_EQ(lower.capacity(), 31u);
    EXPECT_EQ(s, "MiXed 1");
}

TEST(RWCString, StripGivesViews)
{
    RWCString s("  text  ");
    EXPECT_EQ(RWCString(s.strip(RWCString::leading)), "text  ");
    EXPECT_EQ(RWCString(s.strip(RWCString::trailing)), "  text");
    EXPECT_EQ(RWCString(s.strip(RWCString::both)), "text");
    EXPECT_EQ(RWCString(RWCString("xxaxx").strip(RWCString::both, 'x')), "a");
    EXPECT_TRUE(RWCString("    ").strip(RWCString::both).isNull());
    EXPECT_TRUE(RWCString().strip(RWCString::both).isNull());
    RWCString fromNull(RWCString("   ").strip(RWCString::both));
    EXPECT_TRUE(fromNull.isNull());
    EXPECT_EQ(fromNull.capacity(), 15u);
    EXPECT_EQ(s, "  text  ");
}

TEST(RWCString, CheckedAccessRaisesCatalogTexts)
{
    RWCString s("abc");
    EXPECT_EQ(s[2], 'c');
    EXPECT_EQ(whyOf([&] { s[3]; }), "[INDEXERR] Illegal Index (3) for collection or string with 3 elements");
    EXPECT_EQ(whyOf([&] { s[7]; }), "[INDEXERR] Illegal Index (7) for collection or string with 3 elements");
    EXPECT_EQ(whyOf([&] { s[RW_NPOS]; }), "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
    const RWCString& cs = s;
    EXPECT_EQ(whyOf([&] { (void)cs[3]; }), "[INDEXERR] Illegal Index (3) for collection or string with 3 elements");
    EXPECT_EQ(s, "abc");
    s(1) = 'B';
    EXPECT_EQ(s, "aBc");
    EXPECT_EQ(cs(2), 'c');
}

TEST(RWCString, LocaleHelpers)
{
    EXPECT_TRUE(RWCString("plain").isAscii());
    EXPECT_FALSE(RWCString("caf\xE9").isAscii());
    EXPECT_LT(RWCString("a").collate("b"), 0);
    EXPECT_EQ(RWCString("abc").mbLength(), 3u);
    RWCString x = RWCString("abc").strXForm();
    EXPECT_GE(x.length(), 3u);
}

TEST(RWCString, MoveLeavesEmptyString)
{
    RWCString a("moved text");
    RWCString b(std::move(a));
    EXPECT_EQ(b, "moved text");
    EXPECT_TRUE(a.isNull());  // NOLINT(bugprone-use-after-move)
    a = std::move(b);
    EXPECT_EQ(a, "moved text");
}

TEST(RWCString, SharedCopiesAcrossThreads)
{
    RWCString base("a text shared by several threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&base, t] {
            for (int i = 0; i < 2000; ++i) {
                RWCString copy(base);
                RWCString other;
                other = copy;
                if (i % 7 == 0)
                    other.append(char('a' + t));
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(base, "a text shared by several threads");
}

TEST(RWCString, AppendAfterAnotherThreadDroppedItsCopyIsOrderedAfterItsReads)
{
    // Each pair: the reader reads its copy, drops it and only then says so through a flag that
    // carries no ordering of its own; the owner then appends in place. Only the sole-owner check
    // orders the reader's last reads before the owner's writes (ThreadSanitizer checks that).
    constexpr int kPairs = 4;
    constexpr int kRounds = 300;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int p = 0; p < kPairs; ++p) {
        auto handOff = std::make_shared<std::atomic<RWCString*>>(nullptr);
        auto dropped = std::make_shared<std::atomic<int>>(0);
        threads.emplace_back([handOff, dropped, &failures] {
            for (int round = 0; round < kRounds; ++round) {
                RWCString* copy;
                while ((copy = handOff->load(std::memory_order_acquire)) == nullptr)
                    std::this_thread::yield();
                handOff->store(nullptr, std::memory_order_relaxed);
                // As a C text, up to its NUL: the byte the owner's append writes first.
                if (std::strlen(copy->data()) != copy->length())
                    ++failures;
                delete copy;
                dropped->store(round + 1, std::memory_order_relaxed);
            }
        });
        threads.emplace_back([handOff, dropped, &failures] {
            for (int round = 0; round < kRounds; ++round) {
                RWCString owned("shared until the copy is dropped");
                owned.capacity(256);
                handOff->store(new RWCString(owned), std::memory_order_release);
                while (dropped->load(std::memory_order_relaxed) != round + 1)
                    std::this_thread::yield();
                owned.append(" and then extended", 18);
                if (owned != "shared until the copy is dropped and then extended")
                    ++failures;
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0);
}
