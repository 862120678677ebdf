// Registry entries of the server: its type library (from the module's own resource) and the
// class with its ProgID.
#pragma once

#include <windows.h>

#include <string_view>

namespace zeph::module {

// Throw on any failure.
void RegisterServer();
void UnregisterServer();

// The installer's form: the same entries under the classes of the current user (no
// administrator rights needed) or of the machine, with the type library's keys written by us
// for this module's bitness only, so that a 64-bit and a 32-bit module can be installed side by
// side and removed one after the other. Removal keeps what the other bitness still uses.
enum class Scope { kUser, kMachine };
void InstallServer(Scope scope);
void UninstallServer(Scope scope);

// The command line of DllInstall: "user" or "machine" (any case, blanks around ignored); an
// empty one means the machine. False for anything else.
bool ParseScope(std::wstring_view command_line, Scope& scope);

}  // namespace zeph::module
