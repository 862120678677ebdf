// Token classes of the highlighters: their looks and the Russian captions under which the
// configuration file and the settings dialog name them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zeph::editor {

// 32-bit colour number: 0x00BBGGRR plain colour, 0xFF0000nn system colour nn,
// kNoColour for none (the editor's own colour is used), kDefaultColour for the default.
using ColourValue = std::int32_t;
inline constexpr ColourValue kNoColour = 0x1FFFFFFF;
inline constexpr ColourValue kDefaultColour = 0x20000000;

inline constexpr ColourValue kGreen = 32768;
inline constexpr ColourValue kNavy = 8388608;
inline constexpr ColourValue kBlue = 16711680;
inline constexpr ColourValue kMaroon = 128;
inline constexpr ColourValue kGrey = 8421504;

// Set of font styles, combined with |.
enum FontStyle : std::uint8_t {
    kPlain = 0,
    kBold = 1,
    kItalic = 2,
    kUnderline = 4,
};

// One token class of a highlighter (name fixed, look changeable).
struct THighlighterAttributes {
    std::string name;
    ColourValue foreground = kNoColour;
    ColourValue background = kNoColour;
    std::uint8_t style = kPlain;  // FontStyle bits

    bool bold() const { return style & kBold; }
    bool italic() const { return style & kItalic; }
    bool underline() const { return style & kUnderline; }
};

// The captions of the nine token classes, both ways.
namespace TokenClassTable {
// Caption -> class name, ignoring letter case; any other text comes back unchanged.
std::string ClassNameOf(std::string_view caption);
// Class name -> caption, ignoring letter case; any other text comes back unchanged.
std::string CaptionOf(std::string_view class_name);
inline constexpr int kCount = 9;
// Entry i (0..8) in the table's order: Comment, Event, Identifier, Reserved word,
// Non-reserved keyword, Number, Space, String, Symbol.
std::string_view CaptionAt(int i);
std::string_view ClassNameAt(int i);
}  // namespace TokenClassTable

}  // namespace zeph::editor
