#include "editor/text_document.h"

#include <algorithm>

namespace zeph::editor {

namespace {

const std::string kEmptyLine;

}  // namespace

// --- lines ----------------------------------------------------------------------------

const std::string& TextDocument::Line(int index) const {
    if (index < 0 || index >= LineCount()) return kEmptyLine;
    return lines_[index];
}

std::string TextDocument::Text() const {
    std::size_t size = 0;
    for (const auto& l : lines_) size += l.size() + 2;
    std::string out;
    out.reserve(size);
    for (const auto& l : lines_) {
        out += l;
        out += "\r\n";
    }
    return out;
}

void TextDocument::SetText(std::string_view text) {
    lines_.clear();
    if (!text.empty()) {
        ForEachPiece(text, [this](std::string_view piece) { lines_.emplace_back(piece); });
        // A final line break ends the last line rather than starting an empty one.
        char last = text.back();
        if (last == '\r' || last == '\n') lines_.pop_back();
    }
    undo_.clear();
    redo_.clear();
    run_open_ = false;
    modified_ = false;
    SetHighlighter(highlighter_);
}

TextPos TextDocument::EndOfText() const {
    if (lines_.empty()) return {0, 0};
    return {LineCount() - 1, LineLength(LineCount() - 1)};
}

std::string TextDocument::TextRange(TextPos from, TextPos to) const {
    std::string out;
    if (from.line >= LineCount()) return out;
    to.line = std::min(to.line, LineCount() - 1);
    for (int l = from.line; l <= to.line; ++l) {
        const std::string& s = lines_[l];
        int a = l == from.line ? std::min<int>(from.column, s.size()) : 0;
        int b = l == to.line ? std::min<int>(to.column, s.size()) : static_cast<int>(s.size());
        if (b > a) out.append(s, a, b - a);
        if (l != to.line) out += "\r\n";
    }
    return out;
}

bool TextDocument::EnsureLine(int line) {
    bool added = false;
    while (LineCount() <= line) {
        lines_.emplace_back();
        states_.push_back(0);
        added = true;
    }
    return added;
}

// --- highlighter ----------------------------------------------------------------------

void TextDocument::SetHighlighter(const Highlighter* h) {
    highlighter_ = h;
    states_.assign(lines_.size(), 0);
    if (h && h->HasLineState()) {
        // On locals: a store through a byte pointer could change any member, which the loop
        // would then read back from memory after each line.
        LineState s = 0;
        LineState* states = states_.data();
        const std::string* lines = lines_.data();
        const std::size_t count = lines_.size();
        for (std::size_t i = 0; i < count; ++i) {
            states[i] = s;
            s = h->EndState(lines[i], s);
        }
        scan_count_ += count;
    }
}

LineState TextDocument::LineStartState(int line) const {
    if (line < 0 || line >= static_cast<int>(states_.size())) return 0;
    return states_[line];
}

void TextDocument::PlainTokens(int line, std::vector<TokenRun>& out) const {
    out.clear();
    const std::string& text = Line(line);
    if (!text.empty()) out.push_back({0, static_cast<int>(text.size()), nullptr});
}

// Re-scans from the first edited line as far as the start state of following lines changes.
void TextDocument::UpdateStates(int first, int old_count, int new_count, TextChange& change) {
    if (new_count > old_count)
        states_.insert(states_.begin() + first + 1, new_count - old_count, LineState{0});
    else if (new_count < old_count)
        states_.erase(states_.begin() + first + 1,
                      states_.begin() + first + 1 + (old_count - new_count));
    if (!highlighter_ || !highlighter_->HasLineState()) return;
    const int count = LineCount();
    LineState s = states_[first];
    for (int i = first; i + 1 < count; ++i) {
        s = highlighter_->EndState(lines_[i], s);
        ++scan_count_;
        int next = i + 1;
        if (next >= first + new_count && states_[next] == s) return;
        if (states_[next] != s) {
            states_[next] = s;
            change.state_first = std::min(change.state_first, next);
            change.state_last = std::max(change.state_last, next);
        }
    }
}

// --- editing --------------------------------------------------------------------------

bool TextDocument::PrepareEdit(TextPos& from, TextPos& to, std::string_view& text,
                               std::string& padded) {
    if (to < from) std::swap(from, to);
    EnsureLine(0);
    from.line = std::clamp(from.line, 0, LineCount() - 1);
    to.line = std::clamp(to.line, 0, LineCount() - 1);
    to.column = std::min(to.column, LineLength(to.line));
    if (from.column > LineLength(from.line)) {
        // Text placed beyond the line's end: fill the gap with blanks.
        padded.assign(from.column - LineLength(from.line), ' ');
        padded += text;
        text = padded;
        from.column = LineLength(from.line);
        if (to < from) to = from;
    }
    return !(from == to && text.empty());
}

TextChange TextDocument::ApplyEdit(TextPos from, TextPos to, std::string_view text) {
    Edit e;
    e.from = from;
    e.inserted = std::string(text);
    TextChange change = ApplyRaw(from, to, text, &e.removed);
    if (!in_undo_ && !undo_.empty()) undo_.back().edits.push_back(std::move(e));
    return change;
}

TextPos TextDocument::EndOf(TextPos from, std::string_view text) {
    TextPos p = from;
    bool first = true;
    ForEachPiece(text, [&](std::string_view piece) {
        if (first) {
            p.column += static_cast<int>(piece.size());
            first = false;
        } else {
            ++p.line;
            p.column = static_cast<int>(piece.size());
        }
    });
    return p;
}

TextChange TextDocument::ApplyRaw(TextPos from, TextPos to, std::string_view text,
                                  std::string* removed) {
    TextChange change;
    change.lines_appended = EnsureLine(to.line);
    if (removed) *removed = TextRange(from, to);
    const int old_count = to.line - from.line + 1;
    std::string tail =
        lines_[to.line].substr(std::min<std::size_t>(to.column, lines_[to.line].size()));
    std::string& head_line = lines_[from.line];
    head_line.resize(std::min<std::size_t>(from.column, head_line.size()));

    std::vector<std::string> pieces;
    ForEachPiece(text, [&](std::string_view piece) { pieces.emplace_back(piece); });
    const int new_count = static_cast<int>(pieces.size());
    TextPos end{
        from.line + new_count - 1,
        static_cast<int>(new_count == 1 ? from.column + pieces[0].size() : pieces.back().size())};
    pieces.front().insert(0, head_line);
    pieces.back() += tail;

    // Replace lines [from.line, to.line] by the pieces, reusing the common prefix.
    const int common = std::min(old_count, new_count);
    for (int i = 0; i < common; ++i) lines_[from.line + i] = std::move(pieces[i]);
    if (new_count > old_count)
        lines_.insert(lines_.begin() + from.line + common,
                      std::make_move_iterator(pieces.begin() + common),
                      std::make_move_iterator(pieces.end()));
    else if (new_count < old_count)
        lines_.erase(lines_.begin() + from.line + common, lines_.begin() + from.line + old_count);

    UpdateStates(from.line, old_count, new_count, change);
    modified_ = true;
    touched_first_ = std::min(touched_first_, from.line);
    touched_last_ = std::max(touched_last_, end.line);

    change.from = from;
    change.old_last_line = to.line;
    change.end = end;
    change.line_delta = new_count - old_count;
    change.ends_with_break = !text.empty() && (text.back() == '\n' || text.back() == '\r');
    return change;
}

// --- undo -----------------------------------------------------------------------------

void TextDocument::BeginStep(EditKind kind, const CaretState& now, bool group) {
    if (step_depth_++ > 0) return;
    touched_first_ = INT_MAX;
    touched_last_ = -1;
    redo_.clear();
    bool join = group && kind != EditKind::kOther && run_open_ && !undo_.empty() &&
                undo_.back().kind == kind && undo_.back().after.caret == now.caret &&
                now.caret == now.anchor;
    if (join) return;
    UndoStep step;
    step.kind = kind;
    step.before = now;
    step.modified_before = modified_;
    undo_.push_back(std::move(step));
}

void TextDocument::EndStep(const CaretState& now) {
    if (--step_depth_ > 0) return;
    UndoStep& step = undo_.back();
    step.after.caret = now.caret;
    step.after.anchor = now.anchor;
    if (step.edits.empty()) {
        undo_.pop_back();
        run_open_ = false;
        return;
    }
    run_open_ = step.kind != EditKind::kOther;
}

std::optional<CaretState> TextDocument::Undo(const ChangeSink& sink) {
    if (undo_.empty()) return std::nullopt;
    UndoStep step = std::move(undo_.back());
    undo_.pop_back();
    in_undo_ = true;
    for (auto it = step.edits.rbegin(); it != step.edits.rend(); ++it)
        sink(ApplyRaw(it->from, EndOf(it->from, it->inserted), it->removed, nullptr));
    in_undo_ = false;
    modified_ = step.modified_before;
    run_open_ = false;
    CaretState before = step.before;
    redo_.push_back(std::move(step));
    return before;
}

std::optional<CaretState> TextDocument::Redo(const ChangeSink& sink) {
    if (redo_.empty()) return std::nullopt;
    UndoStep step = std::move(redo_.back());
    redo_.pop_back();
    in_undo_ = true;
    for (const auto& e : step.edits)
        sink(ApplyRaw(e.from, EndOf(e.from, e.removed), e.inserted, nullptr));
    in_undo_ = false;
    run_open_ = false;
    CaretState after = step.after;
    undo_.push_back(std::move(step));
    return after;
}

void TextDocument::ClearUndo() {
    undo_.clear();
    redo_.clear();
    run_open_ = false;
}

}  // namespace zeph::editor
