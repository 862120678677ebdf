#include "text/cp1251.h"

#include <array>

namespace zeph::text {

namespace {

// Reverse table for the code points that the high half uses: all lie in a few small ranges,
// so one sorted scan at start-up builds a direct index for the BMP's first 0x2200 units.
struct ReverseTable {
    std::array<unsigned char, 0x2200> bytes{};  // 0 = no byte (0 itself is ASCII and handled first)
    ReverseTable() {
        for (int i = 0; i < 128; ++i) {
            char16_t u = detail::kHigh[i];
            if (u < bytes.size()) bytes[u] = static_cast<unsigned char>(0x80 + i);
        }
    }
};

const ReverseTable& Reverse() {
    static const ReverseTable table;
    return table;
}

int ByteOf(char32_t cp) {
    if (cp < 0x80) return static_cast<int>(cp);
    const auto& r = Reverse().bytes;
    if (cp < r.size() && r[cp] != 0) return r[cp];
    return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::u16string ToUtf16(std::string_view s) {
    std::u16string out(s.size(), u'\0');
    for (std::size_t i = 0; i < s.size(); ++i) out[i] = ToUtf16(s[i]);
    return out;
}

std::string FromUtf16(std::u16string_view s, char replacement) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char16_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            ++i;  // a pair stands for one character outside the code page
            out += replacement;
            continue;
        }
        int b = ByteOf(u);
        out += b < 0 ? replacement : static_cast<char>(b);
    }
    return out;
}

std::string ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (char c : s) AppendUtf8(out, ToUtf16(c));
    return out;
}

std::string FromUtf8(std::string_view s, char replacement) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    const std::size_t n = s.size();
    auto cont = [&](std::size_t k) {
        return k < n && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80;
    };
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        char32_t cp = 0;
        std::size_t len = 0;
        if (b < 0x80) {
            cp = b, len = 1;
        } else if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
            cp = ((b & 0x1F) << 6) | (s[i + 1] & 0x3F), len = 2;
        } else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
            cp = ((b & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F), len = 3;
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        } else if (b >= 0xF0 && b <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
            cp = 0xFFFD, len = 4;  // outside the BMP: never in the code page
        } else {
            out += replacement;  // a stray or truncated byte stands for itself
            ++i;
            continue;
        }
        int byte = ByteOf(cp);
        out += byte < 0 ? replacement : static_cast<char>(byte);
        i += len;
    }
    return out;
}

std::string ToUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = ToUpper(c);
    return out;
}

std::string ToLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = ToLower(c);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ToUpper(a[i]) != ToUpper(b[i])) return false;
    return true;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(ToUpper(a[i]));
        auto y = static_cast<unsigned char>(ToUpper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace zeph::text
