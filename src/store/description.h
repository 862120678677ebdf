// The host object-model description "TellurTlb.xml", read only: entries (interfaces and
// enumerations) below the root, their members ("property", "method", "const") and the members'
// parameters. Lookups by name ignore letter case by the rules of code page 1251. Both code
// completion and the constants prelude of a script run read it through these lookups.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/data_folder.h"
#include "xml/xml.h"

namespace zeph::store {

inline constexpr std::string_view kDescriptionFileName = "TellurTlb.xml";
// The entry describing the object scripts see as `Application`.
inline constexpr std::string_view kApplicationInterface = "ITellurApplication";

// Member kinds, compared exactly.
inline constexpr std::string_view kPropertyKind = "property";
inline constexpr std::string_view kMethodKind = "method";
inline constexpr std::string_view kConstKind = "const";

// The defaults every reader passes for absent attributes.
namespace description_defaults {
// Names of entries and members when looked up or matched.
inline constexpr std::string_view kLookupName = "error";
// Type of a member when its chain is followed.
inline constexpr std::string_view kLookupType = "error";
// An entry's base; this text ends a chain of bases.
inline constexpr std::string_view kBase = "IDispatch";
// Name, type and result of a member when it is shown, and of a parameter.
inline constexpr std::string_view kShown = "";
// A constant's name and value in the prelude.
inline constexpr std::string_view kConstName = "CritError";
inline constexpr std::string_view kConstValue = "";
}  // namespace description_defaults

// Loads the description afresh from the data folder; the caller keeps it as long as it needs it.
xml::XmlRef<xml::IXmlDocument> LoadDescription(const DataFolder& folder);

// A member as completion shows it (absent attributes read as empty text).
struct MemberText {
    std::string kind;  // element name
    std::string name;
    std::string type;
    std::string result;  // "return"
};

struct ParameterInfo {
    std::string name;
    std::string type;
};

// Lookups over one loaded description. The document must outlive the object.
class Description {
  public:
    explicit Description(xml::IXmlDocument& doc);

    // The child nodes of the root (any node kind). A document without a root has no entries.
    int EntryCount() const;
    xml::XmlRef<xml::IXmlNode> Entry(int index) const;
    // Position of the first entry whose "name" equals `name` ignoring case; -1 when none.
    int FindEntry(std::string_view name) const;
    // Every member of every entry, in document order, whose "name" equals `name` ignoring case.
    std::vector<xml::XmlRef<xml::IXmlNode>> MembersNamed(std::string_view name) const;
    // Every child named "const" of every entry, in document order.
    std::vector<xml::XmlRef<xml::IXmlNode>> Constants() const;

    // Position of the first node of `nodes` whose "name" (default "error") equals `name`
    // ignoring case; -1 when none. Entries and members are found by this one rule.
    static int FindByName(xml::IXmlNodeList& nodes, std::string_view name);
    // Position of the first member of `entry` by that rule; -1 when none.
    static int FindMember(xml::IXmlNode& entry, std::string_view name);
    // The entry's "base", default "IDispatch".
    static std::string Base(const xml::IXmlNode& entry);
    // "name" and "type" as matched and followed (default "error").
    static std::string LookupName(const xml::IXmlNode& node);
    static std::string LookupType(const xml::IXmlNode& member);
    // The member as shown (defaults empty).
    static MemberText Shown(const xml::IXmlNode& member);
    // All child nodes of a member, whatever their kind, with "name" and "type" (default empty).
    static std::vector<ParameterInfo> Parameters(xml::IXmlNode& member);

  private:
    xml::XmlRef<xml::IXmlNodeList> entries_;  // null when the document has no root
};

// The one-line statement that declares every constant of the description ahead of a script:
// `keyword` ("const" for VBScript, "var" for JavaScript), a blank and the declarations
// name=value joined by ", ". A constant whose name followed by "=" already occurs in the
// statement (ignoring case) is skipped. Empty when the description has no constant: then no
// statement is to be passed, since the bare keyword is a syntax error in both languages.
std::string ConstantPrelude(xml::IXmlDocument& doc, std::string_view keyword);
// The same statement for one script: only the declarations of the constants that the script's
// text names (any case), and those that their values name in turn, in the statement's order.
// A constant is named where its name stands as a whole word (letters, digits, "_", "$" and any
// byte above ASCII); a name of other bytes is always declared. A script that may build names at
// run time (VBScript's Execute, ExecuteGlobal or Eval; JScript's eval, Function or this) gets the
// whole statement. The engines take time for each constant declared (VBScript's far more than
// linearly), so a short script starts at once whatever the size of the description.
std::string ConstantPreludeFor(xml::IXmlDocument& doc, std::string_view keyword,
                               std::string_view script);
// The keyword for a language: "const" for exactly "VBScript", otherwise "var".
std::string_view PreludeKeyword(std::string_view language);

}  // namespace zeph::store
