// What several Windows test suites need from the desktop they run on: the clipboard, snapshots
// of the screen into .bmp files, and build-tree paths as the Windows side sees them.
#pragma once

#include <windows.h>

#include <functional>

#include <string>

namespace zeph::win::test {

// The clipboard's Unicode text ("" when it has none), and setting it (false when the clipboard
// could not be opened or filled).
std::wstring ClipboardText();
bool SetClipboardText(const std::wstring& text);

// `w` x `h` pixels from the top left of `source` into a 24-bit .bmp file; creates the file's
// folder. Returns false when nothing could be written.
bool SaveBitmapFile(HDC source, int w, int h, const std::string& path);
// A rectangle of the screen (all windows on it) into a .bmp file.
bool SaveScreenBitmap(const RECT& area, const std::string& path);

// A window as it looks on screen, with its caption drawn over the top (the test display has no
// window manager to draw frames): the caption bar, then the client area.
bool SaveWindowBitmap(HWND hwnd, const std::string& path);

// The first visible top-level window of `className`, of any process; nullptr when none is open.
HWND FindVisibleWindow(const wchar_t* className);

// Runs a plain GetMessage loop, as a host does, for about `ms` milliseconds.
void Pump(UINT ms = 150);
// While set, Pump offers every message to `filter` first, as a host's own loop does with its
// accelerators and dialogs; a message it takes (returns true for) is not dispatched. An empty
// filter restores the plain loop.
void SetLoopFilter(std::function<bool(MSG&)> filter);
// Offers a message to the loop filter; true when the filter took it.
bool RunLoopFilter(MSG& msg);
// One key going down or up, as the input queue takes it.
INPUT KeyInput(WORD vk, bool up);
// A key stroke through the input queue (the window with the focus gets it as from the
// keyboard), with Ctrl and Shift held as asked; then pumps until the window has handled it.
void Press(WORD key, bool ctrl = false, bool shift = false);

// A Unix path of the build tree as a Windows path (Wine maps the Unix root to drive Z:).
std::wstring WindowsPath(const std::string& unix_path);

}  // namespace zeph::win::test
