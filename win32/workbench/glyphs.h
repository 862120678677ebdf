// The workbench's tool-bar images and window icon, drawn from small pixel maps.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace zeph::win {

// Six 16 x 16 images: run, new, remove, language, settings, insert identifier.
HIMAGELIST CreateWorkbenchImages();
// The window icon at the given edge length (16 or 32).
HICON CreateWorkbenchIcon(int size);

}  // namespace zeph::win
