// Names belong to the documents that use them: they are given back with the last node that
// names them, and lookups work across documents that share nodes.
#include <string>
#include <vector>

#include "xml/arena.h"
#include "xml_test_util.h"

namespace zeph::xml::testing {
namespace {

std::string DistinctNames(int count) {
    std::string text = "<R>";
    for (int i = 0; i < count; ++i) {
        std::string n = "n" + std::to_string(i);
        text += "<" + n + " a" + std::to_string(i) + "='v'/>";
    }
    return text + "</R>";
}

TEST(XmlNames, GivenBackWhenTheDocumentGoes) {
    const std::size_t before = LiveNameCount();
    auto doc = Parse(DistinctNames(20000));
    EXPECT_GE(LiveNameCount(), before + 40000);
    doc.reset();
    EXPECT_EQ(LiveNameCount(), before);

    // Also after a failed load, once the document holding what was read goes.
    auto failed = CreateXmlDocument();
    std::string cut = DistinctNames(5000);
    cut.resize(cut.size() / 2);
    EXPECT_THROW(failed->LoadFromBytes(cut), XmlError);
    EXPECT_GT(LiveNameCount(), before + 4000);
    failed.reset();
    EXPECT_EQ(LiveNameCount(), before);
}

TEST(XmlNames, ALoadGivesBackTheNamesOfThePreviousContent) {
    const std::size_t before = LiveNameCount();
    auto doc = CreateXmlDocument();
    doc->LoadFromBytes(DistinctNames(5000));
    doc->LoadFromBytes("<Small One='1'/>");
    EXPECT_LE(LiveNameCount(), before + 10);
    doc->LoadFromBytes(DistinctNames(5000));
    doc->NewDocument("1.0", "", "Scripts");
    EXPECT_LE(LiveNameCount(), before + 10);
    EXPECT_EQ(doc->GetXml(), "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Scripts/>");
}

TEST(XmlNames, ANodeKeepsItsNamesAfterItsDocument) {
    const std::size_t before = LiveNameCount();
    auto doc = Parse("<R><Kept Attr='1'><Child/></Kept><Other/></R>");
    auto kept = doc->DocumentElement()->ElementByName("Kept");
    doc.reset();
    EXPECT_GT(LiveNameCount(), before);
    // The document's own names stay usable: set, found and written.
    kept->SetAttr("Attr", "2");
    kept->SetAttr("Added", "3");
    EXPECT_EQ(kept->AttrCount(), 2);
    EXPECT_EQ(kept->GetXml(), "\r\n<Kept Attr=\"2\" Added=\"3\">\r\n\t<Child/>\r\n</Kept>");
    kept.reset();
    EXPECT_EQ(LiveNameCount(), before);
}

// A node moved into another document keeps the names of its own; lookups by name and by
// attribute, and writing, find it there by text.
TEST(XmlNames, LookupsAcrossDocuments) {
    auto source = Parse("<S><Colour Name='Comment' Bold='1'/><OnlyHere/></S>");
    auto target = Parse("<T><Colour Name='String'/></T>");
    auto root = target->DocumentElement();
    auto s = source->DocumentElement();
    root->AppendChild(s->ElementByName("Colour"));
    root->AppendChild(s->ElementByName("OnlyHere"));
    source.reset();
    s.reset();
    EXPECT_EQ(root->ElementsByName("Colour")->Count(), 2);
    ASSERT_TRUE(root->ElementByName("OnlyHere"));
    auto found = root->ElementByAttr("Colour", "Name", XmlValue("Comment"));
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->GetBoolAttr("Bold", false));
    EXPECT_FALSE(root->ElementByAttr("Colour", "Bold", XmlValue("0")));
    EXPECT_EQ(Parse(target->GetXml())->GetXml(), target->GetXml());
    EXPECT_NE(target->GetXml().find("<OnlyHere/>"), std::string::npos);
}

// Many distinct names, and names that differ only late or by one byte, keep their identity.
TEST(XmlNames, ManyDistinctNamesStayApart) {
    auto doc = Parse(DistinctNames(50000));
    auto root = doc->DocumentElement();
    ASSERT_EQ(root->ChildNodes()->Count(), 50000);
    for (int i : {0, 1, 9999, 49999}) {
        auto e = root->ElementByName("n" + std::to_string(i));
        ASSERT_TRUE(e) << i;
        EXPECT_EQ(e->AttrName(0), "a" + std::to_string(i));
        EXPECT_EQ(e->GetAttr("a" + std::to_string(i), ""), "v");
        EXPECT_EQ(e->GetAttr("a" + std::to_string(i + 1), "none"), "none");
    }
    EXPECT_FALSE(root->ElementByName("n50000"));
    auto twins = Parse("<R><abcdefghijklmnopq/><abcdefghijklmnopr/><abcdefghijklmnopq/></R>");
    EXPECT_EQ(twins->DocumentElement()->ElementsByName("abcdefghijklmnopq")->Count(), 2);
}

// Names of every short length (each read differently for its hash), and names longer than a
// block of the table between them, while the table grows many times over: each stays its own
// name and is found again.
TEST(XmlNames, ShortAndOverlongNamesSurviveTheTableGrowing) {
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) {
        const std::size_t length = 1 + static_cast<std::size_t>(i) % 20;
        std::string name = "n" + std::to_string(i);
        if (name.size() < length) name.resize(length, 'x');
        names.push_back(name);
        if (i % 1000 == 500)
            names.push_back("L" + std::string(70000 + static_cast<std::size_t>(i), 'y'));
    }
    for (char c = 'a'; c <= 'z'; ++c) names.push_back(std::string(1, c));
    std::string text = "<R>";
    for (const std::string& n : names) text += "<" + n + "/>";
    text += "</R>";
    auto doc = Parse(text);
    auto kids = doc->DocumentElement()->ChildNodes();
    ASSERT_EQ(kids->Count(), static_cast<int>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(kids->Item(static_cast<int>(i))->NodeName(), names[i]) << i;
        ASSERT_TRUE(doc->DocumentElement()->ElementByName(names[i])) << names[i].substr(0, 20);
    }
}

// The table just before, at and after each of its growth steps (the pre-entered names count):
// every name entered keeps its id, is found by its text and reads back, and names never entered
// are not found.
TEST(XmlNameTable, KeepsEveryNameAcrossItsGrowthSteps) {
    for (std::size_t added : {3u, 4u, 5u, 11u, 12u, 13u, 1019u, 1020u, 1021u, 70000u}) {
        SCOPED_TRACE(added);
        detail::NameTable table;
        std::vector<std::uint32_t> ids;
        auto name = [](std::size_t i) { return "name" + std::to_string(i); };
        for (std::size_t i = 0; i < added; ++i) ids.push_back(table.Intern(name(i)));
        EXPECT_EQ(table.Size(), added + detail::NameTable::kPreCount);
        EXPECT_GE(table.Capacity(), 2 * table.Size());
        EXPECT_EQ(table.Capacity() & (table.Capacity() - 1), 0u);
        for (std::size_t i = 0; i < added; ++i) {
            ASSERT_EQ(table.Find(name(i)), ids[i]) << i;
            ASSERT_EQ(table.Intern(name(i)), ids[i]) << i;
            ASSERT_EQ(table.View(ids[i]), name(i)) << i;
        }
        EXPECT_EQ(table.Find(name(added)), detail::NameTable::kNone);
        EXPECT_EQ(table.Find(""), detail::NameTable::kNone);
        EXPECT_EQ(table.View(table.pre(detail::NameTable::kXml)), "xml");
        EXPECT_EQ(table.Size(), added + detail::NameTable::kPreCount);
    }
}

// Beyond the size where the parser hashes the names of the next tags ahead: new names among
// repeated ones (found in the parser's caches, so that names hashed ahead are passed by),
// closing tags and attributes, and each written back as read.
TEST(XmlNames, NamesHashedAheadInAVeryLargeTable) {
    std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<R>";
    constexpr int kElements = 200000;  // 300000 names: a table of 2^20 slots
    for (int i = 0; i < kElements; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 4) {
            case 0:
                text += "\r\n\t<e" + n + " a" + n + "=\"1\"/>";
                break;
            case 1:
                text += "\r\n\t<Repeated Name=\"" + n + "\"/>";
                break;
            case 2:
                text += "\r\n\t<e" + n + " b" + n + "=\"2\">\r\n\t\t<Inner x" + n +
                        "=\"3\"/>\r\n\t</e" + n + ">";
                break;
            default:
                text += "\r\n\t<f" + n + ">text</f" + n + ">";
        }
    }
    text += "\r\n</R>";
    auto doc = Parse(text);
    EXPECT_EQ(doc->GetXml(), text);
    auto root = doc->DocumentElement();
    EXPECT_EQ(root->ElementsByName("Repeated")->Count(), kElements / 4);
    EXPECT_EQ(root->ElementByName("e199998")->ElementByName("Inner")->AttrName(0), "x199998");
    EXPECT_EQ(root->ElementByName("e8")->GetAttr("a8", ""), "1");
    EXPECT_FALSE(root->ElementByName("e1"));
}

}  // namespace
}  // namespace zeph::xml::testing
