#include "store/description.h"

#include <gmock/gmock.h>

#include <iterator>
#include <random>

#include "store/script_store.h"
#include "store_test_util.h"
#include "text/cp1251.h"

namespace zeph::store::testing {
namespace {

using ::testing::ElementsAre;

xml::XmlRef<xml::IXmlDocument> Parse(std::string_view bytes) {
    auto doc = xml::CreateXmlDocument();
    doc->LoadFromBytes(bytes);
    return doc;
}

std::vector<std::string> Names(const std::vector<xml::XmlRef<xml::IXmlNode>>& nodes) {
    std::vector<std::string> names;
    for (const auto& n : nodes) names.push_back(n->GetAttr("name", "-"));
    return names;
}

TEST(DescriptionTest, EntriesAndMembersAreFoundIgnoringCase) {
    auto doc = Parse(std::string(
        u8"<lib><i name=\"ITellurApplication\"><property name=\"Карта\" type=\"IMap\"/></i>"
        u8"<i name=\"IMAP\"/><i name=\"IMap\"/><i/><!-- note --></lib>"_cp));
    Description d(*doc);
    EXPECT_EQ(d.EntryCount(), 5);
    EXPECT_EQ(d.FindEntry("itellurapplication"), 0);
    EXPECT_EQ(d.FindEntry("imap"), 1);  // the first of two differing in case only
    EXPECT_EQ(d.FindEntry("IUnknown"), -1);
    // Without "name" an entry (or a comment among them) answers to "error" in any case.
    EXPECT_EQ(d.FindEntry("ERROR"), 3);
    EXPECT_EQ(Description::FindMember(*d.Entry(0), u8"КАРТА"_cp), 0);
    EXPECT_EQ(Description::FindMember(*d.Entry(0), "error"), -1);
}

TEST(DescriptionTest, BasesAndMembersByName) {
    auto doc = Parse(
        "<lib><i name=\"A\" base=\"idispatch\"><method name=\"Go\"/><Property name=\"go\"/></i>"
        "<i name=\"B\"><property name=\"GO\" type=\"A\"/><method/></i></lib>");
    Description d(*doc);
    // Only the exact text ends a chain; other spellings are looked up as interfaces.
    EXPECT_EQ(Description::Base(*d.Entry(0)), "idispatch");
    EXPECT_EQ(Description::Base(*d.Entry(1)), "IDispatch");
    // Every child counts, whatever its element name; each reader filters kinds itself.
    EXPECT_THAT(Names(d.MembersNamed("go")), ElementsAre("Go", "go", "GO"));
    EXPECT_THAT(Names(d.MembersNamed("Error")), ElementsAre("-"));
    auto method = d.Entry(1)->ChildNodes()->Item(1);
    EXPECT_EQ(Description::LookupName(*method), "error");
    EXPECT_EQ(Description::LookupType(*method), "error");
    const MemberText shown = Description::Shown(*method);
    EXPECT_EQ(shown.kind, "method");
    EXPECT_EQ(shown.name, "");
    EXPECT_EQ(shown.type, "");
    EXPECT_EQ(shown.result, "");
}

TEST(DescriptionTest, ParametersAreTheDirectChildNodesOfAMember) {
    auto doc = Parse(
        "<lib><i name=\"A\"><method name=\"M\" return=\"Long\"><p name=\"Index\" type=\"Long\">"
        "<deep name=\"no\"/></p><!-- c --><q name=\"Key\"/></method></i></lib>");
    auto method = Description(*doc).Entry(0)->ChildNodes()->Item(0);
    const auto params = Description::Parameters(*method);
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[0].name, "Index");
    EXPECT_EQ(params[0].type, "Long");
    EXPECT_EQ(params[1].name, "");  // the comment: no attributes
    EXPECT_EQ(params[2].name, "Key");
    EXPECT_EQ(params[2].type, "");
    EXPECT_EQ(Description::Shown(*method).result, "Long");
}

TEST(DescriptionTest, ADocumentWithoutRootHasNoEntries) {
    auto doc = Parse("<?xml version=\"1.0\"?>");
    Description d(*doc);
    EXPECT_EQ(d.EntryCount(), 0);
    EXPECT_EQ(d.FindEntry("error"), -1);
    EXPECT_TRUE(d.Constants().empty());
    EXPECT_EQ(ConstantPrelude(*doc, "const"), "");
}

TEST(ConstantPreludeTest, DeclaresEveryConstantInDocumentOrder) {
    auto doc = Parse(
        "<lib><e name=\"E1\"><const name=\"A\" value=\"1\"/><property name=\"P\"/>"
        "<const name=\"B\" value=\"'x'\"><const name=\"Deep\" value=\"3\"/></const></e>"
        "<const name=\"TopLevel\" value=\"4\"/><e><Const name=\"Upper\" value=\"5\"/>"
        "<const name=\"C\" value=\"&quot;t&quot;\"/></e></lib>");
    EXPECT_EQ(ConstantPrelude(*doc, "const"), "const A=1, B='x', C=\"t\"");
    EXPECT_EQ(ConstantPrelude(*doc, PreludeKeyword("JavaScript")), "var A=1, B='x', C=\"t\"");
    EXPECT_EQ(PreludeKeyword("VBScript"), "const");
    EXPECT_EQ(PreludeKeyword("vbscript"), "var");
}

TEST(ConstantPreludeTest, SkipsNamesAlreadyDeclaredAnywhereInTheStatement) {
    auto doc = Parse(std::string(
        u8"<lib><e>"
        u8"<const name=\"Red\" value=\"1\"/><const name=\"RED\" value=\"2\"/>"
        u8"<const value=\"3\"/><const value=\"4\"/><const name=\"Error\" value=\"5\"/>"
        u8"<const name=\"Цвет\" value=\"&quot;a, Z=1&quot;\"/><const name=\"ЦВЕТ\" value=\"6\"/>"
        u8"<const name=\"z\" value=\"7\"/><const name=\"NoValue\"/>"
        u8"</e></lib>"_cp));
    // RED repeats Red; the second nameless one repeats CritError; Error= occurs inside
    // CritError=; z= occurs inside the value of Цвет.
    EXPECT_EQ(ConstantPrelude(*doc, "const"),
              std::string(u8"const Red=1, CritError=3, Цвет=\"a, Z=1\", NoValue="_cp));
}

TEST(ConstantPreludeTest, NoConstantsGiveNoStatement) {
    EXPECT_EQ(ConstantPrelude(*Parse("<lib><e name=\"I\"><property name=\"P\"/></e></lib>"), "var"),
              "");
}

std::string Escaped(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '"')
            out += "&quot;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else
            out += c;
    }
    return out;
}

// The statement's rule written out plainly: each constant's key searched in the whole
// statement so far. The statement is built with an index instead; both must agree.
std::string PlainPrelude(xml::IXmlDocument& doc, std::string_view keyword) {
    std::string declared, folded;
    for (const auto& constant : Description(doc).Constants()) {
        const std::string name = constant->GetAttr("name", "CritError");
        if (folded.find(text::ToUpper(name) + "=") != std::string::npos) continue;
        const std::string entry = name + "=" + constant->GetAttr("value", "") + ", ";
        declared += entry;
        folded += text::ToUpper(entry);
    }
    if (declared.empty()) return {};
    return std::string(keyword) + " " + declared.substr(0, declared.size() - 2);
}

TEST(ConstantPreludeTest, AgreesWithTheRuleSearchedInTheWholeStatement) {
    // Names and values that make keys occur inside other names, inside values, across the
    // ", " between declarations, and names holding "=" themselves.
    const char* names[] = {
        "A", "a", "AB", "B", "BA", "A=B", "=", "B=", "Ab=1, X", "X", "Я", "я=", "1", "A B", ""};
    const char* values[] = {"1", "AB=2", "\"A=\"", "X=", "b", "я=я", "", ", BA=", "=="};
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::string xml = "<lib><e>";
        const int count = 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < count; ++i) {
            xml += "<const";
            if (rng() % 8 != 0) xml += " name=\"" + Escaped(names[rng() % std::size(names)]) + "\"";
            if (rng() % 8 != 0)
                xml += " value=\"" + Escaped(values[rng() % std::size(values)]) + "\"";
            xml += "/>";
        }
        xml += "</e></lib>";
        auto doc = Parse(text::FromUtf8(xml));
        ASSERT_EQ(ConstantPrelude(*doc, "const"), PlainPrelude(*doc, "const")) << xml;
    }
}

TEST(ConstantPreludeForTest, DeclaresWhatTheScriptNamesAndWhatThoseValuesName) {
    auto doc = Parse(
        std::string(u8"<lib><e>"
                    u8"<const name=\"clRed\" value=\"&amp;HFF\"/><const name=\"clBlue\" "
                    u8"value=\"&amp;HFF0000\"/><const name=\"clDefault\" value=\"clRed\"/>"
                    u8"<const name=\"Заголовок\" value=\"&quot;Карта&quot;\"/>"
                    u8"<const name=\"a.b\" value=\"1\"/><const name=\"$x\" value=\"2\"/>"
                    u8"<const name=\"Later\" value=\"Early\"/><const name=\"Early\" value=\"3\"/>"
                    u8"<const name=\"RED\" value=\"4\"/>"
                    u8"</e></lib>"_cp));
    const std::string all = ConstantPrelude(*doc, "const");
    const std::string all_var = "var" + all.substr(5);
    // RED= occurs inside clRed=, so RED is never declared.
    EXPECT_THAT(all, ::testing::Not(::testing::HasSubstr("RED=4")));
    struct Case {
        const char* what;
        std::string_view keyword;
        std::string_view script;
        std::string prelude;
    };
    const Case cases[] = {
        {"nothing named: only a.b, which is no word and always declared", "const", "WScript.Echo 1",
         "const a.b=1"},
        {"the same in JScript", "var", "x = 1;", "var a.b=1"},
        {"a name in any case, in a string or a comment too", "const",
         "MsgBox CLRED ' clblue\r\nx = \"$x\"", "const clRed=&HFF, clBlue=&HFF0000, a.b=1, $x=2"},
        {"a value naming another constant, declared before or after it", "const",
         "x = clDefault + Later", "const clRed=&HFF, clDefault=clRed, a.b=1, Later=Early, Early=3"},
        {"Cyrillic names in any case", "const", u8"MsgBox заголовок"_cp,
         std::string(u8"const Заголовок=\"Карта\", a.b=1"_cp)},
        {"a longer word holds no name", "const", "x = clRedish + myclBlue", "const a.b=1"},
        {"Execute may name anything", "const", "execute \"x = cl\" & \"Red\"", all},
        {"eval may name anything in JScript", "var", "var x = eval('cl' + 'Red');", all_var},
        {"Eval in JScript is no such word", "var", "Eval(1);", "var a.b=1"},
        {"this reaches the global object in JScript", "var", "this['clRed']", all_var},
        {"a name left out by the statement's rule stays out", "const", "x = red", "const a.b=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ConstantPreludeFor(*doc, c.keyword, c.script), c.prelude);
    }
}

TEST(DescriptionFileTest, IsLoadedFromTheDataFolderEveryTime) {
    TempFolder folder;
    EXPECT_THROW(LoadDescription(folder.Host()), xml::XmlError);
    WriteBytes(folder.File("TellurTlb.xml"), DataFile("TellurTlb.xml"));
    auto doc = LoadDescription(folder.Host());
    Description d(*doc);
    EXPECT_EQ(d.FindEntry(kApplicationInterface), 0);
    EXPECT_EQ(Description::Base(*d.Entry(d.FindEntry("IMap"))), "ILayer");
    EXPECT_EQ(
        ConstantPrelude(*doc, "const"),
        std::string(
            u8"const msPlain=0, msRelief=1, msSatellite=2, clRed=&HFF, Заголовок=\"Карта\""_cp));

    WriteBytes(folder.File("TellurTlb.xml"),
               "<lib><e><const name=\"Only\" value=\"1\"/></e></lib>");
    EXPECT_EQ(ConstantPrelude(*LoadDescription(folder.Host()), "var"), "var Only=1");
}

}  // namespace
}  // namespace zeph::store::testing
