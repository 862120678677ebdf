// The text parser: one pass over the bytes, no recursion, names interned as they are read.
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>

#include "text/cp1251.h"
#include "xml/node.h"

namespace zeph::xml::detail {

using namespace text;

namespace {

enum : std::uint8_t { kTextStop = 1, kQuoteStop = 2, kApostropheStop = 4, kNameChar = 8 };

constexpr std::array<std::uint8_t, 256> MakeTable() {
    std::array<std::uint8_t, 256> t{};
    t['<'] |= kTextStop | kQuoteStop | kApostropheStop;
    t['&'] |= kTextStop | kQuoteStop | kApostropheStop;
    t['"'] |= kQuoteStop;
    t['\''] |= kApostropheStop;
    for (int c = 0; c < 256; ++c)
        if (IsXmlNameChar(static_cast<char>(c))) t[c] |= kNameChar;
    return t;
}
constexpr auto kTable = MakeTable();

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

bool IsBlankOnly(std::string_view s) {
    for (char c : s)
        if (!IsBlank(c)) return false;
    return true;
}

template <class Word>
Word Load(const char* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Compares names, most of them short, without a call: words from both ends overlap in the middle.
[[gnu::always_inline]] inline bool SameBytes(const char* a, const char* b, std::size_t n) {
    if (n >= 8) {
        if (n > 16 && std::memcmp(a + 8, b + 8, n - 16) != 0) return false;
        return Load<std::uint64_t>(a) == Load<std::uint64_t>(b) &&
               Load<std::uint64_t>(a + n - 8) == Load<std::uint64_t>(b + n - 8);
    }
    if (n >= 4)
        return Load<std::uint32_t>(a) == Load<std::uint32_t>(b) &&
               Load<std::uint32_t>(a + n - 4) == Load<std::uint32_t>(b + n - 4);
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
  public:
    Parser(Document& doc, std::string_view input)
        : doc_(doc),
          p_(input.data()),
          end_(input.data() + input.size()),
          arena_(doc.arena()),
          names_(arena_.names()) {}

    void Run() {
        NodeData* current = &doc_;
        for (;;) {
            if (p_ != end_ && *p_ != '<') TextRun(*current);
            if (p_ == end_) {
                if (current != &doc_) Expected('/');
                return;
            }
            ++p_;  // "<"
            char c = p_ == end_ ? '\0' : *p_;
            if (c == '/') {
                ++p_;
                if (current == &doc_) return;  // a closing tag at document level ends the input
                CloseTag(*current);
                // Nothing else can have taken the element meanwhile: its parent link leads back
                // up, with no stack of open elements (which for deep input is large).
                current = current->parent();
            } else if (c == '?') {
                ++p_;
                Instruction(*current);
            } else if (c == '!') {
                ++p_;
                Markup(*current);
            } else if (NodeData* e = StartTag(*current)) {
                current = e;
            }
        }
    }

  private:
    [[noreturn]] void Fail(std::string_view message) { throw XmlError(std::string(message)); }
    [[noreturn]] void Expected(char c) {
        Fail(Format(u8"Ожидается \"%c\""_cp, std::string_view(&c, 1)));
    }
    [[noreturn]] void ExpectedText(std::string_view s) { Fail(Format(u8"Ожидается \"%s\""_cp, s)); }

    // The scanning loops work on locals: a member pointer would be stored back on every byte.
    void SkipBlanks() {
        const char* p = p_;
        while (p != end_ && IsBlank(*p)) ++p;
        p_ = p;
    }

    std::string_view ReadName() {
        if (p_ == end_ || !IsXmlNameStart(*p_))
            Fail(u8"Имя должно начинаться с буквы или \"_\""_cp);
        const char* start = p_;
        const char* p = p_ + 1;
        while (p != end_ && (kTable[static_cast<unsigned char>(*p)] & kNameChar)) ++p;
        p_ = p;
        return std::string_view(start, static_cast<std::size_t>(p - start));
    }

    // Reads a name and returns its id. Most names repeat, so a small cache keyed by their first
    // two bytes is tried first: a hit is compared in place, without scanning the name byte by
    // byte, hashing it or looking it up in the table.
    [[gnu::always_inline]] std::uint32_t NameId() {
        // A hit starts with the cached name's first byte, which is a valid start.
        auto left = static_cast<std::size_t>(end_ - p_);
        if (left > 2) {
            const CacheSlot& slot = cache_[CacheKey(p_[0], p_[1])];
            if (slot.bytes) {
                std::size_t n = slot.size;
                if (n < left && SameBytes(p_, slot.bytes, n) &&
                    !(kTable[static_cast<unsigned char>(p_[n])] & kNameChar)) {
                    p_ += n;
                    return slot.id;
                }
            }
        }
        return NewNameId();
    }
    std::uint32_t NewNameId() {
        std::string_view name = ReadName();
        const std::uint32_t id = names_.Intern(name);
        if (name.size() >= 2) {
            std::string_view kept = names_.View(id);
            cache_[CacheKey(name[0], name[1])] = {kept.data(),
                                                  static_cast<std::uint32_t>(kept.size()), id};
        }
        return id;
    }
    static std::size_t CacheKey(char a, char b) {
        return (static_cast<unsigned char>(a) * 33u + static_cast<unsigned char>(b)) % kCacheSize;
    }

    // After "&": appends the character the reference stands for.
    void Reference(std::string& out) {
        if (p_ == end_) Fail(u8"Ожидается \"#\" или имя упрамляющего символа"_cp);
        if (*p_ == '#') {
            ++p_;
            std::uint32_t code = 0;
            if (p_ != end_ && *p_ == 'x') {
                ++p_;
                if (p_ == end_ || HexDigit(*p_) < 0) Fail(u8"Ожидается шестнадцатеричное число"_cp);
                for (int d; p_ != end_ && (d = HexDigit(*p_)) >= 0; ++p_)
                    code = code * 16 + static_cast<std::uint32_t>(d);
            } else {
                if (p_ == end_ || !IsDigit(*p_)) Fail(u8"Ожидается число"_cp);
                for (; p_ != end_ && IsDigit(*p_); ++p_)
                    code = code * 10 + static_cast<std::uint32_t>(*p_ - '0');
            }
            out += static_cast<char>(code & 0xFF);
        } else {
            std::string_view name = ReadName();
            if (name == "amp")
                out += '&';
            else if (name == "quot")
                out += '"';
            else if (name == "lt")
                out += '<';
            else if (name == "gt")
                out += '>';
            else if (name == "apos")
                out += '\'';
            else
                Fail(u8"Некорректное имя управляющего символа"_cp);
        }
        if (p_ == end_ || *p_ != ';') Expected(';');
        ++p_;
    }

    void TextRun(NodeData& parent) {
        const char* start = p_;
        const char* p = p_;
        // Most runs are the indentation between tags.
        while (p != end_ && IsBlank(*p)) ++p;
        if (p != end_ && *p == '<') {
            p_ = p;
            return;
        }
        while (p != end_ && !(kTable[static_cast<unsigned char>(*p)] & kTextStop)) ++p;
        p_ = p;
        std::string_view text;
        if (p_ != end_ && *p_ == '&') {
            std::string& buf = buffer_;
            buf.assign(start, p_);
            while (p_ != end_ && *p_ == '&') {
                ++p_;
                Reference(buf);
                const char* run = p_;
                while (p_ != end_ && !(kTable[static_cast<unsigned char>(*p_)] & kTextStop)) ++p_;
                buf.append(run, p_);
            }
            if (IsBlankOnly(buf)) return;
            text = buf;
        } else {
            std::string_view run(start, static_cast<std::size_t>(p_ - start));
            if (IsBlankOnly(run)) return;
            text = run;
        }
        parent.AppendOwn(NodeData::NewLeaf(arena_, kTextNode, names_.pre(NameTable::kText), text));
    }

    void Attributes(NodeData& node) {
        bool indexed = false;
        for (;;) {
            SkipBlanks();
            if (p_ == end_ || !IsXmlNameStart(*p_)) return;
            const std::uint32_t id = NameId();
            SkipBlanks();
            if (p_ == end_ || *p_ != '=') Expected('=');
            ++p_;
            SkipBlanks();
            if (p_ == end_) Fail(u8"Ожидается значение атрибута"_cp);
            char quote = *p_;
            if (quote != '"' && quote != '\'') Fail(u8"Ожидается строковая константа"_cp);
            ++p_;
            std::uint8_t stop = quote == '"' ? kQuoteStop : kApostropheStop;
            const char* start = p_;
            const char* p = p_;
            while (end_ - p >= 4) {
                if (kTable[static_cast<unsigned char>(p[0])] & stop) break;
                if (kTable[static_cast<unsigned char>(p[1])] & stop) {
                    p += 1;
                    break;
                }
                if (kTable[static_cast<unsigned char>(p[2])] & stop) {
                    p += 2;
                    break;
                }
                if (kTable[static_cast<unsigned char>(p[3])] & stop) {
                    p += 3;
                    break;
                }
                p += 4;
            }
            while (p != end_ && !(kTable[static_cast<unsigned char>(*p)] & stop)) ++p;
            p_ = p;
            std::string_view value;
            if (p_ != end_ && *p_ == quote) {
                value = std::string_view(start, static_cast<std::size_t>(p_ - start));
            } else {
                std::string& buf = buffer_;
                buf.assign(start, p_);
                for (;;) {
                    if (p_ == end_) ExpectedText(std::string_view(&quote, 1));
                    if (*p_ == quote) break;
                    if (*p_ == '<')
                        Fail(u8"Символ \"<\" не может использоваться в значениях атрибутов"_cp);
                    ++p_;  // "&"
                    Reference(buf);
                    const char* run = p_;
                    while (p_ != end_ && !(kTable[static_cast<unsigned char>(*p_)] & stop)) ++p_;
                    buf.append(run, p_);
                }
                value = buf;
            }
            ++p_;  // closing quote
            // Duplicate names are found by a linear search while a node has few attributes, and
            // through a set once it has many, so hostile input stays linear.
            if (!indexed && node.AttrCount() >= 16) {
                indexed = true;
                seen_.clear();
                for (const Attr& a : node.attrs()) seen_.insert(a.name);
            }
            bool repeated = indexed ? !seen_.insert(id).second : node.FindAttrById(id) != nullptr;
            if (repeated) {
                node.SetAttrById(id, XmlValue(value));  // a repeated name keeps its place
            } else {
                // The value's text is copied once, into the document's memory.
                Attr* a = node.NewAttr(arena_);
                a->name = id;
                ValueAccess::SetText(a->value, arena_, value);
            }
        }
    }

    // After "<": returns the element when its content follows.
    NodeData* StartTag(NodeData& parent) {
        const std::uint32_t id = NameId();
        if (p_ == end_) Fail(u8"Не завершено определение элемента"_cp);
        if (!(IsBlank(*p_) || *p_ == '/' || *p_ == '>'))
            Fail(u8"Некорретный символ в имени элемента"_cp);
        Element* e = NodeData::NewElement(arena_, id);
        parent.AppendOwn(e);
        Attributes(*e);
        if (p_ != end_ && *p_ == '/') {
            if (end_ - p_ < 2 || p_[1] != '>') ExpectedText("/>");
            p_ += 2;
            return nullptr;
        }
        if (p_ == end_ || *p_ != '>') Expected('>');
        ++p_;
        return e;
    }

    // After "</".
    void CloseTag(const NodeData& e) {
        std::string_view name = names_.View(e.name_id());
        if (static_cast<std::size_t>(end_ - p_) < name.size() ||
            std::memcmp(p_, name.data(), name.size()) != 0)
            ExpectedText(name);
        p_ += name.size();
        SkipBlanks();
        if (p_ == end_ || *p_ != '>') Expected('>');
        ++p_;
    }

    // The text up to `terminator`, which is consumed; the error names it when it is missing.
    std::string_view Until(std::string_view terminator) {
        std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
        std::size_t at = rest.find(terminator);
        if (at == std::string_view::npos) {
            if (terminator.size() == 1) Expected(terminator[0]);
            ExpectedText(terminator);
        }
        p_ += at + terminator.size();
        return rest.substr(0, at);
    }

    bool Follows(std::string_view s) const {
        return static_cast<std::size_t>(end_ - p_) >= s.size() &&
               std::memcmp(p_, s.data(), s.size()) == 0;
    }

    // After "<?".
    void Instruction(NodeData& parent) {
        std::string_view target = ReadName();
        Leaf* pi = NodeData::NewLeaf(arena_, kProcessingInstructionNode, names_.Intern(target), {});
        parent.AppendOwn(pi);
        if (target == "xml") {
            Attributes(*pi);
            if (!Follows("?>")) ExpectedText("?>");
            p_ += 2;
        } else {
            // The blank after the target separates it from the data; the writer puts it back.
            SkipBlanks();
            pi->set_text(arena_, Until("?>"));
        }
    }

    // After "<!".
    void Markup(NodeData& parent) {
        if (p_ != end_ && *p_ == '-') {
            if (!Follows("--")) ExpectedText("--");
            p_ += 2;
            std::string_view text = Until("-->");
            parent.AppendOwn(
                NodeData::NewLeaf(arena_, kCommentNode, names_.pre(NameTable::kComment), text));
        } else if (p_ != end_ && *p_ == '[') {
            if (!Follows("[CDATA[")) ExpectedText("[CDATA[");
            p_ += 7;
            std::string_view text = Until("]]>");
            parent.AppendOwn(
                NodeData::NewLeaf(arena_, kCDataNode, names_.pre(NameTable::kCData), text));
        } else {
            if (!Follows("DOCTYPE")) ExpectedText("DOCTYPE");
            p_ += 7;
            Until(">");
        }
    }

    Document& doc_;
    const char* p_;
    const char* end_;
    Arena& arena_;
    NameTable& names_;
    std::string buffer_;                      // reused for texts and values with references
    std::unordered_set<std::uint32_t> seen_;  // attribute names of a node with many
    static constexpr std::size_t kCacheSize = 256;
    struct CacheSlot {
        const char* bytes = nullptr;  // of the name, kept by the table
        std::uint32_t size = 0;
        std::uint32_t id = 0;
    };
    std::array<CacheSlot, kCacheSize> cache_{};
};

}  // namespace

void ParseText(Document& doc, std::string_view input) {
    Parser(doc, input).Run();
}

}  // namespace zeph::xml::detail
