// The whole lines a selection touches, as "run selection" takes them.
#pragma once

#include <string>

#include "editor/editor_model.h"

namespace zeph::editor {

struct LineBlock {
    int first_line = 1;  // from 1
    std::string text;    // every line followed by CR LF
};

// The lines from the selection's first to its last; a selection ending at the start of a line
// leaves that line out. Without a selection, the caret's line.
LineBlock SelectedLines(const EditorModel& model);

}  // namespace zeph::editor
