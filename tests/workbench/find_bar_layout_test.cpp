#include "workbench/find_bar_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zeph::workbench {
namespace {

// About the sizes at 96 dots per inch.
FindBarMetrics Metrics() {
    FindBarMetrics m;
    m.row = 21;
    m.gap = 3;
    m.label = 56;
    m.field_least = 60;
    m.field = 136;
    m.button = 77;
    m.match_case = 70;
    m.whole_word = 110;
    m.wrap = 76;
    m.status = 90;
    return m;
}

struct Named {
    std::string name;
    FindBarBox box;
};

std::vector<Named> Boxes(const FindBarLayout& l) {
    return {{"pattern_label", l.pattern_label},
            {"pattern", l.pattern},
            {"previous", l.previous},
            {"next", l.next},
            {"match_case", l.match_case},
            {"whole_word", l.whole_word},
            {"replacement_label", l.replacement_label},
            {"replacement", l.replacement},
            {"replace", l.replace},
            {"replace_all", l.replace_all},
            {"wrap", l.wrap},
            {"status", l.status}};
}

// Every control lies inside the bar, and controls of one row do not overlap.
void ExpectInsideAndApart(const FindBarLayout& l, int width, const FindBarMetrics& m) {
    const auto boxes = Boxes(l);
    for (const Named& b : boxes) {
        EXPECT_GE(b.box.x, 0) << b.name << " at width " << width;
        EXPECT_LE(b.box.x + b.box.width, width) << b.name << " at width " << width;
        EXPECT_GE(b.box.y, 0) << b.name;
        EXPECT_LE(b.box.y + m.row, l.height) << b.name << " at width " << width;
    }
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (std::size_t k = i + 1; k < boxes.size(); ++k) {
            const FindBarBox& a = boxes[i].box;
            const FindBarBox& b = boxes[k].box;
            if (a.y / m.row != b.y / m.row || a.width == 0 || b.width == 0) continue;
            EXPECT_TRUE(a.x + a.width <= b.x || b.x + b.width <= a.x)
                << boxes[i].name << " and " << boxes[k].name << " overlap at width " << width;
        }
}

TEST(FindBarLayout, WideWindowTakesTwoRowsWithTheCheckBoxesBesideTheButtons) {
    const FindBarMetrics m = Metrics();
    const FindBarLayout l = LayOutFindBar(900, m);
    EXPECT_EQ(l.rows, 2);
    EXPECT_EQ(l.height, 2 * m.row + 3 * m.gap);
    EXPECT_EQ(l.pattern.width, m.field);
    EXPECT_EQ(l.match_case.y, l.next.y);
    EXPECT_GT(l.match_case.x, l.next.x);
    EXPECT_EQ(l.wrap.y, l.replace_all.y);
    EXPECT_EQ(l.status.x, l.wrap.x + m.wrap + m.gap);
    EXPECT_EQ(l.status.x + l.status.width, 900 - m.gap);
    ExpectInsideAndApart(l, 900, m);
}

// The default window is far narrower than the two rows: all four buttons must stay whole and
// reachable, with the check boxes and the status below them.
TEST(FindBarLayout, NarrowWindowMovesCheckBoxesAndStatusToAThirdRow) {
    const FindBarMetrics m = Metrics();
    const int width = 300;
    const FindBarLayout l = LayOutFindBar(width, m);
    EXPECT_EQ(l.rows, 3);
    EXPECT_EQ(l.height, 3 * m.row + 4 * m.gap);
    EXPECT_LT(l.pattern.width, m.field);
    EXPECT_GE(l.pattern.width, m.field_least);
    EXPECT_EQ(l.replacement.width, l.pattern.width);
    EXPECT_EQ(l.next.x + l.next.width, width - m.gap);
    EXPECT_EQ(l.replace_all.x + l.replace_all.width, width - m.gap);
    EXPECT_EQ(l.match_case.x, m.gap);
    EXPECT_EQ(l.match_case.y, l.whole_word.y);
    EXPECT_EQ(l.wrap.y, l.match_case.y);
    EXPECT_GT(l.match_case.y, l.replace.y);
    ExpectInsideAndApart(l, width, m);
}

TEST(FindBarLayout, TwoRowsFromExactlyTheWidthTheyNeed) {
    const FindBarMetrics m = Metrics();
    const int need = LayOutFindBar(2000, m).whole_word.x + m.whole_word + m.gap;
    const int need_second = LayOutFindBar(2000, m).wrap.x + m.wrap + m.gap + m.status + m.gap;
    const int threshold = std::max(need, need_second);
    EXPECT_EQ(LayOutFindBar(threshold, m).rows, 2);
    EXPECT_EQ(LayOutFindBar(threshold - 1, m).rows, 3);
    // Every width from the narrowest window up keeps the controls inside and apart.
    EXPECT_EQ(LeastFindBarWidth(m), m.label + 2 * m.button + 5 * m.gap + m.field_least);
    for (int width = LeastFindBarWidth(m); width <= 1000; ++width)
        ExpectInsideAndApart(LayOutFindBar(width, m), width, m);
}

}  // namespace
}  // namespace zeph::workbench
