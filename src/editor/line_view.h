// A line as the editor shows it: tab stops in display columns, and the segments the view paints
// (tokens cut where the selection starts and ends, tabs as blanks, only what is visible), so
// that the window only turns them into pixels.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "editor/highlighter.h"

namespace zeph::editor {

// The display column after character `c` at display column `column` (tab stops every `tab`).
constexpr int NextDisplayColumn(char c, int column, int tab) {
    return c == '\t' ? (column / tab + 1) * tab : column + 1;
}

// Display columns a whole line takes.
int DisplayWidth(std::string_view line, int tab);

struct PaintSegment {
    int column = 0;                               // display column of its first cell
    std::string cells;                            // code page 1251, a tab as blanks up to its stop
    const THighlighterAttributes* cls = nullptr;  // null: the editor's own colours
    bool selected = false;
    friend bool operator==(const PaintSegment&, const PaintSegment&) = default;
};

// What to draw of a line within display columns [first, last): its tokens (`runs`; the whole
// line uncoloured when empty), each cut where the selected columns [sel_from, sel_to) begin and
// end (an empty range for none). A tab that reaches into the range paints only its visible part.
std::vector<PaintSegment> LineSegments(std::string_view line, const std::vector<TokenRun>& runs,
                                       int tab, int sel_from, int sel_to, int first, int last);

}  // namespace zeph::editor
