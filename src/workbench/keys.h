// Key strokes as the workbench sees them: a virtual-key code plus modifier flags. The codes
// are the platform's virtual-key numbers, so the window layer passes them through unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zeph::workbench {

enum KeyModifier : std::uint8_t {
    kNoModifier = 0,
    kShift = 1,
    kCtrl = 2,
    kAlt = 4,
};

struct KeyStroke {
    std::uint16_t key = 0;
    std::uint8_t modifiers = kNoModifier;

    friend constexpr bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

namespace vk {
inline constexpr std::uint16_t kBack = 0x08;
inline constexpr std::uint16_t kTab = 0x09;
inline constexpr std::uint16_t kReturn = 0x0D;
inline constexpr std::uint16_t kEscape = 0x1B;
inline constexpr std::uint16_t kSpace = 0x20;
inline constexpr std::uint16_t kPageUp = 0x21;
inline constexpr std::uint16_t kPageDown = 0x22;
inline constexpr std::uint16_t kEnd = 0x23;
inline constexpr std::uint16_t kHome = 0x24;
inline constexpr std::uint16_t kLeft = 0x25;
inline constexpr std::uint16_t kUp = 0x26;
inline constexpr std::uint16_t kRight = 0x27;
inline constexpr std::uint16_t kDown = 0x28;
inline constexpr std::uint16_t kInsert = 0x2D;
inline constexpr std::uint16_t kDelete = 0x2E;
inline constexpr std::uint16_t kF1 = 0x70;     // F1..F12 are consecutive
inline constexpr std::uint16_t kSlash = 0xBF;  // the "/?" key of the US layout
}  // namespace vk

constexpr KeyStroke Key(std::uint16_t key, std::uint8_t modifiers = kNoModifier) {
    return {key, modifiers};
}
constexpr KeyStroke Ctrl(std::uint16_t key) {
    return {key, kCtrl};
}
constexpr KeyStroke F(int n) {
    return {static_cast<std::uint16_t>(vk::kF1 + n - 1), kNoModifier};
}

// "Ctrl+Shift+L", "F5", "Enter", "Esc": the modifiers in the order Shift, Ctrl, Alt.
std::string KeyStrokeText(KeyStroke k);
// Reads such a text back; modifier and key names ignore letter case ("CTRL+Enter").
// Empty when the text names no key.
std::optional<KeyStroke> ParseKeyStroke(std::string_view text);

}  // namespace zeph::workbench
