// The editor's context menu: undo, redo, cut, copy, paste, select all and find.
#pragma once

#include <windows.h>

#include "editor/script_editor_window.h"
#include "workbench/find_bar.h"

namespace zeph::win {

// Shows the menu at a screen point (at the caret for (-1, -1), as the menu key sends it) and
// runs the chosen command. Returns when the menu is closed.
void RunEditorMenu(HWND owner, POINT screen, ScriptEditorWindow& editor, FindBar& finder);

}  // namespace zeph::win
