#include <cstring>

#include "xml_test_util.h"

namespace zeph::xml::testing {
namespace {

// Builds input in the binary form.
struct Bin {
    std::string s = "< binary-xml >";
    template <class T>
    Bin& Fixed(T v) {
        char b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));  // little-endian machines only (x86)
        s.append(b, sizeof(T));
        return *this;
    }
    Bin& Packed(std::int32_t v) {
        if (v >= 0 && v <= 127) return Fixed<std::uint8_t>(static_cast<std::uint8_t>(v));
        if (v >= 0 && v < 127 * 256)
            return Fixed<std::uint8_t>(static_cast<std::uint8_t>(128 + v / 256))
                .Fixed<std::uint8_t>(static_cast<std::uint8_t>(v % 256));
        return Fixed<std::uint8_t>(255).Fixed<std::int32_t>(v);
    }
    Bin& Str(std::string_view t) {
        Packed(static_cast<std::int32_t>(t.size()));
        s += t;
        return *this;
    }
    Bin& Names(std::initializer_list<std::string_view> names) {
        Fixed<std::uint32_t>(0);
        Packed(static_cast<std::int32_t>(names.size()));
        for (auto n : names) Str(n);
        // Buckets are ignored by the reader but must be well formed: one bucket with id 0.
        return Packed(4096).Packed(1).Packed(7).Packed(1).Fixed<std::uint32_t>(0);
    }
};

TEST(XmlBinary, ReadsEveryValueType) {
    Bin b;
    b.Names({"Root", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p",
             "pi", "q"});
    b.Packed(0).Packed(2);  // document: no attributes, two children
    b.Fixed<std::uint8_t>(7).Packed(17).Str("data").Packed(0).Packed(0);
    b.Fixed<std::uint8_t>(1).Packed(0).Packed(3).Fixed<std::int32_t>(99);  // element, own value
    b.Packed(17);                                                          // attributes
    b.Packed(1).Packed(0);
    b.Packed(2).Packed(1);
    b.Packed(3).Packed(2).Fixed<std::int16_t>(-300);
    b.Packed(4).Packed(3).Fixed<std::int32_t>(-70000);
    b.Packed(5).Packed(4).Fixed<float>(1.5f);
    b.Packed(6).Packed(5).Fixed<double>(-0.25);
    b.Packed(7).Packed(6).Fixed<std::int64_t>(123456);
    b.Packed(8).Packed(7).Fixed<double>(45658.5);
    b.Packed(9).Packed(8).Packed(3).Fixed<char16_t>(u'Д').Fixed<char16_t>(u'а').Fixed<char16_t>(
        u'!');
    b.Packed(10).Packed(11).Fixed<std::uint16_t>(0xFFFF);
    b.Packed(11).Packed(16).Fixed<std::int8_t>(-5);
    b.Packed(12).Packed(17).Fixed<std::uint8_t>(250);
    b.Packed(13).Packed(18).Fixed<std::uint16_t>(65535);
    b.Packed(14).Packed(19).Fixed<std::uint32_t>(4000000000u);
    b.Packed(15).Packed(20).Fixed<std::int64_t>(-5000000000LL);
    b.Packed(16).Packed(256).Str("text & \"more\"");
    b.Packed(18).Packed(8209).Str("xy");
    b.Packed(4);  // children
    b.Fixed<std::uint8_t>(3).Packed(256).Str("hello");
    b.Fixed<std::uint8_t>(4).Str("<cdata>");
    b.Fixed<std::uint8_t>(8).Str(" note ");
    b.Fixed<std::uint8_t>(1).Packed(0).Packed(0).Packed(0).Packed(0);

    auto doc = Parse(b.s);
    auto kids = doc->ChildNodes();
    ASSERT_EQ(kids->Count(), 2);
    EXPECT_EQ(kids->Item(0)->NodeName(), "pi");
    EXPECT_EQ(kids->Item(0)->NodeValue(), "data");
    auto r = doc->DocumentElement();
    EXPECT_EQ(r->NodeName(), "Root");
    EXPECT_EQ(r->FindAttr("a")->type(), XmlValue::Type::Empty);
    EXPECT_EQ(r->FindAttr("b")->type(), XmlValue::Type::Null);
    EXPECT_EQ(r->GetIntAttr("c", 0), -300);
    EXPECT_EQ(r->GetIntAttr("d", 0), -70000);
    EXPECT_EQ(r->GetAttr("e", ""), "1.5");
    EXPECT_EQ(r->GetAttr("f", ""), "-0.25");
    EXPECT_EQ(r->GetAttr("g", ""), "12.3456");
    EXPECT_EQ(r->FindAttr("g")->type(), XmlValue::Type::Currency);
    EXPECT_EQ(r->GetAttr("h", ""), "01.01.2025 12:00:00");
    EXPECT_EQ(r->GetAttr("i", ""), u8"Да!"_cp);
    EXPECT_TRUE(r->GetBoolAttr("j", false));
    EXPECT_EQ(r->GetAttr("j", ""), "True");
    EXPECT_EQ(r->GetIntAttr("k", 0), -5);
    EXPECT_EQ(r->GetIntAttr("l", 0), 250);
    EXPECT_EQ(r->GetIntAttr("m", 0), 65535);
    EXPECT_EQ(r->GetAttr("n", ""), "4000000000");
    EXPECT_THROW(r->GetIntAttr("n", 0), XmlError);
    EXPECT_EQ(r->GetAttr("o", ""), "-5000000000");
    EXPECT_EQ(r->GetAttr("p", ""), "text & \"more\"");
    EXPECT_EQ(r->GetAttr("q", ""), "xy");
    EXPECT_EQ(r->FindAttr("q")->type(), XmlValue::Type::Bytes);
    EXPECT_EQ(r->GetXml(),
              "\r\n<Root a=\"\" b=\"\" c=\"-300\" d=\"-70000\" e=\"1.5\" f=\"-0.25\" g=\"12.3456\" "
              "h=\"01.01.2025 12:00:00\" i=\"" +
                  std::string(u8"Да!"_cp) +
                  "\" j=\"1\" k=\"-5\" l=\"250\" m=\"65535\" n=\"4000000000\" o=\"-5000000000\" "
                  "p=\"text &amp; &quot;more&quot;\" q=\"xy\">hello<![CDATA[<cdata>]]><!-- note -->"
                  "\r\n\t<Root/>\r\n</Root>");
}

// Booleans are written "1" and "0" everywhere, in text nodes as in attributes.
TEST(XmlBinary, BooleanTextNodesAreWrittenAsOneAndZero) {
    for (auto [bits, text] : {std::pair<std::uint16_t, const char*>{0xFFFF, "1"}, {0, "0"}}) {
        Bin b;
        b.Names({"R"});
        b.Packed(0).Packed(1);                                   // document: one child
        b.Fixed<std::uint8_t>(1).Packed(0).Packed(0).Packed(0);  // <R>, no value, no attributes
        b.Packed(1).Fixed<std::uint8_t>(3).Packed(11).Fixed<std::uint16_t>(bits);
        auto doc = Parse(b.s);
        EXPECT_EQ(doc->DocumentElement()->GetXml(), std::string("\r\n<R>") + text + "</R>");
    }
}

TEST(XmlBinary, TruncationAnywhereIsAReadError) {
    Bin b;
    b.Names({"R", "x"});
    b.Packed(0).Packed(1).Fixed<std::uint8_t>(1).Packed(0).Packed(0).Packed(1).Packed(1);
    b.Packed(256).Str("value").Packed(1).Fixed<std::uint8_t>(3).Packed(8).Packed(2);
    b.Fixed<char16_t>(u'a').Fixed<char16_t>(u'b');
    ASSERT_EQ(LoadError(b.s), "");
    const std::string truncated = std::string(u8"Ошибка чтения данных."_cp);
    for (std::size_t n = 15; n < b.s.size(); ++n)
        EXPECT_EQ(LoadError(b.s.substr(0, n)), truncated) << n;
}

TEST(XmlBinary, CountsAreCheckedBeforeAllocating) {
    const std::string truncated = std::string(u8"Ошибка чтения данных."_cp);
    Bin huge_names;
    huge_names.Fixed<std::uint32_t>(0).Packed(0x7FFFFFFF);
    EXPECT_EQ(LoadError(huge_names.s), truncated);
    Bin negative;
    negative.Fixed<std::uint32_t>(0).Packed(-5);
    EXPECT_EQ(LoadError(negative.s), truncated);
    Bin huge_string;
    huge_string.Fixed<std::uint32_t>(0).Packed(1).Packed(2000000000);
    EXPECT_EQ(LoadError(huge_string.s), truncated);
    Bin huge_children;
    huge_children.Names({"R"}).Packed(0).Packed(1000000);
    EXPECT_EQ(LoadError(huge_children.s), truncated);
}

TEST(XmlBinary, UnknownKindsAndTypesAndNames) {
    Bin kind;
    kind.Names({"R"}).Packed(0).Packed(1).Fixed<std::uint8_t>(9);
    EXPECT_EQ(LoadError(kind.s),
              std::string(u8"Ошибка чтения двоичного XML: некорректный тип узла"_cp));
    Bin type;
    type.Names({"R"}).Packed(1).Packed(0).Packed(9).Packed(0);
    EXPECT_EQ(LoadError(type.s), std::string(u8"Ошибка чтения значения: некорректный тип."_cp));
    Bin name;
    name.Names({"R"}).Packed(0).Packed(1).Fixed<std::uint8_t>(1).Packed(5);
    EXPECT_NE(LoadError(name.s), "");
}

TEST(XmlBinary, MarkerNeedsMoreThanItsOwnBytes) {
    // Exactly the marker is text (and not well-formed text); one byte more is the binary form.
    EXPECT_NE(LoadError("< binary-xml >"), std::string(u8"Ошибка чтения данных."_cp));
    EXPECT_EQ(LoadError("< binary-xml >\x01"), std::string(u8"Ошибка чтения данных."_cp));
}

TEST(XmlBinary, NamesAreTranslatedIntoTheDocumentsTable) {
    // Ids of the stored table differ from ours; nodes keep their names when moved.
    Bin b;
    b.Names({"zz-unusual-name", "Root"});
    b.Packed(0).Packed(1).Fixed<std::uint8_t>(1).Packed(1).Packed(0).Packed(1).Packed(0);
    b.Packed(256).Str("v").Packed(0);
    auto doc = Parse(b.s);
    auto copy = CreateXmlDocument("Copy");
    copy->DocumentElement()->AppendChild(doc->DocumentElement());
    EXPECT_EQ(copy->DocumentElement()->ElementByName("Root")->GetAttr("zz-unusual-name", ""), "v");
}

}  // namespace
}  // namespace zeph::xml::testing
