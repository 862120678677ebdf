// The entries of the colour drop-downs: standard, extended and system colours, "none",
// "default" and one custom entry, each with the short name the box shows next to its swatch.
#pragma once

#include <span>
#include <string_view>

#include "editor/token_class.h"

namespace zeph::settings {

struct ColourEntry {
    editor::ColourValue value;
    std::string_view name;
};

// Every fixed entry in the order the box lists them; the custom entry follows them.
std::span<const ColourEntry> ColourList();
inline constexpr std::string_view kCustomColourName = "Custom...";

// The index of the first fixed entry with that value, or -1 when the value needs the custom
// entry (any plain colour of its own).
int ColourIndex(editor::ColourValue value);

}  // namespace zeph::settings
