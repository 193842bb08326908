// Tests of structural changes, the block and item cursor, list reading and notification.
#include <memory>

#include <gtest/gtest.h>

#include "services/config/CSConfig.h"
#include "services/objects/NotificationEvent.h"
#include "services/objects/ReferingObject.h"
#include "tests/support/TempDir.h"

namespace {

struct Counter : ReferingObject {
    void notify(NotificationEvent* event, void*) override
    {
        if (dynamic_cast<NotificationEventConfigChanged*>(event))
            ++changed;
    }
    int changed = 0;
};

CSConfig* makeConfig(std::initializer_list<const char*> keys, const char* block = "B")
{
    CSConfig* cfg = new CSConfig(true);
    for (const char* k : keys)
        cfg->getValue(k, block, k);
    return cfg;
}

}  // namespace

TEST(CSConfigChangeTest, WalkingItemsWhileRemovingTheCurrentOneVisitsEachOnce)
{
    std::unique_ptr<CSConfig> cfg(makeConfig({"a", "b", "c", "d"}));
    EXPECT_TRUE(cfg->beginItemIteration("B"));
    RWCString key;
    std::string visited;
    for (bool ok = cfg->firstItem(key); ok; ok = cfg->nextItem(key)) {
        visited += key.data();
        if (key == "b" || key == "c")
            cfg->removeCursorItemNotify(key);
    }
    EXPECT_EQ(visited, "abcd");
    EXPECT_EQ(cfg->getKeys("B").entries(), 2u);
}

TEST(CSConfigChangeTest, RemovingItemsAndBlocks)
{
    std::unique_ptr<CSConfig> cfg(makeConfig({"a", "b"}));
    cfg->findBlock("B")->addItem("off", "1", CFG_ITEM_DISABLED);
    EXPECT_FALSE(cfg->removeItem("off", "B"));
    EXPECT_NE(cfg->findBlock("B")->findItem("off"), nullptr);
    EXPECT_TRUE(cfg->removeItem("A", "b"));
    EXPECT_FALSE(cfg->removeItem("a", "B"));
    EXPECT_FALSE(cfg->removeItem("a", "NONE"));

    cfg->getOrCreateBlock("C");
    cfg->beginItemIteration("C");
    EXPECT_FALSE(cfg->removeBlock("missing"));
    EXPECT_EQ(cfg->findBlock("C"), cfg->blockAt(1));
    EXPECT_TRUE(cfg->removeBlock("C"));
    EXPECT_FALSE(cfg->hasBlock("C"));
    EXPECT_EQ(cfg->blockCount(), 1u);
    RWCString key;
    EXPECT_FALSE(cfg->firstItem(key));  // the cursor block went with it

    EXPECT_FALSE(cfg->beginItemIteration("NEW"));
    EXPECT_TRUE(cfg->hasBlock("NEW"));
    cfg->clear();
    EXPECT_EQ(cfg->blockCount(), 0u);
    EXPECT_EQ(cfg->getValueById(0), nullptr);
}

TEST(CSConfigChangeTest, NotificationsReachObserversOncePerChange)
{
    refHandle<CSConfig> cfg(makeConfig({"a", "b"}));
    Counter counter;
    cfg->addReferer(&counter, nullptr);
    cfg->removeBlockNotify("B");
    EXPECT_EQ(counter.changed, 1);
    cfg->removeBlockNotify("missing");
    EXPECT_EQ(counter.changed, 2);
    cfg->getValue("x", "C", "1");
    cfg->removeItemNotify("C", "x");
    EXPECT_EQ(counter.changed, 3);
    cfg->removeItemNotify("NONE", "x");
    EXPECT_EQ(counter.changed, 3);
    cfg->removeItem("y", "C");  // plain removal sends nothing
    EXPECT_EQ(counter.changed, 3);
    cfg->removeReferer(&counter);
}

TEST(CSConfigChangeTest, BlockCursorAndPlacement)
{
    CSConfig cfg(true);
    cfg.getOrCreateBlock("A");
    cfg.getOrCreateBlock("B");
    cfg.getOrCreateBlock("C");
    RWCString name;
    EXPECT_TRUE(cfg.nextBlock(name));  // without firstBlock the walk starts at the second block
    EXPECT_EQ(name, "B");
    std::string order;
    for (bool ok = cfg.firstBlock(name); ok; ok = cfg.nextBlock(name))
        order += name.data();
    EXPECT_EQ(order, "ABC");

    cfg.getOrCreateBlock("<default>");
    struct {
        const char* name;
        const char* after;
        unsigned at;
    } placed[] = {{"X", "<default>", 0}, {"Y", "A", 3}, {"Z", "none", 6}, {"A", "", 2}};
    for (auto& p : placed) {
        CSConfigBlock* b = cfg.getOrCreateBlockAfter(p.name, p.after);
        EXPECT_EQ(b, cfg.blockAt(p.at)) << p.name;
    }
    cfg.moveBlockAfter("X", "<default>");
    cfg.moveBlockAfter("Z", "A");
    cfg.moveBlockAfter("A", "A");
    cfg.moveBlockAfter("A", "none");
    std::string names;
    for (unsigned i = 0; i < cfg.blockCount(); ++i)
        names += cfg.blockAt(i)->getName().data();
    EXPECT_EQ(names, "<default>XAZYBC");
    EXPECT_EQ(cfg.indexOfBlock(cfg.findBlock("Y")), 4);
    EXPECT_EQ(cfg.indexOfBlock(nullptr), -1);
}

TEST(CSConfigChangeTest, RenamingBlocks)
{
    CSConfig cfg(true);
    cfg.getValue("k", "Old", "1");
    cfg.getOrCreateBlock("Other");
    EXPECT_TRUE(cfg.renameBlock("old", "New"));
    EXPECT_FALSE(cfg.hasBlock("Old"));
    EXPECT_NE(cfg.findItem("k", "NEW"), nullptr);
    EXPECT_EQ(cfg.blockAt(0)->getName(), "New");
    EXPECT_FALSE(cfg.renameBlock("New", "other"));
    EXPECT_EQ(cfg.blockAt(0)->getName(), "New");
    EXPECT_FALSE(cfg.renameBlock("New", "NEW"));  // only the case changes
    EXPECT_EQ(cfg.blockAt(0)->getName(), "NEW");
    EXPECT_EQ(cfg.findBlock("new"), cfg.blockAt(0));
    EXPECT_FALSE(cfg.renameBlock("missing", "fresh"));
}

TEST(CSConfigChangeTest, ListReadingThroughTheCursor)
{
    CSConfig cfg(true);
    cfg.beginItemIteration("L");
    cfg.setCursorText("pair", "1.5,2.5");
    double d = 0;
    EXPECT_TRUE(cfg.getCursorDouble("pair", d));
    EXPECT_DOUBLE_EQ(d, 1.5);
    EXPECT_TRUE(cfg.readDouble(d));
    EXPECT_DOUBLE_EQ(d, 2.5);
    d = 0;
    EXPECT_TRUE(cfg.readDouble(d));
    EXPECT_DOUBLE_EQ(d, 2.5);
    EXPECT_EQ(cfg.elementCount(), 2);

    struct {
        const char* text;
        int count;
    } counts[] = {{"", 1}, {"a,b", 2}, {"a,", 2}};
    for (auto& c : counts) {
        cfg.setCursorText("n", c.text);
        RWCString t;
        cfg.getCursorText("n", t);
        EXPECT_EQ(t, c.text);
        EXPECT_EQ(cfg.elementCount(), c.count) << c.text;
    }

    cfg.selectItem("nums", true);
    cfg.appendInt(3);
    cfg.appendInt(4);
    EXPECT_STREQ(cfg.findItem("nums", "L")->getValue()->getString(), "");
    cfg.writeBack();
    EXPECT_STREQ(cfg.findItem("nums", "L")->getValue()->getString(), "3,4");
    int i = 0;
    EXPECT_TRUE(cfg.getCursorInt("nums", i));
    EXPECT_EQ(i, 3);

    cfg.setCursorBool("flag", false);
    EXPECT_STREQ(cfg.findItem("flag", "L")->getValue()->getString(), "false");
    struct {
        const char* text;
        bool value;
    } bools[] = {{"yEs", true}, {"JA", true}, {"1", true}, {"TRUE", true}, {"on", false}, {"0", false}};
    for (auto& c : bools) {
        cfg.setCursorText("flag", c.text);
        bool b = !c.value;
        EXPECT_TRUE(cfg.getCursorBool("flag", b));
        EXPECT_EQ(b, c.value) << c.text;
    }

    cfg.setCursorDouble("x", 0.5);
    EXPECT_STREQ(cfg.findItem("x", "L")->getValue()->getString(), "0.500000");
    cfg.setCursorText("bad", "abc");
    EXPECT_FALSE(cfg.getCursorDouble("bad", d));
    EXPECT_FALSE(cfg.getCursorInt("bad", i));
}

TEST(CSConfigChangeTest, CursorGettersCreateMissingKeysButIfPresentFormsDoNot)
{
    CSConfig cfg(true);
    cfg.beginItemIteration("C");
    RWCString t = "untouched";
    cfg.getCursorTextIfPresent("none", t);
    int i = 7;
    EXPECT_FALSE(cfg.getCursorIntIfPresent("none", i));
    EXPECT_EQ(t, "untouched");
    EXPECT_EQ(i, 7);
    EXPECT_FALSE(cfg.hasCursorItem("none"));
    cfg.getCursorText("made", t);
    EXPECT_TRUE(cfg.hasCursorItem("made"));
    EXPECT_EQ(t, "");
    cfg.setCursorInt("n", 12);
    EXPECT_TRUE(cfg.getCursorIntIfPresent("n", i));
    EXPECT_EQ(i, 12);

    // Removing an item forgets the current key: writeBack stores nothing.
    cfg.selectItem("n", false);
    cfg.removeItem("made", "C");
    cfg.appendText("9");
    cfg.writeBack();
    EXPECT_STREQ(cfg.findItem("n", "C")->getValue()->getString(), "12");
}

TEST(CSConfigChangeTest, AssignmentCopiesActiveItemsWithDefaultFirst)
{
    CSConfig src(false);
    src.setMultiValue(true);
    src.setTrailingComment("; end");
    src.getValue("a", "X", "1");
    CSConfigItem* a = src.findItem("a", "X");
    a->appendValue()->setString("2");
    a->setComment("; c\n");
    src.findBlock("X")->addItem("off", "1", CFG_ITEM_DISABLED);
    src.getValue("d", "<default>", "5")->setModified(false);

    CSConfig copy(true);
    copy.getValue("gone", "G", "");
    copy = src;
    EXPECT_FALSE(copy.ignoresKeyCase());
    EXPECT_TRUE(copy.isMultiValue());
    EXPECT_EQ(copy.getTrailingComment(), "; end");
    ASSERT_EQ(copy.blockCount(), 2u);
    EXPECT_EQ(copy.blockAt(0)->getName(), "<default>");
    EXPECT_FALSE(copy.hasBlock("G"));
    CSConfigItem* ca = copy.findItem("a", "X");
    ASSERT_EQ(ca->valueCount(), 2u);
    EXPECT_STREQ(ca->getValueAt(1)->getString(), "2");
    EXPECT_EQ(ca->getComment(), "; c\n");
    EXPECT_EQ(copy.findBlock("X")->findItem("off"), nullptr);
    EXPECT_FALSE(copy.findItem("d", "<default>")->getValue()->isModified());
    copy = copy;
    EXPECT_EQ(copy.blockCount(), 2u);
}

TEST(CSConfigChangeTest, CursorsAdjustOnlyForTheRemovedCurrentEntry)
{
    // Removing the current block during a block walk goes on with the block that followed.
    CSConfig cfg(true);
    for (const char* n : {"A", "B", "C", "D"})
        cfg.getOrCreateBlock(n);
    RWCString name;
    std::string order;
    for (bool ok = cfg.firstBlock(name); ok; ok = cfg.nextBlock(name)) {
        order += name.data();
        if (name == "B" || name == "C")
            cfg.removeBlockNotify(name);
    }
    EXPECT_EQ(order, "ABCD");
    EXPECT_EQ(cfg.blockCount(), 2u);

    // Removing an item other than the current one leaves the index alone, so the walk
    // skips the item that moved into the current place.
    std::unique_ptr<CSConfig> items(makeConfig({"a", "b", "c", "d"}));
    items->beginItemIteration("B");
    RWCString key;
    std::string visited;
    for (bool ok = items->firstItem(key); ok; ok = items->nextItem(key)) {
        visited += key.data();
        if (key == "b")
            items->removeItem("a", "B");
    }
    EXPECT_EQ(visited, "abd");
}

TEST(CSConfigChangeTest, RevertNotifiesOnlyWhenItReread)
{
    TempDir dir;
    const std::string file = dir.write("r.cfg", "[x]\na=1\n");
    refHandle<CSConfig> cfg(new CSConfig(file.c_str(), true));
    Counter counter;
    cfg->addReferer(&counter, nullptr);
    cfg->getValue("a", "x", "")->setInt(2);
    EXPECT_EQ(cfg->revert(), 0);
    EXPECT_EQ(counter.changed, 1);
    EXPECT_STREQ(cfg->findItem("a", "x")->getValue()->getString(), "1");
    std::filesystem::remove(file);
    EXPECT_EQ(cfg->revert(), -1);
    EXPECT_EQ(counter.changed, 1);
    cfg->removeReferer(&counter);
}
