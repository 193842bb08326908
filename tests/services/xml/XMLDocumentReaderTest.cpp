// Tests of the XML reader: the accepted subset, entities, failures with their lines, depth.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "services/xml/XMLContentHandlerI.h"
#include "services/xml/XMLDocumentC.h"
#include "tests/support/TempDir.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string str(const RWCString& s)
{
    return std::string(s.data(), s.length());
}

const char* const descriptor =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
    "<!-- model descriptor -->\n"
    "<ORDER id=\"42\">\n"
    "  <SECTION name='main'>\n"
    "    <ZIPFILE>parts.zip</ZIPFILE>\n"
    "    <CONTENTS>\n"
    "      <PART><FILENAME>gear.zjv</FILENAME></PART>\n"
    "      <PART><FILENAME>shaft.zjv</FILENAME></PART>\n"
    "    </CONTENTS>\n"
    "  </SECTION>\n"
    "</ORDER>\n";

TEST(XMLReaderTest, DescriptorIsWalkedWithChainedLookups)
{
    XMLDocumentC doc;
    ASSERT_TRUE(doc.parseString(descriptor)) << str(doc.getErrorMessage());
    XMLTagC* section = doc.getRootTag()->getChild("ORDER")->getChild("SECTION");
    EXPECT_EQ(str(section->getChild("ZIPFILE")->getText()), "parts.zip");
    EXPECT_EQ(str(section->getAttribute("name")->getValue()), "main");
    std::vector<std::string> files;
    XMLTagC* contents = section->getChild("CONTENTS");
    for (XMLTagC* part = contents->findFirstChild("PART"); part; part = contents->findNextChild())
        files.push_back(str(part->getChild("FILENAME")->getText()));
    EXPECT_EQ(files, (std::vector<std::string>{"gear.zjv", "shaft.zjv"}));
    EXPECT_EQ(str(doc.getRootTag()->getChild("ORDER")->getChild("MISSING")->getChild("FILENAME")->getText()), "");
    EXPECT_EQ(doc.getRootTag()->getChild("SECTION"), XMLTagC::getNullTag());
    EXPECT_EQ(str(doc.getHeader()), "?xml version=\"1.0\" encoding=\"ISO-8859-1\"?");
    EXPECT_EQ(str(doc.getRootTag()->getText()), "");
    EXPECT_EQ(doc.getRootTag()->getChildCount(), 1u);
}

TEST(XMLReaderTest, SmallDocuments)
{
    XMLDocumentC doc;
    ASSERT_TRUE(doc.parseString("<?xml version='1.0'?><A><B>x</B></A>"));
    EXPECT_EQ(str(doc.getHeader()), "?xml version='1.0'?");
    EXPECT_EQ(str(doc.getRootTag()->getChild("A")->getChild("B")->getText()), "x");

    ASSERT_TRUE(doc.parseString("<?xml?><A b='1' c = \"2\"/>"));
    XMLTagC* a = doc.getRootTag()->getChild("A");
    EXPECT_EQ(a->getAttributeCount(), 2u);
    EXPECT_EQ(str(a->getAttribute("b")->getValue()), "1");
    EXPECT_EQ(str(a->getAttribute("c")->getValue()), "2");
    EXPECT_EQ(a->getChildCount(), 0u);

    ASSERT_TRUE(doc.parseString("<?xml?><A>"));  // the input ends inside the element
    EXPECT_EQ(doc.getRootTag()->getChildCount(), 1u);

    ASSERT_TRUE(doc.parseString("<?xml?><A/><B/>"));  // a new parse starts from an empty tree
    EXPECT_EQ(doc.getRootTag()->getChildCount(), 2u);

    ASSERT_TRUE(doc.parseString(RWCString("<?xml?><A>one<B/>two</A>")));
    EXPECT_EQ(str(doc.getRootTag()->getChild("A")->getText()), "two");
}

TEST(XMLReaderTest, TheEncodingIsTheOneTheXmlDeclarationNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><A/>", "ISO-8859-1"},
        {"<?xml version='1.0'\n  encoding = 'latin1' standalone='yes'?><A/>", "latin1"},
        {"<?xml version='1.0'?><A/>", ""},
        {"<?xml version='1.0' myencoding='x' encoding='utf-8'?><A/>", "utf-8"},
        {"<?xml version='1.0' encoding='cut?><A/>", ""},
        {"<?xml-stylesheet encoding='x'?><A/>", ""},  // no XML declaration
    };
    for (const auto& [text, encoding] : cases) {
        XMLDocumentC doc;
        doc.parseString(text);
        EXPECT_EQ(str(doc.getDeclaredEncoding()), encoding) << text;
    }
}

TEST(XMLReaderTest, FailuresReportTheirTextAndLine)
{
    struct Case {
        const char* input;
        const char* message;
        int line;
    } cases[] = {
        {"<A><B>x</B></A>", "Missing <?xml header!", 1},
        {"<?xml?><A b='1'c='2'/>", "Missing white space before name in attributes!", 1},
        {"<?xml?><A b=1/>", "Missing quotes in attributes!", 1},
        {"<?xml?><A b/>", "Error in attributes!", 1},
        {"<?xml?><A b='1' b='2'/>", "Duplicate attributes not allowed", 1},
        {"<?xml?>\n<A>\n</B>", "End token != start token!", 3},
        {"<?xml?>\n<ORDER>\n  <SECTION>\n</ORDER>", "End token != start token!", 4},  // SECTION left open
        {"<?xml?>\n\n\n<A>\n\n</A></A>", "End token != start token!", 6},
        {"<?xml version='1.0'>\n<A/>", "Missing closing ? in header!", 1},
        {"<?xml?><A><></A>", "Found illegal character at begin of token!", 1},
        {"<?xml?>\n> <A/>", "Found '>' at begin of token!", 2},
        {"<?xml?><A></></A>", "Empty token!", 1},
        {"<?xml?><1A x='1'/>", "Invalid tag name!", 1},
        {"<?xml?><A 1x='1'/>", "Invalid name in attribute!", 1},
        {"<?xml?><A x='1/>", "Error in attributes!", 1},
    };
    for (const Case& c : cases) {
        XMLDocumentC doc;
        EXPECT_FALSE(doc.parseString(c.input)) << c.input;
        EXPECT_TRUE(doc.hasError()) << c.input;
        EXPECT_EQ(str(doc.getErrorMessage()), c.message) << c.input;
        EXPECT_EQ(doc.getErrorLine(), c.line) << c.input;
    }
}

TEST(XMLReaderTest, HeaderCanBeOptional)
{
    XMLDocumentC doc;
    doc.setRequireHeader(false);
    ASSERT_TRUE(doc.parseString("<A><B>x</B></A>"));
    EXPECT_EQ(str(doc.getRootTag()->getChild("A")->getChild("B")->getText()), "x");
}

TEST(XMLReaderTest, EntitiesInTextAndAttributes)
{
    XMLDocumentC doc;
    ASSERT_TRUE(doc.parseString("<?xml?><A>  x &amp; y &#65;&#x42;&lt; </A>"));
    EXPECT_EQ(str(doc.getRootTag()->getChild("A")->getText()), "x & y AB< ");

    struct Case {
        const char* text;
        const char* decoded;
    } cases[] = {
        {"&AMP;&Quot;&apos;&gt;", "&\"'>"},
        {"&amp;lt;", "&lt;"},             // a produced '&' is not looked at again
        {"&41;", "A"},                    // without '#' the digits are hexadecimal
        {"&#233;", "\xE9"},
        {"&#256;", "&#256;"},             // beyond one byte: left as written
        {"&#0;", "&#0;"},
        {"&#4294967361;", "&#4294967361;"},  // would wrap to 'A' in 32 bits
        {"&#x10041;", "&#x10041;"},
        {"&#999999999999999999999999;", "&#999999999999999999999999;"},
        {"&unknown;", "&unknown;"},
        {"&#6x;", "&#6x;"},
        {"a & b; c", "a & b; c"},
        {"&& amp;&lt;", "&& amp;<"},
        {"x;y", "x;y"},
    };
    for (const Case& c : cases) {
        std::string input = std::string("<?xml?><A v='") + c.text + "'>" + c.text + "</A>";
        ASSERT_TRUE(doc.parseString(input.c_str())) << input << " " << str(doc.getErrorMessage());
        XMLTagC* a = doc.getRootTag()->getChild("A");
        EXPECT_EQ(str(a->getText()), c.decoded) << c.text;
        EXPECT_EQ(str(a->getAttribute("v")->getValue()), c.decoded) << c.text;
    }

    doc.setEntityFlags(0);
    ASSERT_TRUE(doc.parseString("<?xml?><A>  x &amp; y &#65;&#x42;&lt; </A>"));
    EXPECT_EQ(str(doc.getRootTag()->getChild("A")->getText()), "x &amp; y &#65;&#x42;&lt; ");
}

TEST(XMLReaderTest, CommentsEndAtTheFirstClosingMark)
{
    struct Case {
        const char* input;
        unsigned children;
    } cases[] = {
        {"<?xml?><!-- note --><A/>", 1},
        {"<?xml?><!----><A/>", 1},
        {"<?xml?><!-- a --- b ---><A/><B/>", 2},
        {"<?xml?><!-- <A/> - -- ><X/> --><A/>", 1},
        {"<?xml?><A><!-- inside --></A>", 1},
    };
    for (const Case& c : cases) {
        XMLDocumentC doc;
        ASSERT_TRUE(doc.parseString(c.input)) << c.input << " " << str(doc.getErrorMessage());
        EXPECT_EQ(doc.getRootTag()->getChildCount(), c.children) << c.input;
        EXPECT_EQ(str(doc.getRootTag()->getChildAt(0)->getName()), "A") << c.input;
    }
}

TEST(XMLReaderTest, DoctypeIsReadAndChecked)
{
    XMLDocumentC doc;
    ASSERT_TRUE(doc.parseString("<?xml?><!DOCTYPE model><A/>"));
    EXPECT_EQ(str(doc.getDoctype()), " model");
    doc.setDoctype("other", true);
    EXPECT_FALSE(doc.parseString("<?xml?><!DOCTYPE model><A/>"));
    EXPECT_EQ(str(doc.getErrorMessage()), "Wrong DOCTYPE expected: other got: OCTYPE model");
    doc.setDoctype("model", true);
    EXPECT_TRUE(doc.parseString("<?xml?><!DOCTYPE model><A/>"));
    XMLDocumentC shortDeclaration;
    EXPECT_TRUE(shortDeclaration.parseString("<?xml?><!DOC><A/>"));
    EXPECT_EQ(str(shortDeclaration.getDoctype()), "");
}

TEST(XMLReaderTest, NullTextAndMissingFileFailCleanly)
{
    XMLDocumentC doc;
    EXPECT_FALSE(doc.parseString(static_cast<const char*>(nullptr)));
    EXPECT_EQ(str(doc.getErrorMessage()), "Can't open file!");
    TempDir dir;
    for (const std::string& name : {dir.path() + "/missing.xml", dir.path()}) {
        EXPECT_FALSE(doc.parseFile(name.c_str())) << name;
        EXPECT_EQ(str(doc.getErrorMessage()), "Can't open file!");
        EXPECT_EQ(doc.getErrorLine(), 0);
    }
}

TEST(XMLReaderTest, SpecialFilesAndFilesAboveTheLimitCannotOpen)
{
    TempDir dir;
    const std::string fifo = dir.file("pipe.xml");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string model = dir.write("model.xml", descriptor);
    XMLDocumentC doc;
    ::alarm(30);  // a reader that blocks on the FIFO fails here rather than hanging the suite
    for (const std::string& name : {fifo, std::string("/dev/zero")}) {
        EXPECT_FALSE(doc.parseFile(name.c_str())) << name;
        EXPECT_EQ(str(doc.getErrorMessage()), "Can't open file!");
    }
    ::alarm(0);
    doc.setMaxFileSize(std::strlen(descriptor) - 1);
    EXPECT_FALSE(doc.parseFile(model.c_str()));
    EXPECT_EQ(str(doc.getErrorMessage()), "Can't open file!");
    doc.setMaxFileSize(std::strlen(descriptor));
    EXPECT_TRUE(doc.parseFile(model.c_str()));
}

TEST(XMLReaderTest, FilesAndStreamsParseLikeStrings)
{
    TempDir dir;
    const std::string name = dir.path() + "/model.xml";
    {
        std::ofstream out(name);
        out << descriptor;
    }
    XMLDocumentC doc;
    ASSERT_TRUE(doc.parseFile(name.c_str()));
    EXPECT_EQ(str(doc.getRootTag()->getChild("ORDER")->getChild("SECTION")->getChild("ZIPFILE")->getText()), "parts.zip");
    std::istringstream in(descriptor);
    ASSERT_TRUE(doc.parse(in));
    EXPECT_EQ(doc.getRootTag()->getChild("ORDER")->getAttribute("id")->getValueInt(), 42);
}

TEST(XMLReaderTest, LargeStreamsReadAcrossBufferBoundaries)
{
    std::string text = "<?xml?>\n<ORDER>\n";
    int lines = 2;
    for (int i = 0; text.size() < 300000; ++i, ++lines)
        text += "  <PART id='" + std::to_string(i) + "'><!-- c --><FILENAME>p&amp;" + std::to_string(i) + "</FILENAME></PART>\n";
    text += "</ORDER>\n<BAD></WRONG>";
    lines += 2;  // the part lines run from 3 to lines; then </ORDER>, then the bad line
    XMLDocumentC fromString, fromStream;
    EXPECT_FALSE(fromString.parseString(text.c_str()));
    std::istringstream in(text);
    EXPECT_FALSE(fromStream.parse(in));
    EXPECT_EQ(fromString.getErrorLine(), lines);
    EXPECT_EQ(fromStream.getErrorLine(), lines);
    RWCString a, b;
    fromString.writeString(a, true);
    fromStream.writeString(b, true);
    EXPECT_EQ(str(a), str(b));
    XMLTagC* order = fromStream.getRootTag()->getChild("ORDER");
    EXPECT_EQ(str(order->getChildAt(order->getChildCount() - 1)->getChild("FILENAME")->getText()),
              "p&" + std::to_string(order->getChildCount() - 1));
}

struct RecordingHandler : XMLContentHandlerI {
    std::vector<std::string> calls;
    bool startElement(const RWCString& name) override
    {
        calls.push_back("start " + str(name));
        return true;
    }
    bool attribute(const RWCString& name, const RWCString& value) override
    {
        calls.push_back("attr " + str(name) + "=" + str(value));
        return true;
    }
    bool characters(const RWCString& text) override
    {
        calls.push_back("text " + str(text));
        return str(text) != "stop";
    }
    bool endElement(const RWCString& name) override
    {
        calls.push_back("end " + str(name));
        return true;
    }
    RWCString getErrorMessage() override { return "handler says no"; }
};

TEST(XMLReaderTest, HandlersSeeEveryEventInOrder)
{
    XMLDocumentC doc;
    RecordingHandler handler;
    std::istringstream in("<?xml?><A x='&lt;1'>t<B/></A>");
    ASSERT_TRUE(doc.parse(in, &handler));
    EXPECT_EQ(handler.calls,
              (std::vector<std::string>{"start A", "attr x=<1", "text t", "start B", "end B", "end A"}));
    EXPECT_EQ(doc.getRootTag()->getChildCount(), 0u);

    std::istringstream failing("<?xml?><A>\nstop</A>");
    EXPECT_FALSE(doc.parse(failing, &handler));
    EXPECT_EQ(str(doc.getErrorMessage()), "handler says no");
    EXPECT_EQ(doc.getErrorLine(), 2);

    std::istringstream skipped("<?xml?><A><B/></A>");
    EXPECT_FALSE(doc.parse(skipped, nullptr));
    EXPECT_EQ(str(doc.getErrorMessage()), "End token != start token!");
}

TEST(XMLReaderTest, DeepNestingIsRefusedWithoutCrashing)
{
    const int depth = 200000;
    std::string text = "<?xml?>\n";
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    XMLDocumentC doc;
    EXPECT_FALSE(doc.parseString(text.c_str()));
    EXPECT_EQ(str(doc.getErrorMessage()), "Elements nested too deeply!");
    EXPECT_EQ(doc.getErrorLine(), 2);

    std::string fits = "<?xml?>";
    for (int i = 0; i < XMLDocumentC::maxNestingDepth; ++i)
        fits += "<a>";
    EXPECT_TRUE(doc.parseString(fits.c_str())) << str(doc.getErrorMessage());
    RWCString written;
    EXPECT_TRUE(doc.writeString(written, true));
    XMLDocumentC again;
    EXPECT_TRUE(again.parseString(written));
}

TEST(XMLReaderTest, ManyAttributesAreCheckedForDuplicates)
{
    std::string text = "<?xml?><A";
    for (int i = 0; i < 5000; ++i)
        text += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
    XMLDocumentC doc;
    ASSERT_TRUE(doc.parseString((text + "/>").c_str())) << str(doc.getErrorMessage());
    XMLTagC* a = doc.getRootTag()->getChild("A");
    EXPECT_EQ(a->getAttributeCount(), 5000u);
    EXPECT_EQ(a->getAttribute("a4321")->getValueInt(), 4321);
    EXPECT_FALSE(doc.parseString((text + " a3='again'/>").c_str()));
    EXPECT_EQ(str(doc.getErrorMessage()), "Duplicate attributes not allowed");
    EXPECT_EQ(str(doc.getRootTag()->getChild("A")->getAttribute("a3")->getValue()), "3");
}

TEST(XMLReaderTest, TrailingLineFeedLeavesRootTextEmpty)
{
    XMLDocumentC doc;
    ASSERT_TRUE(doc.parseString("<?xml?><A/>\n"));
    EXPECT_EQ(str(doc.getRootTag()->getText()), "");
    ASSERT_TRUE(doc.parseString("<?xml?>stray<A/>"));
    EXPECT_EQ(str(doc.getRootTag()->getText()), "stray");
}

}  // namespace
