// Code page 1251 text to the platform's UTF-16 and back, through our own tables: never
// CP_ACP, which is not 1251 on every machine.
#pragma once

#include <string>
#include <string_view>

#include "text/cp1251.h"

namespace zeph::win {

inline std::wstring Wide(std::string_view cp1251) {
    std::u16string u = text::ToUtf16(cp1251);
    return std::wstring(u.begin(), u.end());
}

inline std::string Narrow(std::wstring_view utf16) {
    return text::FromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()));
}

}  // namespace zeph::win
