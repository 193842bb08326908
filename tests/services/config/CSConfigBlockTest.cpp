// Tests of CSConfigItem and CSConfigBlock: adding, activity, lookup, copying and merging.
#include <gtest/gtest.h>

#include "services/config/CSConfig.h"

namespace {

RWCString valueText(CSConfigItem* item)
{
    return item->getValue()->getText();
}

}  // namespace

TEST(CSConfigItemTest, DefaultsFillOnlyAnEmptyValue)
{
    CSConfig cfg(true);
    CSConfigItem item(&cfg, "k", "d");
    EXPECT_EQ(item.valueCount(), 1u);
    EXPECT_TRUE(item.getValue()->isModified());
    item.getValue()->setString("x");
    item.setDefault("e");
    EXPECT_EQ(valueText(&item), "x");
    EXPECT_EQ(item.getDefaultText(), "e");
    item.setDefault("");
    EXPECT_EQ(item.getDefaultText(), "e");
    item.getValue()->clear();
    item.setDefault("f");
    EXPECT_EQ(valueText(&item), "f");

    CSConfigItem bare(&cfg, "k", "");
    EXPECT_EQ(bare.valueCount(), 0u);
    bare.getValueAt(2)->setString("z");
    EXPECT_EQ(bare.valueCount(), 3u);
    bare.removeValue(0);
    EXPECT_EQ(bare.valueCount(), 2u);
    EXPECT_THROW(bare.removeValue(5), RWBoundsErr);
}

TEST(CSConfigItemTest, ForceFlagFollowsTheComment)
{
    CSConfig cfg(true);
    struct {
        const char* comment;
        int flagsBefore;
        int flagsAfter;
    } cases[] = {
        {"", 0, CFG_ITEM_NORMAL},
        {"; plain\n", CFG_ITEM_FORCE, CFG_ITEM_NORMAL},
        {"; a\n  #! forced\n", 0, CFG_ITEM_FORCE},
        {"#!\n", CFG_ITEM_DISABLED, CFG_ITEM_DISABLED},
    };
    for (auto& c : cases) {
        CSConfigItem item(&cfg, "k", "");
        item.setFlags(c.flagsBefore);
        item.setComment(c.comment);
        item.updateFlagsFromComment();
        EXPECT_EQ(item.getFlags(), c.flagsAfter) << c.comment;
    }
}

TEST(CSConfigBlockTest, AddItemKeepsActiveValuesAndRevivesInactiveOnes)
{
    CSConfig cfg(true);
    CSConfigBlock& b = *cfg.getOrCreateBlock("B");
    CSConfigItem* a = b.addItem("a", "7", 0);
    EXPECT_EQ(b.addItem("a", "3", 0), a);
    EXPECT_EQ(valueText(a), "7");
    EXPECT_EQ(a->getDefaultText(), "3");

    CSConfigItem* off = b.addItem("off", "1", CFG_ITEM_DISABLED);
    EXPECT_EQ(b.itemCount(), 2u);
    EXPECT_EQ(b.activeCount(), 1u);
    EXPECT_EQ(b.findItem("off"), off);
    EXPECT_EQ(b.findActiveItem("off"), nullptr);
    EXPECT_EQ(cfg.findItem("off", "B"), nullptr);

    EXPECT_EQ(b.addItem("off", "3", 0), off);
    EXPECT_EQ(valueText(off), "3");
    EXPECT_EQ(b.findActiveItem("off"), off);
    EXPECT_EQ(b.activeCount(), 2u);
    EXPECT_EQ(b.indexOfActive("OFF"), 1u);
    EXPECT_EQ(b.indexOfItem("nothing"), RW_NPOS);

    EXPECT_TRUE(b.removeItem(" a "));
    EXPECT_FALSE(b.removeItem("a"));
    EXPECT_EQ(b.itemCount(), 1u);
    EXPECT_EQ(b.activeCount(), 1u);
    EXPECT_THROW(b.itemAt(1), RWBoundsErr);
}

TEST(CSConfigBlockTest, KeysCompareTrimmedAndByTheConfigurationsCaseRule)
{
    CSConfig folded(true), exact(false);
    folded.getValue("width", "G", "1");
    exact.getValue("width", "G", "1");
    EXPECT_NE(folded.findItem("Width ", "g"), nullptr);
    EXPECT_NE(folded.findItem("\tWIDTH", "G"), nullptr);
    EXPECT_EQ(exact.findItem("WIDTH", "G"), nullptr);
    EXPECT_NE(exact.findItem(" width ", " G"), nullptr);
    EXPECT_EQ(exact.findItem("width", "g"), nullptr);
}

TEST(CSConfigBlockTest, KeyIndexFindsEveryItemAmongMany)
{
    CSConfig cfg(true);
    CSConfigBlock* b = cfg.getOrCreateBlock("B");
    for (int i = 0; i < 500; ++i)
        b->addItem(RWCString("k") + RWCString(char('a' + (i * 7) % 26)) + RWCString(char('0' + i % 10)) +
                       RWCString(char('A' + i / 26 % 26)),
                   "", 0);
    for (size_t i = 0; i < b->itemCount(); ++i) {
        CSConfigItem* item = b->itemAt(i);
        EXPECT_EQ(b->findItem(item->getKey()), item);
        EXPECT_EQ(b->indexOfItem(item->getKey()), i);
    }
}

TEST(CSConfigBlockTest, MergeRules)
{
    CSConfig target(true), source(true);
    CSConfigBlock* t = target.getOrCreateBlock("B");
    t->addItem("plain", "1", 0);
    t->addItem("forced", "1", 0);
    t->addItem("gone", "1", 0);
    t->addItem("own", "1", 0);
    CSConfigBlock* s = source.getOrCreateBlock("B");
    s->addItem("plain", "2", 0)->setComment("; plain\n");
    CSConfigItem* f = s->addItem("forced", "2", 0);
    f->setComment("#! why\n");
    f->updateFlagsFromComment();
    s->addItem("gone", "2", CFG_ITEM_DISABLED);
    s->addItem("fresh", "2", 0);

    EXPECT_TRUE(t->mergeFrom(*s));
    EXPECT_EQ(valueText(t->findItem("plain")), "1");
    EXPECT_EQ(t->findItem("plain")->getDefaultText(), "2");
    EXPECT_EQ(t->findItem("plain")->getFlags(), CFG_ITEM_NORMAL);
    EXPECT_EQ(t->findItem("plain")->getComment(), "; plain\n");
    EXPECT_EQ(valueText(t->findItem("forced")), "2");
    EXPECT_EQ(t->findItem("forced")->getFlags(), CFG_ITEM_FORCE);
    EXPECT_EQ(t->findActiveItem("gone"), nullptr);
    EXPECT_EQ(valueText(t->findItem("gone")), "2");
    EXPECT_EQ(valueText(t->findItem("own")), "1");
    EXPECT_EQ(valueText(t->findItem("fresh")), "2");

    // A kept source block changes no item but hands over its flags.
    s->setFlags(CFG_BLOCK_KEEP);
    s->findItem("forced")->getValue()->setString("9");
    EXPECT_FALSE(t->mergeFrom(*s));
    EXPECT_EQ(valueText(t->findItem("forced")), "2");
    EXPECT_TRUE(t->hasFlag(CFG_BLOCK_KEEP));

    // Merging or copying a block into itself changes nothing.
    const size_t n = t->itemCount();
    EXPECT_TRUE(t->mergeFrom(*t));
    EXPECT_TRUE(t->copyFrom(*t));
    EXPECT_EQ(t->itemCount(), n);
}

TEST(CSConfigBlockTest, CopyReplacesItemsButNotFlags)
{
    CSConfig cfg(true);
    CSConfigBlock* s = cfg.getOrCreateBlock("S");
    s->setComment("#~ keep\n");
    s->updateFlagsFromComment();
    s->addItem("a", "1", 0)->setComment("; c\n");
    s->addItem("b", "2", CFG_ITEM_INACTIVE);
    CSConfigBlock* t = cfg.getOrCreateBlock("T");
    t->addItem("old", "0", 0);
    EXPECT_TRUE(t->copyFrom(*s));
    EXPECT_EQ(t->itemCount(), 2u);
    EXPECT_EQ(t->activeCount(), 1u);
    EXPECT_EQ(t->findItem("old"), nullptr);
    EXPECT_EQ(t->findItem("a")->getComment(), "; c\n");
    EXPECT_EQ(t->findItem("b")->getFlags(), CFG_ITEM_INACTIVE);
    EXPECT_EQ(t->getComment(), "#~ keep\n");
    EXPECT_FALSE(t->hasFlag(CFG_BLOCK_KEEP));
}
