// Tests of the exception family, the message catalogs, the raisers and the fatal-error handler.
#include "foundation/RWxmsg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/RWMutex.h"
#include "platform/sys.h"

TEST(RWMessage, CatalogRecords)
{
    struct Case {
        const RWMsgId& id;
        const char* catalog;
        unsigned number;
        const char* text;
    } cases[] = {
        {RWTOOL_ALLOCOUT(), "rwtools7.0", 0x2000, "[ALLOCOUT] %s destructor called with allocation outstanding"},
        {RWTOOL_BADRE(), "rwtools7.0", 0x2001, "[BADRE] Attempt to use invalid regular expression"},
        {RWTOOL_SUBSTRING(), "rwtools7.0", 0x2010, "[SUBSTRING] Illegal substring (%d, %u) from %u element RWCString"},
        {RWTOOL_INDEXERR(), "rwtools7.0", 0x2013, "[INDEXERR] Illegal Index (%u) for collection or string with %u elements"},
        {RWTOOL_NPOSINDEX(), "rwtools7.0", 0x2014, "[NPOSINDEX] The value RW_NPOS cannot be used as an index."},
        {RWTOOL_CRABSS(), "rwtools7.0", 0x2016, "[CRABSS] RWFactory: attempting to create abstract class with StringID %s."},
        {RWCORE_EOF(), "rwcore7.0", 0x1000, "[EOF] EOF on input"},
        {RWCORE_NOMEM(), "rwcore7.0", 0x1005, "[NOMEM] No memory"},
        {RWCORE_OVFLOW(), "rwcore7.0", 0x1008, "[OVFLOW] Overflow error -> \"%.*s\" <- (%u max characters)"},
        {RWCORE_SYNSTREAM(), "rwcore7.0", 0x100a, "[SYNSTREAM] Syntax error in input stream: expected %s, got %s"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.id.catalog, c.catalog);
        EXPECT_EQ(c.id.number, c.number);
        EXPECT_STREQ(c.id.str(), c.text);
    }
}

TEST(RWMessage, FormatsAndCopies)
{
    RWMessage m(RWTOOL_INDEXERR(), 7u, 3u);
    EXPECT_STREQ(m.str(), "[INDEXERR] Illegal Index (7) for collection or string with 3 elements");
    RWMessage copy(m);
    EXPECT_NE(copy.str(), m.str());
    EXPECT_STREQ(copy.str(), m.str());
    RWMessage other("other");
    other = m;
    EXPECT_STREQ(other.str(), m.str());
    RWMessage& self = other;
    other = self;
    EXPECT_STREQ(other.str(), m.str());
}

TEST(RWMessage, LongTextIsCutAt1023Characters)
{
    std::string big(5000, 'x');
    RWMessage m(RWCORE_OPERR(), big.c_str());
    EXPECT_EQ(std::strlen(m.str()), 1023u);
    EXPECT_EQ(std::string(m.str(), 32), "[OPERR] Could not open file xxxx");
}

TEST(RWxmsg, RaisersCarryCatalogTexts)
{
    struct Case {
        void (*raise)();
        const char* why;
    } cases[] = {
        {[] { rwBoundsError(7, 3); }, "[INDEXERR] Illegal Index (7) for collection or string with 3 elements"},
        {[] { rwBoundsError(RW_NPOS, 3); }, "[NPOSINDEX] The value RW_NPOS cannot be used as an index."},
        {[] { rwIndexError(RW_NPOS, 3); }, "[INDEXERR] Illegal Index (4294967295) for collection or string with 3 elements"},
        {[] { rwSubStringError(8, RW_NPOS, 2); }, "[SUBSTRING] Illegal substring (-1, 2) from 8 element RWCString"},
        {[] { rwOverflowError(); }, "[OVFLOW] Overflow error -> \"Buffer may not resize larger than\" <- (4294967295 max characters)"},
        {[] { rwCheckIndex(5, 5); }, "[INDEXERR] Illegal Index (5) for collection or string with 5 elements"},
    };
    for (const auto& c : cases) {
        try {
            c.raise();
            ADD_FAILURE() << "nothing raised for " << c.why;
        } catch (const RWBoundsErr& e) {
            EXPECT_STREQ(e.why(), c.why);
            EXPECT_STREQ(e.what(), c.why);
        }
    }
    EXPECT_NO_THROW(rwCheckIndex(4, 5));
    try {
        rwBadRegexpError();
        ADD_FAILURE();
    } catch (const RWBoundsErr&) {
        ADD_FAILURE() << "a pattern error is not a bounds error";
    } catch (const RWInternalErr& e) {
        EXPECT_STREQ(e.why(), "[BADRE] Attempt to use invalid regular expression");
    }
}

TEST(RWxmsg, HandlersCatchByFamily)
{
    int internal = 0, root = 0, std = 0;
    try {
        rwBoundsError(1, 0);
    } catch (const RWInternalErr&) {
        ++internal;
    }
    try {
        RWFileErr("file", 1, 2).raise();
    } catch (const RWxmsg& e) {
        ++root;
        EXPECT_STREQ(e.why(), "file");
    }
    try {
        RWStreamErr(RWMessage(RWTOOL_STREAM()), 4).raise();
    } catch (const RWExternalErr& e) {
        ++root;
        EXPECT_STREQ(e.why(), "[STREAM] Bad input stream");
    }
    try {
        RWxalloc(100).raise();
    } catch (const RWxmsg& e) {
        ++root;
    }
    try {
        RWInternalErr("x").raise();
    } catch (const std::exception& e) {
        ++std;
        EXPECT_STREQ(e.what(), "x");
    }
    EXPECT_EQ(internal, 1);
    EXPECT_EQ(root, 3);
    EXPECT_EQ(std, 1);
}

TEST(RWxmsg, CopiesOwnTheirText)
{
    static const char fixed[] = "a text that outlives the exception";
    RWxmsg borrowed(fixed, false);
    RWxmsg copy(borrowed);
    EXPECT_EQ(borrowed.why(), fixed);
    EXPECT_EQ(copy.why(), fixed);

    RWxmsg owned(fixed, true);
    EXPECT_NE(owned.why(), fixed);
    RWxmsg ownedCopy(owned);
    EXPECT_NE(ownedCopy.why(), owned.why());
    EXPECT_STREQ(ownedCopy.why(), fixed);

    RWxmsg assigned("before");
    assigned = owned;
    EXPECT_STREQ(assigned.why(), fixed);
    assigned = borrowed;
    EXPECT_EQ(assigned.why(), fixed);

    RWxalloc alloc(42);
    EXPECT_EQ(alloc.why(), RWCORE_NOMEM().str());
    EXPECT_EQ(alloc.requested(), 42u);
    RWxalloc allocCopy(alloc);
    EXPECT_EQ(allocCopy.why(), RWCORE_NOMEM().str());

    RWFileErr f(RWMessage("f"), 5, 6);
    RWFileErr fc(f);
    EXPECT_EQ(fc.errorType(), 5u);
    EXPECT_EQ(fc.file(), 6u);
    EXPECT_EQ(RWStreamErr("s", 9).errorState(), 9u);
}

namespace {
const RWxmsg* seen = nullptr;
void recordingHandler(const RWxmsg& e)
{
    seen = &e;
}
}  // namespace

TEST(RWxmsg, ErrHandlerCanBeReplaced)
{
    rwErrHandler previous = rwSetErrHandler(&recordingHandler);
    EXPECT_EQ(previous, &rwDefaultErrHandler);
    RWxmsg e("fatal");
    rwFatalError(e);
    EXPECT_EQ(seen, &e);
    EXPECT_EQ(rwSetErrHandler(nullptr), &recordingHandler);
    EXPECT_EQ(rwSetErrHandler(previous), &rwDefaultErrHandler);
}

TEST(RWxmsgDeathTest, DefaultHandlerShowsMessageAndExits)
{
    EXPECT_EXIT(
        {
            platform::sys::setMessageBoxSink([](const std::string& text, const std::string& caption, unsigned flags) {
                std::fprintf(stderr, "box<%s|%s|%x>", caption.c_str(), text.c_str(), flags);
                return 1;
            });
            rwFatalError(RWInternalErr("it broke"));
        },
        testing::ExitedWithCode(1), "box<Fatal Error\\|it broke\\|2010>");
}

TEST(RWMutex, LibraryLockIsOneRecursiveLock)
{
    RWMutex& m = RWMutex::library();
    EXPECT_EQ(&m, &RWMutex::library());
    RWGuard outer(m);
    RWGuard inner(m);
    EXPECT_TRUE(m.tryAcquire());
    m.release();
}
