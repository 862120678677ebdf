// The host object-model description as completion reads it: entries (interfaces and
// enumerations) below the document element, their members, and the chains of base interfaces.
// Names of entries and members match ignoring letter case (code page 1251); the element names of
// members ("property", "method", "const") match exactly.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

    bool Loaded() const { return static_cast<bool>(document_); }
    const xml::XmlRef<xml::IXmlDocument>& Document() const { return document_; }

    // The child nodes of the document element; empty when there is none.
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    // Position of the first entry called `name`, or -1.
    int FindEntry(std::string_view name) const;
    // Position of the first member of `entry` called `name`, or -1.
    int FindMember(int entry, std::string_view name) const;
    // The entry's "base", "IDispatch" when absent.
    std::string Base(int entry) const;
    // The entries of the base chain of `entry`, nearest first. It ends at a base "IDispatch"
    // (exact text), at a base that names no entry, or where an entry would repeat.
    std::vector<int> BaseChain(int entry) const;

    // The type that `word` has as a member of the interface `type`, looked up through the base
    // chain. Unchanged when `type` names no entry; the last interface searched when no
    // interface of the chain has the member.
    std::string MemberTypeIn(std::string type, std::string_view word) const;

    // One pair per distinct type (ignoring case) among all members called `name`, in document
    // order: (name, type), or (type, name) when `type_first`. Absent names and types read as
    // "error".
    std::vector<std::pair<std::string, std::string>> MemberTypes(std::string_view name,
                                                                 bool type_first) const;
    // MemberTypes(name, false) of each name, in one walk over the members.
    std::vector<std::vector<std::pair<std::string, std::string>>> MemberTypesOfEach(
        const std::vector<std::string>& names) const;

    // Calls `f` for each property, method and constant of `entry`, in document order.
    void ForEachMember(int entry, const std::function<void(const MemberInfo&)>& f) const;

  private:
    const xml::XmlRef<xml::IXmlNode>& Entry(int entry) const { return entries_[entry]; }

    xml::XmlRef<xml::IXmlDocument> document_;
    std::vector<xml::XmlRef<xml::IXmlNode>> entries_;
};

// The parameters of a member: name, ": ", type and ";" for each child node, without the last
// character. Empty without child nodes.
std::string ParameterText(xml::IXmlNode& member);

}  // namespace zeph::completion
