// Tests of merging configurations and of the process-wide list of shared configurations.
#include <sstream>

#include <unistd.h>

#include <gtest/gtest.h>

#include "services/config/CSConfig.h"
#include "services/config/LinkedConfigList.h"
#include "tests/support/TempDir.h"

namespace {

refHandle<CSConfig> parsed(const char* text)
{
    std::istringstream in(text);
    refHandle<CSConfig> cfg(new CSConfig(&in, nullptr, true));
    cfg->attachStream(nullptr);
    return cfg;
}

std::string written(CSConfig& cfg)
{
    std::ostringstream os;
    cfg.writeStream(os);
    return os.str();
}

}  // namespace

TEST(CSConfigMergeTest, MergeHonoursForcedDisabledAndKeptMarkers)
{
    refHandle<CSConfig> target = parsed("[A]\nplain=1\nforced=1\noff=1\nown=1\n; kept note\n[K]\nk=1\n");
    refHandle<CSConfig> source = parsed(
        "d=0\n"
        "[A]\n; new\nplain=2\n#!\nforced=2\n#-off=2\nfresh=2\n"
        "#~\n[K]\nk=2\nextra=2\n"
        "; src\n[N]\nn=1\n; tail\n");
    EXPECT_TRUE(target->mergeConfig(*source));
    EXPECT_STREQ(target->findItem("plain", "A")->getValue()->getString(), "1");
    EXPECT_EQ(target->findItem("plain", "A")->getComment(), "; new\n");
    EXPECT_STREQ(target->findItem("forced", "A")->getValue()->getString(), "2");
    EXPECT_EQ(target->findItem("off", "A"), nullptr);
    EXPECT_STREQ(target->findItem("own", "A")->getValue()->getString(), "1");
    EXPECT_STREQ(target->findItem("fresh", "A")->getValue()->getString(), "2");
    EXPECT_STREQ(target->findItem("k", "K")->getValue()->getString(), "1");
    EXPECT_EQ(target->findItem("extra", "K"), nullptr);
    EXPECT_EQ(target->findBlock("K")->getComment(), "#~\n");
    EXPECT_EQ(target->blockAt(0)->getName(), "<default>");
    EXPECT_EQ(target->blockAt(3)->getName(), "N");
    EXPECT_EQ(target->findBlock("N")->getComment(), "; src\n");
    EXPECT_EQ(target->getTrailingComment(), "; tail");

    const std::string before = written(*target);
    EXPECT_TRUE(target->mergeConfig(*target));
    EXPECT_EQ(written(*target), before);
}

TEST(CSConfigMergeTest, LinkedConfigsAreSharedReloadedAndSavedTogether)
{
    TempDir dir;
    const std::string a = dir.write("a.cfg", "[x]\nv=1\n");
    const std::string b = dir.write("b.cfg", "[x]\nv=1\n");
    CSConfig::saveLinkedConfigs(false);  // nothing happens before the list exists

    refHandle<CSConfig> first = CSConfig::getLinkedConfig(a.c_str());
    refHandle<CSConfig> second = CSConfig::getLinkedConfig((dir.path() + "/./a.cfg").c_str());
    EXPECT_EQ(first.get(), second.get());
    EXPECT_TRUE(first->ignoresBlockCase());
    refHandle<CSConfig> other = CSConfig::getLinkedConfig(b.c_str());
    EXPECT_NE(other.get(), first.get());

    // A change on disk is picked up by the next request.
    dir.write("a.cfg", "[x]\nv=2\n");
    first->fileTimeRef() = RWTime(1UL);
    refHandle<CSConfig> again = CSConfig::getLinkedConfig(a.c_str());
    EXPECT_STREQ(again->findItem("v", "x")->getValue()->getString(), "2");

    // Only the modified one is written; then all of them.
    first->getValue("v", "x", "")->setInt(3);
    dir.write("b.cfg", "[x]\nv=1\nkept=1\n");
    other->fileTimeRef() = RWTime(1UL);
    CSConfig::saveLinkedConfigs(true);
    EXPECT_EQ(TempDir::read(a), "[x]\nv=3\n\n");
    EXPECT_EQ(TempDir::read(b), "[x]\nv=1\nkept=1\n");
    CSConfig::saveLinkedConfigs(false);
    EXPECT_EQ(TempDir::read(b), "[x]\nv=1\nkept=1\n\n");

    // Freeing the list leaves configurations that others still hold alive.
    const int before = first->referenceCount();
    freeLinkedConfigs();
    EXPECT_EQ(first->referenceCount(), before - 1);
    refHandle<CSConfig> fresh = CSConfig::getLinkedConfig(a.c_str());
    EXPECT_NE(fresh.get(), first.get());
    freeLinkedConfigs();
}

TEST(CSConfigMergeTest, LinkedConfigsOfDistinctFilesStayDistinct)
{
    TempDir dir;
    const std::string lower = dir.write("u.cfg", "[x]\nv=lower\n");
    const std::string upper = dir.write("U.cfg", "[x]\nv=upper\n");
    const std::string link = dir.file("link.cfg");
    ASSERT_EQ(::symlink(lower.c_str(), link.c_str()), 0);

    refHandle<CSConfig> l = CSConfig::getLinkedConfig(lower.c_str());
    refHandle<CSConfig> u = CSConfig::getLinkedConfig(upper.c_str());
    EXPECT_NE(l.get(), u.get());
    EXPECT_STREQ(u->findItem("v", "x")->getValue()->getString(), "upper");
    // Another name of the same file gives the same configuration.
    refHandle<CSConfig> viaLink = CSConfig::getLinkedConfig(link.c_str());
    EXPECT_EQ(viaLink.get(), l.get());
    freeLinkedConfigs();
}
