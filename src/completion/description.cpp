#include "completion/description.h"

#include <algorithm>
#include <utility>

#include "text/cp1251.h"

namespace zeph::completion {

namespace {

constexpr std::string_view kNoBase = "IDispatch";

// An attribute's text without a copy where the value is stored as text.
std::string_view AttrView(const xml::IXmlNode& node, std::string_view name,
                          std::string_view default_value, std::string& scratch) {
    const xml::XmlValue* v = node.FindAttr(name);
    if (!v) return default_value;
    if (v->type() == xml::XmlValue::Type::Text) return v->Raw();
    scratch = v->ToText();
    return scratch;
}

std::string AttrText(const xml::IXmlNode& node, std::string_view name,
                     std::string_view default_value) {
    std::string scratch;
    return std::string(AttrView(node, name, default_value, scratch));
}

bool NameIs(const xml::IXmlNode& node, std::string_view name) {
    std::string scratch;
    return text::EqualsNoCase(AttrView(node, "name", "error", scratch), name);
}

int FindByName(xml::IXmlNodeList& list, std::string_view name) {
    const int count = list.Count();
    for (int i = 0; i < count; ++i)
        if (NameIs(*list.Item(i), name)) return i;
    return -1;
}

}  // namespace

Description::Description(xml::XmlRef<xml::IXmlDocument> document) : document_(std::move(document)) {
    if (!document_) return;
    auto root = document_->DocumentElement();
    if (!root) return;
    auto children = root->ChildNodes();
    const int count = children->Count();
    entries_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) entries_.push_back(children->Item(i));
}

int Description::FindEntry(std::string_view name) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (NameIs(*entries_[i], name)) return static_cast<int>(i);
    return -1;
}

int Description::FindMember(int entry, std::string_view name) const {
    return FindByName(*Entry(entry)->ChildNodes(), name);
}

std::string Description::Base(int entry) const {
    return AttrText(*Entry(entry), "base", kNoBase);
}

std::vector<int> Description::BaseChain(int entry) const {
    std::vector<int> chain;
    int e = entry;
    for (;;) {
        const std::string base = Base(e);
        if (base == kNoBase) break;
        e = FindEntry(base);
        // A base naming no entry ends the chain; so does a loop of bases.
        if (e < 0 || e == entry || std::find(chain.begin(), chain.end(), e) != chain.end()) break;
        chain.push_back(e);
    }
    return chain;
}

std::string Description::MemberTypeIn(std::string type, std::string_view word) const {
    std::vector<int> searched;
    std::string last;  // the interface searched last
    for (;;) {
        const int e = FindEntry(type);
        if (e < 0) return type;
        // A loop of bases: stay at the last interface searched.
        if (std::find(searched.begin(), searched.end(), e) != searched.end()) return last;
        searched.push_back(e);
        auto members = Entry(e)->ChildNodes();
        const int m = FindByName(*members, word);
        if (m >= 0) return AttrText(*members->Item(m), "type", "error");
        std::string base = Base(e);
        if (base == kNoBase) return type;
        last = std::exchange(type, std::move(base));
    }
}

std::vector<std::pair<std::string, std::string>> Description::MemberTypes(std::string_view name,
                                                                          bool type_first) const {
    auto result = std::move(MemberTypesOfEach({std::string(name)}).front());
    if (type_first)
        for (auto& pair : result) std::swap(pair.first, pair.second);
    return result;
}

std::vector<std::vector<std::pair<std::string, std::string>>> Description::MemberTypesOfEach(
    const std::vector<std::string>& names) const {
    // The members are scattered over the heap; one walk for all names touches each once.
    std::vector<std::vector<std::pair<std::string, std::string>>> results(names.size());
    std::string scratch;
    for (const auto& entry : entries_) {
        auto members = entry->ChildNodes();
        const int count = members->Count();
        for (int i = 0; i < count; ++i) {
            auto member = members->Item(i);
            const std::string_view member_name = AttrView(*member, "name", "error", scratch);
            for (std::size_t k = 0; k < names.size(); ++k) {
                if (!text::EqualsNoCase(member_name, names[k])) continue;
                std::string type = AttrText(*member, "type", "error");
                auto& result = results[k];
                const bool known = std::any_of(result.begin(), result.end(), [&](const auto& pair) {
                    return text::EqualsNoCase(pair.second, type);
                });
                if (!known) result.emplace_back(std::string(member_name), std::move(type));
            }
        }
    }
    return results;
}

void Description::ForEachMember(int entry, const std::function<void(const MemberInfo&)>& f) const {
    auto members = Entry(entry)->ChildNodes();
    const int count = members->Count();
    for (int i = 0; i < count; ++i) {
        auto member = members->Item(i);
        const std::string kind_name = member->NodeName();
        MemberKind kind;
        if (kind_name == "property") {
            kind = MemberKind::kProperty;
        } else if (kind_name == "method") {
            kind = MemberKind::kMethod;
        } else if (kind_name == "const") {
            kind = MemberKind::kConstant;
        } else {
            continue;
        }
        MemberInfo info{kind,
                        AttrText(*member, "name", ""),
                        AttrText(*member, "type", ""),
                        AttrText(*member, "return", ""),
                        ParameterText(*member),
                        member->ChildNodes()->Count() > 0};
        f(info);
    }
}

std::string ParameterText(xml::IXmlNode& member) {
    auto params = member.ChildNodes();
    const int count = params->Count();
    std::string out;
    std::string scratch;
    for (int i = 0; i < count; ++i) {
        auto p = params->Item(i);
        out += AttrView(*p, "name", "", scratch);
        out += ": ";
        out += AttrView(*p, "type", "", scratch);
        out += ';';
    }
    if (!out.empty()) out.pop_back();
    return out;
}

}  // namespace zeph::completion
