#include "settings/colour_list.h"

#include <array>

namespace zeph::settings {

namespace {

constexpr editor::ColourValue Sys(int n) {
    return static_cast<editor::ColourValue>(0xFF000000u | static_cast<unsigned>(n));
}

constexpr std::array kEntries = std::to_array<ColourEntry>({
    // standard
    {0x000000, "Black"},
    {0x000080, "Maroon"},
    {0x008000, "Green"},
    {0x008080, "Olive"},
    {0x800000, "Navy"},
    {0x800080, "Purple"},
    {0x808000, "Teal"},
    {0x808080, "Gray"},
    {0xC0C0C0, "Silver"},
    {0x0000FF, "Red"},
    {0x00FF00, "Lime"},
    {0x00FFFF, "Yellow"},
    {0xFF0000, "Blue"},
    {0xFF00FF, "Fuchsia"},
    {0xFFFF00, "Aqua"},
    {0xFFFFFF, "White"},
    // extended
    {0xC0DCC0, "Money Green"},
    {0xF0CAA6, "Sky Blue"},
    {0xF0FBFF, "Cream"},
    {0xA4A0A0, "Medium Gray"},
    // system
    {Sys(0), "Scroll Bar"},
    {Sys(1), "Background"},
    {Sys(2), "Active Caption"},
    {Sys(3), "Inactive Caption"},
    {Sys(4), "Menu"},
    {Sys(5), "Window"},
    {Sys(6), "Window Frame"},
    {Sys(7), "Menu Text"},
    {Sys(8), "Window Text"},
    {Sys(9), "Caption Text"},
    {Sys(10), "Active Border"},
    {Sys(11), "Inactive Border"},
    {Sys(12), "App Workspace"},
    {Sys(13), "Highlight"},
    {Sys(14), "Highlight Text"},
    {Sys(15), "Button Face"},
    {Sys(16), "Button Shadow"},
    {Sys(17), "Gray Text"},
    {Sys(18), "Button Text"},
    {Sys(19), "Inactive Caption Text"},
    {Sys(20), "Button Highlight"},
    {Sys(21), "3D Dark Shadow"},
    {Sys(22), "3D Light"},
    {Sys(23), "Info Text"},
    {Sys(24), "Info Background"},
    {Sys(26), "Hot Light"},
    {Sys(27), "Gradient Active Caption"},
    {Sys(28), "Gradient Inactive Caption"},
    {Sys(29), "Menu Highlight"},
    {Sys(30), "Menu Bar"},
    // special
    {editor::kNoColour, "None"},
    {editor::kDefaultColour, "Default"},
});

}  // namespace

std::span<const ColourEntry> ColourList() {
    return kEntries;
}

int ColourIndex(editor::ColourValue value) {
    for (std::size_t i = 0; i < kEntries.size(); ++i)
        if (kEntries[i].value == value) return static_cast<int>(i);
    return -1;
}

}  // namespace zeph::settings
