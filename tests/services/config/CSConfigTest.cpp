// Tests of the CSConfig object: block placement, getValue creating settings, ids and defaults.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

#include "services/config/CSConfig.h"
#include "tests/support/ThreadCpuClock.h"

TEST(CSConfigTest, BlocksAreFoundByNameAndDefaultGoesFirst)
{
    CSConfig folded(true);
    CSConfigBlock* gfx = folded.getOrCreateBlock("Gfx");
    EXPECT_EQ(folded.getOrCreateBlock(" GFX "), gfx);
    CSConfigBlock* def = folded.getOrCreateBlock("<DEFAULT>");
    EXPECT_EQ(folded.blockAt(0), def);
    EXPECT_EQ(folded.blockAt(1), gfx);

    CSConfig exact(false);
    CSConfigBlock* a = exact.getOrCreateBlock("Gfx");
    CSConfigBlock* b = exact.getOrCreateBlock("GFX");
    EXPECT_NE(a, b);
    exact.getOrCreateBlock("<Default>");
    EXPECT_TRUE(CSConfig::isDefaultBlockName(exact.blockAt(0)->getName()));
    EXPECT_EQ(exact.blockCount(), 3u);
    EXPECT_FALSE(exact.hasBlock("gfx"));
}

TEST(CSConfigTest, ManyBlocksReadInLinearTimeAndKeepTheirOrder)
{
    constexpr int kBlocks = 100000;
    std::string text;
    for (int i = 0; i < kBlocks; ++i)
        text += "[Block" + std::to_string(i) + "]\nkey=" + std::to_string(i) + "\n";
    std::istringstream in(text);
    const auto start = ThreadCpuClock::now();
    CSConfig cfg(&in, nullptr, true);
    const double seconds = std::chrono::duration<double>(ThreadCpuClock::now() - start).count();
    EXPECT_LT(seconds, 10.0);  // 0.4 s, 2 s under the sanitizers; 54 s with a lookup walking every block
    ASSERT_EQ(cfg.blockCount(), unsigned(kBlocks));
    for (int i : {0, 1, 4567, kBlocks - 1}) {
        EXPECT_EQ(cfg.blockAt(unsigned(i))->getName(), RWCString(("Block" + std::to_string(i)).c_str()));
        EXPECT_EQ(cfg.findBlock((" BLOCK" + std::to_string(i)).c_str()), cfg.blockAt(unsigned(i)));
    }
}

TEST(CSConfigTest, BlockLookupFollowsRenamesRemovalsAndTheCaseRule)
{
    CSConfig cfg(false);
    CSConfigBlock* upper = cfg.getOrCreateBlock("GFX");
    CSConfigBlock* lower = cfg.getOrCreateBlock("gfx");
    ASSERT_NE(upper, lower);
    cfg.setIgnoreBlockCase(true);  // two blocks now share a name: the first keeps it
    EXPECT_EQ(cfg.findBlock("Gfx"), upper);
    EXPECT_TRUE(cfg.removeBlock("GFX"));
    EXPECT_EQ(cfg.findBlock("Gfx"), lower);
    EXPECT_TRUE(cfg.renameBlock("gfx", "Screen"));
    EXPECT_EQ(cfg.findBlock("SCREEN"), lower);
    EXPECT_EQ(cfg.findBlock("gfx"), nullptr);
    EXPECT_FALSE(cfg.renameBlock("screen", "SCREEN"));  // only the case: the name changes anyway
    EXPECT_EQ(cfg.findBlock("screen"), lower);
    EXPECT_EQ(lower->getName(), "SCREEN");
    cfg.setIgnoreBlockCase(false);
    EXPECT_EQ(cfg.findBlock("screen"), nullptr);
    EXPECT_EQ(cfg.findBlock(" SCREEN\t"), lower);
    cfg.clear();
    EXPECT_EQ(cfg.findBlock("SCREEN"), nullptr);
}

TEST(CSConfigTest, GetValueCreatesWhatIsMissing)
{
    CSConfig cfg(true);
    cfg.getOrCreateBlock("FIRST");
    CSConfigVal* v = cfg.getValue("STANDARD_SETTING", "GFX", "3");
    EXPECT_STREQ(v->getString(), "3");
    EXPECT_TRUE(v->isModified());
    EXPECT_EQ(cfg.blockAt(1)->getName(), "GFX");
    EXPECT_EQ(cfg.getValue("standard_setting", "gfx", "9"), v);
    EXPECT_STREQ(v->getString(), "3");
    EXPECT_TRUE(cfg.isModified());

    CSConfigVal* n = cfg.getValue(RWCString("nul"), RWCString("GFX"), nullptr);
    EXPECT_STREQ(n->getString(), "");
    v->clear();
    EXPECT_STREQ(cfg.getValue("STANDARD_SETTING", "GFX", "4")->getString(), "4");

    EXPECT_EQ(cfg.findItem("missing", "GFX"), nullptr);
    EXPECT_EQ(cfg.findItem("x", "NOBLOCK"), nullptr);
    EXPECT_FALSE(cfg.hasBlock("NOBLOCK"));

    CSConfigBlock* g = cfg.findBlock("GFX");
    g->addItem("old", "1", CFG_ITEM_INACTIVE);
    EXPECT_EQ(cfg.findItem("old", "GFX"), nullptr);
    CSConfigVal* back = cfg.getValue("old", "GFX", "5");
    EXPECT_STREQ(back->getString(), "5");
    EXPECT_NE(cfg.findItem("old", "GFX"), nullptr);
}

TEST(CSConfigTest, RegisteredIdsAndDefaults)
{
    CSConfig cfg(true);
    EXPECT_EQ(cfg.getValueById(3), nullptr);
    EXPECT_EQ(cfg.setDefault(1, "first", "B", "a"), 1);
    EXPECT_EQ(cfg.setDefault(1, "second", "B", "b"), 1);
    EXPECT_EQ(cfg.findItem("second", "B"), nullptr);
    EXPECT_EQ(cfg.findItem("first", "B")->getDefaultText(), "b");
    EXPECT_STREQ(cfg.getValueById(1)->getString(), "a");

    // Once the registered item is inactive, the second key is created (the id still names the first).
    cfg.findBlock("B")->findItem("first")->setFlags(CFG_ITEM_DISABLED);
    cfg.findBlock("B")->updateActive(cfg.findBlock("B")->findItem("first"));
    cfg.setDefault(1, "second", "B", "c");
    EXPECT_NE(cfg.findItem("second", "B"), nullptr);
    EXPECT_EQ(cfg.findItemById(1), nullptr);
    CSConfigItem* revived = cfg.getItemById(1);
    EXPECT_EQ(revived->getKey(), "first");
    EXPECT_STREQ(revived->getValue()->getString(), "b");

    const char* table[][3] = {{"K0", "T", "0"}, {"K1", "T", nullptr}, {nullptr, nullptr, nullptr}};
    CSConfig t(false);
    EXPECT_EQ(t.setDefaults(table), 1);
    EXPECT_STREQ(t.getValueById(0)->getString(), "0");
    EXPECT_EQ(t.findItemById(1)->getKey(), "K1");
    const char* empty[][3] = {{nullptr, nullptr, nullptr}};
    CSConfig e(false);
    EXPECT_EQ(e.setDefaults(empty), 1);
    EXPECT_EQ(e.blockCount(), 0u);
}

TEST(CSConfigTest, RereadWithoutSourceFails)
{
    CSConfig cfg(true);
    EXPECT_EQ(cfg.reread(), -2);
    EXPECT_EQ(cfg.save(), -2);
    EXPECT_EQ(cfg.saveNow(), -1);
    EXPECT_EQ(cfg.open(""), -1);
}
