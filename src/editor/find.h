// Searching and replacing in the editor's text: a one-line pattern, found in either direction
// from a position, with letter case (code page 1251) and whole words as options.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "editor/editor_model.h"

namespace zeph::editor {

struct FindOptions {
    bool match_case = false;
    bool whole_word = false;  // the match neither starts nor ends inside an identifier
    bool wrap = true;         // go on from the other end of the text
};

struct FoundRange {
    TextPos start;  // the match is [start, start + length) on one line
    int length = 0;
    friend bool operator==(const FoundRange&, const FoundRange&) = default;
};

// The first match starting at or after `from` (forward), or ending at or before it (backward).
// None for an empty pattern or one with a line break.
std::optional<FoundRange> FindText(const EditorModel& model, std::string_view pattern, TextPos from,
                                   bool backward, const FindOptions& options);

// Every match of `pattern` in `text` replaced by `with`, left to right, matches not
// overlapping; `count` gets their number.
std::string ReplaceAllText(std::string_view text, std::string_view pattern, std::string_view with,
                           const FindOptions& options, int& count);

// Finds from the caret (forward: from the selection's end) and selects the match. False when
// there is none.
bool FindAndSelect(EditorModel& model, std::string_view pattern, bool backward,
                   const FindOptions& options);
// Replaces the selection when it is a match, then selects the next match.
bool ReplaceAndFindNext(EditorModel& model, std::string_view pattern, std::string_view with,
                        const FindOptions& options);
// Replaces every match as one undo step; returns their number. The caret stays on its line.
int ReplaceAll(EditorModel& model, std::string_view pattern, std::string_view with,
               const FindOptions& options);

}  // namespace zeph::editor
