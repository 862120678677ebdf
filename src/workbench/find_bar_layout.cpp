#include "workbench/find_bar_layout.h"

#include <algorithm>

namespace zeph::workbench {

namespace {

// Places boxes from the left of one row.
struct Row {
    const FindBarMetrics& m;
    int x;
    int y;
    FindBarBox Put(int width) {
        FindBarBox box{x, y, width};
        x += width + m.gap;
        return box;
    }
    // Labels sit a little lower, level with the text of the field beside them.
    FindBarBox PutLabel(int width) {
        FindBarBox box = Put(width);
        box.y += m.gap / 2;
        return box;
    }
};

// A field row but its field: label and two buttons, with the gaps around them.
int FieldRowRest(const FindBarMetrics& m) {
    return m.gap + m.label + m.gap + m.gap + 2 * (m.button + m.gap);
}

}  // namespace

int LeastFindBarWidth(const FindBarMetrics& m) {
    return FieldRowRest(m) + m.field_least;
}

FindBarLayout LayOutFindBar(int width, const FindBarMetrics& m) {
    const int g = m.gap;
    const int fixed = FieldRowRest(m);
    const int first_checks = m.match_case + g + m.whole_word + g;
    const int second_rest = m.wrap + g + m.status + g;
    const bool two_rows = fixed + m.field + std::max(first_checks, second_rest) <= width;

    FindBarLayout l;
    l.rows = two_rows ? 2 : 3;
    l.height = l.rows * m.row + (l.rows + 1) * g;
    const int field =
        two_rows ? m.field : std::max(m.field_least, std::min(m.field, width - fixed));

    Row first{m, g, g};
    l.pattern_label = first.PutLabel(m.label);
    l.pattern = first.Put(field);
    l.previous = first.Put(m.button);
    l.next = first.Put(m.button);

    Row second{m, g, g + m.row + g};
    l.replacement_label = second.PutLabel(m.label);
    l.replacement = second.Put(field);
    l.replace = second.Put(m.button);
    l.replace_all = second.Put(m.button);

    Row third{m, g, 2 * (g + m.row) + g};
    Row& checks = two_rows ? first : third;
    l.match_case = checks.Put(m.match_case);
    l.whole_word = checks.Put(m.whole_word);
    Row& rest = two_rows ? second : third;
    l.wrap = rest.Put(m.wrap);
    l.status = rest.PutLabel(std::max(0, width - rest.x - g));
    return l;
}

}  // namespace zeph::workbench
