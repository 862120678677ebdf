#include "xml_test_util.h"

namespace zeph::xml::testing {
namespace {

TEST(XmlWriter, NewDocumentIsDeclarationAndEmptyRoot) {
    auto doc = CreateXmlDocument("Scripts", "1.0", "");
    EXPECT_EQ(doc->GetXml(), "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Scripts/>");
    EXPECT_EQ(doc->DocumentElement()->NodeName(), "Scripts");
    EXPECT_EQ(CreateXmlDocument()->GetXml(), "");
}

TEST(XmlWriter, IndentsNestedElementsWithTabsAndClosesOnOwnLine) {
    auto doc = CreateXmlDocument("Root");
    auto root = doc->DocumentElement();
    auto a = root->AppendElement("A");
    a->SetAttr("x", "1");
    auto b = a->AppendElement("B");
    b->AppendElement("C");
    root->AppendElement("D");
    EXPECT_EQ(doc->GetXml(),
              "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Root>\r\n\t<A x=\"1\">"
              "\r\n\t\t<B>\r\n\t\t\t<C/>\r\n\t\t</B>\r\n\t</A>\r\n\t<D/>\r\n</Root>");
    // A node written on its own starts at depth 0.
    EXPECT_EQ(b->GetXml(), "\r\n<B>\r\n\t<C/>\r\n</B>");
}

TEST(XmlWriter, AttributesInFirstSetOrderWithTypedValues) {
    auto doc = CreateXmlDocument("R");
    auto r = doc->DocumentElement();
    r->SetAttr("Name", "");
    r->SetIntAttr("Size", -2147483647 - 1);
    r->SetBoolAttr("On", true);
    r->SetBoolAttr("Off", false);
    r->SetIntAttr("Zero", 0);
    r->SetAttr("Name", "n");  // replaced in place
    EXPECT_EQ(r->GetXml(),
              "\r\n<R Name=\"n\" Size=\"-2147483648\" On=\"1\" Off=\"0\" Zero=\"0\"/>");
    EXPECT_EQ(r->GetAttr("On", ""), "True");
    EXPECT_EQ(r->GetAttr("Off", ""), "False");
}

TEST(XmlWriter, EscapesOnlyTheFourCharacters) {
    auto doc = CreateXmlDocument("R");
    auto r = doc->DocumentElement();
    std::string value = "a&b<c>d\"e'f\tg\r\nh\x80\xff";
    r->SetAttr("v", value);
    EXPECT_EQ(r->GetXml(), "\r\n<R v=\"a&amp;b&lt;c&gt;d&quot;e'f\tg\r\nh\x80\xff\"/>");
    auto back = Parse(doc->GetXml());
    EXPECT_EQ(back->DocumentElement()->GetAttr("v", "-"), value);
}

// Values of every length up to a few words, mixing the four characters with their neighbours
// in the code table, high bytes and zero bytes, escape exactly as a byte-by-byte escaper would.
TEST(XmlWriter, EscapesAtEveryOffset) {
    const std::string alphabet(
        "&<>\"'=?#%;\x00\x01\x80\xff\xa6\xe0"
        "a \r\n",
        20);
    auto naive = [](std::string_view v) {
        std::string out;
        for (char c : v) {
            if (c == '&')
                out += "&amp;";
            else if (c == '<')
                out += "&lt;";
            else if (c == '>')
                out += "&gt;";
            else if (c == '"')
                out += "&quot;";
            else
                out += c;
        }
        return out;
    };
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
    auto doc = CreateXmlDocument("R");
    auto root = doc->DocumentElement();
    for (int round = 0; round < 3000; ++round) {
        std::string value(static_cast<std::size_t>(round % 41), 'x');
        for (char& c : value)
            if (next() % 3 == 0) c = alphabet[next() % alphabet.size()];
        root->SetAttr("V", value);
        ASSERT_EQ(root->GetXml(), "\r\n<R V=\"" + naive(value) + "\"/>") << round;
    }
}

// Values and texts that fill more than the writer's block and end in references: each
// reference is copied as a whole word, and the last one must still fit its room.
TEST(XmlWriter, LongValuesAndTextsEndingInReferences) {
    // Quotes take the six bytes a byte is given room for: a value of quotes only fills its
    // room exactly, and one longer than a block gets a block of exactly that room.
    for (std::size_t n : {10921u, 10922u, 10923u, 30000u}) {
        for (char c : {'"', '&', '<'}) {
            const std::string value(n, c);
            const std::string reference = c == '"' ? "&quot;" : c == '&' ? "&amp;" : "&lt;";
            std::string escaped;
            for (std::size_t i = 0; i < n; ++i) escaped += reference;
            auto doc = CreateXmlDocument("R");
            auto r = doc->DocumentElement();
            r->SetAttr("v", value);
            ASSERT_EQ(r->GetXml(), "\r\n<R v=\"" + escaped + "\"/>") << n << c;
            auto t = CreateXmlDocument();
            t->LoadFromBytes("<T>" + escaped + "</T>");
            ASSERT_EQ(t->DocumentElement()->GetXml(), "\r\n<T>" + escaped + "</T>") << n << c;
        }
    }
}

TEST(XmlWriter, ContentLayoutDependsOnLineBreaks) {
    // One-line text content stays on the line; text with a line break closes on a new line
    // unless it already ends with one.
    auto doc = Parse("<R><a>x &amp; y</a><b>1\n2</b><c>1\r\n</c><!--c--><![CDATA[<&>]]></R>");
    EXPECT_EQ(doc->GetXml(),
              "\r\n<R>\r\n\t<a>x &amp; y</a>\r\n\t<b>1\n2\r\n\t</b>\r\n\t<c>1\r\n\t</c>"
              "<!--c--><![CDATA[<&>]]>\r\n</R>");
    auto only_text = Parse("<R>t</R>");
    EXPECT_EQ(only_text->GetXml(), "\r\n<R>t</R>");
}

TEST(XmlWriter, InstructionsWithDataOrAttributes) {
    auto doc =
        Parse("<?xml version='1.0' encoding=\"windows-1251\"?><?pi   some data?><?empty?><R/>");
    EXPECT_EQ(doc->GetXml(),
              "<?xml version=\"1.0\" encoding=\"windows-1251\"?><?pi some data?><?empty?>\r\n<R/>");
    auto decl = doc->ChildNodes()->Item(0);
    EXPECT_EQ(decl->NodeType(), kProcessingInstructionNode);
    EXPECT_EQ(decl->GetAttr("encoding", ""), "windows-1251");
}

TEST(XmlWriter, SaveToStreamWritesGetXmlInBlocks) {
    auto doc = CreateXmlDocument("R");
    auto r = doc->DocumentElement();
    for (int i = 0; i < 5000; ++i)
        r->AppendElement("Item")->SetAttr("Text", std::string(40, 'a' + i % 26) + "\r\n");
    std::string out;
    StringSink sink(&out);
    doc->SaveToStream(sink);
    EXPECT_EQ(out, doc->GetXml());
    EXPECT_GT(out.size(), 200000u);
}

TEST(XmlWriter, EmptyTextChildStillWritesSelfClosingElement) {
    auto doc = CreateXmlDocument("R");
    auto r = doc->DocumentElement();
    r->SetAttrValue("f", XmlValue::Float(1.5));
    r->SetAttrValue("c", XmlValue::Currency(-123400));
    EXPECT_EQ(r->GetXml(), "\r\n<R f=\"1.5\" c=\"-12.34\"/>");
}

// Names and values of every short length, at depths on both sides of the shallow indentation's
// limit, come out whole and parse back to the same text.
TEST(XmlWriter, ShortNamesValuesAndDepthsOfEveryLength) {
    auto doc = CreateXmlDocument("R");
    auto parent = doc->DocumentElement();
    for (int n = 1; n <= 20; ++n) {
        parent = parent->AppendElement(std::string(static_cast<std::size_t>(n), 'e'));
        parent->SetAttr(std::string(static_cast<std::size_t>(n), 'a'),
                        std::string(static_cast<std::size_t>(n), 'v'));
        parent->SetAttr("q", std::string(static_cast<std::size_t>(n), '&'));
    }
    const std::string xml = doc->GetXml();
    EXPECT_NE(xml.find("\r\n" + std::string(20, '\t') + "<" + std::string(20, 'e') + " " +
                       std::string(20, 'a') + "=\"" + std::string(20, 'v') + "\""),
              std::string::npos);
    EXPECT_NE(xml.find("\r\n" + std::string(17, '\t') + "</" + std::string(17, 'e') + ">"),
              std::string::npos);
    auto back = CreateXmlDocument();
    back->LoadFromBytes(xml);
    EXPECT_EQ(back->GetXml(), xml);
}

// A save into a string appends to what it holds, whether the document is loaded, edited to a
// larger size since, or emptied.
TEST(XmlWriter, SaveIntoStringAppendsAfterLoadAndEdits) {
    auto doc = CreateXmlDocument("R");
    for (int i = 0; i < 300; ++i) doc->DocumentElement()->AppendElement("Item")->SetIntAttr("N", i);
    const std::string first = doc->GetXml();
    auto loaded = CreateXmlDocument();
    loaded->LoadFromBytes(first);
    std::string out = "head";
    StringSink sink(&out);
    loaded->SaveToStream(sink);
    EXPECT_EQ(out, "head" + first);
    for (int i = 0; i < 3000; ++i)
        loaded->DocumentElement()->AppendElement("More")->SetAttr("T", std::string(30, 'x'));
    const std::string grown = loaded->GetXml();
    out.clear();
    loaded->SaveToStream(sink);
    loaded->SaveToStream(sink);
    EXPECT_EQ(out, grown + grown);
    // Emptied by edits, it leaves no room it no longer needs in the string.
    auto root = loaded->DocumentElement();
    for (int n; (n = root->ChildNodes()->Count()) > 0;)
        root->RemoveChild(root->ChildNodes()->Item(n - 1));
    std::string small;
    StringSink small_sink(&small);
    loaded->SaveToStream(small_sink);
    EXPECT_EQ(small, loaded->GetXml());
    EXPECT_LT(small.capacity(), 4096u);
    loaded->LoadFromBytes("<R/>");
    out = "x";
    loaded->SaveToStream(sink);
    EXPECT_EQ(out, "x" + loaded->GetXml());
}

}  // namespace
}  // namespace zeph::xml::testing
