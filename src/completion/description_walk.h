// The host object-model description as completion walks it, on top of the shared description
// lookups: member types, the walk of a name through an interface and its bases, and the
// members to list. Names match ignoring letter case (code page 1251); member kinds exactly.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/description.h"
#include "xml/xml.h"

namespace zeph::completion {

enum class MemberKind { kProperty, kMethod, kConstant };

// One member as the pop-up shows it; absent attributes read as the empty text.
struct MemberInfo {
    MemberKind kind;
    std::string name;
    std::string type;
    std::string ret;
    std::string params;  // ParameterText
    bool has_params;     // the member has child nodes
};

class Description {
  public:
    Description() = default;
    explicit Description(xml::XmlRef<xml::IXmlDocument> document);
    Description(Description&&) noexcept = default;
    // The lookups, which hold nodes of the document, go before the document: a document whose
    // last reference goes while none of its nodes is held is freed at once, without a walk.
    Description& operator=(Description&& other) noexcept {
        lookups_ = std::move(other.lookups_);
        document_ = std::move(other.document_);
        return *this;
    }

    bool Loaded() const { return static_cast<bool>(document_); }
    const xml::XmlRef<xml::IXmlDocument>& Document() const { return document_; }

    int EntryCount() const { return lookups_ ? lookups_->EntryCount() : 0; }
    // Position of the first entry called `name`, or -1.
    int FindEntry(std::string_view name) const;
    // The entries of the base chain of `entry`, nearest first. It ends at a base "IDispatch"
    // (exact text), at a base that names no entry, or where an entry would repeat.
    std::vector<int> BaseChain(int entry) const;

    // The type that `word` has as a member of the interface `type`, looked up through the base
    // chain. Unchanged when `type` names no entry; the last interface searched when no
    // interface of the chain has the member.
    std::string MemberTypeIn(std::string type, std::string_view word) const;

    // The type of `word` as a member of the interface `type` or its bases: a property's type, a
    // method's result; none when no interface of the chain has the member or it has no type.
    std::optional<std::string> FindMemberType(std::string_view type, std::string_view word) const;
    // The names of every constant of every entry, in document order.
    std::vector<std::string> ConstantNames() const;

    // One (name, type) pair per distinct type (ignoring case) among all members called `name`,
    // in document order. Absent names and types read as "error".
    std::vector<std::pair<std::string, std::string>> MemberTypes(std::string_view name) const;
    // MemberTypes of each name, in one walk over the members.
    std::vector<std::vector<std::pair<std::string, std::string>>> MemberTypesOfEach(
        const std::vector<std::string>& names) const;

    // Calls `f` for each property, method and constant of `entry`, in document order.
    void ForEachMember(int entry, const std::function<void(const MemberInfo&)>& f) const;

  private:
    xml::XmlRef<xml::IXmlDocument> document_;
    std::unique_ptr<store::Description> lookups_;  // over *document_
};

// The parameters of a member: name, ": ", type and ";" for each child node, without the last
// character. Empty without child nodes.
std::string ParameterText(xml::IXmlNode& member);

}  // namespace zeph::completion
