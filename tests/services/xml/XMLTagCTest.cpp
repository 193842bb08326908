// Tests of the XML tree: lookups, the shared null tag and attribute, cursors, copies and walks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/xml/XMLDocumentC.h"
#include "services/xml/XMLTagC.h"

namespace {

std::string str(const RWCString& s)
{
    return std::string(s.data(), s.length());
}

std::vector<std::string> childNames(XMLTagC* tag)
{
    std::vector<std::string> names;
    for (unsigned i = 0; i < tag->getChildCount(); ++i)
        names.push_back(str(tag->getChildAt(i)->getName()));
    return names;
}

TEST(XMLTagTest, MissingChildrenAnswerTheSharedNullTag)
{
    XMLDocumentC doc;
    XMLTagC* order = doc.getRootTag()->addChild("ORDER");
    XMLTagC* missing = order->getChild("SECTION");
    EXPECT_EQ(missing, XMLTagC::getNullTag());
    EXPECT_FALSE(missing->isValid());
    EXPECT_EQ(missing->getChild("ORDER"), XMLTagC::getNullTag());
    EXPECT_EQ(str(missing->getChild("A")->getChild("B")->getText()), "");
    EXPECT_EQ(order->getChildCount(), 0u);
    EXPECT_EQ(order->getAttribute("x"), XMLAttributeC::getNullAttribute());
    EXPECT_EQ(order->getAttributeCount(), 0u);
}

TEST(XMLTagTest, WritesIntoTheNullTagAndAttributeAreIgnored)
{
    XMLTagC* null = XMLTagC::getNullTag();
    EXPECT_EQ(null->addChild("A"), null);
    EXPECT_EQ(null->insertChild("A", nullptr), null);
    null->setText("text");
    null->setName("name");
    null->setTextInt(5);
    EXPECT_EQ(null->addAttribute("a", "1"), XMLAttributeC::getNullAttribute());
    EXPECT_EQ(null->addChildFromString("<?xml?><A/>"), null);
    XMLAttributeC* nullAttribute = XMLAttributeC::getNullAttribute();
    nullAttribute->setValue("v");
    nullAttribute->setName("n");
    nullAttribute->setValueDouble(1.5, 2);
    XMLDocumentC doc;
    XMLTagC* source = doc.getRootTag()->addChild("S");
    source->setText("t");
    source->addAttribute("a", "1");
    source->addChild("C");
    source->copyTo(null);

    EXPECT_EQ(str(null->getName()), "");
    EXPECT_EQ(str(null->getText()), "");
    EXPECT_EQ(null->getChildCount(), 0u);
    EXPECT_EQ(null->getAttributeCount(), 0u);
    EXPECT_EQ(str(nullAttribute->getName()), "");
    EXPECT_EQ(str(nullAttribute->getValue()), "");
    EXPECT_EQ(str(doc.getRootTag()->getChild("S")->getChild("missing")->getText()), "");
}

TEST(XMLTagTest, AutoCreateAddsTheMissingChildOnce)
{
    XMLDocumentC doc;
    EXPECT_FALSE(doc.getAutoCreate());
    doc.setAutoCreate(true);
    XMLTagC* root = doc.getRootTag();
    XMLTagC* a = root->getChild("A");
    EXPECT_TRUE(a->isValid());
    EXPECT_EQ(root->getChild("A"), a);
    EXPECT_EQ(root->getChildCount(), 1u);
    XMLAttributeC* x = a->getAttribute("x");
    EXPECT_TRUE(x->isValid());
    EXPECT_EQ(a->getAttribute("x"), x);
    EXPECT_EQ(x->getParent(), a);
}

TEST(XMLTagTest, ChildWalksFindEachMatchInOrder)
{
    XMLDocumentC doc;
    XMLTagC* root = doc.getRootTag();
    XMLTagC* p1 = root->addChild("P");
    root->addChild("Q");
    XMLTagC* p2 = root->addChild("P");
    EXPECT_EQ(root->getChild("P"), p1);
    EXPECT_EQ(root->findFirstChild("P"), p1);
    EXPECT_EQ(root->findNextChild(), p2);
    EXPECT_EQ(root->findNextChild(), nullptr);
    EXPECT_EQ(root->findNextChild(), nullptr);
    std::vector<std::string> all;
    for (XMLTagC* t = root->findFirstChild(""); t; t = root->findNextChild())
        all.push_back(str(t->getName()));
    EXPECT_EQ(all, (std::vector<std::string>{"P", "Q", "P"}));
    EXPECT_EQ(root->getChildAt(root->getChildCount()), XMLTagC::getNullTag());
    EXPECT_EQ(root->findChild("p"), nullptr);  // case counts
}

TEST(XMLTagTest, InsertChildPlacesTheNewTag)
{
    XMLDocumentC doc;
    XMLTagC* root = doc.getRootTag();
    root->addChild("a");
    XMLTagC* b = root->insertChild("b", nullptr);
    root->insertChild("c", b);
    XMLTagC stranger(&doc, "x", nullptr, true);
    root->insertChild("d", &stranger);
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"b", "c", "a", "d"}));
}

TEST(XMLTagTest, AttributesKeepTheirFirstValueAndWalkInOrder)
{
    XMLDocumentC doc;
    XMLTagC* tag = doc.getRootTag()->addChild("T");
    XMLAttributeC* x = tag->addAttribute("x", "1");
    EXPECT_EQ(tag->addAttribute("x", "2"), XMLAttributeC::getNullAttribute());
    EXPECT_EQ(str(x->getValue()), "1");
    tag->addAttribute("y", "2");
    std::vector<std::string> seen;
    for (XMLAttributeC* a = tag->firstAttribute(); a; a = tag->nextAttribute())
        seen.push_back(str(a->getName()) + "=" + str(a->getValue()));
    EXPECT_EQ(seen, (std::vector<std::string>{"x=1", "y=2"}));
    EXPECT_EQ(tag->nextAttribute(), nullptr);
    EXPECT_EQ(tag->getAttributeAt(2), XMLAttributeC::getNullAttribute());
    tag->getAttributeAt(1)->removeFromParent();
    EXPECT_EQ(tag->getAttributeCount(), 1u);
    tag->addAttribute("z", "");
    tag->addAttribute("x2", "");
    tag->removeAttributes("z");
    EXPECT_EQ(tag->getAttributeCount(), 2u);
}

TEST(XMLTagTest, NumbersConvertBothWays)
{
    XMLDocumentC doc;
    XMLTagC* tag = doc.getRootTag()->addChild("T");
    struct Case {
        const char* text;
        int asInt;
        double asDouble;
    } cases[] = {{"12abc", 12, 12.0}, {"abc", 0, 0.0}, {"  -3.75", -3, -3.75}, {"+8", 8, 8.0}};
    for (const Case& c : cases) {
        tag->setText(c.text);
        EXPECT_EQ(tag->getTextInt(), c.asInt) << c.text;
        EXPECT_DOUBLE_EQ(tag->getTextDouble(), c.asDouble) << c.text;
    }
    tag->setTextDouble(2.5, 3);
    EXPECT_EQ(str(tag->getText()), "2.500");
    tag->setTextInt(-7);
    EXPECT_EQ(str(tag->getText()), "-7");
    XMLAttributeC* a = tag->addAttribute("a", "");
    a->setValueInt(42);
    EXPECT_EQ(a->getValueInt(), 42);
    a->setValueDouble(0.126, 2);
    EXPECT_EQ(str(a->getValue()), "0.13");
}

TEST(XMLTagTest, RemovingTagsDeletesTheirSubtrees)
{
    XMLDocumentC doc;
    XMLTagC* root = doc.getRootTag();
    XMLTagC* a = root->addChild("A");
    a->addChild("deep")->addChild("deeper");
    root->addChild("B");
    root->addChild("A");
    root->addChild("C");
    a->removeFromParent();
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"B", "A", "C"}));
    root->removeChildren("A");
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"B", "C"}));
    root->removeChildAt(5);
    root->removeChildAt(0);
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"C"}));
    XMLTagC stranger(&doc, "x", nullptr, true);
    root->removeChild(&stranger);
    EXPECT_EQ(root->getChildCount(), 1u);
}

TEST(XMLTagTest, CopyToKeepsTheTargetsAttributesAndAddsEverythingElse)
{
    XMLDocumentC doc;
    XMLTagC* source = doc.getRootTag()->addChild("S");
    source->setText("body");
    source->addAttribute("a", "source");
    source->addAttribute("b", "2");
    source->addChild("C1")->addChild("G")->setText("g");
    source->addChild("C2");
    XMLTagC* target = doc.getRootTag()->addChild("T");
    target->addAttribute("a", "target");
    target->addChild("old");
    source->copyTo(target);
    EXPECT_EQ(str(target->getText()), "body");
    EXPECT_EQ(str(target->getAttribute("a")->getValue()), "target");
    EXPECT_EQ(str(target->getAttribute("b")->getValue()), "2");
    EXPECT_EQ(childNames(target), (std::vector<std::string>{"old", "C1", "C2"}));
    EXPECT_EQ(str(target->getChild("C1")->getChild("G")->getText()), "g");
}

TEST(XMLTagTest, CopyIntoItsOwnSubtreeEnds)
{
    XMLDocumentC doc;
    XMLTagC* a = doc.getRootTag()->addChild("A");
    XMLTagC* b = a->addChild("B");
    a->copyTo(b);
    EXPECT_EQ(childNames(b), (std::vector<std::string>{"B"}));
    a->copyTo(a);
    EXPECT_EQ(childNames(a), (std::vector<std::string>{"B", "B"}));
}

TEST(XMLTagTest, AddChildFromStringCopiesTheParsedElement)
{
    XMLDocumentC doc;
    XMLTagC* root = doc.getRootTag();
    XMLTagC* added = root->addChildFromString("<?xml version='1.0'?><PART id='7'><FILENAME>a.zjv</FILENAME></PART>");
    EXPECT_EQ(str(added->getName()), "PART");
    EXPECT_EQ(added->getParent(), root);
    EXPECT_EQ(added->getDocument(), &doc);
    EXPECT_EQ(str(added->getAttribute("id")->getValue()), "7");
    EXPECT_EQ(str(added->getChild("FILENAME")->getText()), "a.zjv");
    XMLTagC* empty = root->addChildFromString("<PART/>");  // no header: nothing is built
    EXPECT_EQ(str(empty->getName()), "");
    EXPECT_EQ(root->getChildCount(), 2u);
}

struct RecordingVisitor : XMLTagVisitorI {
    std::vector<std::string> events;
    std::string refuse;
    bool enterTag(XMLTagC* tag) override
    {
        events.push_back("enter " + str(tag->getName()));
        return str(tag->getName()) != refuse;
    }
    bool leaveTag(XMLTagC* tag) override
    {
        events.push_back("leave " + str(tag->getName()));
        return true;
    }
    void visitAttribute(XMLAttributeC* attribute) override { events.push_back("attr " + str(attribute->getName())); }
};

TEST(XMLTagTest, VisitorWalksDepthFirstAndSkipsRefusedTags)
{
    XMLDocumentC doc;
    XMLTagC* a = doc.getRootTag()->addChild("A");
    a->addAttribute("x", "1");
    a->addChild("B")->addChild("C");
    a->addChild("D");
    RecordingVisitor visitor;
    visitor.refuse = "B";
    EXPECT_TRUE(doc.accept(visitor));
    EXPECT_EQ(visitor.events, (std::vector<std::string>{"enter ", "enter A", "attr x", "enter B", "enter D", "leave D",
                                                        "leave A", "leave "}));
    visitor.refuse = "";
    visitor.events.clear();
    EXPECT_FALSE(doc.accept(visitor));
}

TEST(XMLTagTest, DocumentSettings)
{
    XMLDocumentC doc;
    EXPECT_EQ(doc.getEntityFlags(), 3);
    doc.setEntityEncoding(false);
    EXPECT_EQ(doc.getEntityFlags(), 0);
    EXPECT_TRUE(doc.enableEntities());
    EXPECT_EQ(doc.getEntityFlags(), 3);
    doc.setDoctype("model", true);
    EXPECT_EQ(str(doc.getDoctype()), "model");
    EXPECT_FALSE(doc.hasError());
    EXPECT_EQ(doc.getErrorLine(), 0);
}

}  // namespace
