// A window's text, in full whatever its length; a combo box's entries replaced at once.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/wide.h"

namespace zeph::win {

inline std::wstring WindowText(HWND hwnd) {
    const int length = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

// Replaces a combo box's entries (code page 1251) without drawing it in between.
inline void SetComboEntries(HWND box, const std::vector<std::string>& entries) {
    ::SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : entries)
        ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
    ::SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(box, nullptr, TRUE);
}

}  // namespace zeph::win
