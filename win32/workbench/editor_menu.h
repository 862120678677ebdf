// The editor's context menu: the file and version commands, then undo, redo, cut, copy, paste,
// select all and find.
#pragma once

#include <windows.h>

#include <optional>

#include "editor/script_editor_window.h"
#include "workbench/find_bar.h"
#include "workbench/presenter.h"

namespace zeph::win {

// Shows the menu at a screen point (at the caret for (-1, -1), as the menu key sends it) and
// runs the chosen editing command. Returns when the menu is closed: a file or version command
// chosen, for the window to run.
std::optional<workbench::FileCommand> RunEditorMenu(HWND owner, POINT screen,
                                                    ScriptEditorWindow& editor, FindBar& finder);

}  // namespace zeph::win
