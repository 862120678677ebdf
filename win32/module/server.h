// Process-wide state of the in-process server: the module's path, the count of live objects
// and the factory's lock count, which together answer DllCanUnloadNow.
#pragma once

#include <windows.h>

#include <string>

namespace zeph::module {

// Full path of this module file, for the type library and the server registration.
std::wstring ModulePath();

void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void LockServer(bool lock) noexcept;
// No module object alive, no factory lock held and no object given to a script still in use.
bool CanUnload() noexcept;

}  // namespace zeph::module
