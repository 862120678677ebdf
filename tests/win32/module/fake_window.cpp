// The module tests' window: the workbench window's contract (a hidden owned window from the
// factory, set up and shown by AttachApplication, raised by Show, freed when closed) without the
// workbench. Its set-up asks the application for the data folder, so a test application can
// make it fail.
#include <memory>

#include "base/result.h"
#include "base/unique.h"
#include "module/window_factory.h"

namespace zeph::module {

namespace {

class FakeWorkbenchForm final : public win::TApplicationForm {
  public:
    static FakeWorkbenchForm* CreateOwned(HWND owner) {
        std::unique_ptr<FakeWorkbenchForm> form(new FakeWorkbenchForm(owner));
        win::FormParams params;
        params.className = L"TMainModelessDialogForm";
        params.caption = L"Workbench";
        params.style = WS_OVERLAPPEDWINDOW;
        params.width = 400;
        params.height = 240;
        form->CreateWindowHandle(params);
        return form.release();
    }

    ~FakeWorkbenchForm() override { DestroyWindowHandle(); }

    void AttachApplication(ITellurApplication* app) override {
        application_ = win::ComPtr<ITellurApplication>(app);
        win::UniqueBstr folder;
        THROW_IF_FAILED(app->GetDataFolder(folder.put()));
        ::ShowWindow(Handle(), SW_SHOW);
    }

    void Show() override {
        ::ShowWindow(Handle(), SW_SHOW);
        ::BringWindowToTop(Handle());
    }

  protected:
    void WindowDestroyed() override { delete this; }

  private:
    explicit FakeWorkbenchForm(HWND owner) : TApplicationForm(owner) {}
    win::ComPtr<ITellurApplication> application_;
};

}  // namespace

WindowFactory DllWindowFactory() noexcept {
    return
        [](HWND owner) -> win::TApplicationForm* { return FakeWorkbenchForm::CreateOwned(owner); };
}

}  // namespace zeph::module
