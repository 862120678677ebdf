// A document's memory goes at once with the document, yet every node a caller still holds, or
// another document lists, outlives it intact; nodes removed while the document lives give their
// memory back to it.
#include <algorithm>
#include <set>
#include <string>

#include "xml/node.h"
#include "xml_test_util.h"

namespace zeph::xml::testing {
namespace {

std::string Tree(int count) {
    std::string text = "<?xml version=\"1.0\"?><Root>";
    for (int i = 0; i < count; ++i)
        text += "<Item Id='" + std::to_string(i) + "' Text='" + std::string(40, 'a' + i % 26) +
                "'><Sub N" + std::to_string(i) + "='x'/></Item>";
    return text + "</Root>";
}

TEST(XmlArena, HeldNodesOutliveTheirDocumentWithTheirSubtrees) {
    const std::size_t names = LiveNameCount();
    auto doc = Parse(Tree(200));
    auto root = doc->DocumentElement();
    XmlRef<IXmlNode> item = root->ChildNodes()->Item(150);
    XmlRef<IXmlNodeList> kids = root->ChildNodes();  // a live list holds its node
    root.reset();
    doc.reset();
    EXPECT_EQ(item->GetAttr("Text", ""), std::string(40, 'a' + 150 % 26));
    EXPECT_EQ(item->ChildNodes()->Item(0)->AttrName(0), "N150");
    EXPECT_EQ(kids->Count(), 200);
    EXPECT_EQ(kids->Item(3)->GetAttr("Id", ""), "3");
    // The document is gone: the root's parent link no longer names it.
    EXPECT_EQ(kids->Item(0)->ParentNode()->ParentNode(), nullptr);
    item->SetAttr("Added", std::string(100, 'z'));
    item->AppendElement("New")->SetIntAttr("V", 7);
    EXPECT_NE(item->GetXml().find("<New V=\"7\"/>"), std::string::npos);
    kids.reset();
    EXPECT_GT(LiveNameCount(), names);
    item.reset();
    EXPECT_EQ(LiveNameCount(), names);
}

// A node appended to a second document stays in the memory of its own: neither document's
// going may take it from the other, in either order.
TEST(XmlArena, NodesSharedBetweenDocuments) {
    const std::size_t names = LiveNameCount();
    for (bool source_first : {true, false}) {
        auto source = Parse(Tree(50));
        auto target = Parse("<T><Own Name='own'/></T>");
        auto item = source->DocumentElement()->ElementByName("Item");
        target->DocumentElement()->AppendChild(item);
        item.reset();
        const std::string expected = target->GetXml();
        if (source_first) {
            source.reset();
            EXPECT_EQ(target->GetXml(), expected);
            EXPECT_EQ(target->DocumentElement()->ElementByName("Item")->GetAttr("Id", ""), "0");
            target.reset();
        } else {
            target.reset();
            EXPECT_EQ(source->DocumentElement()->ChildNodes()->Count(), 50);
            EXPECT_EQ(source->DocumentElement()->ElementByName("Item")->ParentNode(), nullptr);
            source.reset();
        }
        EXPECT_EQ(LiveNameCount(), names) << source_first;
    }
}

TEST(XmlArena, ReloadingWhileOldNodesAreHeld) {
    const std::size_t names = LiveNameCount();
    auto doc = Parse(Tree(20));
    auto old_root = doc->DocumentElement();
    doc->LoadFromBytes("<Fresh A='1'/>");
    EXPECT_EQ(doc->DocumentElement()->NodeName(), "Fresh");
    EXPECT_EQ(old_root->ChildNodes()->Count(), 20);
    EXPECT_EQ(old_root->ParentNode(), nullptr);
    // Loading again with nothing held starts the memory afresh.
    doc->LoadFromBytes(Tree(5));
    EXPECT_EQ(doc->DocumentElement()->ChildNodes()->Count(), 5);
    old_root.reset();
    doc.reset();
    EXPECT_EQ(LiveNameCount(), names);
}

// Values read out of a document are copies of their own: they stay when the document goes.
TEST(XmlArena, ValuesCopiedOutOfADocumentKeepTheirText) {
    const std::string long_text(300, 'q');
    auto doc = Parse("<R Long='" + long_text + "' Short='s'/>");
    XmlValue copied = *doc->DocumentElement()->FindAttr("Long");
    XmlValue assigned;
    assigned = *doc->DocumentElement()->FindAttr("Long");
    // A value made outside a document, stored in one and changed there, stays as it was.
    XmlValue outside(std::string(100, 'o'));
    doc->DocumentElement()->SetAttrValue("Outside", outside);
    doc->DocumentElement()->SetAttr("Outside", std::string(120, 'p'));
    doc.reset();
    EXPECT_EQ(copied.Raw(), long_text);
    EXPECT_EQ(assigned.Raw(), long_text);
    EXPECT_EQ(outside.Raw(), std::string(100, 'o'));
}

// Nodes and values removed while the document lives are freed into it and their memory is
// taken again, so a long-lived document edited over and over does not grow.
TEST(XmlArena, RemovedNodesAreReusedWhileTheDocumentLives) {
    auto doc = CreateXmlDocument("Scripts");
    auto root = doc->DocumentElement();
    std::set<const void*> places;
    for (int round = 0; round < 100; ++round) {
        auto e = root->AppendElement("Script");
        e->SetAttr("Text", std::string(200 + round % 3, 't'));
        e->AppendElement("Line")->SetAttr("N", "1");
        places.insert(dynamic_cast<detail::NodeData*>(e.get()));
        EXPECT_EQ(root->RemoveChild(e), 0);
    }
    // The element and its child take turns in the same two places.
    EXPECT_LE(places.size(), 2u);
    EXPECT_EQ(root->ChildNodes()->Count(), 0);
}

// The first attributes of a node share a block with its child list; more move out of it.
TEST(XmlArena, AttributesOutgrowTheirFirstRoom) {
    auto doc = Parse("<R><E A='1' B='2' C='3'/><K><Child/></K></R>");
    auto root = doc->DocumentElement();
    for (const char* name : {"E", "K"}) {
        auto e = root->ElementByName(name);
        for (int i = 0; i < 12; ++i) e->SetAttr("X" + std::to_string(i), std::string(20 + i, 'v'));
        e->SetAttr("X3", "changed");
        EXPECT_EQ(e->GetAttr("X3", ""), "changed") << name;
        EXPECT_EQ(e->GetAttr("X11", ""), std::string(31, 'v')) << name;
    }
    EXPECT_EQ(root->ElementByName("E")->AttrName(0), "A");
    EXPECT_EQ(root->ElementByName("E")->AttrCount(), 15);
    EXPECT_EQ(root->ElementByName("K")->AttrCount(), 12);
    const std::string text = doc->GetXml();
    EXPECT_EQ(Parse(text)->GetXml(), text);
    EXPECT_EQ(root->RemoveChild(root->ElementByName("E")), 0);
    root->AppendElement("E2")->SetAttr("A", "1");
    EXPECT_EQ(Parse(doc->GetXml())->DocumentElement()->ChildNodes()->Count(), 2);
}

// A loaded element's first room for attributes is as many as the last element of its name had:
// elements with fewer or more must keep theirs whole, and give back blocks of the right size
// when removed (a wrong size would hand live memory out again).
TEST(XmlArena, AttributeRoomGuessedFromTheLastElementOfTheName) {
    auto doc = Parse(
        "<R><E A='1'/><E A='1' B='2' C='3' D='4' F='5' G='6'/><E/><E A='x' B='y'/>"
        "<E A='z'><C/></E></R>");
    auto root = doc->DocumentElement();
    auto kids = root->ChildNodes();
    ASSERT_EQ(kids->Count(), 5);
    EXPECT_EQ(kids->Item(1)->AttrCount(), 6);
    EXPECT_EQ(kids->Item(1)->GetAttr("G", ""), "6");
    EXPECT_EQ(kids->Item(3)->GetAttr("B", ""), "y");
    kids->Item(0)->SetAttr("H", "grown");
    while (root->ChildNodes()->Count() > 0) root->RemoveChild(root->ChildNodes()->Item(0));
    std::string expected = "<R>";
    for (int i = 0; i < 60; ++i) {
        auto e = root->AppendElement("N");
        expected += "<N";
        for (int k = 0; k <= i % 8; ++k) {
            const std::string name = "a" + std::to_string(k);
            const std::string value =
                std::string(static_cast<std::size_t>(k * 5), 'v') + std::to_string(i);
            e->SetAttr(name, value);
            expected += " " + name + "=\"" + value + "\"";
        }
        expected += "/>";
    }
    expected += "</R>";
    std::string text = root->GetXml();
    text.erase(std::remove_if(text.begin(), text.end(),
                              [](char c) { return c == '\n' || c == '\t' || c == '\r'; }),
               text.end());
    EXPECT_EQ(text, expected);
}

TEST(XmlArena, NewDocumentKeepsTheDocumentsOwnAttributes) {
    auto doc = CreateXmlDocument();
    doc->SetAttr("Mark", std::string(50, 'm'));
    doc->NewDocument("1.0", "", "Scripts");
    EXPECT_EQ(doc->GetAttr("Mark", ""), std::string(50, 'm'));
    doc->LoadFromBytes("<R/>");
    EXPECT_EQ(doc->AttrCount(), 0);
}

}  // namespace
}  // namespace zeph::xml::testing
