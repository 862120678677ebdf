// The automation boundary: an exception that reaches a method of the module object becomes an
// HRESULT plus the thread's COM error information, as late-bound callers expect.
#pragma once

#include <windows.h>

namespace zeph::module {

// For catch (...) blocks only. Sets the error information (description: the error's message,
// interface: `iid`, source: `source`) and returns the error's own code when it carries a failure
// code, E_UNEXPECTED otherwise.
HRESULT HandleSafeCallException(REFIID iid, const wchar_t* source) noexcept;

}  // namespace zeph::module
