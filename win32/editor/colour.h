// The system's 32-bit colour numbers turned into GDI colours.
#pragma once

#include <windows.h>

#include <cstdint>

namespace zeph::win {

inline constexpr std::uint32_t kColourNone = 0x1FFFFFFF;
inline constexpr std::uint32_t kColourDefault = 0x20000000;

// True when the number names a colour of its own (not "none" and not "the editor's default").
inline bool HasOwnColour(std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    return v != kColourNone && v != kColourDefault;
}

// 0x00BBGGRR as is, 0xFF0000nn as system colour nn; "none" and "default" give `fallback`.
inline COLORREF ResolveColour(std::int32_t value, COLORREF fallback) {
    auto v = static_cast<std::uint32_t>(value);
    if (!HasOwnColour(value)) return fallback;
    if ((v & 0xFF000000u) == 0xFF000000u) return ::GetSysColor(static_cast<int>(v & 0xFFu));
    return static_cast<COLORREF>(v & 0x00FFFFFFu);
}

}  // namespace zeph::win
