#include "completion/description.h"

#include <algorithm>
#include <utility>

#include "text/cp1251.h"

namespace zeph::completion {

namespace {

using Lookups = store::Description;
namespace defaults = store::description_defaults;

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

std::vector<std::pair<std::string, std::string>> Description::MemberTypes(
    std::string_view name) const {
    std::vector<std::pair<std::string, std::string>> result;
    if (!lookups_) return result;
    for (const auto& member : lookups_->MembersNamed(name)) {
        std::string type = Lookups::LookupType(*member);
        const bool known = std::any_of(result.begin(), result.end(), [&](const auto& pair) {
            return text::EqualsNoCase(pair.second, type);
        });
        if (!known) result.emplace_back(Lookups::LookupName(*member), std::move(type));
    }
    return result;
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
