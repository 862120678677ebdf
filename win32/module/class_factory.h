// The factory of the module object: a new one for each DllGetClassObject. As COM has it, a held
// factory does not keep the module loaded (LockServer does); every CreateInstance makes a new
// module object.
#pragma once

#include <objbase.h>
#include <windows.h>

#include "base/com_object.h"

namespace zeph::module {

class TComModuleFactory final : public win::ComObject<IClassFactory> {
  public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override;
    STDMETHODIMP LockServer(BOOL lock) noexcept override;
};

}  // namespace zeph::module
