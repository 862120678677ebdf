#include "script/outline.h"

#include <algorithm>
#include <utility>

#include "script/language_words.h"
#include "text/cp1251.h"

namespace zeph::script {

namespace {

// What both readers share: the tokens, the outline being filled and the open procedures.
class Reader {
  protected:
    Reader(Outline& outline, std::string_view s, std::vector<Token> tokens)
        : o_(outline), s_(s), t_(std::move(tokens)) {}

    std::string_view Text(std::size_t k) const { return t_[k].Text(s_); }
    bool IsPunct(std::size_t k, std::string_view p) const {
        return k < t_.size() && t_[k].kind == Token::kPunct && Text(k) == p;
    }
    // A name the script may have made: a word, not after ".", not a keyword.
    bool IsName(std::size_t k) const {
        return k < t_.size() && t_[k].kind == Token::kWord && !t_[k].after_dot &&
               Text(k).front() != '[' && !IsKeyword(o_.language, Text(k));
    }
    int Scope() const { return open_.empty() ? -1 : open_.back(); }

    void Declare(std::size_t k, NameKind kind, int scope) {
        o_.declarations.push_back({std::string(Text(k)), kind, t_[k].line, t_[k].column, scope});
    }
    int OpenProcedure(std::string name, std::string kind, std::size_t at) {
        Procedure p;
        p.name = std::move(name);
        p.kind = std::move(kind);
        p.line = t_[at].line;
        p.column = t_[at].column;
        p.end_line = p.line;
        p.parent = Scope();
        o_.procedures.push_back(std::move(p));
        open_.push_back(static_cast<int>(o_.procedures.size()) - 1);
        return open_.back();
    }
    void CloseProcedure(int line) {
        o_.procedures[static_cast<std::size_t>(open_.back())].end_line = line;
        open_.pop_back();
    }
    // Procedures left open run to the text's last line.
    void CloseAll() {
        const int last = t_.empty() ? 1 : t_.back().line;
        while (!open_.empty()) CloseProcedure(std::max(last, o_.procedures[open_.back()].line));
    }

    // Skips a bracketed group starting at `k` ("(" or "["); returns the index past its close.
    std::size_t SkipGroup(std::size_t k, std::size_t e) const {
        int depth = 0;
        for (; k < e; ++k) {
            if (IsPunct(k, "(") || IsPunct(k, "[")) ++depth;
            if ((IsPunct(k, ")") || IsPunct(k, "]")) && --depth == 0) return k + 1;
        }
        return e;
    }
    // A dotted chain from `k`: name, then ".member" steps, with argument groups left out. Sets
    // `next` to the token past it; empty when `k` holds no name.
    std::vector<std::string> ReadChain(std::size_t k, std::size_t e, std::size_t& next) const {
        std::vector<std::string> chain;
        next = k;
        if (!IsName(k)) return chain;
        chain.emplace_back(Text(k++));
        for (;;) {
            while (k < e && (IsPunct(k, "(") || IsPunct(k, "["))) k = SkipGroup(k, e);
            if (k + 1 < e && IsPunct(k, ".") && t_[k + 1].kind == Token::kWord) {
                chain.emplace_back(Text(k + 1));
                k += 2;
                continue;
            }
            break;
        }
        next = k;
        return chain;
    }
    void Assign(std::size_t name, std::vector<std::string> chain, bool each, std::size_t last) {
        Assignment a;
        a.name = std::string(Text(name));
        a.chain = std::move(chain);
        a.each = each;
        a.line = t_[name].line;
        a.column = t_[name].column;
        a.end_line = t_[last].line;
        a.end_column = t_[last].column + static_cast<int>(t_[last].end - t_[last].begin);
        a.scope = Scope();
        o_.assignments.push_back(std::move(a));
    }

    Outline& o_;
    std::string_view s_;
    std::vector<Token> t_;
    std::vector<int> open_;  // indexes into o_.procedures, innermost last
};

// ---- VBScript: statement by statement ---------------------------------------------------------

class VBScriptReader : Reader {
  public:
    VBScriptReader(Outline& o, std::string_view s) : Reader(o, s, TokenizeVBScript(s)) {}

    void Run() {
        for (std::size_t b = 0; b < t_.size();) {
            std::size_t e = b;
            while (e < t_.size() && t_[e].kind != Token::kEnd) ++e;
            if (e > b) Statement(b, e);
            b = e + 1;
        }
        CloseAll();
    }

  private:
    bool Is(std::size_t k, std::size_t e, std::string_view word) const {
        return k < e && t_[k].kind == Token::kWord && !t_[k].after_dot &&
               EqualsAsciiNoCase(Text(k), word);
    }

    void Statement(std::size_t b, std::size_t e) {
        declared_.assign(e - b, false);
        b_ = b;
        std::size_t k = b;
        if (Is(k, e, "option") && Is(k + 1, e, "explicit")) {
            o_.option_explicit = true;
            return;
        }
        bool modifier = false;
        if (Is(k, e, "public") || Is(k, e, "private")) {
            modifier = true;
            ++k;
        }
        if (Is(k, e, "default")) ++k;
        if (Is(k, e, "sub") || Is(k, e, "function")) {
            Header(k + 1, e, std::string(Is(k, e, "sub") ? "Sub" : "Function"));
        } else if (Is(k, e, "property") &&
                   (Is(k + 1, e, "get") || Is(k + 1, e, "let") || Is(k + 1, e, "set"))) {
            std::string kind = "Property ";
            kind += Is(k + 1, e, "get") ? "Get" : Is(k + 1, e, "let") ? "Let" : "Set";
            Header(k + 2, e, std::move(kind));
        } else if (Is(k, e, "end")) {
            if ((Is(k + 1, e, "sub") || Is(k + 1, e, "function") || Is(k + 1, e, "property")) &&
                !open_.empty())
                CloseProcedure(t_[k].line);
            return;
        } else if (Is(k, e, "class")) {
            if (IsName(k + 1)) Mark(k + 1, NameKind::kClass, -1);
            return;
        } else if (Is(k, e, "const")) {
            DeclareList(k + 1, e, NameKind::kConstant);
        } else if (modifier || Is(k, e, "dim") || Is(k, e, "static")) {
            DeclareList(modifier ? k : k + 1, e, NameKind::kVariable);
        } else if (Is(k, e, "redim")) {
            DeclareList(Is(k + 1, e, "preserve") ? k + 2 : k + 1, e, NameKind::kVariable);
        } else if (Is(k, e, "for")) {
            const bool each = Is(k + 1, e, "each");
            const std::size_t var = each ? k + 2 : k + 1;
            if (var < e && IsName(var)) {
                Mark(var, NameKind::kVariable, Scope());
                if (each && Is(var + 1, e, "in")) AssignFrom(var, var + 2, e, true);
            }
        } else {
            if (Is(k, e, "set") || Is(k, e, "let")) ++k;
            if (IsName(k) && IsPunct(k + 1, "=")) AssignFrom(k, k + 2, e, false);
        }
        Uses(b, e);
    }

    // A procedure's header: its name at `k`, then its parameters in brackets.
    void Header(std::size_t k, std::size_t e, std::string kind) {
        if (!IsName(k) && !(k < e && t_[k].kind == Token::kWord)) return;
        // A procedure left open (its "End" missing) ends where the next begins.
        while (!open_.empty())
            CloseProcedure(std::max(t_[k].line - 1, o_.procedures[open_.back()].line));
        Mark(k, NameKind::kProcedure, -1);
        const int p = OpenProcedure(std::string(Text(k)), std::move(kind), k);
        if (!IsPunct(k + 1, "(")) return;
        bool expect = true;
        for (std::size_t q = k + 2; q < e && !IsPunct(q, ")"); ++q) {
            if (IsPunct(q, ",")) {
                expect = true;
            } else if (expect && IsName(q)) {
                Mark(q, NameKind::kParameter, p);
                o_.procedures[static_cast<std::size_t>(p)].params.emplace_back(Text(q));
                expect = false;
            }
        }
    }

    // "a, b(3), c" or "A = 1, B = 2": the names at the list's top level.
    void DeclareList(std::size_t k, std::size_t e, NameKind kind) {
        int depth = 0;
        bool expect = true;
        for (; k < e; ++k) {
            if (IsPunct(k, "(")) ++depth;
            if (IsPunct(k, ")")) --depth;
            if (depth == 0 && IsPunct(k, ",")) {
                expect = true;
            } else if (depth == 0 && expect && IsName(k)) {
                Mark(k, kind, Scope());
                expect = false;
            }
        }
    }

    void AssignFrom(std::size_t name, std::size_t k, std::size_t e, bool each) {
        std::size_t next = k;
        std::vector<std::string> chain = ReadChain(k, e, next);
        if (next != e) chain.clear();
        Assign(name, std::move(chain), each, e - 1);
    }

    // A declared name: not a use.
    void Mark(std::size_t k, NameKind kind, int scope) {
        Declare(k, kind, scope);
        declared_[k - b_] = true;
    }

    void Uses(std::size_t b, std::size_t e) {
        for (std::size_t k = b; k < e; ++k)
            if (!declared_[k - b] && IsName(k))
                o_.uses.push_back({std::string(Text(k)), t_[k].line, t_[k].column, Scope()});
    }

    std::vector<bool> declared_;  // per token of the statement
    std::size_t b_ = 0;
};

// ---- JScript: one pass over the tokens --------------------------------------------------------

class JScriptReader : Reader {
  public:
    JScriptReader(Outline& o, std::string_view s) : Reader(o, s, TokenizeJScript(s)) {}

    void Run() {
        const std::size_t n = t_.size();
        for (std::size_t k = 0; k < n; ++k) {
            const Token& t = t_[k];
            if (t.kind == Token::kWord && !t.after_dot && Text(k) == "function") {
                k = Function(k);
                continue;
            }
            if (t.kind == Token::kPunct) {
                Punct(k);
                continue;
            }
            if (declaring_ && nesting_ == decl_nesting_ && t.newline_before && k > 0 &&
                EndsOperand(k - 1))
                declaring_ = false;
            if (t.kind != Token::kWord || t.after_dot) continue;
            const std::string_view w = Text(k);
            if (w == "in") declaring_ = false;
            if (w == "var" || w == "let" || w == "const") {
                declaring_ = true;
                expect_name_ = true;
                decl_nesting_ = nesting_;
                decl_kind_ = w == "const" ? NameKind::kConstant : NameKind::kVariable;
                continue;
            }
            if (declaring_ && expect_name_ && nesting_ == decl_nesting_ && IsName(k)) {
                Declare(k, decl_kind_, Scope());
                expect_name_ = false;
            }
            if (IsName(k) && IsPunct(k + 1, "=") && !IsPunct(k + 2, "=")) {
                std::size_t next = k + 2;
                std::vector<std::string> chain = ReadChain(k + 2, n, next);
                if (!EndsExpression(next)) chain.clear();
                Assign(k, std::move(chain), false, next > k + 2 ? next - 1 : k + 1);
            }
        }
        CloseAll();
    }

  private:
    bool EndsOperand(std::size_t k) const {
        const Token& t = t_[k];
        if (t.kind == Token::kPunct) return IsPunct(k, ")") || IsPunct(k, "]") || IsPunct(k, "}");
        return true;
    }
    // Whether an expression may end before token `k`: the end, ";", ",", a closing bracket, or
    // a new line that does not go on with the chain.
    bool EndsExpression(std::size_t k) const {
        if (k >= t_.size()) return true;
        if (IsPunct(k, ";") || IsPunct(k, ",") || IsPunct(k, ")") || IsPunct(k, "}")) return true;
        return t_[k].newline_before && !IsPunct(k, ".") && !IsPunct(k, "(") && !IsPunct(k, "[");
    }

    void Punct(std::size_t k) {
        const std::string_view p = Text(k);
        if (p == "(" || p == "[" || p == "{") {
            ++nesting_;
        } else if (p == ")" || p == "]" || p == "}") {
            if (p == "}" && !bodies_.empty() && bodies_.back() == nesting_) {
                bodies_.pop_back();
                CloseProcedure(t_[k].line);
            }
            if (nesting_ > 0) --nesting_;
            if (declaring_ && nesting_ < decl_nesting_) declaring_ = false;
        } else if (declaring_ && nesting_ == decl_nesting_) {
            if (p == ",") expect_name_ = true;
            if (p == ";") declaring_ = false;
        }
    }

    // "function name(a, b) {", or "function (a) {" named by the "name =" or "name:" before
    // it; opens the body and returns the index of its "{" (the last token it read).
    std::size_t Function(std::size_t k) {
        std::string name;
        std::size_t at = k;  // where the list puts the procedure
        std::size_t q = k + 1;
        if (IsName(q)) {
            at = q++;
            name = std::string(Text(at));
            Declare(at, NameKind::kProcedure, Scope());
        } else if (k >= 2 && (IsPunct(k - 1, "=") || IsPunct(k - 1, ":")) &&
                   t_[k - 2].kind == Token::kWord) {
            at = k - 2;
            name = std::string(Text(at));
        }
        if (!IsPunct(q, "(")) return q - 1;
        const std::size_t close = SkipGroup(q, t_.size());
        if (close >= t_.size() || !IsPunct(close, "{")) return q - 1;
        const int p = OpenProcedure(std::move(name), "function", at);
        for (++q; q + 1 < close; ++q) {
            if (IsName(q) && (IsPunct(q - 1, "(") || IsPunct(q - 1, ","))) {
                Declare(q, NameKind::kParameter, p);
                o_.procedures[static_cast<std::size_t>(p)].params.emplace_back(Text(q));
            }
        }
        ++nesting_;
        bodies_.push_back(nesting_);
        declaring_ = false;
        return close;
    }

    int nesting_ = 0;          // open (, [ and {
    std::vector<int> bodies_;  // the nesting inside each open function body
    bool declaring_ = false;   // inside "var a = 1, b" at decl_nesting_
    bool expect_name_ = false;
    int decl_nesting_ = 0;
    NameKind decl_kind_ = NameKind::kVariable;
};

}  // namespace

bool Outline::SameName(std::string_view a, std::string_view b) const {
    return language == Language::kVBScript ? text::EqualsNoCase(a, b) : a == b;
}

int Outline::ScopeAt(int line) const {
    int found = -1;
    for (std::size_t i = 0; i < procedures.size(); ++i) {
        const Procedure& p = procedures[i];
        if (p.line <= line && line <= p.end_line &&
            (found < 0 || p.line >= procedures[static_cast<std::size_t>(found)].line))
            found = static_cast<int>(i);
    }
    return found;
}

bool Outline::IsDeclared(std::string_view name, int scope) const {
    for (const Declaration& d : declarations) {
        if (!SameName(d.name, name)) continue;
        for (int s = scope;; s = procedures[static_cast<std::size_t>(s)].parent) {
            if (d.scope == s) return true;
            if (s < 0) break;
        }
    }
    return false;
}

const Assignment* Outline::LatestAssignment(std::string_view name, int line, int column) const {
    auto before = [&](const Assignment& a) {
        return a.end_line < line || (a.end_line == line && a.end_column < column);
    };
    for (int s = ScopeAt(line);; s = procedures[static_cast<std::size_t>(s)].parent) {
        const Assignment* latest = nullptr;
        for (const Assignment& a : assignments)
            if (a.scope == s && before(a) && SameName(a.name, name)) latest = &a;
        if (latest || s < 0) return latest;
        // A name the procedure declares itself hides what is outside it.
        const bool local =
            std::any_of(declarations.begin(), declarations.end(),
                        [&](const auto& d) { return d.scope == s && SameName(d.name, name); });
        if (local) return nullptr;
    }
}

Outline Analyze(Language language, std::string_view text) {
    Outline outline;
    outline.language = language;
    if (language == Language::kVBScript) {
        VBScriptReader(outline, text).Run();
    } else {
        JScriptReader(outline, text).Run();
    }
    return outline;
}

std::vector<Procedure> NamedProcedures(const Outline& outline) {
    std::vector<Procedure> named;
    for (const Procedure& p : outline.procedures)
        if (!p.name.empty()) named.push_back(p);
    return named;
}

std::vector<UndeclaredName> UndeclaredNames(const Outline& outline,
                                            const std::function<bool(std::string_view)>& known) {
    std::vector<UndeclaredName> out;
    for (const NameUse& use : outline.uses) {
        if (outline.IsDeclared(use.name, use.scope)) continue;
        auto same = [&](const UndeclaredName& u) { return outline.SameName(u.name, use.name); };
        auto it = std::find_if(out.begin(), out.end(), same);
        if (it != out.end()) {
            if (it->lines.back() != use.line) it->lines.push_back(use.line);
            continue;
        }
        if (IsBuiltinName(outline.language, use.name) || known(use.name)) continue;
        out.push_back({use.name, use.line, use.column, {use.line}});
    }
    return out;
}

}  // namespace zeph::script
