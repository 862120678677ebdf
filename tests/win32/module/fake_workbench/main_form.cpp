#include "workbench/main_form.h"

#include <memory>

#include "base/result.h"

namespace zeph::win {

TMainModelessDialogForm* TMainModelessDialogForm::CreateOwned(HWND owner) {
    std::unique_ptr<TMainModelessDialogForm> form(new TMainModelessDialogForm(owner));
    FormParams params;
    params.className = L"TMainModelessDialogForm";
    params.caption = L"Workbench";
    params.style = WS_OVERLAPPEDWINDOW;
    params.width = 400;
    params.height = 240;
    form->CreateWindowHandle(params);
    return form.release();
}

void TMainModelessDialogForm::AttachApplication(ITellurApplication* app) {
    FApplication = ComPtr<ITellurApplication>(app);
    UniqueBstr folder;
    THROW_IF_FAILED(app->GetDataFolder(folder.put()));
    ::ShowWindow(Handle(), SW_SHOW);
}

void TMainModelessDialogForm::Show() {
    ::ShowWindow(Handle(), SW_SHOW);
    ::BringWindowToTop(Handle());
}

TMainModelessDialogForm::~TMainModelessDialogForm() {
    DestroyWindowHandle();
}

}  // namespace zeph::win
