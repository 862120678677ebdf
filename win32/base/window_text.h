// A window's text, in full whatever its length.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

namespace zeph::win {

inline std::wstring WindowText(HWND hwnd) {
    const int length = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

}  // namespace zeph::win
