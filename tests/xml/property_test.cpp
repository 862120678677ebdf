// Documents built at random are written, read back through the text form and through the binary
// form, and compared with what was built.
#include <cstring>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "xml_test_util.h"

namespace zeph::xml::testing {
namespace {

using Value = std::variant<std::string, std::int32_t, bool>;

// What a test builds, kept apart from the model so that both forms can be made from it.
struct Model {
    NodeKind kind = kElementNode;
    std::string name;  // element name or instruction target
    std::string text;  // of the other kinds
    std::vector<std::pair<std::string, Value>> attrs;
    std::vector<Model> kids;
};

class Generator {
  public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    Model Root() {
        Model root{kElementNode, Name(), {}, {}, {}};
        Fill(root, 0);
        return root;
    }

  private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::string Name() {
        // Mostly a few names that repeat, now and then one of many distinct ones.
        static constexpr std::string_view kFirst = "abcXYZ_\xC0\xE0\xFF\xA8";
        static constexpr std::string_view kRest = "abz09-._:\xC1\xF1";
        if (Pick(4)) return std::string(1, kFirst[Pick(4)]) + std::to_string(Pick(5));
        std::string name(1, kFirst[Pick(static_cast<int>(kFirst.size()))]);
        for (int i = Pick(12); i > 0; --i) name += kRest[Pick(static_cast<int>(kRest.size()))];
        return name + std::to_string(counter_++);
    }

    // Every byte the writer escapes, blanks, line breaks and code page 1251 letters.
    std::string Text(bool blank_ends_allowed) {
        static constexpr std::string_view kBytes = "aZ09 &<>\"';\r\n\t\xC0\xE0\xFF\xA8\xB8#x";
        std::string text;
        for (int i = Pick(Pick(4) ? 10 : 200); i > 0; --i)
            text += kBytes[Pick(static_cast<int>(kBytes.size()))];
        if (blank_ends_allowed) return text;
        // A text node is never blank-only. Nor does it hold line breaks: the writer puts the
        // closing tag of an element with such content on a line of its own, and reading that back
        // adds the indentation to the text (a layout that files rely on, so kept).
        for (char& c : text)
            if (c == '\r' || c == '\n') c = ' ';
        return "t" + text + "t";
    }

    // Text of comments, CDATA sections and instructions: without their closing sequences.
    std::string MarkupText() {
        std::string text = "m" + Text(true) + "m";
        for (char& c : text)
            if (c == '-' || c == ']' || c == '?' || c == '>') c = '.';
        return text;
    }

    void Fill(Model& e, int depth) {
        for (int i = Pick(5); i > 0; --i) {
            std::string name = Name() + "_" + std::to_string(i);  // distinct within the element
            switch (Pick(3)) {
                case 0:
                    e.attrs.emplace_back(name, Text(true));
                    break;
                case 1:
                    e.attrs.emplace_back(name, static_cast<std::int32_t>(rng_()));
                    break;
                default:
                    e.attrs.emplace_back(name, Pick(2) == 1);
                    break;
            }
        }
        // Text stands alone in its element: next to child elements the writer's indentation
        // would join it.
        if (depth > 0 && Pick(6) == 0) {
            e.kids.push_back({kTextNode, {}, Text(false), {}, {}});
            return;
        }
        if (depth >= 6) return;
        for (int i = Pick(depth < 2 ? 6 : 4); i > 0; --i) {
            switch (Pick(10)) {
                case 0:
                    e.kids.push_back({kCommentNode, {}, MarkupText(), {}, {}});
                    break;
                case 1:
                    e.kids.push_back({kCDataNode, {}, MarkupText(), {}, {}});
                    break;
                case 2:
                    e.kids.push_back(
                        {kProcessingInstructionNode, "pi" + Name(), MarkupText(), {}, {}});
                    break;
                default:
                    e.kids.push_back({kElementNode, Name(), {}, {}, {}});
                    Fill(e.kids.back(), depth + 1);
                    break;
            }
        }
    }

    std::mt19937 rng_;
    int counter_ = 0;
};

// --- the model through the interfaces ------------------------------------------------------

void Build(const Model& m, IXmlNode& e) {
    for (const auto& [name, value] : m.attrs) {
        if (auto* s = std::get_if<std::string>(&value))
            e.SetAttr(name, *s);
        else if (auto* i = std::get_if<std::int32_t>(&value))
            e.SetIntAttr(name, *i);
        else
            e.SetBoolAttr(name, std::get<bool>(value));
    }
    for (const Model& k : m.kids) {
        if (k.kind == kElementNode) {
            Build(k, *e.AppendElement(k.name));
            continue;
        }
        // The model makes no leaves of its own: they come from a parsed snippet.
        std::string snippet;
        if (k.kind == kTextNode) {
            for (char c : k.text)
                snippet += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
        } else if (k.kind == kCDataNode) {
            snippet = "<![CDATA[" + k.text + "]]>";
        } else if (k.kind == kCommentNode) {
            snippet = "<!--" + k.text + "-->";
        } else {
            snippet = "<?" + k.name + " " + k.text + "?>";
        }
        snippet = "<w>" + snippet + "</w>";
        auto leaf = Parse(snippet)->DocumentElement()->ChildNodes()->Item(0);
        ASSERT_EQ(leaf->NodeValue(), k.text);
        e.AppendChild(leaf);
    }
}

XmlRef<IXmlDocument> Built(const Model& root) {
    auto doc = CreateXmlDocument(root.name, "1.0", "");
    Build(root, *doc->DocumentElement());
    return doc;
}

// The text the file holds for a value (integers in decimal, booleans as 1 and 0).
std::string FileText(const Value& v) {
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    if (auto* i = std::get_if<std::int32_t>(&v)) return std::to_string(*i);
    return std::get<bool>(v) ? "1" : "0";
}

// Compares a loaded element with the model, reading values as the file holds them.
void Compare(const Model& m, IXmlNode& n, const std::string& where) {
    ASSERT_EQ(n.NodeType(), m.kind) << where;
    if (m.kind != kElementNode) {
        EXPECT_EQ(n.NodeValue(), m.text) << where;
        if (m.kind == kProcessingInstructionNode) {
            EXPECT_EQ(n.NodeName(), m.name) << where;
        }
        return;
    }
    EXPECT_EQ(n.NodeName(), m.name) << where;
    ASSERT_EQ(n.AttrCount(), static_cast<int>(m.attrs.size())) << where;
    for (std::size_t i = 0; i < m.attrs.size(); ++i) {
        EXPECT_EQ(n.AttrName(static_cast<int>(i)), m.attrs[i].first) << where;
        const XmlValue* v = n.FindAttr(m.attrs[i].first);
        ASSERT_TRUE(v) << where;
        EXPECT_EQ(v->ToFileText(), FileText(m.attrs[i].second)) << where << " " << i;
    }
    auto kids = n.ChildNodes();
    ASSERT_EQ(kids->Count(), static_cast<int>(m.kids.size())) << where;
    for (std::size_t i = 0; i < m.kids.size(); ++i)
        Compare(m.kids[i], *kids->Item(static_cast<int>(i)), where + "/" + std::to_string(i));
}

// --- the binary form -------------------------------------------------------------------------

class BinaryWriter {
  public:
    std::string Write(const Model& root) {
        Collect(root);
        std::string body;
        Packed(body, 0);  // the document: no attributes, the declaration and the root
        Packed(body, 2);
        Fixed<std::uint8_t>(body, kProcessingInstructionNode);
        Packed(body, Id("xml"));
        String(body, "version=\"1.0\" encoding=\"windows-1251\"");
        Packed(body, 0);
        Packed(body, 0);
        Node(body, root);
        std::string out = "< binary-xml >";
        Fixed<std::uint32_t>(out, 0);
        Packed(out, static_cast<std::int32_t>(names_.size()));
        for (const std::string& n : names_) String(out, n);
        Packed(out, 1);  // buckets: one, naming no ids (the reader ignores them)
        Packed(out, 0);
        return out + body;
    }

  private:
    template <class T>
    static void Fixed(std::string& out, T v) {
        char b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));  // little-endian machines only (x86)
        out.append(b, sizeof(T));
    }
    static void Packed(std::string& out, std::int32_t v) {
        if (v >= 0 && v <= 127) return Fixed<std::uint8_t>(out, static_cast<std::uint8_t>(v));
        if (v >= 0 && v < 127 * 256) {
            Fixed<std::uint8_t>(out, static_cast<std::uint8_t>(128 + v / 256));
            return Fixed<std::uint8_t>(out, static_cast<std::uint8_t>(v % 256));
        }
        Fixed<std::uint8_t>(out, 255);
        Fixed<std::int32_t>(out, v);
    }
    static void String(std::string& out, std::string_view s) {
        Packed(out, static_cast<std::int32_t>(s.size()));
        out += s;
    }
    std::int32_t Id(const std::string& name) {
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (names_[i] == name) return static_cast<std::int32_t>(i);
        names_.push_back(name);
        return static_cast<std::int32_t>(names_.size() - 1);
    }
    void Collect(const Model& m) {
        if (!m.name.empty()) Id(m.name);
        for (const auto& a : m.attrs) Id(a.first);
        for (const Model& k : m.kids) Collect(k);
    }
    void Text(std::string& out, const std::string& text) {
        // Texts alternate between the two string types of the form.
        wide_ = !wide_;
        if (wide_) {
            std::u16string u = text::ToUtf16(text);
            Packed(out, 8);
            Packed(out, static_cast<std::int32_t>(u.size()));
            for (char16_t c : u) Fixed<std::uint16_t>(out, c);
        } else {
            Packed(out, 256);
            String(out, text);
        }
    }
    void Node(std::string& out, const Model& m) {
        switch (m.kind) {
            case kElementNode:
                Fixed<std::uint8_t>(out, kElementNode);
                Packed(out, Id(m.name));
                Packed(out, 0);  // the element's own value: empty
                break;
            case kTextNode:
                Fixed<std::uint8_t>(out, kTextNode);
                return Text(out, m.text);
            case kCDataNode:
            case kCommentNode:
                Fixed<std::uint8_t>(out, static_cast<std::uint8_t>(m.kind));
                return String(out, m.text);
            default:
                Fixed<std::uint8_t>(out, kProcessingInstructionNode);
                Packed(out, Id(m.name));
                String(out, m.text);
                break;
        }
        Packed(out, static_cast<std::int32_t>(m.attrs.size()));
        for (const auto& [name, value] : m.attrs) {
            Packed(out, Id(name));
            if (auto* s = std::get_if<std::string>(&value)) {
                Text(out, *s);
            } else if (auto* i = std::get_if<std::int32_t>(&value)) {
                Packed(out, 3);
                Fixed<std::int32_t>(out, *i);
            } else {
                Packed(out, 11);
                Fixed<std::uint16_t>(out, std::get<bool>(value) ? 0xFFFF : 0);
            }
        }
        Packed(out, static_cast<std::int32_t>(m.kids.size()));
        for (const Model& k : m.kids) Node(out, k);
    }

    std::vector<std::string> names_;
    bool wide_ = false;
};

TEST(XmlProperties, RandomDocumentsSurviveTheTextForm) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
        const Model model = Generator(seed).Root();
        auto doc = Built(model);
        const std::string text = doc->GetXml();
        auto back = Parse(text);
        ASSERT_NO_FATAL_FAILURE(Compare(model, *back->DocumentElement(), std::to_string(seed)));
        // Written again, it is the same bytes; a file on disk gives the same document.
        EXPECT_EQ(back->GetXml(), text) << seed;
    }
}

TEST(XmlProperties, RandomDocumentsSurviveTheBinaryForm) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
        const Model model = Generator(seed).Root();
        auto doc = Parse(BinaryWriter().Write(model));
        ASSERT_NO_FATAL_FAILURE(Compare(model, *doc->DocumentElement(), std::to_string(seed)));
        // Values keep their types, and are written like those the setters stored.
        EXPECT_EQ(doc->GetXml(), Built(model)->GetXml()) << seed;
    }
}

}  // namespace
}  // namespace zeph::xml::testing
