#include "completion/description_walk.h"

#include <algorithm>
#include <utility>

#include "text/cp1251.h"

namespace zeph::completion {

namespace {

using Lookups = store::Description;
namespace defaults = store::description_defaults;

// An attribute's text, without a copy where it is stored as text.
std::string_view AttrView(const xml::IXmlNode& node, std::string_view attr,
                          std::string_view fallback, std::string& scratch) {
    const xml::XmlValue* value = node.FindAttr(attr);
    if (!value) return fallback;
    if (value->type() == xml::XmlValue::Type::Text) return value->Raw();
    scratch = value->ToText();
    return scratch;
}

}  // namespace

Description::Description(xml::XmlRef<xml::IXmlDocument> document) : document_(std::move(document)) {
    if (document_) lookups_ = std::make_unique<Lookups>(*document_);
}

int Description::FindEntry(std::string_view name) const {
    return lookups_ ? lookups_->FindEntry(name) : -1;
}

std::vector<int> Description::BaseChain(int entry) const {
    std::vector<int> chain;
    int e = entry;
    for (;;) {
        const std::string base = Lookups::Base(*lookups_->Entry(e));
        if (base == defaults::kBase) break;
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
        auto entry = lookups_->Entry(e);
        const int m = Lookups::FindMember(*entry, word);
        if (m >= 0) return Lookups::LookupType(*entry->ChildNodes()->Item(m));
        std::string base = Lookups::Base(*entry);
        if (base == defaults::kBase) return type;
        last = std::exchange(type, std::move(base));
    }
}

std::optional<std::string> Description::FindMemberType(std::string_view type,
                                                       std::string_view word) const {
    const int first = FindEntry(type);
    if (first < 0) return std::nullopt;
    std::vector<int> entries{first};
    for (int base : BaseChain(first)) entries.push_back(base);
    for (int e : entries) {
        auto entry = lookups_->Entry(e);
        const int m = Lookups::FindMember(*entry, word);
        if (m < 0) continue;
        store::MemberText shown = Lookups::Shown(*entry->ChildNodes()->Item(m));
        std::string found = shown.kind == store::kMethodKind ? shown.result : shown.type;
        if (found.empty()) return std::nullopt;
        return found;
    }
    return std::nullopt;
}

std::vector<std::string> Description::ConstantNames() const {
    std::vector<std::string> names;
    if (!lookups_) return names;
    for (const auto& c : lookups_->Constants()) names.push_back(Lookups::Shown(*c).name);
    return names;
}

std::vector<std::pair<std::string, std::string>> Description::MemberTypes(
    std::string_view name) const {
    return std::move(MemberTypesOfEach({std::string(name)}).front());
}

std::vector<std::vector<std::pair<std::string, std::string>>> Description::MemberTypesOfEach(
    const std::vector<std::string>& names) const {
    // The members lie scattered over the heap; one walk for all names touches each of them once.
    std::vector<std::vector<std::pair<std::string, std::string>>> results(names.size());
    if (!lookups_) return results;
    std::string scratch;
    for (int e = 0, entries = EntryCount(); e < entries; ++e) {
        auto members = lookups_->Entry(e)->ChildNodes();
        for (int i = 0, count = members->Count(); i < count; ++i) {
            auto member = members->Item(i);
            const std::string_view name = AttrView(*member, "name", defaults::kLookupName, scratch);
            for (std::size_t k = 0; k < names.size(); ++k) {
                if (!text::EqualsNoCase(name, names[k])) continue;
                std::string type = Lookups::LookupType(*member);
                auto& result = results[k];
                const bool known = std::any_of(result.begin(), result.end(), [&](const auto& pair) {
                    return text::EqualsNoCase(pair.second, type);
                });
                if (!known) result.emplace_back(std::string(name), std::move(type));
            }
        }
    }
    return results;
}

void Description::ForEachMember(int entry, const std::function<void(const MemberInfo&)>& f) const {
    auto members = lookups_->Entry(entry)->ChildNodes();
    for (int i = 0, count = members->Count(); i < count; ++i) {
        auto member = members->Item(i);
        store::MemberText shown = Lookups::Shown(*member);
        MemberKind kind;
        if (shown.kind == store::kPropertyKind) {
            kind = MemberKind::kProperty;
        } else if (shown.kind == store::kMethodKind) {
            kind = MemberKind::kMethod;
        } else if (shown.kind == store::kConstKind) {
            kind = MemberKind::kConstant;
        } else {
            continue;
        }
        const bool has_params = member->ChildNodes()->Count() > 0;
        f(MemberInfo{kind, std::move(shown.name), std::move(shown.type), std::move(shown.result),
                     ParameterText(*member), has_params});
    }
}

std::string ParameterText(xml::IXmlNode& member) {
    std::string out;
    for (const auto& p : Lookups::Parameters(member)) {
        out += p.name;
        out += ": ";
        out += p.type;
        out += ';';
    }
    if (!out.empty()) out.pop_back();
    return out;
}

}  // namespace zeph::completion
