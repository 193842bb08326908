// Tests of the .cfg text: reading every line kind, writing it back, markers and round trips.
#include <sstream>

#include <gtest/gtest.h>

#include "services/config/CSConfig.h"
#include "services/environment/Environment.h"
#include "tests/support/TempDir.h"

namespace {

std::string writeOut(CSConfig& cfg)
{
    std::ostringstream os;
    EXPECT_EQ(cfg.writeStream(os), 1);
    return os.str();
}

std::string roundTrip(const std::string& text, bool ignoreCase = true)
{
    std::istringstream in(text);
    CSConfig cfg(&in, nullptr, ignoreCase);
    return writeOut(cfg);
}

}  // namespace

TEST(CSConfigReadWriteTest, EveryLineKindReadsAndWritesBackAsSpecified)
{
    const std::string text =
        "; top comment\r\n"
        "top=1\n"
        "[ Box ] trailing words\n"
        "; item comment\n"
        "#! forced note\n"
        "key = some value \r\n"
        "path=a=b\n"
        "  ;a=1\n"
        "=empty key\n"
        "no equals sign line\n"
        "a=1\n"
        "#-dis=2\n"
        "#:INACTIVE;ina=3\n"
        "#-[x]\n"
        "a=2\n"
        "[box]\n"
        "b=c\n"
        "; trailing\n";
    std::istringstream in(text);
    CSConfig cfg(&in, nullptr, true);

    ASSERT_EQ(cfg.blockCount(), 2u);
    EXPECT_EQ(cfg.blockAt(0)->getName(), "<default>");
    EXPECT_EQ(cfg.blockAt(1)->getName(), "Box");
    CSConfigItem* key = cfg.findItem("KEY", "box");
    ASSERT_NE(key, nullptr);
    EXPECT_STREQ(key->getValue()->getString(), "some value");
    EXPECT_EQ(key->getFlags(), CFG_ITEM_FORCE);
    EXPECT_FALSE(key->getValue()->isModified());
    EXPECT_STREQ(cfg.findItem("path", "Box")->getValue()->getString(), "a=b");
    EXPECT_NE(cfg.findItem(";a", "Box"), nullptr);
    EXPECT_STREQ(cfg.findItem("", "Box")->getValue()->getString(), "empty key");
    EXPECT_STREQ(cfg.findItem("a", "Box")->getValue()->getString(), "2");
    EXPECT_EQ(cfg.findItem("a", "Box")->getComment(), "#-[x]\n");
    EXPECT_EQ(cfg.findItem("dis", "Box"), nullptr);
    EXPECT_EQ(cfg.findBlock("Box")->findItem("dis")->getFlags(), CFG_ITEM_DISABLED);
    EXPECT_EQ(cfg.findBlock("Box")->findItem("ina")->getFlags(), CFG_ITEM_INACTIVE);
    EXPECT_EQ(cfg.getTrailingComment(), "; trailing");
    EXPECT_FALSE(cfg.isModified());

    const std::string expected =
        "; top comment\n"
        "top=1\n"
        "\n"
        "[Box]\n"
        "#!; item comment\n"
        "#  forced note\n"
        "key=some value\n"
        "path=a=b\n"
        " ;a=1\n"
        "=empty key\n"
        "# [x]\n"
        "a=2\n"
        "#-dis=2\n"
        "#:INACTIVE;ina=3\n"
        "b=c\n"
        "; trailing\n";
    const std::string written = writeOut(cfg);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(roundTrip(written), expected);
}

TEST(CSConfigReadWriteTest, SmallLayouts)
{
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", "\n"},
        {"a=1", "a=1\n\n"},
        {"[x]\na=1\n[y]\nb=2\n", "[x]\na=1\n\n[y]\nb=2\n\n"},
        {"[x]\n; old\n#-a=1\n", "[x]\n; old\n#-a=1\n\n"},
        {"[x]\n# why\n#!\na=1\n", "[x]\n#!why\n# \na=1\n\n"},
        {"[x]\n#~ note\na=1\n", "[x]\n#  note\na=1\n\n"},
        {"; block note\n#~\n[x]\na=1\n", "#~; block note\n# \n[x]\na=1\n\n"},
        {"# keep\n#~\n[x]\na=1\n", "#~keep\n# \n[x]\na=1\n\n"},
        {"; gone\n[<Default>]\na=1\n", "a=1\n\n"},
        {"[<default>]\n[x]\na=1\n", "[x]\na=1\n\n"},
        {"[<default>]\n; c\n[x]\na=1\n", "; c\n[x]\na=1\n\n"},
        {"\n[x]\na=1\n", "[x]\na=1\n\n"},
        {"a=1\n\n\nb=2\n", "a=1\n\n\nb=2\n\n"},
        {"[x]\na=1\n; end 1\n; end 2\n\n", "[x]\na=1\n; end 1\n; end 2\n"},
        {"\xEF\xBB\xBF" "a=1\n", "\xEF\xBB\xBF" "a=1\n\n"},
        {"a=1\rb\n", "a=1\rb\n\n"},
    };
    for (auto& c : cases)
        EXPECT_EQ(roundTrip(c.in), c.out) << "input: " << c.in;
}

TEST(CSConfigReadWriteTest, InactiveAndForcedMarkersWithoutComments)
{
    CSConfig cfg(false);
    CSConfigBlock* b = cfg.getOrCreateBlock("x");
    b->addItem("a", "1", CFG_ITEM_INACTIVE);
    b->addItem("f", "2", 0)->setFlags(CFG_ITEM_FORCE);
    CSConfigItem* g = b->addItem("g", "3", 0);
    g->setFlags(CFG_ITEM_FORCE);
    g->setComment("; why\n");
    EXPECT_EQ(writeOut(cfg), "[x]\n#:INACTIVE;a=1\n#!\nf=2\n#!; why\ng=3\n\n");
}

TEST(CSConfigReadWriteTest, RepeatedKeysAndMultiValue)
{
    const char* text = "[x]\na=1\nb=0\n; second\na=2\n";
    std::istringstream in(text);
    CSConfig single(&in, nullptr, true);
    CSConfigItem* a = single.findItem("a", "x");
    EXPECT_EQ(a->valueCount(), 1u);
    EXPECT_STREQ(a->getValue()->getString(), "2");
    EXPECT_EQ(a->getComment(), "; second\n");
    EXPECT_EQ(writeOut(single), "[x]\n; second\na=2\nb=0\n\n");

    std::istringstream in2(text);
    CSConfig multi(true);
    multi.setMultiValue(true);
    EXPECT_EQ(multi.attachStream(&in2), 1);
    a = multi.findItem("a", "x");
    ASSERT_EQ(a->valueCount(), 2u);
    EXPECT_STREQ(a->getValueAt(1)->getString(), "2");
    a->appendValue()->setString("3");
    EXPECT_EQ(writeOut(multi), "[x]\n; second\na=1\na=2\na=3\nb=0\n\n");
}

TEST(CSConfigReadWriteTest, MultiValueItemsKeepTheirCommentOnRereading)
{
    // text, the item's comment after reading, then writing it and reading it back again
    // (read a second time merging when asked: every value line then comes twice)
    struct Case { const char* text; bool twice; const char* comment; int flags; const char* written; };
    const Case cases[] = {
        {"[x]\n; above\na=1\na=2\n", false, "; above\n", CFG_ITEM_NORMAL, "[x]\n; above\na=1\na=2\n\n"},
        {"[x]\n#!why\na=1\na=2\na=3\n", false, "#!why\n", CFG_ITEM_FORCE, "[x]\n#!why\na=1\na=2\na=3\n\n"},
        {"[x]\n; one\na=1\n; two\na=2\n", false, "; one\n; two\n", CFG_ITEM_NORMAL,
         "[x]\n; one\n; two\na=1\na=2\n\n"},
        {"[x]\nb=1\n[b\n]c[\na=empty key\nno equals here\n[ ]\n", true, "[b\n]c[\n", CFG_ITEM_NORMAL,
         "[x]\nb=1\nb=1\n[b\n]c[\na=empty key\na=empty key\nno equals here\n[]\n\n"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        CSConfig cfg(true);
        cfg.setMultiValue(true);
        ASSERT_EQ(cfg.attachStream(&in), 1) << c.text;
        if (c.twice) {
            ASSERT_EQ(cfg.reload(), 1) << c.text;
        }
        const std::string written = writeOut(cfg);
        const CSConfigItem* a = cfg.findItem("a", "x");
        ASSERT_NE(a, nullptr) << c.text;
        EXPECT_EQ(a->getComment(), c.comment) << c.text;
        EXPECT_EQ(a->getFlags(), c.flags) << c.text;
        EXPECT_EQ(written, c.written) << c.text;
        // What was written reads back to the same text: no comment or marker is lost.
        std::istringstream back(written);
        CSConfig again(true);
        again.setMultiValue(true);
        ASSERT_EQ(again.attachStream(&back), 1);
        EXPECT_EQ(writeOut(again), written) << c.text;
    }
}

TEST(CSConfigReadWriteTest, NamesIgnoreCaseOnlyWhenAskedFor)
{
    const char* text = "[ Box ]\nShadow = 1\n[box]\nSHADOW=2\n";
    std::istringstream in(text);
    CSConfig folded(&in, nullptr, true);
    EXPECT_EQ(folded.blockCount(), 1u);
    EXPECT_STREQ(folded.findItem(" shadow\t", "BOX")->getValue()->getString(), "2");

    std::istringstream in2(text);
    CSConfig exact(&in2, nullptr, false);
    EXPECT_EQ(exact.blockCount(), 2u);
    EXPECT_EQ(exact.findItem("shadow", "Box"), nullptr);
    EXPECT_STREQ(exact.findItem("Shadow", "Box")->getValue()->getString(), "1");
}

TEST(CSConfigReadWriteTest, LineBreaksInNamesCannotForgeLines)
{
    CSConfig cfg(true);
    cfg.getValue("a\nevil", "x]\n[y", "")->setString("1\r\n[z]\nb=2");
    const std::string written = writeOut(cfg);
    EXPECT_EQ(written, "[x] [y]\na evil=1\r [z] b=2\n\n");
    std::istringstream in(written);
    CSConfig back(&in, nullptr, true);
    EXPECT_EQ(back.blockCount(), 1u);
    EXPECT_EQ(back.findBlock("x")->itemCount(), 1u);
}

TEST(CSConfigReadWriteTest, GetValueCreatesSettingsThatTheNextSaveWrites)
{
    TempDir dir;
    const std::string file = dir.file("tavoplex.cfg");
    CSConfig cfg(true);
    EXPECT_EQ(cfg.open(file.c_str()), 0);
    EXPECT_EQ(cfg.blockCount(), 0u);
    EXPECT_EQ(cfg.getValue("DEBUG", "COMMON", "0")->getInt(), 0);
    cfg.getValue("DATA_VERSION", "COMMON", "0")->setInt(2);
    EXPECT_TRUE(cfg.isModified());
    EXPECT_EQ(cfg.save(), 1);
    EXPECT_FALSE(cfg.isModified());
    EXPECT_EQ(TempDir::read(file), "[COMMON]\nDEBUG=0\nDATA_VERSION=2\n\n");

    CSConfig again(true);
    EXPECT_EQ(again.open(file.c_str()), 1);
    EXPECT_EQ(again.getValue("data_version", "common", "0")->getInt(), 2);
    EXPECT_FALSE(again.isModified());
}

TEST(CSConfigReadWriteTest, ReloadKeepsValuesChangedInMemoryAndOpenDoesNot)
{
    TempDir dir;
    const std::string file = dir.write("c.cfg", "[x]\nv=3\nw=1\n");
    CSConfig cfg(file.c_str(), true);
    cfg.getValue("v", "x", "")->setInt(5);
    dir.write("c.cfg", "[x]\nv=3\nw=2\nn=new\n");
    EXPECT_EQ(cfg.reload(), 1);
    EXPECT_STREQ(cfg.findItem("v", "x")->getValue()->getString(), "5");
    EXPECT_STREQ(cfg.findItem("w", "x")->getValue()->getString(), "2");
    EXPECT_STREQ(cfg.findItem("n", "x")->getValue()->getString(), "new");
    EXPECT_EQ(cfg.open(file.c_str()), 1);
    EXPECT_STREQ(cfg.findItem("v", "x")->getValue()->getString(), "3");
}

TEST(CSConfigReadWriteTest, FileNamesAreExpandedAndChangesNoticed)
{
    TempDir dir;
    setVariable("CFGTESTDIR", dir.path().c_str());
    const std::string file = dir.write("e.cfg", "a=1\n");
    CSConfig cfg("$(CFGTESTDIR)/e.cfg", true);
    EXPECT_STREQ(cfg.findItem("a", "<default>")->getValue()->getString(), "1");
    EXPECT_FALSE(cfg.fileChanged());
    EXPECT_EQ(cfg.reloadIfChanged(), 0);
    cfg.fileTimeRef() = RWTime(12345UL);
    EXPECT_TRUE(cfg.fileChanged());
    dir.write("e.cfg", "a=2\n");
    EXPECT_EQ(cfg.reloadIfChanged(), 1);
    EXPECT_STREQ(cfg.findItem("a", "<default>")->getValue()->getString(), "2");
    EXPECT_FALSE(cfg.fileChanged());
    removeVariable("CFGTESTDIR");
}

TEST(CSConfigReadWriteTest, MissingOrUnreadableSourcesAndFailedStreams)
{
    TempDir dir;
    CSConfig cfg(true);
    cfg.getValue("keep", "x", "1");
    EXPECT_EQ(cfg.open(dir.file("none.cfg").c_str()), 0);
    EXPECT_EQ(cfg.open(dir.path().c_str()), 0);  // a folder is not a plain file
    EXPECT_NE(cfg.findItem("keep", "x"), nullptr);
    EXPECT_EQ(cfg.getFileName(), RWCString(dir.path().c_str()));

    std::istringstream bad("a=1\n");
    bad.setstate(std::ios::badbit);
    CSConfig b(true);
    EXPECT_EQ(b.attachStream(&bad), -2);

    std::ostringstream out;
    out.setstate(std::ios::badbit);
    CSConfig w(true);
    w.getValue("a", "x", "1");
    EXPECT_EQ(w.writeStream(out), -2);
}

TEST(CSConfigReadWriteTest, ParseLineClassifies)
{
    CSConfig cfg(true);
    struct {
        const char* line;
        int kind;
        const char* name;
        const char* value;
        int flags;
    } cases[] = {
        {"[ Box ] x=y", 0, "Box", "", 0},
        {"  [a", 2, "", "", 0},
        {"  [a=b", 1, "[a", "b", 0},
        {"#-[x]", 2, "", "", 0},
        {"#:INACTIVE;[x]", 0, "x", "", CFG_ITEM_INACTIVE},
        {"#-a=1", 1, "a", "1", CFG_ITEM_DISABLED},
        {"#:inactive;a=1", 2, "", "", 0},
        {"*x=1", 2, "", "", 0},
        {"!x=1", 2, "", "", 0},
        {"   ", 2, "", "", 0},
        {"][", 2, "", "", 0},
        {" key = some value ", 1, "key", "some value", 0},
    };
    for (auto& c : cases) {
        int kind = -1, flags = 0;
        RWCString name, value;
        cfg.parseLine(c.line, kind, name, value, flags);
        EXPECT_EQ(kind, c.kind) << c.line;
        EXPECT_EQ(flags, c.flags) << c.line;
        if (kind != 2) {
            EXPECT_EQ(name, c.name) << c.line;
        }
        if (kind == 1) {
            EXPECT_EQ(value, c.value) << c.line;
        }
    }
    EXPECT_EQ(CSConfig::stripLineEnd("a\r\n\r\n"), "a");
    EXPECT_EQ(CSConfig::stripLineEnd("a\rb"), "a\rb");
}

TEST(CSConfigReadWriteTest, EverySettingReadsBackIntoItsOwnBlockAndKey)
{
    // Items of "<default>" carry no header, so they must come first wherever the block stands.
    CSConfig cfg(true);
    cfg.getValue("a", "<default>", "1");
    cfg.getOrCreateBlockAfter("x", "<default>");  // placed ahead of "<default>"
    cfg.getValue("b", "x", "2");
    // Keys that, written plainly, would read back as comments or as marked items.
    const char* keys[] = {";k", "#k", "#-k", "*k", "!k", "#:INACTIVE;k", "#!k"};
    for (const char* k : keys)
        cfg.getValue(k, "y", k);
    const std::string written = writeOut(cfg);

    std::istringstream in(written);
    CSConfig back(&in, nullptr, true);
    ASSERT_NE(back.findItem("a", "<default>"), nullptr) << written;
    EXPECT_STREQ(back.findItem("a", "<default>")->getValue()->getString(), "1");
    EXPECT_EQ(back.findBlock("x")->itemCount(), 1u) << written;
    EXPECT_EQ(back.findBlock("y")->itemCount(), 7u) << written;
    for (const char* k : keys) {
        CSConfigItem* item = back.findItem(k, "y");
        ASSERT_NE(item, nullptr) << k << "\n" << written;
        EXPECT_STREQ(item->getValue()->getString(), k);
    }
    EXPECT_EQ(writeOut(back), written);

    // With exact names, "<default>" and "<DEFAULT>" are two blocks and stay two.
    CSConfig exact(false);
    exact.getValue("a", "<DEFAULT>", "upper");
    exact.getValue("a", "<default>", "lower");
    const std::string two = writeOut(exact);
    std::istringstream in2(two);
    CSConfig exactBack(&in2, nullptr, false);
    ASSERT_NE(exactBack.findItem("a", "<DEFAULT>"), nullptr) << two;
    EXPECT_STREQ(exactBack.findItem("a", "<DEFAULT>")->getValue()->getString(), "upper");
    EXPECT_STREQ(exactBack.findItem("a", "<default>")->getValue()->getString(), "lower");
}

TEST(CSConfigReadWriteTest, CommentsCannotTurnIntoItemsOrHeaders)
{
    const std::string text = "[x]\n  #:INACTIVE;[z]\na=1\nb=2\n";
    const std::string written = roundTrip(text);
    std::istringstream in(written);
    CSConfig back(&in, nullptr, true);
    EXPECT_EQ(back.blockCount(), 1u) << written;
    EXPECT_NE(back.findItem("b", "x"), nullptr) << written;

    CSConfig cfg(true);
    cfg.getValue("a", "x", "1");
    CSConfigItem* a = cfg.findItem("a", "x");
    a->setComment("plain note\nk=v\n[evil]\n-d=1\n");
    a->setFlags(CFG_ITEM_FORCE);
    cfg.findBlock("x")->setComment("[before]\n");
    cfg.getValue("b", "x", "2");
    cfg.setTrailingComment("; end\nt=1\n[tail]");
    const std::string made = writeOut(cfg);
    std::istringstream in2(made);
    CSConfig made2(&in2, nullptr, true);
    EXPECT_EQ(made2.blockCount(), 1u) << made;
    EXPECT_EQ(made2.findBlock("x")->itemCount(), 2u) << made;
    EXPECT_EQ(made2.findItem("a", "x")->getFlags(), CFG_ITEM_FORCE) << made;
    EXPECT_EQ(writeOut(made2), made);
}

TEST(CSConfigReadWriteTest, AnInactiveItemWithoutValuesLeavesTheNextLineAlone)
{
    CSConfig cfg(true);
    cfg.setMultiValue(true);
    CSConfigBlock* b = cfg.getOrCreateBlock("x");
    CSConfigItem* off = b->addItem("off", "1", CFG_ITEM_DISABLED);
    off->removeValue(0);
    b->addItem("next", "2", 0);
    const std::string written = writeOut(cfg);
    std::istringstream in(written);
    CSConfig back(&in, nullptr, true);
    ASSERT_NE(back.findItem("next", "x"), nullptr) << written;
    EXPECT_STREQ(back.findItem("next", "x")->getValue()->getString(), "2");
}

TEST(CSConfigReadWriteTest, EmptySourcesReadAsSuccess)
{
    std::istringstream empty("");
    CSConfig cfg(true);
    EXPECT_EQ(cfg.attachStream(&empty), 1);
    EXPECT_EQ(cfg.blockCount(), 0u);
    EXPECT_EQ(cfg.getTrailingComment(), "");
    TempDir dir;
    EXPECT_EQ(cfg.open(dir.write("e.cfg", "").c_str()), 1);
    EXPECT_EQ(cfg.blockCount(), 0u);
}

TEST(CSConfigReadWriteTest, ValuesKeepEveryByte)
{
    const std::string text("[x]\nk=v\0w\n", 10);
    std::istringstream in(text);
    CSConfig cfg(&in, nullptr, true);
    EXPECT_EQ(cfg.findItem("k", "x")->getValue()->getText(), RWCString("v\0w", 3));
    EXPECT_EQ(writeOut(cfg), std::string("[x]\nk=v\0w\n\n", 11));
}

TEST(CSConfigReadWriteTest, CommentsKeepEveryByteThroughASave)
{
    struct Case {
        std::string text;
    } cases[] = {
        {std::string("; block note \0 after the NUL\n[x]\n; item note\0tail\nk=v\n", 50)},
        {std::string("[x]\n#!forced\0still forced\nk=v\n", 30)},
        {std::string("[x]\nk=v\n; trailing\0comment", 26)},
        {std::string("[x]\nk=a,\0b,c\n", 13)},
    };
    for (const Case& c : cases) {
        const std::string once = roundTrip(c.text);
        EXPECT_EQ(roundTrip(once), once) << once;
        // Every byte read is written: nothing after a NUL is cut.
        for (const char* piece : {"after the NUL", "tail", "still forced", "comment", "b,c"}) {
            if (c.text.find(piece) != std::string::npos) {
                EXPECT_NE(once.find(piece), std::string::npos) << piece << " in " << once;
            }
        }
    }
}

TEST(CSConfigReadWriteTest, CommentLinesBeginningWithTheInactiveMarkerAreKept)
{
    // Read as comments (no "=" follows the marker); each save once merged the last of them into
    // the inactive item's own line and dropped its text.
    const std::string text = "#:INACTIVE;note\n#:INACTIVE;\n#:INACTIVE;a=1\n";
    const std::string once = roundTrip(text);
    EXPECT_EQ(once, "# INACTIVE;note\n# INACTIVE;\n#:INACTIVE;a=1\n\n");
    EXPECT_EQ(roundTrip(once), once);
}
