// A form that a module object opens over the host's main window and hands the host's
// application: made hidden by its factory, set up once with the application, shown again on
// request. Closing it frees it (see TExForm); its free notifications tell its opener.
#pragma once

#include <windows.h>

#include "forms/forms.h"
#include "tellur.h"

namespace zeph::win {

class TApplicationForm : public TNonModalForm {
  public:
    using TNonModalForm::TNonModalForm;

    // Keeps a counted reference to the application, sets the window up and makes it visible.
    // Throws on failure; the window then stays hidden and may be shown later without a
    // further set-up.
    virtual void AttachApplication(ITellurApplication* app) = 0;
    // Makes the window visible and brings it to the front.
    virtual void Show() = 0;
};

}  // namespace zeph::win
