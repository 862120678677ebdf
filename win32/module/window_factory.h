// How the module object makes its window. Each server DLL links one definition of
// DllWindowFactory: the product's makes the workbench window, a test DLL's its stand-in.
#pragma once

#include <windows.h>

#include "forms/application_form.h"

namespace zeph::module {

// Makes the window hidden, owned by `owner` (the host's main window). Throws on failure.
using WindowFactory = win::TApplicationForm* (*)(HWND owner);

WindowFactory DllWindowFactory() noexcept;

}  // namespace zeph::module
