// What the view paints of a line: tab stops, the cut at the selection, and only what shows.
#include "editor/line_view.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace zeph::editor {
namespace {

TEST(LineView, TabsReachTheNextStop) {
    EXPECT_EQ(DisplayWidth("", 4), 0);
    EXPECT_EQ(DisplayWidth("ab", 4), 2);
    EXPECT_EQ(DisplayWidth("\t", 4), 4);
    EXPECT_EQ(DisplayWidth("abc\td", 4), 5);
    EXPECT_EQ(DisplayWidth("abcd\t", 4), 8);
    EXPECT_EQ(DisplayWidth("a\t\tb", 3), 7);
    EXPECT_EQ(DisplayWidth("\t", 1), 1);
}

TEST(LineView, SegmentsFollowTokensSelectionAndTheVisibleColumns) {
    const THighlighterAttributes word{}, text{};
    const THighlighterAttributes* const w = &word;
    const THighlighterAttributes* const t = &text;
    // "Dim\tx" with tab 4: "Dim" in columns 0-2, the tab 3, "x" 4.
    const std::vector<TokenRun> tokens{{0, 3, w}, {3, 1, nullptr}, {4, 1, t}};
    const struct {
        const char* what;
        std::vector<TokenRun> runs;
        int sel_from, sel_to, first, last;
        std::vector<PaintSegment> expected;
    } cases[] = {
        {"whole line, nothing selected",
         tokens,
         INT_MIN,
         INT_MIN,
         0,
         100,
         {{0, "Dim", w, false}, {3, " ", nullptr, false}, {4, "x", t, false}}},
        {"the selection cuts a token",
         tokens,
         1,
         4,
         0,
         100,
         {{0, "D", w, false}, {1, "im", w, true}, {3, " ", nullptr, true}, {4, "x", t, false}}},
        {"scrolled: only the visible columns",
         tokens,
         INT_MIN,
         INT_MIN,
         2,
         4,
         {{2, "m", w, false}, {3, " ", nullptr, false}}},
        {"a tab shows only its visible part",
         {{0, 2, nullptr}},
         INT_MIN,
         INT_MIN,
         2,
         10,
         {{2, "  b", nullptr, false}}},
        {"no tokens: the line uncoloured", {}, 0, INT_MAX, 0, 100, {{0, "Dim x", nullptr, true}}},
        {"characters no token covers are skipped",
         {{4, 1, t}},
         INT_MIN,
         INT_MIN,
         0,
         100,
         {{4, "x", t, false}}},
    };
    const std::string lines[] = {"Dim\tx", "Dim\tx", "Dim\tx", "\tb", "Dim x", "Dim\tx"};
    int k = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(LineSegments(lines[k++], c.runs, 4, c.sel_from, c.sel_to, c.first, c.last),
                  c.expected)
            << c.what;
    }
}

}  // namespace
}  // namespace zeph::editor
