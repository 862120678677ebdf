// Registry entries of the server: its type library (from the module's own resource) and the
// class with its ProgID.
#pragma once

#include <windows.h>

namespace zeph::module {

// Throw on any failure.
void RegisterServer();
void UnregisterServer();

}  // namespace zeph::module
