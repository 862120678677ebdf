// A text font in its eight style variants (bold, italic, underline), all in the Cyrillic
// character set, with the cell metrics the editor lays its grid out by.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "base/unique.h"

namespace zeph::win {

struct FontSpec {
    std::string face;  // code page 1251
    int height = 13;   // character height in pixels (the em height, not the cell)
    bool operator==(const FontSpec&) const = default;

    // A size in points (as the configuration stores it) at the screen's resolution.
    static FontSpec FromPoints(std::string face, int points);
};

class FontSet {
  public:
    FontSet() = default;
    explicit FontSet(const FontSpec& font) { Reset(font); }

    void Reset(const FontSpec& spec);
    const FontSpec& spec() const { return spec_; }
    // True when the named face is not installed and a fixed-pitch face is used instead.
    bool fallback() const { return fallback_; }

    // Style bits: 1 bold, 2 italic, 4 underline. Variants are created on first use.
    HFONT Get(unsigned style = 0) const;

    // Every character is drawn in a cell of this width, so columns map to pixels directly.
    int cell_width() const { return cell_width_; }
    int cell_height() const { return cell_height_; }
    int ascent() const { return ascent_; }

  private:
    FontSpec spec_;
    bool fallback_ = false;  // the named face is missing: a fixed-pitch face stands in
    mutable std::array<UniqueFont, 8> fonts_;
    int cell_width_ = 8;
    int cell_height_ = 16;
    int ascent_ = 12;
};

// Creates one font; `bold`, `italic`, `underline` as named. Never fails: GDI substitutes
// a face it has when the named one is missing.
// With `fixed_pitch` the face may be empty: the system's fixed-pitch face is taken.
UniqueFont CreateCyrillicFont(const std::string& face, int height, bool bold = false,
                              bool italic = false, bool underline = false,
                              bool fixed_pitch = false);

// The face GDI actually chose for a font (code page 1251).
std::string ActualFace(HFONT font);

// Width of a UTF-16 text in the font currently selected into `dc`.
int TextWidth(HDC dc, const std::wstring& text);

}  // namespace zeph::win
