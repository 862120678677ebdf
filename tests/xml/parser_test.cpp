#include <string>
#include <vector>

#include "xml_test_util.h"

namespace zeph::xml::testing {
namespace {

std::string Expected(std::string_view what) {
    return std::string(u8"Ожидается \""_cp) + std::string(what) + "\"";
}

TEST(XmlParser, EveryErrorText) {
    const std::string name_start = std::string(u8"Имя должно начинаться с буквы или \"_\""_cp);
    struct Case {
        std::string_view input;
        std::string message;
    } cases[] = {
        {"<a", std::string(u8"Не завершено определение элемента"_cp)},
        {"<Root><a*/></Root>", std::string(u8"Некорретный символ в имени элемента"_cp)},
        {"<1a/>", name_start},
        {"<?1?>", name_start},
        {"<a>& </a>", name_start},
        {"<a>&", std::string(u8"Ожидается \"#\" или имя упрамляющего символа"_cp)},
        {"<a>&#;</a>", std::string(u8"Ожидается число"_cp)},
        {"<a>&#X41;</a>", std::string(u8"Ожидается число"_cp)},
        {"<a v='&#x;'/>", std::string(u8"Ожидается шестнадцатеричное число"_cp)},
        {"<a>&nbsp;</a>", std::string(u8"Некорректное имя управляющего символа"_cp)},
        {"<a>&AMP;</a>", std::string(u8"Некорректное имя управляющего символа"_cp)},
        {"<a v='x<y'/>",
         std::string(u8"Символ \"<\" не может использоваться в значениях атрибутов"_cp)},
        {"<a v=", std::string(u8"Ожидается значение атрибута"_cp)},
        {"<a v= \r\n", std::string(u8"Ожидается значение атрибута"_cp)},
        {"<a v=1/>", std::string(u8"Ожидается строковая константа"_cp)},
        // single characters
        {"<a v'1'/>", Expected("=")},
        {"<a>&amp</a>", Expected(";")},
        {"<a>&#65</a>", Expected(";")},
        {"<a>", Expected("/")},
        {"<a><b></b>text", Expected("/")},
        {"<a></a", Expected(">")},
        {"<a></a x>", Expected(">")},
        {"<a x='1'", Expected(">")},
        {"<!DOCTYPE a", Expected(">")},
        // sequences and unterminated constructs
        {"<a/ >", Expected("/>")},
        {"<a /", Expected("/>")},
        {"<?xml version='1.0'>", Expected("?>")},
        {"<?pi data", Expected("?>")},
        {"<?pi data?", Expected("?>")},
        {"<!-x-->", Expected("--")},
        {"<!-- x --", Expected("-->")},
        {"<![CDATA[x]]", Expected("]]>")},
        {"<![cdata[x]]>", Expected("[CDATA[")},
        {"<!doctype a>", Expected("DOCTYPE")},
        {"<!", Expected("DOCTYPE")},
        {"<a></b>", Expected("a")},
        {"<abc></ab>", Expected("abc")},
        {"<a v='1", Expected("'")},
        {"<a v=\"1&amp;", Expected("\"")},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadError(c.input), c.message) << c.input;
}

TEST(XmlParser, ReferencesInTextAndValues) {
    auto doc = Parse(
        "<a v=\"&amp;&quot;&lt;&gt;&apos;&#65;&#x42;&#x6a;&#1234;&#256;\">"
        "&lt;b&gt; &#x20;</a>");
    auto a = doc->DocumentElement();
    EXPECT_EQ(a->GetAttr("v", ""), std::string("&\"<>'ABj\xD2") + '\0');
    EXPECT_EQ(a->ChildNodes()->Item(0)->NodeValue(), "<b>  ");
    EXPECT_EQ(LoadError("<a>&#65;&#66;</a>"), "");
}

TEST(XmlParser, QuotesAndRawLineBreaksInValues) {
    auto doc = Parse("<a one='say \"hi\"' two=\"it's\" three=\"l1\r\n\tl2\rl3\nl4\"/>");
    auto a = doc->DocumentElement();
    EXPECT_EQ(a->GetAttr("one", ""), "say \"hi\"");
    EXPECT_EQ(a->GetAttr("two", ""), "it's");
    EXPECT_EQ(a->GetAttr("three", ""), "l1\r\n\tl2\rl3\nl4");
}

TEST(XmlParser, WhiteSpaceOnlyTextIsDroppedOtherTextKeptWhole) {
    auto doc = Parse(" \r\n\t<R>\r\n\t<a> x </a>\r\n  <b>\x01\x20</b></R>  ");
    auto r = doc->DocumentElement();
    ASSERT_EQ(doc->ChildNodes()->Count(), 1);
    ASSERT_EQ(r->ChildNodes()->Count(), 2);
    auto a = r->ElementByName("a");
    ASSERT_EQ(a->ChildNodes()->Count(), 1);
    EXPECT_EQ(a->ChildNodes()->Item(0)->NodeType(), kTextNode);
    EXPECT_EQ(a->ChildNodes()->Item(0)->NodeValue(), " x ");
    EXPECT_EQ(r->ElementByName("b")->ChildNodes()->Count(), 0);
}

TEST(XmlParser, ClosingTagAtDocumentLevelEndsInput) {
    auto doc = Parse("<a/></ignored> <<< garbage &");
    EXPECT_EQ(doc->ChildNodes()->Count(), 1);
    EXPECT_EQ(LoadError("</x>&"), "");
}

TEST(XmlParser, NamesAllowCyrillicLettersAndPunctuation) {
    auto doc = Parse(u8"<Скрипт _a.b-c:d='1' Имя2=\"x\"></Скрипт >"_cp);
    auto e = doc->DocumentElement();
    EXPECT_EQ(e->NodeName(), u8"Скрипт"_cp);
    EXPECT_EQ(e->AttrName(0), "_a.b-c:d");
    EXPECT_EQ(e->GetAttr(u8"Имя2"_cp, ""), "x");
}

// Names of one length with the same first and last bytes, differing anywhere between, at every
// length the name comparison treats apart; each must stay its own name.
TEST(XmlParser, NamesDifferingOnlyInsideAreDistinct) {
    std::string text = "<r";
    std::vector<std::string> names;
    for (std::size_t len : {3, 5, 7, 8, 12, 16, 17, 30}) {
        for (std::size_t at = 1; at + 1 < len; ++at) {
            std::string a(len, 'n'), b(len, 'n');
            a[at] = 'a';
            b[at] = 'b';
            names.push_back(a);
            names.push_back(b);
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        text += " " + names[i] + "='" + std::to_string(i) + "'";
    text += "><" + names[0] + "/><" + names[1] + "/></r>";
    auto r = Parse(text)->DocumentElement();
    ASSERT_EQ(r->AttrCount(), static_cast<int>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(r->GetAttr(names[i], ""), std::to_string(i)) << names[i];
    EXPECT_EQ(r->ChildNodes()->Item(1)->NodeName(), names[1]);
}

// Names that begin alike, one the start of another, alternating so that each is read right
// after another of the same beginning; and names that end exactly where the input ends.
TEST(XmlParser, NamesBeginningAlikeStayApart) {
    auto r = Parse(
                 "<r><Name Na='1' Name='2' Names='3' N='4'/><Names Name='5' Na='6'/>"
                 "<Na Names='7' Name='8'/><Name Na-me='9'/></r>")
                 ->DocumentElement();
    auto kids = r->ChildNodes();
    ASSERT_EQ(kids->Count(), 4);
    EXPECT_EQ(kids->Item(0)->NodeName(), "Name");
    EXPECT_EQ(kids->Item(1)->NodeName(), "Names");
    EXPECT_EQ(kids->Item(2)->NodeName(), "Na");
    EXPECT_EQ(kids->Item(3)->NodeName(), "Name");
    auto first = kids->Item(0);
    ASSERT_EQ(first->AttrCount(), 4);
    EXPECT_EQ(first->AttrName(0), "Na");
    EXPECT_EQ(first->AttrName(1), "Name");
    EXPECT_EQ(first->AttrName(2), "Names");
    EXPECT_EQ(first->AttrName(3), "N");
    EXPECT_EQ(kids->Item(1)->GetAttr("Name", ""), "5");
    EXPECT_EQ(kids->Item(2)->GetAttr("Names", ""), "7");
    EXPECT_EQ(kids->Item(3)->AttrName(0), "Na-me");

    auto doc = CreateXmlDocument();
    for (std::string_view cut : {"<Name/><Name", "<r><Name/></Na", "<Name Name"}) {
        EXPECT_THROW(doc->LoadFromBytes(cut), XmlError) << cut;
    }
    doc->LoadFromBytes("<Name/></Name");
    EXPECT_EQ(doc->DocumentElement()->NodeName(), "Name");
}

// A name read again is compared together with the byte that followed it before; followed by
// another byte, near the end of the input or longer than that compare, it must still be read
// as itself and no further.
TEST(XmlParser, NamesReadAgainFollowedByOtherBytes) {
    const std::string fifteen(15, 'f'), sixteen(16, 's');
    auto r = Parse(
                 "<r><a x=\"1\"/><a x =\"2\" y='3'/><a\tx\n=\t'4'/><ab x='5'/><a>t</a><a/>"
                 "<" +
                 fifteen + " " + fifteen + "='6'/><" + fifteen + ">" + "</" + fifteen +
                 ">"
                 "<" +
                 sixteen + " " + sixteen + "='7'/><" + sixteen +
                 "/>"
                 "<a x='8'/><a x='9'></a></r>")
                 ->DocumentElement();
    auto kids = r->ChildNodes();
    ASSERT_EQ(kids->Count(), 12);
    const char* names[] = {"a", "a", "a", "ab", "a", "a"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(kids->Item(i)->NodeName(), names[i]) << i;
    EXPECT_EQ(kids->Item(1)->GetAttr("x", ""), "2");
    EXPECT_EQ(kids->Item(1)->GetAttr("y", ""), "3");
    EXPECT_EQ(kids->Item(2)->GetAttr("x", ""), "4");
    EXPECT_EQ(kids->Item(3)->GetAttr("x", ""), "5");
    EXPECT_EQ(kids->Item(4)->ChildNodes()->Item(0)->NodeValue(), "t");
    EXPECT_EQ(kids->Item(6)->GetAttr(fifteen, ""), "6");
    EXPECT_EQ(kids->Item(7)->NodeName(), fifteen);
    EXPECT_EQ(kids->Item(8)->GetAttr(sixteen, ""), "7");
    EXPECT_EQ(kids->Item(9)->NodeName(), sixteen);
    EXPECT_EQ(kids->Item(11)->GetAttr("x", ""), "9");
    // A name cached with a following byte that is a name byte elsewhere must not match a
    // longer name.
    auto doc = Parse("<r><n a='1'/><n ab='2' a='3'/><na/></r>");
    auto n = doc->DocumentElement()->ChildNodes();
    EXPECT_EQ(n->Item(1)->AttrName(0), "ab");
    EXPECT_EQ(n->Item(1)->GetAttr("a", ""), "3");
    EXPECT_EQ(n->Item(2)->NodeName(), "na");
}

// Duplicate names are caught however the names' ids fall, among few attributes and among many.
TEST(XmlParser, RepeatedAttributesAmongManyKeepTheirPlaces) {
    std::string text = "<a";
    for (int i = 0; i < 200; ++i) text += " n" + std::to_string(i) + "='" + std::to_string(i) + "'";
    for (int i = 0; i < 200; i += 7)
        text += " n" + std::to_string(i) + "='again" + std::to_string(i) + "'";
    text += " late='1' n3='last'/>";
    auto a = Parse(text)->DocumentElement();
    ASSERT_EQ(a->AttrCount(), 201);
    EXPECT_EQ(a->AttrName(0), "n0");
    EXPECT_EQ(a->GetAttr("n0", ""), "again0");
    EXPECT_EQ(a->GetAttr("n1", ""), "1");
    EXPECT_EQ(a->GetAttr("n196", ""), "again196");
    EXPECT_EQ(a->GetAttr("n3", ""), "last");
    EXPECT_EQ(a->AttrName(200), "late");
}

TEST(XmlParser, RepeatedAttributeKeepsFirstPlaceAndLastValue) {
    auto a = Parse("<a x='1' y='2' x='3'/>")->DocumentElement();
    ASSERT_EQ(a->AttrCount(), 2);
    EXPECT_EQ(a->AttrName(0), "x");
    EXPECT_EQ(a->GetAttr("x", ""), "3");
}

TEST(XmlParser, KeepsCommentsCDataInstructionsSkipsDoctype) {
    auto doc = Parse(
        "<!DOCTYPE R SYSTEM 'r.dtd'><!-- top --><?pi a?b ?><R><![CDATA[ <x> ]]>"
        "<!--in-->-</R>");
    auto kids = doc->ChildNodes();
    ASSERT_EQ(kids->Count(), 3);
    EXPECT_EQ(kids->Item(0)->NodeName(), "#comment");
    EXPECT_EQ(kids->Item(0)->NodeValue(), " top ");
    EXPECT_EQ(kids->Item(1)->NodeName(), "pi");
    EXPECT_EQ(kids->Item(1)->NodeValue(), "a?b ");
    auto r = doc->DocumentElement()->ChildNodes();
    ASSERT_EQ(r->Count(), 3);
    EXPECT_EQ(r->Item(0)->NodeName(), "#cdata-section");
    EXPECT_EQ(r->Item(0)->NodeValue(), " <x> ");
    EXPECT_EQ(r->Item(1)->NodeType(), kCommentNode);
    EXPECT_EQ(r->Item(2)->NodeName(), "#text");
    // Searches restart correctly after partial matches.
    EXPECT_EQ(Parse("<!-- a -- b --->")->ChildNodes()->Item(0)->NodeValue(), " a -- b -");
    EXPECT_EQ(Parse("<![CDATA[]]]]>")->ChildNodes()->Item(0)->NodeValue(), "]]");
}

TEST(XmlParser, ErrorKeepsWhatWasReadAndNextLoadClears) {
    auto doc = CreateXmlDocument("Old");
    EXPECT_THROW(doc->LoadFromBytes("<R a='1'><x/><y b='2'><z "), XmlError);
    auto r = doc->DocumentElement();
    EXPECT_EQ(r->NodeName(), "R");
    EXPECT_EQ(r->ChildNodes()->Count(), 2);
    EXPECT_EQ(r->ElementByName("y")->GetAttr("b", ""), "2");
    EXPECT_EQ(r->ElementByName("y")->ChildNodes()->Count(), 1);
    doc->LoadFromBytes("");
    EXPECT_EQ(doc->ChildNodes()->Count(), 0);
}

TEST(XmlParser, StoreDocumentRoundTripsByteForByte) {
    auto doc = CreateXmlDocument("Config");
    auto root = doc->DocumentElement();
    auto scripts = root->AppendElement("Scripts");
    auto s = scripts->AppendElement("Script");
    s->SetAttr("Name", u8"Проверка \"кавычек\" & <скобок>"_cp);
    s->SetAttr("Language", "VBScript");
    s->SetAttr("Text", "Dim a\r\n\tMsgBox \"x\" & 'y'\r\n\r\n\x98\xff\n\r");
    s->SetIntAttr("Top", -5);
    s->SetBoolAttr("Bold", true);
    scripts->AppendElement("Script")->SetAttr("Name", "");
    std::string text = doc->GetXml();
    auto back = Parse(text);
    EXPECT_EQ(back->GetXml(), text);
    auto s2 = back->DocumentElement()->ElementByName("Scripts")->ElementByName("Script");
    EXPECT_EQ(s2->GetAttr("Text", ""), s->GetAttr("Text", ""));
    EXPECT_EQ(s2->GetAttr("Bold", ""), "1");
    EXPECT_TRUE(s2->GetBoolAttr("Bold", false));
    EXPECT_EQ(s2->GetIntAttr("Top", 0), -5);
}

TEST(XmlParser, HostileInputsLoadOrFailCleanly) {
    // Deep nesting, huge attribute counts and long names are linear work.
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "<a>";
    EXPECT_EQ(LoadError(deep), Expected("/"));
    std::string many = "<a";
    for (int i = 0; i < 20000; ++i) many += " n" + std::to_string(i % 5000) + "='v'";
    many += "/>";
    auto doc = Parse(many);
    EXPECT_EQ(doc->DocumentElement()->AttrCount(), 5000);
    std::string nul("<a>\0</a>", 8);
    EXPECT_EQ(Parse(nul)->DocumentElement()->ChildNodes()->Count(), 0);  // blank-only
    EXPECT_EQ(LoadError("< binary-xml >"),
              std::string(u8"Имя должно начинаться с буквы или \"_\""_cp));
}

}  // namespace
}  // namespace zeph::xml::testing
