// Window classes of the module that holds this code. They are registered under the module's own
// instance, never the host's, so that unloading the module can drop them: a class left behind
// would keep the address of a window procedure that the next load may no longer have there.
#pragma once

#include <windows.h>

#include <string>

namespace zeph::win {

// The module (DLL or program) this code is linked into.
HINSTANCE CodeModule() noexcept;

// The full path of a loaded module (nullptr: the program); empty when it cannot be had.
std::wstring ModuleFileName(HMODULE module);

// Registers the class under CodeModule() (wc.hInstance is set here) unless a class of that name
// with the same window procedure is there already; one left by an earlier load of the module at
// another address is replaced. Windows of the class are created with CodeModule() as instance.
// Throws an HResultError when the class cannot be registered.
void RegisterModuleClass(WNDCLASSEXW wc);

// Drops every class registered through RegisterModuleClass; for module unload, after the
// module's windows are gone.
void UnregisterModuleClasses() noexcept;

}  // namespace zeph::win
