#include "store/description.h"

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

std::string ConstantPrelude(xml::IXmlDocument& doc, std::string_view keyword) {
    // `folded` mirrors `declared` in capitals, so the case-blind search is a plain find.
    std::string declared;
    std::string folded;
    std::string key;
    for (const auto& constant : Description(doc).Constants()) {
        const xml::XmlValue* name_value = constant->FindAttr("name");
        std::string name = name_value ? name_value->ToText() : std::string(defaults::kConstName);
        key = text::ToUpper(name);
        key += '=';
        if (folded.find(key) != std::string::npos) continue;
        std::string value = constant->GetAttr("value", defaults::kConstValue);
        const std::size_t start = declared.size();
        declared += name;
        declared += '=';
        declared += value;
        declared += ", ";
        folded += text::ToUpper(std::string_view(declared).substr(start));
    }
    if (declared.empty()) return {};
    declared.resize(declared.size() - 2);
    std::string prelude(keyword);
    prelude += ' ';
    prelude += declared;
    return prelude;
}

std::string_view PreludeKeyword(std::string_view language) {
    return language == "VBScript" ? "const" : "var";
}

}  // namespace zeph::store
