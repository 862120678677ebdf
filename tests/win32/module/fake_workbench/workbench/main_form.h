// Test stand-in for the workbench window, with the same contract: a hidden owned window from
// CreateOwned, set up and shown by AttachApplication, raised by Show, freed when closed.
// Its set-up asks the application for the data folder, so a test application can make it fail.
#pragma once

#include <windows.h>

#include "base/unique.h"
#include "forms/forms.h"
#include "tellur.h"

namespace zeph::win {

class TMainModelessDialogForm : public TNonModalForm {
  public:
    static TMainModelessDialogForm* CreateOwned(HWND owner);
    void AttachApplication(ITellurApplication* app);
    void Show();

    ~TMainModelessDialogForm() override;

  protected:
    void WindowDestroyed() override { delete this; }

  private:
    explicit TMainModelessDialogForm(HWND owner) : TNonModalForm(owner) {}
    ComPtr<ITellurApplication> FApplication;
};

}  // namespace zeph::win
