// Tests of the XML writer: exact texts, escaping, and reading back what was written.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "services/xml/XMLDocumentC.h"
#include "tests/support/TempDir.h"

namespace {

std::string str(const RWCString& s)
{
    return std::string(s.data(), s.length());
}

std::string written(XMLDocumentC& doc, bool compact)
{
    RWCString out;
    EXPECT_TRUE(doc.writeString(out, compact));
    return str(out);
}

// Builds A (b=1) holding B (text x) and E (empty).
void buildSample(XMLDocumentC& doc)
{
    XMLTagC* a = doc.getRootTag()->addChild("A");
    a->addAttribute("b", "1");
    a->addChild("B")->setText("x");
    a->addChild("E");
}

TEST(XMLWriterTest, IndentedAndCompactTexts)
{
    XMLDocumentC doc;
    EXPECT_EQ(written(doc, false), "<?xml version=\"1.0\"?>\n");
    EXPECT_EQ(written(doc, true), "<?xml version=\"1.0\"?>");
    buildSample(doc);
    EXPECT_EQ(written(doc, false),
              "<?xml version=\"1.0\"?>\n"
              "<A b=\"1\">\n"
              "  <B>x</B>\n"
              "  <E/>\n"
              "</A>\n");
    EXPECT_EQ(written(doc, true), "<?xml version=\"1.0\"?><A b=\"1\"><B>x</B><E/></A>");
    doc.setEncoding("ISO-8859-1");
    doc.setDoctype("model", false);
    EXPECT_EQ(written(doc, false),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
              "<!DOCTYPE model>\n"
              "<A b=\"1\">\n"
              "  <B>x</B>\n"
              "  <E/>\n"
              "</A>\n");
}

TEST(XMLWriterTest, TagStringsAndToString)
{
    XMLDocumentC doc;
    buildSample(doc);
    XMLTagC* b = doc.getRootTag()->getChild("A")->getChild("B");
    RWCString out;
    EXPECT_TRUE(b->toString(out));
    EXPECT_EQ(str(out), "<?xml version=\"1.0\"?><B>x</B>");
    EXPECT_TRUE(doc.writeTagString(out, b, false));
    EXPECT_EQ(str(out), "<?xml version=\"1.0\"?>\n<B>x</B>\n");
    EXPECT_FALSE(XMLTagC::getNullTag()->toString(out));
}

TEST(XMLWriterTest, TextOfATagWithChildrenIsNotWritten)
{
    XMLDocumentC doc;
    XMLTagC* a = doc.getRootTag()->addChild("A");
    a->setText("lost");
    a->addChild("C");
    EXPECT_EQ(written(doc, true), "<?xml version=\"1.0\"?><A><C/></A>");
}

TEST(XMLWriterTest, EncodingFollowsTheEntityFlags)
{
    struct Case {
        int flags;
        const char* text;
        const char* encoded;
    } cases[] = {
        {3, "a<b>&'\"", "a&lt;b&gt;&amp;&apos;&quot;"},
        {3, "caf\xE9 \x85", "caf&#233; \x85"},
        {1, "a<b>&'\"", "a&#60;b&#62;&'&#34;"},
        {2, "\xE9<", "\xE9&lt;"},
        {0, "a<&\xE9", "a<&\xE9"},
    };
    for (const Case& c : cases) {
        XMLDocumentC doc;
        doc.setEntityFlags(c.flags);
        std::ostringstream out;
        doc.encodeText(c.text, out);
        EXPECT_EQ(out.str(), c.encoded) << c.flags << " " << c.text;
    }
}

TEST(XMLWriterTest, DocumentsBuiltAndWrittenOnSeveralThreadsEncodeAlike)
{
    constexpr int kThreads = 8;
    std::vector<std::string> texts(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&texts, t] {
            for (int round = 0; round < 200; ++round) {
                XMLDocumentC doc;
                std::ostringstream out;
                doc.encodeText("caf\xE9 <\xA0>\"", out);
                texts[size_t(t)] = out.str();
            }
        });
    for (std::thread& th : threads)
        th.join();
    for (const std::string& text : texts)
        EXPECT_EQ(text, "caf&#233; &lt;&#160;&gt;&quot;");
}

TEST(XMLWriterTest, AttributeQuotes)
{
    XMLDocumentC doc;
    XMLTagC* a = doc.getRootTag()->addChild("A");
    a->addAttribute("q", "say \"hi\"");
    EXPECT_EQ(written(doc, true), "<?xml version=\"1.0\"?><A q='say &quot;hi&quot;'/>");
    doc.setEntityFlags(1);
    a->getAttribute("q")->setValue("it's \"x\"");
    EXPECT_EQ(written(doc, true), "<?xml version=\"1.0\"?><A q='it&#39;s &#34;x&#34;'/>");
    XMLDocumentC back;
    back.setEntityFlags(1);
    ASSERT_TRUE(back.parseString(written(doc, true).c_str())) << str(back.getErrorMessage());
    EXPECT_EQ(str(back.getRootTag()->getChild("A")->getAttribute("q")->getValue()), "it's \"x\"");
}

TEST(XMLWriterTest, WriteThenReadGivesTheSameTree)
{
    XMLDocumentC doc;
    XMLTagC* order = doc.getRootTag()->addChild("ORDER");
    order->addAttribute("note", "a < b & \"c\" 'd' \xE9");
    order->addAttribute("plain", "1");
    XMLTagC* part = order->addChild("SECTION")->addChild("PART");
    part->setText("x & y <z> \xA0\xFF;");
    part->addChild("FILENAME")->setText("gear&#65;.zjv");
    order->addChild("EMPTY");
    for (bool compact : {false, true}) {
        std::string text = written(doc, compact);
        XMLDocumentC back;
        ASSERT_TRUE(back.parseString(text.c_str())) << text << " " << str(back.getErrorMessage());
        EXPECT_EQ(written(back, compact), text);
        XMLTagC* o = back.getRootTag()->getChild("ORDER");
        EXPECT_EQ(str(o->getAttribute("note")->getValue()), "a < b & \"c\" 'd' \xE9");
        EXPECT_EQ(str(o->getChild("SECTION")->getChild("PART")->getChild("FILENAME")->getText()), "gear&#65;.zjv");
    }
}

TEST(XMLWriterTest, WriteFileReportsFailures)
{
    TempDir dir;
    XMLDocumentC doc;
    buildSample(doc);
    const std::string name = dir.path() + "/out.xml";
    ASSERT_TRUE(doc.writeFile(name.c_str()));
    std::ifstream in(name);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), written(doc, false));

    XMLDocumentC unwritable;
    EXPECT_FALSE(unwritable.writeFile((dir.path() + "/no/such/folder/x.xml").c_str()));
    EXPECT_EQ(str(unwritable.getErrorMessage()), "Can't write file!");

    // A device that refuses the bytes: the failure shows only when the stream is flushed.
    std::ifstream full("/dev/full");
    if (full.good()) {
        XMLDocumentC diskFull;
        buildSample(diskFull);
        EXPECT_FALSE(diskFull.writeFile("/dev/full"));
        EXPECT_EQ(str(diskFull.getErrorMessage()), "Can't write file!");
    }

    XMLDocumentC failedParse;
    failedParse.parseString("<A/>");
    EXPECT_FALSE(failedParse.writeFile(name.c_str()));
}

}  // namespace
