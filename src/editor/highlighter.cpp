#include "editor/highlighter.h"

#include <algorithm>
#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "editor/keywords.h"
#include "text/cp1251.h"

namespace zeph::editor {

// --- classes ----------------------------------------------------------------------------

THighlighterAttributes* Highlighter::AddClass(std::string_view name, std::uint8_t style) {
    auto cls = std::make_unique<THighlighterAttributes>();
    cls->name = std::string(name);
    cls->style = style;
    auto* raw = cls.get();
    // Kept sorted by name ignoring case; a second class of one name replaces nothing.
    auto at = std::lower_bound(classes_.begin(), classes_.end(), name, [](const auto& c, auto n) {
        return text::CompareNoCase(c->name, n) < 0;
    });
    if (at != classes_.end() && text::EqualsNoCase((*at)->name, name)) return at->get();
    classes_.insert(at, std::move(cls));
    return raw;
}

void Highlighter::AddSharedClasses(SharedClasses& k) {
    k.comment = AddClass("Comment", kItalic);
    k.identifier = AddClass("Identifier", kPlain);
    k.number = AddClass("Number", kPlain);
    k.reserved = AddClass("Reserved word", kBold);
    k.space = AddClass("Space", kPlain);
    k.string = AddClass("String", kPlain);
    k.symbol = AddClass("Symbol", kPlain);
}

THighlighterAttributes* Highlighter::FindClass(std::string_view name) {
    for (auto& c : classes_)
        if (c->name == name) return c.get();
    return nullptr;
}

const THighlighterAttributes* Highlighter::FindClass(std::string_view name) const {
    for (auto& c : classes_)
        if (c->name == name) return c.get();
    return nullptr;
}

namespace {

inline bool IsSpaceByte(unsigned char c) {
    return c >= 1 && c <= 32 && c != '\n' && c != '\r';
}

inline bool IsScanIdent(unsigned char c) {
    return text::IsScanIdentChar(static_cast<char>(c));
}

inline bool IsHexLetter(unsigned char c) {
    return (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

inline bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// Tokens that share the space and line-break rules of both languages. Returns the length.
inline std::size_t SpaceOrBreak(const unsigned char* s, std::size_t i, std::size_t n) {
    unsigned char c = s[i];
    if (c == '\n') return 1;
    if (c == '\r') return (i + 1 < n && s[i + 1] == '\n') ? 2 : 1;
    std::size_t j = i + 1;
    while (j < n && IsSpaceByte(s[j])) ++j;
    return j - i;
}

// What the first character of a token starts, looked up once per token.
enum Kind : std::uint8_t {
    kKOther,
    kKSpace,
    kKBreak,
    kKDigit,
    kKWord,
    kKDoubleQuote,
    kKQuote,
    kKHash,
    kKLess,
    kKGreater,
    kKSymbol,
    kKSlash,
    kKAmpPipePlus,
    kKMinus,
    kKPercentStar,
    kKDot,
    kKOwnColours,
};

constexpr std::array<std::uint8_t, 256> MakeKinds(bool js) {
    std::array<std::uint8_t, 256> k{};
    for (int c = 0; c < 256; ++c) {
        std::uint8_t v = kKOther;
        if (c >= 1 && c <= 32) v = kKSpace;
        if (c == '\n' || c == '\r') v = kKBreak;
        if (c >= '0' && c <= '9') v = kKDigit;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') v = kKWord;
        if (c == '"') v = kKDoubleQuote;
        if (!js) {
            if (c == '\'') v = kKQuote;  // a comment in VBScript
            if (c == '#') v = kKHash;
            if (c == '<') v = kKLess;
            if (c == '>') v = kKGreater;
            if (std::string_view("&()*+,-./:;=^{}").find(static_cast<char>(c)) !=
                    std::string_view::npos &&
                c != 0)
                v = kKSymbol;
        } else {
            if (c == '\'') v = kKQuote;
            if (c == '/') v = kKSlash;
            if (c == '&' || c == '|' || c == '+') v = kKAmpPipePlus;
            if (c == '-') v = kKMinus;
            if (c == '%' || c == '*') v = kKPercentStar;
            if (c == '.') v = kKDot;
            if (c >= 127 ||
                std::string_view("#$@\\^`").find(static_cast<char>(c)) != std::string_view::npos)
                if (c != 0) v = kKOwnColours;
        }
        k[c] = v;
    }
    return k;
}

constexpr auto kVBKinds = MakeKinds(false);
constexpr auto kJSKinds = MakeKinds(true);

template <class Sink>
void ScanVBScript(std::string_view line, const SharedClasses& k,
                  const detail::KeywordTable& keywords, Sink&& sink) {
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    const std::size_t n = line.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        std::size_t j = i + 1;
        const THighlighterAttributes* cls;
        switch (kVBKinds[c]) {
            case kKWord:
                while (j < n && IsScanIdent(s[j])) ++j;
                cls = keywords.Find(line.substr(i, j - i)) ? k.reserved : k.identifier;
                break;
            case kKSpace:
            case kKBreak:
                j = i + SpaceOrBreak(s, i, n);
                cls = k.space;
                break;
            case kKSymbol:
                cls = k.symbol;
                break;
            case kKDoubleQuote:
                if (j + 1 < n && s[j] == '"' && s[j + 1] == '"') j += 2;
                while (j < n && s[j] != '"') ++j;
                if (j < n) ++j;
                cls = k.string;
                break;
            case kKDigit:
                while (j < n && (IsDigit(s[j]) || s[j] == '.' || s[j] == 'E' || s[j] == 'e')) ++j;
                cls = k.number;
                break;
            case kKQuote:
                j = n;
                cls = k.comment;
                break;
            case kKHash:
                while (j < n && s[j] != '#') ++j;
                if (j < n) ++j;
                cls = k.string;
                break;
            case kKLess:
                if (j < n && (s[j] == '=' || s[j] == '>')) ++j;
                cls = k.symbol;
                break;
            case kKGreater:
                if (j < n && s[j] == '=') ++j;
                cls = k.symbol;
                break;
            default:
                cls = k.identifier;
        }
        sink(static_cast<int>(i), static_cast<int>(j - i), cls);
        i = j;
    }
}

// The JScript classes as one value, copied by the scanner's callers so that the scan keeps
// them in registers rather than reading them back through the highlighter.
struct JSClasses : SharedClasses {
    const THighlighterAttributes *event, *non_reserved;
};

// Where the two bytes `a` and `b` first follow each other in the line at or after `from`, or
// npos: sixteen places at a time where the processor has SSE2. Half the lines of a commented
// text are searched for the end of a comment, and every line for a start when the editor loads
// a text or changes the language.
inline std::size_t FindPair(std::string_view line, std::size_t from, char a, char b) {
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    const char* p = begin + std::min(from, line.size());
#ifdef __SSE2__
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b);
    // The pairs starting at the sixteen places from `at`.
    auto pairs = [&](const char* at) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
        return static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, va), _mm_cmpeq_epi8(next, vb))));
    };
    if (end - begin >= 17) {
        for (; end - p >= 17; p += 16)
            if (const unsigned hit = pairs(p))
                return static_cast<std::size_t>(p - begin) +
                       static_cast<std::size_t>(__builtin_ctz(hit));
        // The rest in one more window, ending with the line; the places before `p` in it were
        // searched already, or come before `from`.
        if (end - p < 2) return std::string_view::npos;
        const char* last = end - 17;
        const unsigned hit = pairs(last) & (~0u << (p - last));
        return hit ? static_cast<std::size_t>(last - begin) +
                         static_cast<std::size_t>(__builtin_ctz(hit))
                   : std::string_view::npos;
    }
#endif
    for (; end - p >= 2; ++p)
        if (p[0] == a && p[1] == b) return static_cast<std::size_t>(p - begin);
    return std::string_view::npos;
}

// Position just past the "*/" that closes a block comment searched from `from`, or npos.
inline std::size_t FindCommentEnd(std::string_view line, std::size_t from) {
    std::size_t p = FindPair(line, from, '*', '/');
    return p == std::string_view::npos ? p : p + 2;
}

// End of the number that starts at `i` (a digit): digits with dots (not "..") and, after
// "0x" followed by a hexadecimal digit, hexadecimal letters.
inline std::size_t JScriptNumberEnd(const unsigned char* s, std::size_t i, std::size_t n) {
    const unsigned char c = s[i];
    std::size_t j = i + 1;
    bool hex = false;
    while (j < n) {
        const unsigned char d = s[j];
        if (IsDigit(d)) {
        } else if (d == '.') {
            if (j + 1 < n && s[j + 1] == '.') break;
        } else if (IsHexLetter(d)) {
            if (!hex) break;
        } else if (d == 'x' || d == 'X') {
            // Hexadecimal only as "0x" followed by a hexadecimal digit.
            if (j == i + 1 && c == '0' && j + 1 < n && (IsDigit(s[j + 1]) || IsHexLetter(s[j + 1])))
                hex = true;
            else
                break;
        } else {
            break;
        }
        ++j;
    }
    return j;
}

// The class of a word by its keyword kind (0 for none).
inline const THighlighterAttributes* JScriptWordClass(int kind, const JSClasses& k) {
    switch (kind) {
        case 1:
            return k.reserved;
        case 2:
            return k.non_reserved;
        case 3:
            return k.event;
        default:
            return k.identifier;
    }
}

template <class Sink>
LineState ScanJScript(std::string_view line, LineState state, const JSClasses& k,
                      const detail::KeywordTable& keywords, Sink&& sink) {
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    const std::size_t n = line.size();
    std::size_t i = 0;
    if (state == kInBlockComment) {
        if (n == 0) return state;
        std::size_t end = FindCommentEnd(line, 0);
        if (end == std::string_view::npos) {
            sink(0, static_cast<int>(n), k.comment);
            return kInBlockComment;
        }
        sink(0, static_cast<int>(end), k.comment);
        i = end;
    }
    while (i < n) {
        const unsigned char c = s[i];
        std::size_t j = i + 1;
        const THighlighterAttributes* cls = k.symbol;
        switch (kJSKinds[c]) {
            case kKWord:
                while (j < n && IsScanIdent(s[j])) ++j;
                cls = JScriptWordClass(keywords.Find(line.substr(i, j - i)), k);
                break;
            case kKSpace:
            case kKBreak:
                j = i + SpaceOrBreak(s, i, n);
                cls = k.space;
                break;
            case kKDoubleQuote:
            case kKQuote:
                if (j + 1 < n && s[j] == c && s[j + 1] == c) j += 2;
                while (j < n && !(s[j] == c && s[j - 1] != '\\')) ++j;
                if (j < n) ++j;
                cls = k.string;
                break;
            case kKSlash:
                if (j < n && s[j] == '*') {
                    std::size_t end = FindCommentEnd(line, j + 1);
                    if (end == std::string_view::npos) {
                        sink(static_cast<int>(i), static_cast<int>(n - i), k.comment);
                        return kInBlockComment;
                    }
                    j = end;
                    cls = k.comment;
                } else if (j < n && s[j] == '/') {
                    j = n;
                    cls = k.comment;
                } else if (j < n && s[j] == '=') {
                    ++j;
                }
                break;
            case kKDigit:
                j = JScriptNumberEnd(s, i, n);
                cls = k.number;
                break;
            case kKAmpPipePlus:
                if (j < n && (s[j] == c || s[j] == '=')) ++j;
                break;
            case kKMinus:
                if (j < n && (s[j] == '-' || s[j] == '=' || s[j] == '>')) ++j;
                break;
            case kKPercentStar:
                if (j < n && s[j] == '=') ++j;
                break;
            case kKDot:
                if (j + 1 < n && s[j] == '.' && s[j + 1] == '.') j += 2;
                break;
            case kKOwnColours:
                cls = nullptr;
                break;
            default:
                break;  // one-character symbols
        }
        sink(static_cast<int>(i), static_cast<int>(j - i), cls);
        i = j;
    }
    return 0;
}

// The state at the end of a JScript line as ScanJScript leaves it, following only what opens,
// closes or hides a block comment: strings and comments. No other token holds a quote or a "/",
// so past the tokens looked at, the next quote or "/" always starts a token, and the bytes
// between are passed over without cutting them into tokens.
LineState JScriptEndState(std::string_view line, LineState state) {
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    const std::size_t n = line.size();
    std::size_t i = 0;
    if (state == kInBlockComment) {
        if (n == 0) return state;
        i = FindCommentEnd(line, 0);
        if (i == std::string_view::npos) return kInBlockComment;
    }
    while (i < n) {
        const unsigned char c = s[i];
        if (c != '"' && c != '\'' && c != '/') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        if (c == '/') {
            if (j < n && s[j] == '*') {
                j = FindCommentEnd(line, j + 1);
                if (j == std::string_view::npos) return kInBlockComment;
            } else if (j < n && s[j] == '/') {
                return 0;
            }
        } else {
            // As ScanJScript reads a string.
            if (j + 1 < n && s[j] == c && s[j + 1] == c) j += 2;
            while (j < n && !(s[j] == c && s[j - 1] != '\\')) ++j;
            if (j < n) ++j;
        }
        i = j;
    }
    return 0;
}

}  // namespace

// --- VBScript ---------------------------------------------------------------------------

TVBScriptHighlighter::TVBScriptHighlighter() : keywords_(detail::VBScriptKeywords()) {
    AddSharedClasses(*this);
}

LineState TVBScriptHighlighter::ScanLine(std::string_view line, LineState,
                                         std::vector<TokenRun>& out) const {
    const SharedClasses k = *this;
    ScanVBScript(line, k, keywords_, [&out](int start, int len, const THighlighterAttributes* cls) {
        out.push_back({start, len, cls});
    });
    return 0;
}

bool TVBScriptHighlighter::IsReservedWord(std::string_view word) {
    return detail::VBScriptKeywords().Find(word) != 0;
}

// --- JScript ----------------------------------------------------------------------------

TJScriptHighlighter::TJScriptHighlighter() : keywords_(detail::JScriptKeywords()) {
    AddSharedClasses(*this);
    event = AddClass("Event", kPlain);
    non_reserved = AddClass("Non-reserved keyword", kPlain);
}

LineState TJScriptHighlighter::ScanLine(std::string_view line, LineState start,
                                        std::vector<TokenRun>& out) const {
    const JSClasses k{*this, event, non_reserved};
    return ScanJScript(line, start, k, keywords_,
                       [&out](int start, int len, const THighlighterAttributes* cls) {
                           out.push_back({start, len, cls});
                       });
}

LineState TJScriptHighlighter::EndState(std::string_view line, LineState start) const {
    // A line without "/*" (and not starting inside a comment) always ends plain.
    if (start != kInBlockComment && FindPair(line, 0, '/', '*') == std::string_view::npos) return 0;
    return JScriptEndState(line, start);
}

TJScriptHighlighter::WordKind TJScriptHighlighter::ClassifyWord(std::string_view word) {
    switch (detail::JScriptKeywords().Find(word)) {
        case 1:
            return WordKind::kReserved;
        case 2:
            return WordKind::kNonReserved;
        case 3:
            return WordKind::kEvent;
        default:
            return WordKind::kIdentifier;
    }
}

// --- workbench looks --------------------------------------------------------------------

namespace {
void Look(Highlighter& h, std::string_view name, ColourValue fg, std::uint8_t style) {
    if (auto* c = h.FindClass(name)) {
        c->foreground = fg;
        c->background = kNoColour;
        c->style = style;
    }
}

// The looks of the classes both languages have, but for comments, which differ.
void SharedLooks(Highlighter& h) {
    Look(h, "Identifier", kNavy, kPlain);
    Look(h, "Number", kNavy, kPlain);
    Look(h, "Reserved word", kBlue, kBold);
    Look(h, "Space", kNoColour, kPlain);
    Look(h, "String", kMaroon, kPlain);
    Look(h, "Symbol", kNavy, kPlain);
}
}  // namespace

void ApplyWorkbenchLooks(TVBScriptHighlighter& vb) {
    SharedLooks(vb);
    Look(vb, "Comment", kGreen, kBold | kItalic | kUnderline);
    vb.NotifyLooksChanged();
}

void ApplyWorkbenchLooks(TJScriptHighlighter& js) {
    SharedLooks(js);
    Look(js, "Comment", kGreen, kPlain);
    Look(js, "Event", kGrey, kPlain);
    Look(js, "Non-reserved keyword", kGrey, kPlain);
    js.NotifyLooksChanged();
}

}  // namespace zeph::editor
