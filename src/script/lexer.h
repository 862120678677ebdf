// Tokens of a VBScript or JScript text, comments left out: what the stop checks, the script
// outline and the completion of script names read instead of the raw bytes, so that words inside
// strings and comments never count.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace zeph::script {

enum class Language { kVBScript, kJScript };

struct Token {
    enum Kind : unsigned char { kWord, kNumber, kString, kRegex, kPunct, kEnd };
    Kind kind = kPunct;
    bool newline_before = false;  // JScript: a line break (or a comment over lines) before it
    bool after_dot = false;       // a member name: never a keyword or a script name
    bool closes_header = false;   // JScript: the ')' of if/while/for/with
    std::size_t begin = 0, end = 0;
    int line = 1;    // from 1
    int column = 1;  // from 1, in bytes

    std::string_view Text(std::string_view source) const {
        return source.substr(begin, end - begin);
    }
};

// VBScript: words, numbers, strings, date literals and bracketed names ("[a b]", as one word),
// punctuation ("<>", "<=" and ">=" as one token), and a kEnd token at each end of a statement (a
// line break not continued by " _", a ":", and the end of the text). "Rem" and "'" comments are
// left out.
std::vector<Token> TokenizeVBScript(std::string_view text);

// JScript: words, numbers, strings, regular expressions and punctuation ("++" and "--" as one
// token); "//" and "/* */" comments are left out. No kEnd tokens: newline_before tells where lines
// break.
std::vector<Token> TokenizeJScript(std::string_view text);

std::vector<Token> Tokenize(Language language, std::string_view text);

// Byte classes both engines agree on: code page 1251 letters (0x80 and up but the no-break space)
// count as identifier letters.
bool IsLineBreak(char c);
bool IsBlank(char c);
bool IsDigit(char c);
bool IsAsciiLetter(char c);
bool IsHighLetter(char c);
// ASCII letters compared without case; other bytes exactly.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);

}  // namespace zeph::script
