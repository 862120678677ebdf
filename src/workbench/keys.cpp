#include "workbench/keys.h"

#include <array>

#include "text/cp1251.h"

namespace zeph::workbench {

namespace {

struct NamedKey {
    std::string_view name;
    std::uint16_t key;
};

constexpr std::array<NamedKey, 16> kNamedKeys = {{
    {"BkSp", vk::kBack},
    {"Tab", vk::kTab},
    {"Enter", vk::kReturn},
    {"Esc", vk::kEscape},
    {"Space", vk::kSpace},
    {"PgUp", vk::kPageUp},
    {"PgDn", vk::kPageDown},
    {"End", vk::kEnd},
    {"Home", vk::kHome},
    {"Left", vk::kLeft},
    {"Up", vk::kUp},
    {"Right", vk::kRight},
    {"Down", vk::kDown},
    {"Ins", vk::kInsert},
    {"Del", vk::kDelete},
    {"/", vk::kSlash},
}};

std::string KeyName(std::uint16_t key) {
    for (const NamedKey& n : kNamedKeys)
        if (n.key == key) return std::string(n.name);
    if (key >= vk::kF1 && key < vk::kF1 + 24) return "F" + std::to_string(key - vk::kF1 + 1);
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return std::string(1, static_cast<char>(key));
    return {};
}

std::optional<std::uint16_t> KeyFromName(std::string_view name) {
    for (const NamedKey& n : kNamedKeys)
        if (text::EqualsNoCase(n.name, name)) return n.key;
    if (text::EqualsNoCase(name, "Return")) return vk::kReturn;
    if (text::EqualsNoCase(name, "Escape")) return vk::kEscape;
    if (name.size() == 1) {
        char c = text::ToUpper(name[0]);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return static_cast<std::uint16_t>(c);
        return std::nullopt;
    }
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        int n = 0;
        for (char c : name.substr(1)) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + (c - '0');
            if (n > 24) return std::nullopt;
        }
        if (n >= 1) return static_cast<std::uint16_t>(vk::kF1 + n - 1);
    }
    return std::nullopt;
}

}  // namespace

std::string KeyStrokeText(KeyStroke k) {
    std::string name = KeyName(k.key);
    if (name.empty()) return {};
    std::string out;
    if (k.modifiers & kShift) out += "Shift+";
    if (k.modifiers & kCtrl) out += "Ctrl+";
    if (k.modifiers & kAlt) out += "Alt+";
    return out + name;
}

std::optional<KeyStroke> ParseKeyStroke(std::string_view text) {
    KeyStroke k;
    for (;;) {
        std::size_t plus = text.find('+', 1);  // "+" alone, or a trailing "+", is no separator
        if (plus == std::string_view::npos || plus + 1 == text.size()) break;
        std::string_view mod = text.substr(0, plus);
        if (text::EqualsNoCase(mod, "Shift"))
            k.modifiers |= kShift;
        else if (text::EqualsNoCase(mod, "Ctrl"))
            k.modifiers |= kCtrl;
        else if (text::EqualsNoCase(mod, "Alt"))
            k.modifiers |= kAlt;
        else
            return std::nullopt;
        text.remove_prefix(plus + 1);
    }
    std::optional<std::uint16_t> key = KeyFromName(text);
    if (!key) return std::nullopt;
    k.key = *key;
    return k;
}

}  // namespace zeph::workbench
