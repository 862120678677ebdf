#include "editor/line_block.h"

namespace zeph::editor {

LineBlock SelectedLines(const EditorModel& model) {
    int first = model.Caret().line;
    int last = first;
    if (model.HasSelection()) {
        first = model.SelectionStart().line;
        const TextPos end = model.SelectionEnd();
        last = end.column == 0 && end.line > first ? end.line - 1 : end.line;
    }
    LineBlock block;
    block.first_line = first + 1;
    for (int line = first; line <= last && line < model.LineCount(); ++line) {
        block.text += model.Line(line);
        block.text += "\r\n";
    }
    return block;
}

}  // namespace zeph::editor
