// The workbench's message boxes over its window (texts in code page 1251).
#pragma once

#include <windows.h>

#include <string_view>

#include "workbench/interfaces.h"

namespace zeph::win {

workbench::MessageResult ShowMessageBox(HWND owner, std::string_view text, std::string_view caption,
                                        workbench::MessageIcon icon,
                                        workbench::MessageButtons buttons);

}  // namespace zeph::win
