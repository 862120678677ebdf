#include "editor/find.h"

#include <algorithm>
#include <vector>

#include "text/cp1251.h"

namespace zeph::editor {

namespace {

bool Valid(std::string_view pattern) {
    return !pattern.empty() && pattern.find_first_of("\r\n") == std::string_view::npos;
}

// Folds letter case in place when the search ignores it.
void Fold(std::string& s, bool match_case) {
    if (match_case) return;
    for (char& c : s) c = text::ToLower(c);
}

bool WordAt(std::string_view line, std::size_t pos, std::size_t length) {
    if (pos > 0 && text::IsIdentChar(line[pos - 1])) return false;
    const std::size_t end = pos + length;
    return end >= line.size() || !text::IsIdentChar(line[end]);
}

// The match in `line` (already folded) at or after `from`, or ending at or before `to`
// when searching backward; npos for none.
std::size_t FindInLine(std::string_view line, std::string_view pattern, std::size_t from,
                       std::size_t to, bool backward, bool whole_word) {
    if (!backward) {
        for (std::size_t pos = line.find(pattern, from); pos != std::string_view::npos;
             pos = line.find(pattern, pos + 1))
            if (!whole_word || WordAt(line, pos, pattern.size())) return pos;
        return std::string_view::npos;
    }
    if (to < pattern.size()) return std::string_view::npos;
    std::size_t start = to - pattern.size();
    for (;;) {
        const std::size_t pos = line.rfind(pattern, start);
        if (pos == std::string_view::npos) break;
        if (!whole_word || WordAt(line, pos, pattern.size())) return pos;
        if (pos == 0) break;
        start = pos - 1;
    }
    return std::string_view::npos;
}

}  // namespace

std::optional<FoundRange> FindText(const EditorModel& model, std::string_view pattern, TextPos from,
                                   bool backward, const FindOptions& options) {
    if (!Valid(pattern)) return std::nullopt;
    std::string needle(pattern);
    Fold(needle, options.match_case);
    const int count = model.LineCount();
    if (count == 0) return std::nullopt;
    from.line = std::clamp(from.line, 0, count - 1);
    std::string folded;
    // Each line once, the start line a second time for the part before (or after) `from`.
    for (int step = 0; step <= count; ++step) {
        int line = backward ? from.line - step : from.line + step;
        if (line < 0 || line >= count) {
            if (!options.wrap) return std::nullopt;
            line = (line % count + count) % count;
        }
        folded = model.Line(line);
        Fold(folded, options.match_case);
        const std::size_t column = static_cast<std::size_t>(std::max(0, from.column));
        const std::size_t at = std::min(column, folded.size());
        std::size_t lo = 0, hi = folded.size();
        if (step == 0) (backward ? hi : lo) = at;
        // Back at the start line after wrapping: the matches not yet seen there, those
        // starting before `from` (or, backward, ending after it).
        if (step == count && backward) lo = at + 1 > needle.size() ? at + 1 - needle.size() : 0;
        if (step == count && !backward) hi = std::min(at + needle.size() - 1, folded.size());
        std::size_t pos = FindInLine(folded, needle, lo, hi, backward, options.whole_word);
        if (pos == std::string::npos || pos < lo || pos + needle.size() > hi) continue;
        return FoundRange{{line, static_cast<int>(pos)}, static_cast<int>(needle.size())};
    }
    return std::nullopt;
}

namespace {

// Every match of `needle` (already folded) in `text` replaced by `with`, left to right, matches
// not overlapping. `column`, when given, is a position in `text` moved to where it stands in
// the result; one inside a match goes to the replacement's start.
std::string ReplaceMatches(std::string_view text, std::string_view needle, std::string_view with,
                           const FindOptions& options, int& count, int* column = nullptr) {
    std::string folded(text);
    Fold(folded, options.match_case);
    std::string out;
    out.reserve(text.size());
    std::size_t done = 0;
    const std::size_t at = column ? static_cast<std::size_t>(std::max(0, *column)) : 0;
    int shift = 0;
    for (std::size_t pos = folded.find(needle); pos != std::string::npos;
         pos = folded.find(needle, pos)) {
        if (options.whole_word && !WordAt(folded, pos, needle.size())) {
            ++pos;
            continue;
        }
        if (column && pos < at)
            shift = pos + needle.size() <= at
                        ? shift + static_cast<int>(with.size()) - static_cast<int>(needle.size())
                        : shift - static_cast<int>(at - pos);
        out.append(text.substr(done, pos - done));
        out.append(with);
        pos += needle.size();
        done = pos;
        ++count;
    }
    out.append(text.substr(done));
    if (column) *column += shift;
    return out;
}

}  // namespace

std::string ReplaceAllText(std::string_view text, std::string_view pattern, std::string_view with,
                           const FindOptions& options, int& count) {
    count = 0;
    if (!Valid(pattern)) return std::string(text);
    std::string needle(pattern);
    Fold(needle, options.match_case);
    return ReplaceMatches(text, needle, with, options, count);
}

bool FindAndSelect(EditorModel& model, std::string_view pattern, bool backward,
                   const FindOptions& options) {
    const TextPos from = backward ? model.SelectionStart()
                                  : (model.HasSelection() ? model.SelectionEnd() : model.Caret());
    std::optional<FoundRange> found = FindText(model, pattern, from, backward, options);
    if (!found) return false;
    // Backward from the selection's start, so that the current match is not found again.
    model.SetSelection(found->start, {found->start.line, found->start.column + found->length});
    return true;
}

bool ReplaceAndFindNext(EditorModel& model, std::string_view pattern, std::string_view with,
                        const FindOptions& options) {
    if (model.HasSelection()) {
        const TextPos start = model.SelectionStart();
        std::optional<FoundRange> here = FindText(model, pattern, start, false, options);
        if (here && here->start == start &&
            model.SelectionEnd() == TextPos{start.line, start.column + here->length})
            model.ReplaceSelection(with);
    }
    return FindAndSelect(model, pattern, false, options);
}

int ReplaceAll(EditorModel& model, std::string_view pattern, std::string_view with,
               const FindOptions& options) {
    if (!Valid(pattern)) return 0;
    std::string needle(pattern);
    Fold(needle, options.match_case);
    // Line by line, as edits of the lines that change: bookmarks and the caret keep their
    // lines, which one replacement of the whole text would lose.
    const TextPos caret = model.Caret();
    int column = caret.column;
    int count = 0;
    std::vector<LineEdit> edits;
    for (int line = 0; line < model.LineCount(); ++line) {
        const int before = count;
        std::string replaced = ReplaceMatches(model.Line(line), needle, with, options, count,
                                              line == caret.line ? &column : nullptr);
        if (count != before) edits.push_back({line, std::move(replaced)});
    }
    if (count == 0) return 0;
    model.ReplaceLines(edits, column);
    return count;
}

}  // namespace zeph::editor
