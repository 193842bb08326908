// Tests of numbered-key lists, the most-recently-used list, ranges by id and name queries.
#include <sstream>

#include <gtest/gtest.h>

#include "services/config/CSConfig.h"

namespace {

using Strings = CSConfig::StringVector;

Strings strings(std::initializer_list<const char*> items)
{
    Strings out(0, false, 64);
    for (const char* s : items)
        out.append(s);
    return out;
}

std::string joined(const Strings& v)
{
    std::string out;
    for (size_t i = 0; i < v.entries(); ++i)
        out += std::string(i ? "|" : "") + v[i].data();
    return out;
}

}  // namespace

TEST(CSConfigListTest, ListReadsCreateTheirKeysSoASaveWritesThem)
{
    CSConfig cfg(true);
    Strings out = strings({"keep"});
    cfg.getList("FILE", "LAST", 3, out);
    EXPECT_EQ(joined(out), "keep|||");
    EXPECT_TRUE(cfg.isModified());
    std::ostringstream os;
    cfg.writeStream(os);
    EXPECT_EQ(os.str(), "[LAST]\nFILE1=\nFILE2=\nFILE3=\n\n");

    cfg.setList("FILE", "LAST", 3, strings({"a"}));
    out.clear();
    cfg.getList("FILE", "LAST", 3, out);
    EXPECT_EQ(joined(out), "a||");
}

TEST(CSConfigListTest, PushRecentMovesTheValueToTheFront)
{
    struct {
        const char* value;
        const char* result;
    } cases[] = {{"Q", "Q|P|R"}, {"S", "S|P|Q"}, {"P", "P|Q|R"}};
    for (auto& c : cases) {
        CSConfig cfg(true);
        cfg.setList("P", "R", 3, strings({"P", "Q", "R"}));
        cfg.pushRecent("P", "R", c.value, 3);
        Strings out;
        cfg.getList("P", "R", 3, out);
        EXPECT_EQ(joined(out), c.result) << c.value;
    }
}

TEST(CSConfigListTest, IndexedValues)
{
    CSConfig cfg(true);
    cfg.getValue("COL2", "T", "two");
    cfg.getValue("col0", "T", "zero");
    cfg.getValue("COL9", "T", "nine");
    cfg.getValue("COLUMN", "T", "x");
    Strings out = strings({"old"});
    cfg.getIndexedValues("COL", "T", &out, 5);
    EXPECT_EQ(joined(out), "zero||two");

    CSConfig s(true);
    s.setIndexedValues("p", "B", strings({"a", "b"}), 4);
    EXPECT_EQ(joined(s.getKeys("B")), "p0|p1|p2|p3");
    s.setIndexedValues("q", "B", strings({"a", "b"}), -1);
    EXPECT_FALSE(s.hasItem("q2", "B"));
}

TEST(CSConfigListTest, ValuesByIdAndNameQueries)
{
    CSConfig cfg(false);
    const char* table[][3] = {{"A", "Gfx", "1"}, {"B", "Gfx", "2"}, {nullptr, nullptr, nullptr}};
    cfg.setDefaults(table);
    EXPECT_EQ(joined(cfg.getValuesById(0, 1)), "1|2");
    EXPECT_EQ(cfg.getValuesById(1, 0).entries(), 0u);
    EXPECT_EQ(joined(cfg.getValuesById(1, 5)), "2");
    EXPECT_EQ(cfg.setValuesById(0, strings({"x", "y"})), 2);
    EXPECT_EQ(joined(cfg.getValuesById(0, 1)), "x|y");

    cfg.getOrCreateBlock(" GFX_2 ");
    cfg.getOrCreateBlock("Other");
    EXPECT_EQ(joined(cfg.getBlockNames()), "Gfx| GFX_2 |Other");
    Strings names;
    cfg.getBlockNamesWithPrefix("GFX", &names);
    EXPECT_EQ(joined(names), "GFX_2");
    cfg.findBlock("Gfx")->addItem("off", "", CFG_ITEM_DISABLED);
    EXPECT_EQ(joined(cfg.getKeys("Gfx")), "A|B");
    EXPECT_EQ(cfg.getKeys("none").entries(), 0u);
    Strings keys;
    cfg.getKeysWithPrefix("Gfx", "B", &keys);
    cfg.getKeysWithPrefix("none", "B", &keys);
    EXPECT_EQ(joined(keys), "B");
}
