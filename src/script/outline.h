// What a script declares and assigns, read from its tokens without running it: procedures with
// their parameters and extent, declared names per scope, assignments of dotted chains (what
// completion follows from a variable to the host's types), and the names a VBScript text uses.
// Cheap enough to recompute at every key stroke.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "script/lexer.h"

namespace zeph::script {

// A Sub, Function or Property of VBScript, or a JScript function. Positions count from 1.
struct Procedure {
    std::string name;  // empty for an anonymous JScript function
    std::string kind;  // "Sub", "Function", "Property Get", ..., "function"
    std::vector<std::string> params;
    int line = 1, column = 1;  // of the name (of "function" when anonymous)
    int end_line = 1;          // the line that closes it; the text's last line when open
    int parent = -1;           // the enclosing procedure (JScript), -1 at global level
};

enum class NameKind { kVariable, kConstant, kParameter, kProcedure, kClass };

struct Declaration {
    std::string name;
    NameKind kind = NameKind::kVariable;
    int line = 1, column = 1;
    int scope = -1;  // index into Outline::procedures; -1 at global level
};

// `name = a.b.c`, `Set name = a.b(1).c` or `var name = a.b;` (chain a, b, c, arguments left
// out), and `For Each name In a.b` (each: the name takes the collection's items). A right side
// that is no plain chain gives an empty chain: the name's type is unknown from there on.
struct Assignment {
    std::string name;
    std::vector<std::string> chain;
    bool each = false;
    int line = 1, column = 1;  // of the assigned name
    int end_line = 1;          // where the statement ends: the column just past its last token
    int end_column = 1;
    int scope = -1;
};

// A name a VBScript statement reads or writes (not a member after ".", not a keyword, not the
// name a declaration introduces).
struct NameUse {
    std::string name;
    int line = 1, column = 1;
    int scope = -1;
};

struct Outline {
    Language language = Language::kVBScript;
    bool option_explicit = false;
    std::vector<Procedure> procedures;  // in text order
    std::vector<Declaration> declarations;
    std::vector<Assignment> assignments;  // in text order
    std::vector<NameUse> uses;            // VBScript only

    // VBScript names ignore letter case (code page 1251); JScript names do not.
    bool SameName(std::string_view a, std::string_view b) const;
    // The innermost procedure whose lines hold `line`, or -1.
    int ScopeAt(int line) const;
    // Whether `name` is declared in `scope`, in a procedure around it, or at global level.
    bool IsDeclared(std::string_view name, int scope) const;
    // The latest assignment to `name` whose statement ends before the place (line, column), a
    // statement still being typed there not counting: in the procedure that
    // holds the place, else (when that procedure does not declare the name itself) in the
    // procedures around it and then at global level; nullptr when there is none.
    const Assignment* LatestAssignment(std::string_view name, int line, int column) const;
};

Outline Analyze(Language language, std::string_view text);

// The procedures a list offers to jump to: the named ones, in text order.
std::vector<Procedure> NamedProcedures(const Outline& outline);

struct UndeclaredName {
    std::string name;          // as first written
    int line = 1, column = 1;  // its first use
    std::vector<int> lines;    // every line that uses it, ascending, each once
};

// VBScript names used but declared nowhere they are visible, in order of first use, each once;
// `known` says which names the host and the language bring (called with the name as written).
std::vector<UndeclaredName> UndeclaredNames(const Outline& outline,
                                            const std::function<bool(std::string_view)>& known);

}  // namespace zeph::script
