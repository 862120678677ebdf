#include "script/outline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/cp1251.h"

namespace zeph::script {
namespace {

using ::testing::ElementsAreArray;
using text::operator""_cp;

std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view l : lines) text.append(l).append("\r\n");
    return text;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : ".") + w;
    return out;
}

// --- assignments: which one a place sees -------------------------------------------------------

struct AssignmentCase {
    const char* what;
    Language language;
    std::string text;
    const char* name;
    int line, column;      // the place asking
    const char* expected;  // "chain" or "each:chain"; "-" for no assignment; "" for an unknown one
};

TEST(Outline, TheLatestAssignmentAboveThePlaceInItsScopeWins) {
    const std::string vb = Lines({
        "Set m = Application.Map",                    // 1
        "m = Application.Map.Objects(1).Name",        // 2
        "Sub Draw(m)",                                // 3
        "  Set o = m.FindObject(\"a\")",              // 4
        "  For Each x In Application.Map.Objects",    // 5
        "  Next",                                     // 6
        "End Sub",                                    // 7
        "Set m = Application.Map ' Set m = Nothing",  // 8
        "Set s = \"Set m = x\": Set q = m: q.",       // 9
        "Set t = New RegExp",                         // 10
        "Set u = t.x + 1",                            // 11
        "Set m = m.",                                 // 12
    });
    const std::string js = Lines({
        "var m = Application.Map;",                       // 1
        "function f(a) {",                                // 2
        "  var k = Application.Map.Objects.Item(0)",      // 3
        "  m.x;",                                         // 4
        "  var m = 1;",                                   // 5
        "}",                                              // 6
        "m = Application.GetMap(), n = m.Objects;",       // 7
        "var g = function () { return 1 }; var M = x.y",  // 8
        "/* m = a.b */ m.",                               // 9
    });
    const AssignmentCase cases[] = {
        {"the one line above", Language::kVBScript, vb, "m", 2, 1, "Application.Map"},
        {"the latest of two", Language::kVBScript, vb, "M", 8, 1, "Application.Map.Objects.Name"},
        {"a parameter hides the global one", Language::kVBScript, vb, "m", 4, 12, "-"},
        {"in the procedure", Language::kVBScript, vb, "o", 5, 1, "m.FindObject"},
        {"For Each takes the items", Language::kVBScript, vb, "x", 6, 1,
         "each:Application.Map.Objects"},
        {"not outside its procedure", Language::kVBScript, vb, "o", 8, 1, "-"},
        {"comments and strings do not count", Language::kVBScript, vb, "m", 9, 1,
         "Application.Map"},
        {"an earlier statement of the same line", Language::kVBScript, vb, "q", 9, 36, "m"},
        {"not one below the place", Language::kVBScript, vb, "q", 9, 20, "-"},
        {"no chain: unknown", Language::kVBScript, vb, "t", 11, 1, ""},
        {"an expression: unknown", Language::kVBScript, vb, "u", 12, 1, ""},
        {"the statement being typed does not count", Language::kVBScript, vb, "m", 12, 11,
         "Application.Map"},
        {"JScript var", Language::kJScript, js, "m", 7, 1, "Application.Map"},
        {"JScript: chain with calls", Language::kJScript, js, "k", 4, 1,
         "Application.Map.Objects.Item"},
        {"JScript: a var of the function hides the global one", Language::kJScript, js, "m", 4, 5,
         "-"},
        {"JScript: a plain assignment", Language::kJScript, js, "m", 8, 1, "Application.GetMap"},
        {"JScript: after a comma", Language::kJScript, js, "n", 8, 1, "m.Objects"},
        {"JScript names keep their case", Language::kJScript, js, "M", 9, 1, "x.y"},
        {"JScript: a comment is no assignment", Language::kJScript, js, "m", 9, 16,
         "Application.GetMap"},
    };
    for (const AssignmentCase& c : cases) {
        const Outline o = Analyze(c.language, c.text);
        const Assignment* a = o.LatestAssignment(c.name, c.line, c.column);
        std::string got = "-";
        if (a) got = (a->each ? "each:" : "") + Joined(a->chain);
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

// --- procedures ----------------------------------------------------------------------------------

struct ProcedureCase {
    const char* what;
    Language language;
    std::string text;
    std::vector<std::string> expected;  // "kind name(params) line:column-end_line"
};

std::string Describe(const Procedure& p) {
    std::string params;
    for (const std::string& n : p.params) params += (params.empty() ? "" : ",") + n;
    return p.kind + " " + p.name + "(" + params + ") " + std::to_string(p.line) + ":" +
           std::to_string(p.column) + "-" + std::to_string(p.end_line);
}

TEST(Outline, ProceduresWithTheirParametersAndExtent) {
    const ProcedureCase cases[] = {
        {"VBScript kinds and modifiers",
         Language::kVBScript,
         Lines({"Sub A", "End Sub", "Private Function B(ByVal x, Optional y())", "  B = x",
                "End Function", "Public Default Property Get C(i)", "End Property"}),
         {"Sub A() 1:5-2", "Function B(x,y) 3:18-5", "Property Get C(i) 6:29-7"}},
        {"a missing End closes where the next starts; the last runs to the end",
         Language::kVBScript,
         Lines({"Sub A", "  x = 1", "Sub B(p)", "  y = 2", ""}),
         {"Sub A() 1:5-2", "Sub B(p) 3:5-4"}},
        {"headers inside strings, comments and continued lines",
         Language::kVBScript,
         Lines({"x = \"Sub Q\" ' Sub R", "Rem Sub S", "Function _", "  F(a, _", "  b)",
                "End Function"}),
         {"Function F(a,b) 4:3-6"}},
        {"JScript declarations, expressions and nesting",
         Language::kJScript,
         Lines({"function outer(a, b) {", "  var inner = function (c) {", "    if (c) { }", "  };",
                "}", "obj.handler = function () {};", "[1].map(function (v) { return v });",
                "// function fake() {}", "var s = 'function no() {}';"}),
         {"function outer(a,b) 1:10-5", "function inner(c) 2:7-4", "function handler() 6:5-6"}},
        {"an unclosed JScript body runs to the end",
         Language::kJScript,
         Lines({"function f() {", "  if (x) {", "}"}),
         {"function f() 1:10-3"}},
    };
    for (const ProcedureCase& c : cases) {
        std::vector<std::string> got;
        for (const Procedure& p : NamedProcedures(Analyze(c.language, c.text)))
            got.push_back(Describe(p));
        EXPECT_THAT(got, ElementsAreArray(c.expected)) << c.what;
    }
}

// --- names used but declared nowhere they are seen ----------------------------------------------

struct UndeclaredCase {
    const char* what;
    std::string text;
    std::vector<std::string> expected;  // "name line:column [lines]"
};

TEST(Outline, UndeclaredNamesFollowScopesAndSkipWhatTheHostAndLanguageBring) {
    auto known = [](std::string_view name) {
        return text::EqualsNoCase(name, "Application") || text::EqualsNoCase(name, "Map") ||
               text::EqualsNoCase(name, "okPoint");
    };
    const UndeclaredCase cases[] = {
        {"declared every way",
         Lines({"Option Explicit", "Dim a, b(3)", "Const C = 1, D = C", "ReDim Preserve e(2)",
                "For i = 1 To 3: Next", "For Each o In Map.Objects: o.Name = a: Next",
                "Sub S(ByVal p, q()): p = q(0) + C: End Sub",
                "Call S(a, b): e(0) = Len(\"x\") & vbCrLf"}),
         {}},
        {"used before and after, counted once per line",
         Lines({"Option Explicit", "x = 1", "y = x + x", "Dim y"}),
         {"x 2:1 [2,3]"}},
        {"a procedure's locals are not seen outside it",
         Lines({"Option Explicit", "Sub A", "  Dim t", "  t = Application.Caption", "End Sub",
                "t = 2", "Function F(u)", "  F = u + t", "End Function"}),
         {"t 6:1 [6,8]"}},
        {"members, strings, comments, host names and the language's words are not names",
         Lines({"Option Explicit", "Dim r", "Set r = New RegExp", "r.Pattern = \"zz\" ' qq",
                "If r.Test(\"\") Then MsgBox okPoint Else Err.Raise 5", "With Map",
                "  .Name = Nothing", "End With", "Rem unknown words"}),
         {}},
        {"ignoring case, and a Cyrillic name",
         Lines({u8"Dim Счёт"_cp, u8"СЧЁТ = ДРУГОЙ + счёт"_cp}),
         {u8"ДРУГОЙ 2:8 [2]"_cp.data()}},
        {"a class and its members",
         Lines({"Class Point", "  Public X", "  Sub Move(dx)", "    X = X + dx + Y", "  End Sub",
                "End Class", "Set p = New Point"}),
         {"Y 4:18 [4]", "p 7:5 [7]"}},
    };
    for (const UndeclaredCase& c : cases) {
        std::vector<std::string> got;
        for (const UndeclaredName& u :
             UndeclaredNames(Analyze(Language::kVBScript, c.text), known)) {
            std::string lines;
            for (int l : u.lines) lines += (lines.empty() ? "" : ",") + std::to_string(l);
            got.push_back(u.name + " " + std::to_string(u.line) + ":" + std::to_string(u.column) +
                          " [" + lines + "]");
        }
        EXPECT_THAT(got, ElementsAreArray(c.expected)) << c.what;
    }
}

TEST(Outline, DeclarationsCarryTheirKindAndScope) {
    struct Case {
        Language language;
        std::string text;
        std::vector<std::string> expected;  // "name kind scope"
    };
    const Case cases[] = {
        {Language::kVBScript,
         Lines({"Const A = 1: Dim b", "Class C", "Function F(p)", "  ReDim r(p)", "End Function"}),
         {"A 1 -1", "b 0 -1", "C 4 -1", "F 3 -1", "p 2 0", "r 0 0"}},
        {Language::kJScript,
         Lines({"const K = 1, L = [1, 2];", "let m = 2", "var n = 3",
                "function f(q) { var o = function () {}; }"}),
         {"K 1 -1", "L 1 -1", "m 0 -1", "n 0 -1", "f 3 -1", "q 2 0", "o 0 0"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        for (const Declaration& d : Analyze(c.language, c.text).declarations)
            got.push_back(d.name + " " + std::to_string(static_cast<int>(d.kind)) + " " +
                          std::to_string(d.scope));
        EXPECT_THAT(got, ElementsAreArray(c.expected)) << c.text;
    }
}

TEST(Outline, OptionExplicitIsFoundAnywhereAtTheStart) {
    EXPECT_TRUE(
        Analyze(Language::kVBScript, "' header\r\n  option   EXPLICIT\r\n").option_explicit);
    EXPECT_FALSE(Analyze(Language::kVBScript, "' Option Explicit\r\nx = 1\r\n").option_explicit);
    EXPECT_FALSE(Analyze(Language::kJScript, "Option Explicit\r\n").option_explicit);
}

}  // namespace
}  // namespace zeph::script
