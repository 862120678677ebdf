#include "editor/line_view.h"

#include <algorithm>

namespace zeph::editor {

int DisplayWidth(std::string_view line, int tab) {
    int column = 0;
    for (char c : line) column = NextDisplayColumn(c, column, tab);
    return column;
}

std::vector<PaintSegment> LineSegments(std::string_view line, const std::vector<TokenRun>& runs,
                                       int tab, int sel_from, int sel_to, int first, int last) {
    tab = std::max(1, tab);
    const int size = static_cast<int>(line.size());
    std::vector<TokenRun> whole;
    const std::vector<TokenRun>* tokens = &runs;
    if (runs.empty() && size > 0) {
        whole.push_back({0, size, nullptr});
        tokens = &whole;
    }
    auto selected = [&](int col) { return col >= sel_from && col < sel_to; };
    std::vector<PaintSegment> out;
    int col = 0, i = 0;
    for (const TokenRun& run : *tokens) {
        const int begin = std::clamp(run.start, 0, size);
        const int end = std::clamp(run.start + run.length, begin, size);
        // Characters before this token that no token covers keep their columns.
        for (; i < begin; ++i) col = NextDisplayColumn(line[i], col, tab);
        while (i < end) {
            // One segment: characters while they stay as selected as the first.
            const bool in_sel = selected(col);
            PaintSegment seg{-1, {}, run.cls, in_sel};
            while (i < end && selected(col) == in_sel) {
                const char c = line[i];
                const int next = NextDisplayColumn(c, col, tab);
                for (int cell = col; cell < next; ++cell) {
                    if (cell < first || cell >= last) continue;
                    if (seg.column < 0) seg.column = cell;
                    seg.cells.push_back(c == '\t' ? ' ' : c);
                }
                col = next;
                ++i;
            }
            if (!seg.cells.empty()) out.push_back(std::move(seg));
        }
    }
    return out;
}

}  // namespace zeph::editor
