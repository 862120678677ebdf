#include "script/lexer.h"

#include <algorithm>
#include <initializer_list>

namespace zeph::script {

bool IsLineBreak(char c) {
    return c == '\n' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
// Code page 1251 letters are identifier letters to both engines; 0xA0 is a no-break space.
bool IsHighLetter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 && u != 0xA0;
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || static_cast<unsigned char>(c) == 0xA0;
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

namespace {

bool OneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// Fills in each token's line and column from its offset.
void Place(std::string_view s, std::vector<Token>& tokens) {
    int line = 1;
    std::size_t line_start = 0, p = 0;
    for (Token& t : tokens) {
        for (; p < t.begin && p < s.size(); ++p) {
            if (s[p] == '\n' || (s[p] == '\r' && (p + 1 >= s.size() || s[p + 1] != '\n'))) {
                ++line;
                line_start = p + 1;
            }
        }
        t.line = line;
        t.column = static_cast<int>(t.begin - line_start) + 1;
    }
}

// ---- VBScript ---------------------------------------------------------------------------------

class VBScriptLexer {
  public:
    explicit VBScriptLexer(std::string_view s) : s_(s) {}

    std::vector<Token> Run() {
        const std::size_t n = s_.size();
        std::size_t p = 0;
        bool after_dot = false;
        while (p < n) {
            const char c = s_[p];
            if (IsLineBreak(c)) {
                End(p);
                p += (c == '\r' && p + 1 < n && s_[p + 1] == '\n') ? 2 : 1;
                after_dot = false;
                continue;
            }
            if (IsBlank(c)) {
                ++p;
                continue;
            }
            if (c == '\'') {
                p = LineEnd(p);
                continue;
            }
            if (c == ':') {
                End(p);
                ++p;
                after_dot = false;
                continue;
            }
            if (c == '_' && LineEnd(p + 1) == SkipBlanks(p + 1)) {
                // A continuation: the statement goes on after the line break.
                p = LineEnd(p + 1);
                if (p < n) p += (s_[p] == '\r' && p + 1 < n && s_[p + 1] == '\n') ? 2 : 1;
                continue;
            }
            Token t;
            t.begin = p;
            t.after_dot = after_dot;
            if (c == '"') {
                t.kind = Token::kString;
                p = StringEnd(p);
            } else if (c == '#' || c == '[') {
                // A date literal or a bracketed name; a ':' or quote inside is part of it.
                const char close = c == '#' ? '#' : ']';
                std::size_t q = p + 1;
                while (q < n && !IsLineBreak(s_[q]) && s_[q] != close) ++q;
                p = (q < n && s_[q] == close) ? q + 1 : p + 1;
                t.kind = c == '#' ? Token::kNumber : Token::kWord;
            } else if (IsAsciiLetter(c) || IsHighLetter(c)) {
                t.kind = Token::kWord;
                while (p < n && IsWordByte(s_[p])) ++p;
                // "Rem" starts a comment unless it names a member (obj.Rem).
                if (!after_dot && EqualsAsciiNoCase(s_.substr(t.begin, p - t.begin), "rem")) {
                    p = LineEnd(p);
                    continue;
                }
            } else if (IsDigit(c) || (c == '.' && p + 1 < n && IsDigit(s_[p + 1])) ||
                       (c == '&' && p + 1 < n && (s_[p + 1] == 'h' || s_[p + 1] == 'H'))) {
                t.kind = Token::kNumber;
                ++p;
                while (p < n && (IsWordByte(s_[p]) || s_[p] == '.' || s_[p] == '&')) ++p;
            } else {
                t.kind = Token::kPunct;
                const char next = p + 1 < n ? s_[p + 1] : '\0';
                p += ((c == '<' && (next == '>' || next == '=')) || (c == '>' && next == '=')) ? 2
                                                                                               : 1;
            }
            t.end = p;
            after_dot = t.kind == Token::kPunct && c == '.' && p == t.begin + 1;
            out_.push_back(t);
        }
        End(n);
        return std::move(out_);
    }

  private:
    static bool IsWordByte(char c) {
        return IsAsciiLetter(c) || IsDigit(c) || c == '_' || IsHighLetter(c);
    }
    std::size_t LineEnd(std::size_t p) const {
        while (p < s_.size() && !IsLineBreak(s_[p])) ++p;
        return p;
    }
    std::size_t SkipBlanks(std::size_t p) const {
        while (p < s_.size() && IsBlank(s_[p])) ++p;
        return p;
    }
    // Past the closing quote ("" is a quote inside), or the line's end when there is none.
    std::size_t StringEnd(std::size_t p) const {
        ++p;
        while (p < s_.size() && !IsLineBreak(s_[p])) {
            if (s_[p] == '"') {
                if (p + 1 < s_.size() && s_[p + 1] == '"') {
                    p += 2;
                    continue;
                }
                return p + 1;
            }
            ++p;
        }
        return p;
    }
    // One end between statements, however many breaks and colons follow each other.
    void End(std::size_t at) {
        if (out_.empty() || out_.back().kind == Token::kEnd) return;
        Token t;
        t.kind = Token::kEnd;
        t.begin = t.end = at;
        out_.push_back(t);
    }

    std::string_view s_;
    std::vector<Token> out_;
};

// ---- JScript ----------------------------------------------------------------------------------

bool IsJsWordStart(char c) {
    return IsAsciiLetter(c) || c == '_' || c == '$' || IsHighLetter(c);
}
bool IsJsWordByte(char c) {
    return IsJsWordStart(c) || IsDigit(c);
}

class JScriptLexer {
  public:
    explicit JScriptLexer(std::string_view s) : s_(s) {}

    std::vector<Token> Run() {
        const std::size_t n = s_.size();
        std::size_t p = 0;
        bool newline = false;
        std::vector<bool> header_parens;  // per open '(': does it follow if/while/for/with
        while (p < n) {
            const char c = s_[p];
            const char next = p + 1 < n ? s_[p + 1] : '\0';
            if (IsLineBreak(c)) {
                newline = true;
                ++p;
                continue;
            }
            if (IsBlank(c)) {
                ++p;
                continue;
            }
            if (c == '/' && next == '/') {
                while (p < n && !IsLineBreak(s_[p])) ++p;
                continue;
            }
            if (c == '/' && next == '*') {
                const std::size_t close = s_.find("*/", p + 2);
                const std::size_t e = close == std::string_view::npos ? n : close + 2;
                // A comment over lines counts as a line break for semicolon insertion.
                if (s_.substr(p, e - p).find_first_of("\r\n") != std::string_view::npos)
                    newline = true;
                p = e;
                continue;
            }
            Token t;
            t.begin = p;
            t.newline_before = newline;
            newline = false;
            t.after_dot = !out_.empty() && Is(out_.back(), ".");
            if (c == '"' || c == '\'') {
                t.kind = Token::kString;
                p = StringEnd(p);
            } else if (IsDigit(c) || (c == '.' && IsDigit(next))) {
                t.kind = Token::kNumber;
                const bool hex = c == '0' && (next == 'x' || next == 'X');
                ++p;
                while (p < n && (IsJsWordByte(s_[p]) || s_[p] == '.' ||
                                 (!hex && (s_[p] == '+' || s_[p] == '-') &&
                                  (s_[p - 1] == 'e' || s_[p - 1] == 'E'))))
                    ++p;
            } else if (IsJsWordStart(c)) {
                t.kind = Token::kWord;
                while (p < n && IsJsWordByte(s_[p])) ++p;
            } else if (c == '/' && RegexMayStart()) {
                t.kind = Token::kRegex;
                p = RegexEnd(p);
            } else {
                t.kind = Token::kPunct;
                p += ((c == '+' || c == '-') && next == c) ? 2 : 1;
                if (c == '(') {
                    header_parens.push_back(!out_.empty() && IsKeyword(out_.back()));
                } else if (c == ')' && !header_parens.empty()) {
                    t.closes_header = header_parens.back();
                    header_parens.pop_back();
                }
            }
            t.end = p;
            out_.push_back(t);
        }
        return std::move(out_);
    }

  private:
    std::string_view Text(const Token& t) const { return s_.substr(t.begin, t.end - t.begin); }
    bool Is(const Token& t, std::string_view punct) const {
        return t.kind == Token::kPunct && Text(t) == punct;
    }
    bool IsKeyword(const Token& t) const {
        return t.kind == Token::kWord && !t.after_dot &&
               OneOf(Text(t), {"if", "while", "for", "with"});
    }

    // Whether a '/' here starts a regular expression rather than dividing: it does where an
    // operand is expected, that is not after an operand.
    bool RegexMayStart() const {
        if (out_.empty()) return true;
        const Token& t = out_.back();
        switch (t.kind) {
            case Token::kNumber:
            case Token::kString:
            case Token::kRegex:
                return false;
            case Token::kWord:
                return !t.after_dot &&
                       OneOf(Text(t), {"return", "typeof", "instanceof", "in", "new", "delete",
                                       "void", "throw", "case", "do", "else"});
            case Token::kEnd:
                return true;
            case Token::kPunct:
                if (Is(t, ")")) return t.closes_header;
                return !Is(t, "]") && !Is(t, "++") && !Is(t, "--");
        }
        return true;
    }

    // Past the closing quote, or the line's end for a string left open; a backslash escapes
    // the next byte, a line break (CR LF included) too.
    std::size_t StringEnd(std::size_t p) const {
        const char quote = s_[p++];
        while (p < s_.size()) {
            const char c = s_[p];
            if (c == '\\') {
                p += (p + 2 < s_.size() && s_[p + 1] == '\r' && s_[p + 2] == '\n') ? 3 : 2;
                continue;
            }
            if (c == quote) return p + 1;
            if (IsLineBreak(c)) return p;
            ++p;
        }
        return s_.size();
    }

    // Past the closing '/' (one inside [...] does not close) and the flags; the line's end for
    // one left open.
    std::size_t RegexEnd(std::size_t p) const {
        const std::size_t n = s_.size();
        bool in_class = false;
        ++p;
        while (p < n && !IsLineBreak(s_[p])) {
            const char c = s_[p];
            if (c == '\\') {
                p = (p + 1 < n && !IsLineBreak(s_[p + 1])) ? p + 2 : p + 1;
                continue;
            }
            ++p;
            if (c == '[') {
                in_class = true;
            } else if (c == ']') {
                in_class = false;
            } else if (c == '/' && !in_class) {
                while (p < n && IsJsWordByte(s_[p])) ++p;
                return p;
            }
        }
        return p;
    }

    std::string_view s_;
    std::vector<Token> out_;
};

}  // namespace

std::vector<Token> TokenizeVBScript(std::string_view text) {
    std::vector<Token> tokens = VBScriptLexer(text).Run();
    Place(text, tokens);
    return tokens;
}

std::vector<Token> TokenizeJScript(std::string_view text) {
    std::vector<Token> tokens = JScriptLexer(text).Run();
    Place(text, tokens);
    return tokens;
}

std::vector<Token> Tokenize(Language language, std::string_view text) {
    return language == Language::kVBScript ? TokenizeVBScript(text) : TokenizeJScript(text);
}

}  // namespace zeph::script
