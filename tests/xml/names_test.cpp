// Names belong to the documents that use them: they are given back with the last node that
// names them, and lookups work across documents that share nodes.
#include <string>
#include <vector>

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

}  // namespace
}  // namespace zeph::xml::testing
