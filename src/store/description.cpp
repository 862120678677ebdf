#include "store/description.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "text/cp1251.h"

namespace zeph::store {

namespace {

namespace defaults = description_defaults;

// Compares an attribute (or its default when absent) with `name` ignoring case, without copying
// text values.
bool AttrEqualsNoCase(const xml::IXmlNode& node, std::string_view attr, std::string_view fallback,
                      std::string_view name) {
    const xml::XmlValue* value = node.FindAttr(attr);
    if (!value) return text::EqualsNoCase(fallback, name);
    if (value->type() == xml::XmlValue::Type::Text) return text::EqualsNoCase(value->Raw(), name);
    return text::EqualsNoCase(value->ToText(), name);
}

}  // namespace

xml::XmlRef<xml::IXmlDocument> LoadDescription(const DataFolder& folder) {
    return xml::LoadXmlDocument(FileInFolder(folder, kDescriptionFileName));
}

Description::Description(xml::IXmlDocument& doc) {
    if (auto root = doc.DocumentElement()) entries_ = root->ChildNodes();
}

int Description::EntryCount() const {
    return entries_ ? entries_->Count() : 0;
}

xml::XmlRef<xml::IXmlNode> Description::Entry(int index) const {
    using text::operator""_cp;
    if (!entries_)
        throw xml::XmlError(
            std::string(u8"Ошибка получения элемента списка: индекс выходит за пределы"_cp));
    return entries_->Item(index);
}

int Description::FindEntry(std::string_view name) const {
    return entries_ ? FindByName(*entries_, name) : -1;
}

int Description::FindByName(xml::IXmlNodeList& nodes, std::string_view name) {
    const int count = nodes.Count();
    for (int i = 0; i < count; ++i)
        if (AttrEqualsNoCase(*nodes.Item(i), "name", defaults::kLookupName, name)) return i;
    return -1;
}

int Description::FindMember(xml::IXmlNode& entry, std::string_view name) {
    return FindByName(*entry.ChildNodes(), name);
}

std::vector<xml::XmlRef<xml::IXmlNode>> Description::MembersNamed(std::string_view name) const {
    std::vector<xml::XmlRef<xml::IXmlNode>> found;
    for (int e = 0, entries = EntryCount(); e < entries; ++e) {
        auto members = entries_->Item(e)->ChildNodes();
        for (int m = 0, count = members->Count(); m < count; ++m) {
            auto member = members->Item(m);
            if (AttrEqualsNoCase(*member, "name", defaults::kLookupName, name))
                found.push_back(std::move(member));
        }
    }
    return found;
}

std::vector<xml::XmlRef<xml::IXmlNode>> Description::Constants() const {
    std::vector<xml::XmlRef<xml::IXmlNode>> found;
    for (int e = 0, entries = EntryCount(); e < entries; ++e) {
        auto members = entries_->Item(e)->ChildNodes();
        for (int m = 0, count = members->Count(); m < count; ++m) {
            auto member = members->Item(m);
            if (member->NodeType() == xml::kElementNode && member->NodeName() == kConstKind)
                found.push_back(std::move(member));
        }
    }
    return found;
}

std::string Description::Base(const xml::IXmlNode& entry) {
    return entry.GetAttr("base", defaults::kBase);
}

std::string Description::LookupName(const xml::IXmlNode& node) {
    return node.GetAttr("name", defaults::kLookupName);
}

std::string Description::LookupType(const xml::IXmlNode& member) {
    return member.GetAttr("type", defaults::kLookupType);
}

MemberText Description::Shown(const xml::IXmlNode& member) {
    return {member.NodeName(), member.GetAttr("name", defaults::kShown),
            member.GetAttr("type", defaults::kShown), member.GetAttr("return", defaults::kShown)};
}

std::vector<ParameterInfo> Description::Parameters(xml::IXmlNode& member) {
    std::vector<ParameterInfo> params;
    auto children = member.ChildNodes();
    for (int i = 0, count = children->Count(); i < count; ++i) {
        auto param = children->Item(i);
        params.push_back(
            {param->GetAttr("name", defaults::kShown), param->GetAttr("type", defaults::kShown)});
    }
    return params;
}

namespace {

struct Declaration {
    std::string name, value;
};

// The statement so far in capitals, answering whether a name followed by "=" occurs in it. Every
// such occurrence ends at an "=", so for each length of name asked about, the bytes of that
// length before each "=" are kept in a set: a question costs one look-up, however long the
// statement grew.
class FoldedStatement {
  public:
    // `capacity` bounds the statement's length, so that the views into it stay valid.
    explicit FoldedStatement(std::size_t capacity) { text_.reserve(capacity); }

    bool Declares(std::string_view folded_name) {
        const std::size_t length = folded_name.size();
        auto [before, fresh] = before_equals_.try_emplace(length);
        if (fresh)
            for (std::size_t at : equals_)
                if (at >= length) before->second.insert(View(at - length, length));
        return before->second.contains(folded_name);
    }

    void Append(std::string_view folded) {
        const std::size_t start = text_.size();
        text_ += folded;
        for (std::size_t at = text_.find('=', start); at != std::string::npos;
             at = text_.find('=', at + 1)) {
            equals_.push_back(at);
            for (auto& [length, before] : before_equals_)
                if (at >= length) before.insert(View(at - length, length));
        }
    }

  private:
    std::string_view View(std::size_t start, std::size_t length) const {
        return std::string_view(text_).substr(start, length);
    }

    std::string text_;
    std::vector<std::size_t> equals_;
    std::unordered_map<std::size_t, std::unordered_set<std::string_view>> before_equals_;
};

// The declarations of the statement in document order: a constant whose name followed by "="
// occurs in what was declared before it (ignoring case, values too) is left out.
std::vector<Declaration> Declarations(xml::IXmlDocument& doc) {
    std::vector<Declaration> all;
    std::size_t capacity = 0;
    for (const auto& constant : Description(doc).Constants()) {
        const xml::XmlValue* name_value = constant->FindAttr("name");
        Declaration d{name_value ? name_value->ToText() : std::string(defaults::kConstName),
                      constant->GetAttr("value", defaults::kConstValue)};
        capacity += d.name.size() + d.value.size() + 3;
        all.push_back(std::move(d));
    }
    FoldedStatement statement(capacity);
    std::vector<Declaration> declarations;
    std::string folded;
    for (Declaration& d : all) {
        folded = text::ToUpper(d.name);
        if (statement.Declares(folded)) continue;
        folded += '=';
        folded += text::ToUpper(d.value);
        folded += ", ";
        statement.Append(folded);
        declarations.push_back(std::move(d));
    }
    return declarations;
}

std::string Statement(std::string_view keyword, const std::vector<Declaration>& declarations,
                      const std::vector<bool>* taken = nullptr) {
    std::string declared;
    for (std::size_t i = 0; i < declarations.size(); ++i) {
        if (taken && !(*taken)[i]) continue;
        if (!declared.empty()) declared += ", ";
        declared += declarations[i].name;
        declared += '=';
        declared += declarations[i].value;
    }
    if (declared.empty()) return {};
    std::string prelude(keyword);
    prelude += ' ';
    prelude += declared;
    return prelude;
}

// Bytes that can be part of a name in either language: ASCII letters, digits, "_" and "$", and
// every byte above ASCII (so that a name is never split where an engine would not split it).
constexpr bool IsNameByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x80 || c == '_' || c == '$' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z');
}

bool IsWord(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name)
        if (!IsNameByte(c)) return false;
    return true;
}

// Calls `word` with each maximal run of name bytes of `text`.
template <class F>
void ForEachWord(std::string_view text, F&& word) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (!IsNameByte(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && IsNameByte(text[i])) ++i;
        word(text.substr(start, i - start));
    }
}

// Words through which a script reaches names it builds at run time: VBScript's Execute,
// ExecuteGlobal and Eval (any case), JScript's eval, Function and the global object as this.
bool MayNameAtRunTime(std::string_view keyword, std::string_view script) {
    const bool vbscript = keyword == "const";
    bool found = false;
    ForEachWord(script, [&](std::string_view word) {
        if (found) return;
        if (vbscript)
            found = text::EqualsNoCase(word, "Execute") ||
                    text::EqualsNoCase(word, "ExecuteGlobal") || text::EqualsNoCase(word, "Eval");
        else
            found = word == "eval" || word == "Function" || word == "this";
    });
    return found;
}

}  // namespace

std::string ConstantPrelude(xml::IXmlDocument& doc, std::string_view keyword) {
    return Statement(keyword, Declarations(doc));
}

std::string ConstantPreludeFor(xml::IXmlDocument& doc, std::string_view keyword,
                               std::string_view script) {
    const std::vector<Declaration> declarations = Declarations(doc);
    if (MayNameAtRunTime(keyword, script)) return Statement(keyword, declarations);
    std::unordered_set<std::string> used;
    auto use = [&used](std::string_view text) {
        ForEachWord(text, [&used](std::string_view word) { used.insert(text::ToUpper(word)); });
    };
    use(script);
    // A declaration taken brings the constants its value names, wherever they stand.
    std::vector<bool> taken(declarations.size(), false);
    for (bool more = true; more;) {
        more = false;
        for (std::size_t i = 0; i < declarations.size(); ++i) {
            if (taken[i]) continue;
            const std::string& name = declarations[i].name;
            if (IsWord(name) && !used.contains(text::ToUpper(name))) continue;
            taken[i] = true;
            more = true;
            use(declarations[i].value);
        }
    }
    return Statement(keyword, declarations, &taken);
}

std::string_view PreludeKeyword(std::string_view language) {
    return language == "VBScript" ? "const" : "var";
}

}  // namespace zeph::store
