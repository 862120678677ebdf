// Where the find bar's controls go for a given width. Two rows while the window is wide
// enough: the pattern with its buttons and two check boxes, the replacement with its buttons,
// the third check box and the status. A narrower window moves the check boxes and the status
// to a third row and narrows the two fields, so that no button is ever cut off at the right.
#pragma once

namespace zeph::workbench {

// Sizes in pixels: the row height, the gap between controls, and the widths each control
// needs (labels, buttons and check boxes from their texts).
struct FindBarMetrics {
    int row = 0;
    int gap = 0;
    int label = 0;        // the wider of "Найти:" and "Заменить:"
    int field_least = 0;  // the narrowest a text field may get
    int field = 0;        // a text field's own width, when there is room
    int button = 0;       // each of the four buttons
    int match_case = 0;
    int whole_word = 0;
    int wrap = 0;
    int status = 0;  // room for a short status ("Не найдено"), when it can be given
};

struct FindBarBox {
    int x = 0;
    int y = 0;  // from the bar's top
    int width = 0;
};

struct FindBarLayout {
    int rows = 0;
    int height = 0;
    FindBarBox pattern_label, pattern, previous, next, match_case, whole_word;
    FindBarBox replacement_label, replacement, replace, replace_all, wrap, status;
};

FindBarLayout LayOutFindBar(int width, const FindBarMetrics& m);
// The narrowest bar that keeps every button whole: the window is kept at least this wide.
int LeastFindBarWidth(const FindBarMetrics& m);

}  // namespace zeph::workbench
