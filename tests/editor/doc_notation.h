// Test notation for editor states: lines joined by "\n", "|" the caret, "^" the selection
// anchor, "~" a column beyond the line's end.
#pragma once

#include <string>
#include <string_view>

#include "editor/editor_model.h"

namespace zeph::editor::testing {

inline void Load(EditorModel& m, std::string_view doc) {
    std::string text;
    TextPos caret, anchor;
    bool has_anchor = false;
    int line = 0, col = 0;
    for (char c : doc) {
        if (c == '|') {
            caret = {line, col};
        } else if (c == '^') {
            anchor = {line, col};
            has_anchor = true;
        } else if (c == '~') {
            ++col;
        } else if (c == '\n') {
            text += "\r\n";
            ++line;
            col = 0;
        } else {
            text += c;
            ++col;
        }
    }
    m.SetText(text.empty() && line == 0 ? std::string_view() : std::string_view(text + "\r\n"));
    if (has_anchor)
        m.SetSelection(anchor, caret);
    else
        m.SetCaret(caret);
    m.ClearUndo();
}

inline std::string Dump(const EditorModel& m) {
    std::string out;
    TextPos caret = m.Caret(), anchor = m.SelectionAnchor();
    int lines = std::max(1, m.LineCount());
    for (int l = 0; l < lines; ++l) {
        std::string s = m.Line(l);
        int need = 0;
        if (caret.line == l) need = std::max(need, caret.column);
        if (anchor.line == l && anchor != caret) need = std::max(need, anchor.column);
        if (need > static_cast<int>(s.size())) s.append(need - s.size(), '~');
        // Insert the later marker first so the earlier column stays right.
        bool a = anchor.line == l && anchor != caret, c = caret.line == l;
        if (a && c && anchor.column > caret.column) {
            s.insert(anchor.column, "^");
            s.insert(caret.column, "|");
        } else {
            if (c) s.insert(caret.column, "|");
            if (a) s.insert(anchor.column, "^");
        }
        if (l) out += '\n';
        out += s;
    }
    return out;
}

}  // namespace zeph::editor::testing
