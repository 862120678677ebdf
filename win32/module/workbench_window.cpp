// The product's module window: the script workbench.
#include "module/window_factory.h"
#include "workbench/main_form.h"

namespace zeph::module {

WindowFactory DllWindowFactory() noexcept {
    return [](HWND owner) -> win::TApplicationForm* {
        return win::TMainModelessDialogForm::CreateOwned(owner);
    };
}

}  // namespace zeph::module
