#include "workbench/stop_checks.h"

#include "script/lexer.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <utility>

namespace zeph::workbench {

namespace {

using script::EqualsAsciiNoCase;

// VBScript calls the object on every turn (a few microseconds each).
constexpr std::string_view kVBScriptCheck = ":ZephRun.Tick";
// JScript counts turns and calls once in 1024. The statement form is for the start of a braced
// body; the comma form goes in front of a loop's condition, whose own value it keeps (Tick
// returns true); an empty `for` condition also needs the true value after it.
constexpr std::string_view kJScriptBodyCheck = "if(!(++ZephTurns&1023))ZephRun.Tick();";
constexpr std::string_view kJScriptConditionCheck = "(!(++ZephTurns&1023)&&ZephRun.Tick()),";
constexpr std::string_view kJScriptEmptyConditionCheck = "(!(++ZephTurns&1023)&&ZephRun.Tick()),1";
static_assert(kVBScriptCheck.substr(1, kStopCheckItem.size()) == kStopCheckItem);
static_assert(kJScriptBodyCheck.find(kStopCheckItem) != std::string_view::npos);
static_assert(kJScriptConditionCheck.find(kStopCheckItem) != std::string_view::npos);

struct Insert {
    std::size_t offset;  // in the user's text
    std::string text;
};

bool OneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// The checked text: the user's bytes with the inserts, and where each insert landed.
StopCheckedText Build(std::string_view src, std::vector<Insert> inserts) {
    std::stable_sort(inserts.begin(), inserts.end(),
                     [](const Insert& a, const Insert& b) { return a.offset < b.offset; });
    StopCheckedText r;
    std::size_t extra = 0;
    for (const auto& in : inserts) extra += in.text.size();
    r.text.reserve(src.size() + extra);
    r.insertions.reserve(inserts.size());
    int line = 1;
    std::size_t line_start = 0;  // in r.text
    std::size_t k = 0;
    for (std::size_t p = 0;; ++p) {
        for (; k < inserts.size() && inserts[k].offset == p; ++k) {
            r.insertions.push_back({line, static_cast<int>(r.text.size() - line_start),
                                    static_cast<int>(inserts[k].text.size())});
            r.text += inserts[k].text;
        }
        if (p >= src.size()) break;
        const char c = src[p];
        r.text += c;
        // CR LF, LF and a lone CR each end a line, as the engines count them.
        if (c == '\n' || (c == '\r' && (p + 1 == src.size() || src[p + 1] != '\n'))) {
            ++line;
            line_start = r.text.size();
        }
    }
    return r;
}

// The line (from 1) of each offset, as the engines count lines.
class LineIndex {
  public:
    explicit LineIndex(std::string_view s) {
        starts_.push_back(0);
        for (std::size_t p = 0; p < s.size(); ++p)
            if (s[p] == '\n' || (s[p] == '\r' && (p + 1 == s.size() || s[p + 1] != '\n')))
                starts_.push_back(p + 1);
    }
    int LineOf(std::size_t offset) const {
        return static_cast<int>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                starts_.begin());
    }

  private:
    std::vector<std::size_t> starts_;
};

// ---- VBScript ---------------------------------------------------------------------------------

// Reads statements (split by ':' and line ends, joined by '_' continuations) and marks the end
// of each loop or procedure header.
class VBScriptScanner {
  public:
    // With `lines`, also a pause check in front of each statement that runs.
    VBScriptScanner(std::string_view s, const LineIndex* lines) : s_(s), lines_(lines) {}

    std::vector<Insert> Run() {
        for (const script::Token& t : script::TokenizeVBScript(s_)) {
            if (t.kind == script::Token::kEnd) {
                EndStatement();
            } else {
                Token(t.begin, t.end);
            }
        }
        EndStatement();
        return std::move(out_);
    }

  private:
    void Token(std::size_t b, std::size_t e) {
        if (lead_count_ == 0) first_ = b;
        if (lead_count_ < kLead) lead_[lead_count_++] = s_.substr(b, e - b);
        last_end_ = e;
    }

    // Declarations and the parts of blocks that close or divide them run nothing to pause at,
    // and some may not follow another statement on their line.
    bool Runs() const {
        return !OneOf(Lower(lead_[0]),
                      {"option", "sub", "function", "property", "class", "end", "else", "elseif",
                       "case", "loop", "next", "wend", "dim", "const", "public", "private"});
    }
    static std::string Lower(std::string_view w) {
        std::string out(w);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    }

    bool Lead(int k, std::string_view word) const {
        return k < lead_count_ && EqualsAsciiNoCase(lead_[k], word);
    }

    bool IsHeader() const {
        if (Lead(0, "do") || Lead(0, "while") || Lead(0, "for")) return true;
        int k = 0;
        if (Lead(k, "public") || Lead(k, "private")) ++k;
        if (Lead(k, "default")) ++k;
        if (Lead(k, "sub") || Lead(k, "function")) return true;
        return Lead(k, "property") &&
               (Lead(k + 1, "get") || Lead(k + 1, "let") || Lead(k + 1, "set"));
    }

    void EndStatement() {
        if (lead_count_ > 0 && lines_ && Runs())
            out_.push_back({first_, "ZephRun.At " + std::to_string(lines_->LineOf(first_)) + ":"});
        if (lead_count_ > 0 && IsHeader()) out_.push_back({last_end_, std::string(kVBScriptCheck)});
        lead_count_ = 0;
    }

    static constexpr int kLead = 4;  // "Public Default Property Get" is the longest header start
    std::string_view s_;
    std::string_view lead_[kLead];
    int lead_count_ = 0;
    std::size_t first_ = 0;
    std::size_t last_end_ = 0;
    const LineIndex* lines_;
    std::vector<Insert> out_;
};

// ---- JScript ----------------------------------------------------------------------------------

using JsToken = script::Token;

// Walks the statements far enough to know loop bodies, the `while` that closes a `do`, and
// function bodies as opposed to object literals.
class JsParser {
  public:
    // With `lines`, also a pause check in front of each statement that runs; a statement that
    // is the body of another without braces gets them, so that the check runs with it.
    JsParser(std::string_view s, std::vector<JsToken> tokens, const LineIndex* lines)
        : s_(s), t_(std::move(tokens)), lines_(lines) {}

    std::vector<Insert> Run() {
        StatementList(false);
        return std::move(out_);
    }

  private:
    // Deeper nesting than this is skipped without checks rather than risking the stack.
    static constexpr int kMaxDepth = 256;
    struct Deeper {
        explicit Deeper(int& d) : depth(++d) {}
        ~Deeper() { --depth; }
        Deeper(const Deeper&) = delete;
        Deeper& operator=(const Deeper&) = delete;
        int& depth;
    };

    bool Done() const { return i_ >= t_.size(); }
    std::string_view Text(const JsToken& t) const { return s_.substr(t.begin, t.end - t.begin); }
    bool IsPunct(const JsToken& t, std::string_view p) const {
        return t.kind == JsToken::kPunct && Text(t) == p;
    }
    bool IsWord(const JsToken& t, std::string_view w) const {
        return t.kind == JsToken::kWord && !t.after_dot && Text(t) == w;
    }
    bool At(std::string_view p) const { return !Done() && IsPunct(t_[i_], p); }
    bool AtWord(std::string_view w) const { return !Done() && IsWord(t_[i_], w); }
    void Eat(std::string_view p) {
        if (At(p)) ++i_;
    }
    bool IsOpener(const JsToken& t) const {
        return IsPunct(t, "(") || IsPunct(t, "[") || IsPunct(t, "{");
    }
    bool IsCloser(const JsToken& t) const {
        return IsPunct(t, ")") || IsPunct(t, "]") || IsPunct(t, "}");
    }
    // Words that only begin or continue statements: an expression never runs into them.
    bool IsStatementWord(const JsToken& t) const {
        return t.kind == JsToken::kWord && !t.after_dot &&
               OneOf(Text(t),
                     {"var", "if", "else", "for", "while", "do", "return", "break", "continue",
                      "throw", "try", "catch", "finally", "switch", "case", "default", "with"});
    }
    // Whether an expression may end with this token (for semicolon insertion).
    bool EndsOperand(const JsToken& t) const {
        switch (t.kind) {
            case JsToken::kWord:
                return t.after_dot ||
                       !OneOf(Text(t), {"typeof", "new", "delete", "void", "in", "instanceof"});
            case JsToken::kPunct:
                return IsCloser(t) || IsPunct(t, "++") || IsPunct(t, "--");
            default:
                return true;
        }
    }
    // Whether a token on a new line carries on the expression before it rather than starting
    // a statement of its own.
    bool ContinuesExpression(const JsToken& t) const {
        if (t.kind == JsToken::kWord) return IsWord(t, "in") || IsWord(t, "instanceof");
        return t.kind == JsToken::kPunct && !IsPunct(t, "++") && !IsPunct(t, "--") &&
               !IsPunct(t, "!") && !IsPunct(t, "~") && !IsPunct(t, "{");
    }

    void StatementList(bool in_block) {
        while (!Done()) {
            if (At("}")) {
                if (in_block) return;
                ++i_;  // a stray '}' at the top
                continue;
            }
            const std::size_t before = i_;
            listed_ = true;
            Statement();
            if (i_ == before) ++i_;
        }
    }

    void Statement() {
        if (Done()) return;
        const bool listed = std::exchange(listed_, false);
        const bool labelled = std::exchange(labelled_, false);
        const JsToken& first = t_[i_];
        const bool checked = lines_ && !labelled && !IsPunct(first, "{") && !IsPunct(first, ";") &&
                             !IsWord(first, "function");
        if (checked) {
            out_.push_back({first.begin, std::string(listed ? "" : "{") + "ZephRun.At(" +
                                             std::to_string(lines_->LineOf(first.begin)) + ");"});
        }
        const std::size_t begin = i_;
        StatementBody();
        if (checked && !listed && i_ > begin) out_.push_back({t_[i_ - 1].end, "}"});
    }

    void StatementBody() {
        Deeper deeper(depth_);
        if (depth_ > kMaxDepth) return SkipStatementFlat();
        const JsToken& t = t_[i_];
        if (IsPunct(t, "{")) {
            ++i_;
            StatementList(true);
            return Eat("}");
        }
        if (t.kind == JsToken::kWord && !t.after_dot) {
            const std::string_view w = Text(t);
            if (w == "for" || w == "while") return LoopStatement(w == "for");
            if (w == "do") return DoStatement();
            if (w == "function") return Function();
            if (w == "if") {
                ++i_;
                Header();
                Statement();
                if (AtWord("else")) {
                    ++i_;
                    Statement();
                }
                return;
            }
            if (w == "with") {
                ++i_;
                Header();
                return Statement();
            }
            if (w == "try") {
                ++i_;
                Statement();
                while (AtWord("catch")) {
                    ++i_;
                    Header();
                    Statement();
                }
                if (AtWord("finally")) {
                    ++i_;
                    Statement();
                }
                return;
            }
            if (w == "switch") {
                ++i_;
                Header();
                if (At("{")) SwitchBody();
                return;
            }
            if (w == "return" || w == "throw") {
                ++i_;
                // "return" followed by a line break returns nothing.
                if (!Done() && !(w == "return" && t_[i_].newline_before)) Expression(false);
                return Eat(";");
            }
            if (w == "break" || w == "continue") {
                ++i_;
                if (!Done() && t_[i_].kind == JsToken::kWord && !t_[i_].newline_before &&
                    !IsStatementWord(t_[i_]))
                    ++i_;  // the label
                return Eat(";");
            }
            if (i_ + 1 < t_.size() && IsPunct(t_[i_ + 1], ":") && !IsStatementWord(t)) {
                i_ += 2;  // a label: its statement keeps it (continue needs a labelled loop)
                labelled_ = true;
                listed_ = true;
                return Statement();
            }
            if (w == "var") ++i_;
        }
        Expression(false);
        Eat(";");
    }

    // for (...) / while (...) and the body.
    void LoopStatement(bool is_for) {
        ++i_;
        if (!At("(")) return;
        const std::size_t open = i_;
        if (!Group() || Done()) return;
        const std::size_t close = i_ - 1;
        if (At("{")) {
            out_.push_back({t_[i_].end, std::string(kJScriptBodyCheck)});
        } else if (!is_for) {
            out_.push_back({t_[open].end, std::string(kJScriptConditionCheck)});
        } else {
            // for (init; test; step): the check goes in front of the test. A `for (x in o)`
            // has no test and ends by itself.
            std::size_t first = 0, second = close;
            int balance = 0;
            for (std::size_t k = open + 1; k < close; ++k) {
                if (IsOpener(t_[k])) ++balance;
                if (IsCloser(t_[k])) --balance;
                if (balance != 0 || !IsPunct(t_[k], ";")) continue;
                if (first == 0) {
                    first = k;
                } else {
                    second = k;
                    break;
                }
            }
            if (first != 0) {
                out_.push_back(
                    {t_[first].end, std::string(second == first + 1 ? kJScriptEmptyConditionCheck
                                                                    : kJScriptConditionCheck)});
            }
        }
        Statement();
    }

    // do body while (...): the `while` closes the body; it starts no loop of its own.
    void DoStatement() {
        ++i_;
        const bool braced = At("{");
        if (braced) out_.push_back({t_[i_].end, std::string(kJScriptBodyCheck)});
        Statement();
        if (!AtWord("while")) return;
        ++i_;
        if (!At("(")) return;
        if (!braced) out_.push_back({t_[i_].end, std::string(kJScriptConditionCheck)});
        Group();
        Eat(";");
    }

    // function [name] (params) { body }, declaration or expression.
    void Function() {
        ++i_;
        if (!Done() && t_[i_].kind == JsToken::kWord) ++i_;
        if (At("(")) Group();
        if (!At("{")) return;
        Deeper deeper(depth_);
        if (depth_ > kMaxDepth) {
            SkipGroupFlat();
            return;
        }
        out_.push_back({t_[i_].end, std::string(kJScriptBodyCheck)});
        ++i_;
        StatementList(true);
        Eat("}");
    }

    void SwitchBody() {
        ++i_;
        while (!Done() && !At("}")) {
            if (AtWord("case")) {
                ++i_;
                Expression(true);
                Eat(":");
                continue;
            }
            if (AtWord("default")) {
                ++i_;
                Eat(":");
                continue;
            }
            const std::size_t before = i_;
            listed_ = true;
            Statement();
            if (i_ == before) ++i_;
        }
        Eat("}");
    }

    void Header() {
        if (At("(")) Group();
    }

    // One expression: up to a ';' or '}' (left for the caller), a line break where semicolon
    // insertion ends it, or a word that begins a statement; with `case_label`, also up to the
    // ':' of a case.
    void Expression(bool case_label) {
        int open_conditionals = 0;
        bool first = true;
        while (!Done()) {
            const JsToken& t = t_[i_];
            if (IsPunct(t, ";") || IsPunct(t, "}")) return;
            if (case_label && open_conditionals == 0 && IsPunct(t, ":")) return;
            if (!first) {
                if (IsStatementWord(t)) return;
                if (t.newline_before && EndsOperand(t_[i_ - 1]) && !ContinuesExpression(t)) return;
            }
            first = false;
            if (IsPunct(t, "?")) ++open_conditionals;
            if (IsPunct(t, ":") && open_conditionals > 0) --open_conditionals;
            if (IsWord(t, "function")) {
                Function();
            } else if (IsOpener(t)) {
                Group();
            } else {
                ++i_;
            }
        }
    }

    // From an opener past its closer, checking the function expressions inside. False when the
    // closer is missing (a closer of another kind is left to the enclosing construct).
    bool Group() {
        Deeper deeper(depth_);
        if (depth_ > kMaxDepth) return SkipGroupFlat();
        const std::string_view close = IsPunct(t_[i_], "(")   ? ")"
                                       : IsPunct(t_[i_], "[") ? "]"
                                                              : "}";
        ++i_;
        while (!Done()) {
            const JsToken& t = t_[i_];
            if (IsPunct(t, close)) {
                ++i_;
                return true;
            }
            if (IsCloser(t)) return false;
            if (IsWord(t, "function")) {
                Function();
            } else if (IsOpener(t)) {
                Group();
            } else {
                ++i_;
            }
        }
        return false;
    }

    bool SkipGroupFlat() {
        int balance = 0;
        while (!Done()) {
            const JsToken& t = t_[i_++];
            if (IsOpener(t)) ++balance;
            if (IsCloser(t) && --balance == 0) return true;
        }
        return false;
    }

    void SkipStatementFlat() {
        int balance = 0;
        while (!Done()) {
            const JsToken& t = t_[i_];
            if (balance == 0 && IsPunct(t, "}")) return;
            ++i_;
            if (balance == 0 && IsPunct(t, ";")) return;
            if (IsOpener(t)) ++balance;
            if (IsCloser(t) && balance > 0) --balance;
        }
    }

    std::string_view s_;
    std::vector<JsToken> t_;
    std::size_t i_ = 0;
    int depth_ = 0;
    const LineIndex* lines_;
    bool listed_ = false;    // the next statement stands in a list (a block, a switch, the top)
    bool labelled_ = false;  // the next statement has a label, checked in front of it
    std::vector<Insert> out_;
};

}  // namespace

std::string StopCheckPreamble(Language language) {
    return language == Language::JavaScript ? "var ZephTurns=0;" : "";
}

StopCheckedText AddStopChecks(Language language, std::string_view text) {
    if (language == Language::VBScript) return Build(text, VBScriptScanner(text, nullptr).Run());
    return Build(text, JsParser(text, script::TokenizeJScript(text), nullptr).Run());
}

StopCheckedText AddPauseChecks(Language language, std::string_view text) {
    const LineIndex lines(text);
    if (language == Language::VBScript) return Build(text, VBScriptScanner(text, &lines).Run());
    return Build(text, JsParser(text, script::TokenizeJScript(text), &lines).Run());
}

int StopCheckedText::UserColumn(int line, int column) const {
    auto it = std::lower_bound(insertions.begin(), insertions.end(), line,
                               [](const Insertion& a, int l) { return a.line < l; });
    int shift = 0;
    for (; it != insertions.end() && it->line == line; ++it) {
        if (column < it->column) break;
        if (column < it->column + it->length) return it->column - shift;
        shift += it->length;
    }
    return column - shift;
}

}  // namespace zeph::workbench
