// The VBScript and JScript highlighters: token classes and the per-line token scanners.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "editor/token_class.h"

namespace zeph::editor {

namespace detail {
class KeywordTable;
}

// State carried from the end of one line to the start of the next. 0 is the plain start state;
// the JScript highlighter uses kInBlockComment while a "/*" comment is open.
using LineState = std::uint8_t;
inline constexpr LineState kInBlockComment = 1;

// One token of a line: `start` is the 0-based byte offset, `cls` the token's class or nullptr
// where the text is drawn in the editor's own colours.
struct TokenRun {
    int start = 0;
    int length = 0;
    const THighlighterAttributes* cls = nullptr;
};

// The token classes both languages have, with the same names and default styles.
struct SharedClasses {
    const THighlighterAttributes *comment = nullptr, *identifier = nullptr, *number = nullptr,
                                 *reserved = nullptr, *space = nullptr, *string = nullptr,
                                 *symbol = nullptr;
};

class Highlighter {
  public:
    virtual ~Highlighter() = default;
    Highlighter(const Highlighter&) = delete;
    Highlighter& operator=(const Highlighter&) = delete;

    // "VBScriptHighlighter" or "JavaScriptHighlighter".
    virtual std::string_view ComponentName() const = 0;
    virtual std::string_view LanguageName() const = 0;
    virtual std::string_view FileFilter() const = 0;

    // Token classes, sorted by name ignoring case.
    int ClassCount() const { return static_cast<int>(classes_.size()); }
    THighlighterAttributes& ClassAt(int i) { return *classes_.at(i); }
    const THighlighterAttributes& ClassAt(int i) const { return *classes_.at(i); }
    // Exact, case-sensitive name; nullptr when the highlighter has no such class.
    THighlighterAttributes* FindClass(std::string_view name);
    const THighlighterAttributes* FindClass(std::string_view name) const;

    // Cuts one line (without its line break) into tokens, appending them to `out`, and returns
    // the state at the line's end.
    virtual LineState ScanLine(std::string_view line, LineState start,
                               std::vector<TokenRun>& out) const = 0;
    // The state at the line's end without producing tokens.
    virtual LineState EndState(std::string_view line, LineState start) const = 0;
    // True when lines can carry state (the editor then keeps per-line states).
    virtual bool HasLineState() const = 0;

    // Bumped whenever a class's look may have changed through NotifyLooksChanged(), so that a
    // window can tell that it must repaint.
    std::uint32_t LooksVersion() const { return looks_version_; }
    void NotifyLooksChanged() { ++looks_version_; }

  protected:
    Highlighter() = default;
    THighlighterAttributes* AddClass(std::string_view name, std::uint8_t style);
    void AddSharedClasses(SharedClasses& k);
    std::vector<std::unique_ptr<THighlighterAttributes>> classes_;
    std::uint32_t looks_version_ = 0;
};

class TVBScriptHighlighter final : public Highlighter, public SharedClasses {
  public:
    TVBScriptHighlighter();
    std::string_view ComponentName() const override { return "VBScriptHighlighter"; }
    std::string_view LanguageName() const override { return "MS VBScript"; }
    std::string_view FileFilter() const override { return "VBScript Files (*.vbs)|*.vbs"; }
    LineState ScanLine(std::string_view line, LineState start,
                       std::vector<TokenRun>& out) const override;
    LineState EndState(std::string_view, LineState) const override { return 0; }
    bool HasLineState() const override { return false; }

    static bool IsReservedWord(std::string_view word);  // ignoring case

  private:
    // Looked up once, rather than through its function at every line.
    const detail::KeywordTable& keywords_;
};

class TJScriptHighlighter final : public Highlighter, public SharedClasses {
  public:
    TJScriptHighlighter();
    std::string_view ComponentName() const override { return "JavaScriptHighlighter"; }
    std::string_view LanguageName() const override { return "Javascript"; }
    std::string_view FileFilter() const override { return "Javascript Files (*.js)|*.js"; }
    LineState ScanLine(std::string_view line, LineState start,
                       std::vector<TokenRun>& out) const override;
    LineState EndState(std::string_view line, LineState start) const override;
    bool HasLineState() const override { return true; }

    enum class WordKind { kIdentifier, kReserved, kNonReserved, kEvent };
    static WordKind ClassifyWord(std::string_view word);  // exact case

    const THighlighterAttributes *event = nullptr, *non_reserved = nullptr;

  private:
    const detail::KeywordTable& keywords_;
};

// The looks the workbench window gives both highlighters when it creates them (before the
// stored configuration replaces them).
void ApplyWorkbenchLooks(TVBScriptHighlighter& vb);
void ApplyWorkbenchLooks(TJScriptHighlighter& js);

}  // namespace zeph::editor
