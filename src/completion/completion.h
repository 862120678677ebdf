// Code completion of the host's objects in the script editor.
//
// The completion pop-up (the editor's pop-up component) raises three events; the workbench
// window forwards them to a CodeCompletion object, which fills the pop-up's lists from the host
// object-model description ("TellurTlb.xml"), read for every request (and parsed again only when
// its bytes changed, DescriptionCache):
//
//   before the pop-up opens          -> ScriptTextProposalExecute(can_open)
//   an entry was accepted            -> ScriptTextProposalCodeCompletion(value)
//   the pop-up closed, not accepting -> ScriptTextProposalCancelled()
//
// The resolution is heuristic and works on the caret's line alone: after a "." it offers the
// members of the object on the left, after a comparison operator the values that fit the property
// on the left, elsewhere the members of `Application`. An unreadable or malformed description
// makes ScriptTextProposalExecute throw the loading error; the caller lets it reach the window's
// general error handler and the pop-up does not open.
//
// Wiring: EditorCompletion (completion/editor_binding.h) connects the editor's
// editor::CompletionModel events to these handlers, given the editor::EditorModel, a
// FolderDescriptionSource (the host's data folder) and a text measure. Whoever calls
// CompletionModel::Execute (Ctrl+Space, the trigger timer) catches what it throws.
//
// Everything runs on the window's thread. CodeCompletion holds references to the four parts
// below; they must outlive it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "completion/description_cache.h"
#include "completion/description_walk.h"
#include "completion/entry_text.h"
#include "script/outline.h"
#include "store/data_folder.h"
#include "store/description.h"
#include "xml/xml.h"

namespace zeph::completion {

// The editor the pop-up is attached to, as completion reads it. Columns and lines count from 1;
// the caret column may lie beyond the end of its line.
class ICompletionEditor {
  public:
    virtual ~ICompletionEditor() = default;
    // The text of the caret's line; empty when there is none.
    virtual std::string CaretLineText() const = 0;
    virtual int CaretX() const = 0;
    virtual int CaretY() const = 0;
    // The run of identifier characters of the caret line that covers `column`: it extends right
    // from the column itself and left from the column before it.
    virtual std::string WordAt(int column) const = 0;
    // The identifier run that the caret is in or touches.
    virtual std::string WordAroundCaret() const = 0;
    // The whole script, every line followed by CR LF, and its language; an editor that has none
    // to offer gives the empty text, and completion then knows no name of the script's own.
    virtual std::string ScriptText() const { return {}; }
    virtual script::Language ScriptLanguage() const { return script::Language::kVBScript; }
};

// The pop-up's lists, as the request handlers fill them.
class ICompletionPopup {
  public:
    virtual ~ICompletionPopup() = default;
    // Empties the item list and the insert list.
    virtual void ClearLists() = 0;
    // Adds an item text and its insert text together.
    virtual void AddEntry(std::string_view item, std::string_view insert) = 0;
    virtual const std::vector<std::string>& ItemList() const = 0;
    // Makes the shown (filtered) copy equal to the item list.
    virtual void ResetFilter() = 0;
    virtual void SetWidth(int pixels) = 0;
};

// Widths of the pop-up's list text in pixels. The pop-up is as wide as its longest item plus a
// margin of 25 average character cells (room for the first column and the scroll bar).
class ITextMeasure {
  public:
    virtual ~ITextMeasure() = default;
    // One item text as one line; tab characters count as characters.
    virtual int TextWidth(std::string_view text) const = 0;
    // The average character cell of the list font.
    virtual int CharWidth() const = 0;
};

// Every character one fixed cell wide. With the default 6 pixels, the average character of the
// pop-up's list font (13 pixels high), an item of n characters gives a pop-up (n + 25) * 6
// pixels wide.
class FixedPitchMeasure final : public ITextMeasure {
  public:
    explicit FixedPitchMeasure(int pitch = 6) : pitch_(pitch) {}
    int TextWidth(std::string_view text) const override {
        return static_cast<int>(text.size()) * pitch_;
    }
    int CharWidth() const override { return pitch_; }

  private:
    int pitch_;
};

// Loads the host object-model description; loading errors propagate.
class IDescriptionSource {
  public:
    virtual ~IDescriptionSource() = default;
    virtual xml::XmlRef<xml::IXmlDocument> LoadDescription() = 0;
};

// The workbench's source: asks the host for its data folder anew and loads "TellurTlb.xml" from
// it. The document parsed last is kept while the file's bytes stay the same: completion and the
// parameter hints, which share this source, then parse the description once.
class FolderDescriptionSource final : public IDescriptionSource {
  public:
    explicit FolderDescriptionSource(store::DataFolder folder) : folder_(std::move(folder)) {}
    xml::XmlRef<xml::IXmlDocument> LoadDescription() override {
        return cache_.Load(store::FileInFolder(folder_, store::kDescriptionFileName));
    }

  private:
    store::DataFolder folder_;
    DescriptionCache cache_;
};

// Loads one fixed file, keeping the document parsed last like FolderDescriptionSource.
class FileDescriptionSource final : public IDescriptionSource {
  public:
    explicit FileDescriptionSource(std::filesystem::path path) : path_(std::move(path)) {}
    xml::XmlRef<xml::IXmlDocument> LoadDescription() override { return cache_.Load(path_); }
    // Lets the kept document go: the next load parses the file.
    void Forget() { cache_.Clear(); }

  private:
    std::filesystem::path path_;
    DescriptionCache cache_;
};

// How the text before the caret ends: just after a "." (dot mode) or otherwise (word mode).
enum class Mode { kDot, kWord };

// The words of a dotted name, rightmost first.
using Chain = std::vector<std::string>;
// Ordered pairs of texts: (member name, member type) or, in word mode, (type, name).
using Candidates = std::vector<std::pair<std::string, std::string>>;

// Width the pop-up gets when nothing is listed: the component's initial width.
inline constexpr int kEmptyPopupWidth = 262;

class CodeCompletion {
  public:
    CodeCompletion(ICompletionEditor& editor, ICompletionPopup& popup, IDescriptionSource& source,
                   const ITextMeasure& measure);

    // --- handlers of the pop-up's events ----------------------------------------------
    // Before the pop-up opens: fills both lists from the caret line. Clears `can_open` when
    // there is nothing to list. Throws when the description cannot be loaded.
    void ScriptTextProposalExecute(bool& can_open);
    // An entry was accepted, before `value` is inserted (it is left unchanged): empties the
    // lists, so they only ever hold the entries of the current request.
    void ScriptTextProposalCodeCompletion(std::string& value);
    // The pop-up closed without accepting: empties the lists.
    void ScriptTextProposalCancelled();

    // --- the steps of a request (public for tests and tools) --------------------------
    // The chain of the dotted name before position `p` of `t`; never empty.
    Chain SplitChain(int p, std::string_view t) const;
    void ResolveChain(int p, std::string_view t, Mode mode);
    void ListForSingleWord(const Chain& chain, Mode mode);
    // Fills the lists as if the line, up to the property before its comparison operator, ended
    // in a ".".
    void CompleteAfterOperator(std::string_view line);
    // One (name, type) pair per distinct type among the members called `name`, in document
    // order. Loads the description.
    Candidates MemberTypes(std::string_view name);
    // The same as (type, name) pairs, on the description loaded last.
    Candidates MemberTypesWordMode(std::string_view name);
    // Position of the first node of `nodes` whose "name" (default "error") equals `name`
    // ignoring case, or -1: the lookup of entries among the root's children and of members
    // among an entry's.
    static int FindEntry(std::string_view name, xml::IXmlNodeList& nodes) {
        return store::Description::FindByName(nodes, name);
    }
    void ListApplicationMembers();
    // Lists the members of the entry at `entry` (nothing when negative) and fits the width.
    void ListEntryMembers(int entry);
    void AddPropertyItem(std::string_view name, std::string_view type, std::string_view params,
                         bool has_params);
    void AddMethodItem(std::string_view name, std::string_view ret, std::string_view params,
                       bool has_params);
    void AddConstantItem(std::string_view name);
    void FitPopupWidth();

    // --- what the script itself makes ----------------------------------------------------
    // On by default; off, completion lists what the description alone gives (the one-line
    // `zeph complete` tool, whose editor holds no script).
    void SetScriptNames(bool on) { script_names_ = on; }
    // The type a variable has at the place (line, column): the type of the chain last assigned
    // to it there (its items' type for a "For Each"), looked up as a chain after "." is; none
    // when unknown. Loads the description.
    std::optional<std::string> VariableType(const script::Outline& outline, std::string_view name,
                                            int line, int column);
    // A chain whose leftmost word is a variable of a known type: lists the members of the type
    // the chain comes to and returns true; false (nothing listed) otherwise.
    bool ListVariableChain(const Chain& chain);
    // After a word typed at no ".": the script's own names visible at the caret, the host's
    // global names and constants, and the language's keywords.
    void ListScriptWords();

    // The description loaded last (empty before the first load).
    const Description& LoadedDescription() const { return description_; }

  private:
    std::optional<std::string> ChainType(const script::Outline& outline,
                                         const std::vector<std::string>& chain, int line,
                                         int column, int depth);
    std::optional<std::string> VariableType(const script::Outline& outline, std::string_view name,
                                            int line, int column, int depth);
    void ClearLists();
    // Loads the description unless this request has loaded it already.
    void Load();
    // MemberTypes of the loaded description, remembered for the request.
    const Candidates& CachedMemberTypes(std::string_view name);
    // Looks every word of the chain up in one walk over the members.
    void PrefetchMemberTypes(const Chain& chain);

    // Lists entry `entry` and then the entries of its base chain.
    void ListWithBases(int entry);
    // Adds `entry` unless one of `forms` is already listed (ignoring letter case).
    void AddUnlisted(std::initializer_list<std::string_view> forms, EntryText entry);

    ICompletionEditor& editor_;
    ICompletionPopup& popup_;
    IDescriptionSource& source_;
    const ITextMeasure& measure_;
    Description description_;
    bool loaded_ = false;
    bool script_names_ = true;
    std::vector<std::pair<std::string, Candidates>> member_types_;
    // Upper-case forms of the items listed in the current request.
    std::unordered_set<std::string> listed_;
};

}  // namespace zeph::completion
