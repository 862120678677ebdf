// The script editor's document: lines of code page 1251 text, the highlighter's state at the
// start of every line, and the undo history. It knows nothing of carets or screens; the editor
// (EditorModel) keeps those and learns what each edit did from a TextChange.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/highlighter.h"

namespace zeph::editor {

// A place in the text: 0-based line index and 0-based character index. The character index
// may lie beyond the line's end (the caret can stand there).
struct TextPos {
    int line = 0;
    int column = 0;
    friend bool operator==(const TextPos&, const TextPos&) = default;
    friend auto operator<=>(const TextPos&, const TextPos&) = default;
};

enum class SelectionMode { kNormal, kColumn, kLine };

// How edits group into undo steps: runs of typing, of Delete and of Backspace each become one
// step; anything else is a step of its own.
enum class EditKind { kOther, kTyping, kDeleting, kBackspacing };

// Where the caret and selection stood, kept with an undo step so that undo and redo put
// them back.
struct CaretState {
    TextPos caret, anchor;
    SelectionMode mode = SelectionMode::kNormal;
};

// What one primitive edit did to the lines.
struct TextChange {
    TextPos from;                  // start of the replaced range
    int old_last_line = 0;         // last line the replaced range reached
    TextPos end;                   // end of the text put in its place
    int line_delta = 0;            // lines added (negative: removed)
    bool ends_with_break = false;  // the inserted text ends with a line break
    bool lines_appended = false;   // empty lines were added at the end to reach the range
    int state_first = INT_MAX;     // lines whose start state changed (empty when first > last)
    int state_last = -1;
};

// Blanks of indentation and trailing space.
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Pieces of a text between line breaks (CR LF, LF or CR); a text without one is one piece.
template <class F>
void ForEachPiece(std::string_view text, F&& f) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\r' && c != '\n') continue;
        f(text.substr(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    f(text.substr(start));
}

class TextDocument {
  public:
    using ChangeSink = std::function<void(const TextChange&)>;

    // --- lines ------------------------------------------------------------------------
    int LineCount() const { return static_cast<int>(lines_.size()); }
    const std::string& Line(int index) const;  // empty text for an index out of range
    int LineLength(int index) const { return static_cast<int>(Line(index).size()); }
    // Every line followed by CR LF.
    std::string Text() const;
    // Replaces all lines, breaking at CR LF, LF or CR; clears undo and the modified flag.
    void SetText(std::string_view text);
    TextPos EndOfText() const;
    // The text of [from, to), lines joined by CR LF; columns beyond a line's end count as
    // its end.
    std::string TextRange(TextPos from, TextPos to) const;
    // Appends empty lines until `line` exists; true when any was added.
    bool EnsureLine(int line);
    bool Modified() const { return modified_; }

    // --- highlighter ------------------------------------------------------------------
    // Not owned; nullptr for none. Rescans every line's start state.
    void SetHighlighter(const Highlighter* h);
    const Highlighter* GetHighlighter() const { return highlighter_; }
    // Tokens of one line, in order, covering it whole. Here, since a window paints line by line.
    void LineTokens(int line, std::vector<TokenRun>& out) const {
        if (!highlighter_ || line < 0 || line >= LineCount()) return PlainTokens(line, out);
        out.clear();
        const auto at = static_cast<std::size_t>(line);
        highlighter_->ScanLine(lines_[at], at < states_.size() ? states_[at] : LineState{0}, out);
    }
    LineState LineStartState(int line) const;
    // Lines scanned to keep the states up to date since the counter was reset (tests).
    std::uint64_t ScanCount() const { return scan_count_; }
    void ResetScanCount() { scan_count_ = 0; }

    // --- editing ----------------------------------------------------------------------
    // Clamps a range to the text (an empty document gets its first line) and, when it
    // starts beyond its line's end, pads `text` with the blanks up to there (kept in
    // `padded`). False when the edit would change nothing.
    bool PrepareEdit(TextPos& from, TextPos& to, std::string_view& text, std::string& padded);
    // Replaces [from, to) of a prepared range with `text` and records it in the open undo
    // step (or the last one while it is resumed).
    TextChange ApplyEdit(TextPos from, TextPos to, std::string_view text);

    // --- undo -------------------------------------------------------------------------
    // Edits between BeginStep and EndStep undo as one; steps nest and only the outermost
    // counts. A typing, deleting or backspacing step joins the previous one of its kind when
    // `group` allows it, the run is open and the caret stands where that step left it
    // without a selection.
    void BeginStep(EditKind kind, const CaretState& now, bool group);
    void EndStep(const CaretState& now);
    bool InStep() const { return step_depth_ > 0; }
    bool OutermostStep() const { return step_depth_ == 1; }
    // Lines edited since the outermost step began (empty when first > last).
    int TouchedFirst() const { return touched_first_; }
    int TouchedLast() const { return touched_last_; }
    // Runs `edit` so that what it changes belongs to the last recorded step, without
    // starting another or dropping the redo history.
    template <class F>
    void AppendToLastStep(F&& edit) {
        ++step_depth_;
        edit();
        --step_depth_;
    }
    // Ends a run of like edits: the next one starts a step of its own.
    void CloseRun() { run_open_ = false; }

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // Each reports every edit it makes to `sink` and gives the caret state to put back:
    // as it was before the step, or after it; nothing when there was no step.
    std::optional<CaretState> Undo(const ChangeSink& sink);
    std::optional<CaretState> Redo(const ChangeSink& sink);
    void ClearUndo();

  private:
    struct Edit {
        TextPos from;
        std::string removed;
        std::string inserted;
    };
    struct UndoStep {
        std::vector<Edit> edits;
        EditKind kind = EditKind::kOther;
        CaretState before, after;
        bool modified_before = false;
    };

    TextChange ApplyRaw(TextPos from, TextPos to, std::string_view text, std::string* removed);
    static TextPos EndOf(TextPos from, std::string_view text);
    // LineTokens without a highlighter (or of a line that does not exist): one plain token.
    void PlainTokens(int line, std::vector<TokenRun>& out) const;
    void UpdateStates(int first, int old_count, int new_count, TextChange& change);

    std::vector<std::string> lines_;
    std::vector<LineState> states_;  // states_[i]: state at the start of line i
    const Highlighter* highlighter_ = nullptr;
    std::uint64_t scan_count_ = 0;
    bool modified_ = false;

    std::vector<UndoStep> undo_, redo_;
    int step_depth_ = 0;
    int touched_first_ = INT_MAX, touched_last_ = -1;  // lines edited in the open step
    bool run_open_ = false;  // the last undo step may take further like edits
    bool in_undo_ = false;
};

}  // namespace zeph::editor
