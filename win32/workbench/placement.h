// A top-level window's state and normal rectangle as the store keeps them (screen coordinates,
// the restored place of a minimized or maximized window).
#pragma once

#include <windows.h>

#include "store/store_window.h"

namespace zeph::win {

// The ShowWindow command for a state: on the first showing a minimized window does not take
// the activation; later changes restore from whatever state the window is in.
int ShowCommand(store::WindowState state, bool first);
// The shown state of a visible window.
store::WindowState ShownState(HWND hwnd);
store::WindowBounds NormalBounds(HWND hwnd);
// Hidden or restored, the window takes the place at once; otherwise it returns there.
void SetNormalBounds(HWND hwnd, const store::WindowBounds& bounds);

}  // namespace zeph::win
