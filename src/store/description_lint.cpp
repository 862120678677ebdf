#include "store/description_lint.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "editor/keywords.h"
#include "store/description.h"
#include "text/cp1251.h"

namespace zeph::store {

namespace {

namespace defaults = description_defaults;

// Type names that completion shows as they stand; anything else should name an entry.
constexpr std::array<std::string_view, 24> kAutomationTypes = {
    "BSTR",    "Boolean",  "Byte",   "Char",     "Currency",     "Date",
    "Decimal", "Double",   "Float",  "HRESULT",  "IDispatch",    "Int",
    "Integer", "IUnknown", "Long",   "LongLong", "Object",       "SAFEARRAY",
    "Short",   "Single",   "String", "VARIANT",  "VARIANT_BOOL", "Void",
};

std::string Quoted(std::string_view s) {
    std::string out = "\"";
    out += s;
    out += '"';
    return out;
}

std::string Place(int index, std::string_view kind, std::string_view name) {
    std::string place(kind);
    place += ' ';
    place += std::to_string(index + 1);
    if (!name.empty()) place += ' ' + Quoted(name);
    return place;
}

bool IsAutomationType(std::string_view type) {
    return std::any_of(kAutomationTypes.begin(), kAutomationTypes.end(),
                       [&](std::string_view known) { return text::EqualsNoCase(known, type); });
}

std::string_view KindText(int node_type) {
    switch (node_type) {
        case xml::kTextNode:
            return "text";
        case xml::kCDataNode:
            return "a CDATA section";
        case xml::kProcessingInstructionNode:
            return "a processing instruction";
        default:
            return "a node";
    }
}

// What keeps `name` from being declared or written in a script, or empty when nothing does.
// VBScript wants a letter first and then letters, digits or "_"; JScript also takes "$" and a
// leading "_". Letters include the Cyrillic ones of the code page.
std::string IdentifierFault(std::string_view name, bool check_reserved) {
    if (name.empty()) return "the name is empty";
    bool vbscript = text::IsLetter(name[0]);
    bool jscript = vbscript || name[0] == '_' || name[0] == '$';
    for (char c : name.substr(1)) {
        const bool word_char = text::IsLetter(c) || text::IsDigit(c) || c == '_';
        vbscript = vbscript && word_char;
        jscript = jscript && (word_char || c == '$');
    }
    if (!vbscript && !jscript) return "is not an identifier in VBScript or JScript";
    if (!vbscript) return "is not an identifier in VBScript";
    if (!jscript) return "is not an identifier in JScript";
    if (!check_reserved) return {};
    if (editor::detail::VBScriptKeywords().Find(name) == 1) return "is a reserved word in VBScript";
    // The highlighter also marks a few words that are no syntax for the language itself.
    constexpr std::string_view kHighlightedOnly[] = {"callee", "constructor", "NaN", "prototype",
                                                     "start"};
    if (editor::detail::JScriptKeywords().Find(name) == 1 &&
        std::find(std::begin(kHighlightedOnly), std::end(kHighlightedOnly), name) ==
            std::end(kHighlightedOnly))
        return "is a reserved word in JScript";
    return {};
}

// A value that both engines take after "const NAME=" and "var NAME=": a decimal number with an
// optional sign, fraction and exponent, or a text in double quotation marks without inner
// quotation marks, backslashes or line breaks (the two languages escape those differently).
bool IsPortableValue(std::string_view v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
        return v.substr(1, v.size() - 2).find_first_of("\"\\\r\n") == std::string_view::npos;
    }
    std::size_t i = 0;
    auto digits = [&] {
        const std::size_t start = i;
        while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i;
        return i - start;
    };
    if (i < v.size() && v[i] == '-') ++i;
    std::size_t mantissa = digits();
    if (i < v.size() && v[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
        ++i;
        if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == v.size();
}

class Linter {
  public:
    explicit Linter(xml::IXmlDocument& doc) : lookups_(doc) {}

    LintReport Run() {
        report_.entries = lookups_.EntryCount();
        for (int e = 0; e < report_.entries; ++e) CheckEntry(e);
        return std::move(report_);
    }

  private:
    void Add(std::string place, std::string message) {
        report_.problems.push_back({std::move(place), std::move(message)});
    }

    void CheckEntry(int e) {
        auto entry = lookups_.Entry(e);
        const std::string place = Place(e, "entry", entry->GetAttr("name", ""));
        if (entry->NodeType() != xml::kElementNode) {
            if (entry->NodeType() != xml::kCommentNode)
                Add(place, std::string(KindText(entry->NodeType())) +
                               " among the entries is read as an entry named \"error\"");
            return;
        }
        if (!entry->FindAttr("name")) {
            Add(place, "the entry has no \"name\"; lookups take it for \"error\"");
        } else {
            const int first = lookups_.FindEntry(Description::LookupName(*entry));
            if (first != e)
                Add(place,
                    "the name repeats " +
                        Place(first, "entry", Description::LookupName(*lookups_.Entry(first))) +
                        " ignoring letter case; lookups find only the first");
        }
        CheckBaseChain(e, place);
        CheckMembers(*entry, place);
    }

    // Follows the bases as completion does. A base naming no entry is reported at the entry that
    // names it; a loop once, at its first entry in document order.
    void CheckBaseChain(int e, const std::string& place) {
        std::vector<int> chain{e};
        for (int current = e;;) {
            const std::string base = Description::Base(*lookups_.Entry(current));
            if (base == defaults::kBase) return;
            const int next = lookups_.FindEntry(base);
            if (next < 0) {
                if (current != e) return;
                std::string message = "the base " + Quoted(base) + " names no entry";
                if (text::EqualsNoCase(base, defaults::kBase))
                    message += "; only \"IDispatch\" in exactly this case ends a chain";
                Add(place, std::move(message));
                return;
            }
            auto seen = std::find(chain.begin(), chain.end(), next);
            if (seen != chain.end()) {
                if (seen == chain.begin() && *std::min_element(chain.begin(), chain.end()) == e)
                    Add(place, "the base chain loops: " + LoopText(chain));
                return;
            }
            chain.push_back(next);
            current = next;
        }
    }

    std::string LoopText(const std::vector<int>& chain) {
        std::string text;
        for (int i : chain) text += Quoted(Description::LookupName(*lookups_.Entry(i))) + " -> ";
        return text + Quoted(Description::LookupName(*lookups_.Entry(chain.front())));
    }

    void CheckMembers(xml::IXmlNode& entry, const std::string& entry_place) {
        auto members = entry.ChildNodes();
        std::vector<std::pair<int, std::string>> names;  // members checked for repeats
        for (int m = 0, count = members->Count(); m < count; ++m) {
            auto member = members->Item(m);
            const std::string kind = member->NodeName();
            const std::string place =
                entry_place + ", " +
                Place(m, member->NodeType() == xml::kElementNode ? kind : "node",
                      member->GetAttr("name", ""));
            if (member->NodeType() != xml::kElementNode) {
                if (member->NodeType() != xml::kCommentNode)
                    Add(place, std::string(KindText(member->NodeType())) +
                                   " among the members is read as a member named \"error\"");
                continue;
            }
            if (kind != kPropertyKind && kind != kMethodKind && kind != kConstKind) {
                Add(place, "<" + kind +
                               "> is skipped by every reader: members are \"property\", \"method\""
                               " or \"const\" in exactly this case");
                continue;
            }
            ++report_.members;
            CheckMemberName(*member, kind, place);
            if (kind == kConstKind)
                CheckConstant(*member, place);
            else
                CheckMemberType(*member, kind, place);
            if (const xml::XmlValue* name = member->FindAttr("name"))
                CheckRepeat(m, name->ToText(), names, entry_place, place);
        }
    }

    void CheckRepeat(int m, std::string name, std::vector<std::pair<int, std::string>>& names,
                     const std::string& entry_place, const std::string& place) {
        for (const auto& [index, earlier] : names) {
            if (!text::EqualsNoCase(earlier, name)) continue;
            Add(place, "the name repeats " + Place(index, "member", earlier) + " of " +
                           entry_place + " ignoring letter case; lookups find only the first");
            return;
        }
        names.emplace_back(m, std::move(name));
    }

    void CheckMemberName(const xml::IXmlNode& member, const std::string& kind,
                         const std::string& place) {
        const xml::XmlValue* name = member.FindAttr("name");
        if (!name) {
            Add(place,
                kind == kConstKind
                    ? "the constant has no \"name\"; the prelude declares it as \"CritError\""
                    : "the " + kind + " has no \"name\"");
            return;
        }
        const std::string text = name->ToText();
        std::string fault = IdentifierFault(text, kind == kConstKind);
        if (!fault.empty()) Add(place, "the name " + Quoted(text) + " " + fault);
    }

    void CheckMemberType(const xml::IXmlNode& member, const std::string& kind,
                         const std::string& place) {
        const bool property = kind == kPropertyKind;
        const xml::XmlValue* type = member.FindAttr(property ? "type" : "return");
        if (!type) {
            // A method without "return" simply has no result.
            if (property) Add(place, "the property has no \"type\"; completion follows \"error\"");
            return;
        }
        const std::string text = type->ToText();
        if (!property && text.empty()) return;
        if (lookups_.FindEntry(text) >= 0 || IsAutomationType(text)) return;
        Add(place, std::string(property ? "the type " : "the result type ") + Quoted(text) +
                       " names no entry and is no automation type");
    }

    void CheckConstant(const xml::IXmlNode& constant, const std::string& place) {
        ++report_.constants;
        const xml::XmlValue* name_value = constant.FindAttr("name");
        const std::string name =
            name_value ? name_value->ToText() : std::string(defaults::kConstName);
        // The prelude skips a name whose "NAME=" already occurs in what it declared so far.
        std::string key = text::ToUpper(name) + "=";
        if (declared_.find(key) != std::string::npos) {
            Add(place, "the prelude does not declare " + Quoted(name) + ": " + Quoted(key) +
                           " already occurs in an earlier declaration (ignoring letter case)");
            return;
        }
        const xml::XmlValue* value = constant.FindAttr("value");
        const std::string text = value ? value->ToText() : std::string();
        declared_ += text::ToUpper(name + "=" + text + ", ");
        if (!value)
            Add(place, "the constant has no \"value\"; the prelude's " + Quoted(name + "=") +
                           " is a syntax error");
        else if (!IsPortableValue(text))
            Add(place, "the value " + Quoted(text) +
                           " is no decimal number or plain quoted text that both VBScript and "
                           "JScript accept");
    }

    Description lookups_;
    LintReport report_;
    std::string declared_;  // the prelude so far, in capitals
};

}  // namespace

LintReport LintDescription(xml::IXmlDocument& doc) {
    return Linter(doc).Run();
}

}  // namespace zeph::store
