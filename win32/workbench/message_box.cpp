#include "workbench/message_box.h"

#include "base/wide.h"

namespace zeph::win {

using workbench::MessageButtons;
using workbench::MessageIcon;
using workbench::MessageResult;

namespace {

UINT TypeOf(MessageIcon icon, MessageButtons buttons) {
    UINT type = MB_OK;
    if (buttons == MessageButtons::YesNo) type = MB_YESNO;
    if (buttons == MessageButtons::YesNoDefaultNo) type = MB_YESNO | MB_DEFBUTTON2;
    switch (icon) {
        case MessageIcon::Error:
            return type | MB_ICONERROR;
        case MessageIcon::Warning:
            return type | MB_ICONWARNING;
        case MessageIcon::Question:
            return type | MB_ICONQUESTION;
        case MessageIcon::Information:
            return type | MB_ICONINFORMATION;
    }
    return type;
}

}  // namespace

MessageResult ShowMessageBox(HWND owner, std::string_view text, std::string_view caption,
                             MessageIcon icon, MessageButtons buttons) {
    switch (
        ::MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), TypeOf(icon, buttons))) {
        case IDYES:
            return MessageResult::Yes;
        case IDNO:
            return MessageResult::No;
        case IDCANCEL:
            return MessageResult::Cancel;
        default:
            return MessageResult::Ok;
    }
}

}  // namespace zeph::win
