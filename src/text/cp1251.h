// Code page 1251, the system's internal text: conversions to and from UTF-16 and UTF-8,
// case folding and character classes by the code page's own rules. Nothing here depends
// on the machine's locale or on a Windows ANSI code page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zeph::text {

namespace detail {

// UTF-16 of the bytes 0x80..0xFF. 0x98 is unassigned in the code page; it maps to U+0098 and
// back, as Windows does, so every byte round-trips.
inline constexpr std::array<char16_t, 128> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

constexpr char16_t ByteToCodeUnit(unsigned char b) {
    return b < 0x80 ? b : kHigh[b - 0x80];
}

// The code page byte of a code point, or -1 when the code page has none.
constexpr int CodePointToByte(char32_t cp) {
    if (cp < 0x80) return static_cast<int>(cp);
    for (int i = 0; i < 128; ++i)
        if (kHigh[i] == cp) return 0x80 + i;
    return -1;
}

constexpr char32_t UpperCodePoint(char32_t u) {
    if (u >= 'a' && u <= 'z') return u - 0x20;
    if (u >= 0x0430 && u <= 0x044F) return u - 0x20;
    if (u >= 0x0450 && u <= 0x045F) return u - 0x50;
    if (u == 0x0491) return 0x0490;
    return u;
}

constexpr char32_t LowerCodePoint(char32_t u) {
    if (u >= 'A' && u <= 'Z') return u + 0x20;
    if (u >= 0x0410 && u <= 0x042F) return u + 0x20;
    if (u >= 0x0400 && u <= 0x040F) return u + 0x50;
    if (u == 0x0490) return 0x0491;
    return u;
}

constexpr bool IsLetterCodePoint(char32_t u) {
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= 0x0400 && u <= 0x045F) ||
           u == 0x0490 || u == 0x0491 || u == 0x00B5;
}

enum : std::uint8_t {
    kLetter = 1,
    kDigit = 2,
    kIdent = 4,      // the editor's identifier characters (word queries, word boundaries)
    kScanIdent = 8,  // the highlighters' token scanner set
    kXmlNameChar = 16,
};

constexpr std::array<unsigned char, 256> MakeCaseTable(bool upper) {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b) {
        char32_t u = ByteToCodeUnit(static_cast<unsigned char>(b));
        int mapped = CodePointToByte(upper ? UpperCodePoint(u) : LowerCodePoint(u));
        t[b] = static_cast<unsigned char>(mapped < 0 ? b : mapped);
    }
    return t;
}

constexpr std::array<std::uint8_t, 256> MakeClassTable() {
    std::array<std::uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
        std::uint8_t c = 0;
        if (IsLetterCodePoint(ByteToCodeUnit(static_cast<unsigned char>(b)))) c |= kLetter;
        if (b >= '0' && b <= '9') c |= kDigit;
        bool ascii_ident =
            (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_';
        if (ascii_ident) c |= kScanIdent | kIdent;
        if (b >= 0xC0 && b != 0xD7 && b != 0xF7) c |= kIdent;
        if ((c & (kLetter | kDigit)) || b == '-' || b == '.' || b == ':' || b == '_')
            c |= kXmlNameChar;
        t[b] = c;
    }
    return t;
}

inline constexpr auto kUpper = MakeCaseTable(true);
inline constexpr auto kLower = MakeCaseTable(false);
inline constexpr auto kClass = MakeClassTable();

}  // namespace detail

// --- single bytes -------------------------------------------------------------------------

constexpr char16_t ToUtf16(char c) {
    return detail::ByteToCodeUnit(static_cast<unsigned char>(c));
}
constexpr char ToUpper(char c) {
    return static_cast<char>(detail::kUpper[static_cast<unsigned char>(c)]);
}
constexpr char ToLower(char c) {
    return static_cast<char>(detail::kLower[static_cast<unsigned char>(c)]);
}

constexpr bool IsLetter(char c) {
    return detail::kClass[static_cast<unsigned char>(c)] & detail::kLetter;
}
constexpr bool IsDigit(char c) {
    return detail::kClass[static_cast<unsigned char>(c)] & detail::kDigit;
}
// XML names: the first byte "_" or a letter, the rest letters, digits, "-", ".", ":" and "_".
constexpr bool IsXmlNameStart(char c) {
    return c == '_' || IsLetter(c);
}
constexpr bool IsXmlNameChar(char c) {
    return detail::kClass[static_cast<unsigned char>(c)] & detail::kXmlNameChar;
}
// The editor's identifier characters: ASCII letters, digits, "_" and the Cyrillic letters
// 0xC0..0xFF except Che (0xD7, 0xF7); Yo (0xA8, 0xB8) is not among them.
constexpr bool IsIdentChar(char c) {
    return detail::kClass[static_cast<unsigned char>(c)] & detail::kIdent;
}
// The highlighters' narrower set: ASCII letters, digits and "_".
constexpr bool IsScanIdentChar(char c) {
    return detail::kClass[static_cast<unsigned char>(c)] & detail::kScanIdent;
}

// --- strings ------------------------------------------------------------------------------

std::u16string ToUtf16(std::string_view cp1251);
// Code points the code page lacks (and unpaired surrogates) become `replacement`.
std::string FromUtf16(std::u16string_view utf16, char replacement = '?');
std::string ToUtf8(std::string_view cp1251);
// Malformed UTF-8 sequences and code points the code page lacks become `replacement`.
std::string FromUtf8(std::string_view utf8, char replacement = '?');

std::string ToUpper(std::string_view s);
std::string ToLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// <0, 0, >0 like strcmp, comparing the upper-case forms byte by byte.
int CompareNoCase(std::string_view a, std::string_view b);

// --- literals -----------------------------------------------------------------------------

// A UTF-8 literal turned into code page 1251 bytes at compile time: u8"Ошибка"_cp.
template <std::size_t N>
struct Utf8Literal {
    char8_t chars[N]{};
    consteval Utf8Literal(const char8_t (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) chars[i] = s[i];
    }
};

namespace detail {

template <std::size_t N>
struct Cp1251Buffer {
    char data[N]{};
    std::size_t size = 0;
};

template <std::size_t N>
consteval Cp1251Buffer<N> Convert(const char8_t (&s)[N]) {
    Cp1251Buffer<N> out;
    std::size_t i = 0;
    while (i + 1 < N) {  // the last char is the terminating zero
        unsigned char b = s[i];
        char32_t cp;
        if (b < 0x80) {
            cp = b;
            i += 1;
        } else if ((b & 0xE0) == 0xC0) {
            cp = ((b & 0x1F) << 6) | (s[i + 1] & 0x3F);
            i += 2;
        } else if ((b & 0xF0) == 0xE0) {
            cp = ((b & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
            i += 3;
        } else {
            throw "four-byte UTF-8 has no code page 1251 form";
        }
        int byte = CodePointToByte(cp);
        if (byte < 0) throw "character not in code page 1251";
        out.data[out.size++] = static_cast<char>(byte);
    }
    return out;
}

template <Utf8Literal L>
inline constexpr auto kLiteral = Convert(L.chars);

}  // namespace detail

template <Utf8Literal L>
constexpr std::string_view operator""_cp() {
    return {detail::kLiteral<L>.data, detail::kLiteral<L>.size};
}

}  // namespace zeph::text
