// The stop checks placed into the text an engine runs: where each language gets them, what
// they must never touch, and the way back to the user's lines and columns.
#include "workbench/stop_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zeph::workbench {
namespace {

struct Case {
    const char* input;
    const char* expected;  // %T, %B, %C, %A<line> and %J<line> stand for the inserted checks
};

// Expected texts name the checks by a mark so that the tables show where they go.
std::string Expand(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 1 < s.size()) {
            const char m = s[++i];
            if (m == 'T') out += ":ZephRun.Tick";
            if (m == 'B') out += "if(!(++ZephTurns&1023))ZephRun.Tick();";
            if (m == 'C') out += "(!(++ZephTurns&1023)&&ZephRun.Tick()),";
            if (m == 'A' || m == 'J') {
                std::string line;
                while (i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '9') line += s[++i];
                out += m == 'A' ? "ZephRun.At " + line + ":" : "ZephRun.At(" + line + ");";
            }
            continue;
        }
        out += s[i];
    }
    return out;
}

const Case kVBScript[] = {
    // Loop headers, one line each.
    {"Do : Loop", "Do%T : Loop"},
    {"While True : Wend", "While True%T : Wend"},
    {"For i = 1 To 1E9 : Next", "For i = 1 To 1E9%T : Next"},
    {"For i = 10 To 1 Step -2\nNext", "For i = 10 To 1 Step -2%T\nNext"},
    {"For Each x In list\r\n  n = n + 1\r\nNext\r\n",
     "For Each x In list%T\r\n  n = n + 1\r\nNext\r\n"},
    {"Do While a < 3\n  a = a + 1\nLoop\nDo Until b\nLoop While c\n",
     "Do While a < 3%T\n  a = a + 1\nLoop\nDo Until b%T\nLoop While c\n"},
    {"x = 1 : While x < 3 : x = x + 1 : Wend", "x = 1 : While x < 3%T : x = x + 1 : Wend"},
    {"do while x : LOOP\nfor each o in c : next", "do while x%T : LOOP\nfor each o in c%T : next"},
    // Nested loops and loops in procedures.
    {"For i = 1 To 3\n  For j = 1 To 3 : Do : Loop : Next\nNext",
     "For i = 1 To 3%T\n  For j = 1 To 3%T : Do%T : Loop : Next\nNext"},
    {"Sub Main()\n  Do\n  Loop\nEnd Sub\n", "Sub Main()%T\n  Do%T\n  Loop\nEnd Sub\n"},
    {"Function F(n)\n  If n > 0 Then F = F(n - 1)\n  Exit Function\nEnd Function",
     "Function F(n)%T\n  If n > 0 Then F = F(n - 1)\n  Exit Function\nEnd Function"},
    {"Class C\n  Private x\n  Public Default Property Get Value\n    Value = x\n  End Property\n"
     "  Property Let Value(v) : x = v : End Property\n"
     "  Private Sub Class_Initialize : x = 1 : End Sub\nEnd Class",
     "Class C\n  Private x\n  Public Default Property Get Value%T\n    Value = x\n  End Property\n"
     "  Property Let Value(v)%T : x = v : End Property\n"
     "  Private Sub Class_Initialize%T : x = 1 : End Sub\nEnd Class"},
    // Words that are no headers.
    {"Loop While x\nExit Do\nExit For\nEnd Sub\nExit Function\nPrivate x, y\nClass C\nWend\nNext",
     "Loop While x\nExit Do\nExit For\nEnd Sub\nExit Function\nPrivate x, y\nClass C\nWend\nNext"},
    // Strings, comments and literals hide keywords and separators.
    {"s = \"Do : Loop\" ' While x\nRem For i = 1 To 3\nx = 1 : Rem Do : Loop\nt = \"a\"\":Do\"",
     "s = \"Do : Loop\" ' While x\nRem For i = 1 To 3\nx = 1 : Rem Do : Loop\nt = \"a\"\":Do\""},
    {"d = #1/1/2000 10:00# : Do : Loop", "d = #1/1/2000 10:00# : Do%T : Loop"},
    {"Remark = 1 : Do'forever\nLoop", "Remark = 1 : Do%T'forever\nLoop"},
    // The check goes after the header's last word: before blanks, a comment, a ':'.
    {"Do   ' forever\r\nLoop\r\n", "Do%T   ' forever\r\nLoop\r\n"},
    {"Do While s <> \"x\" : Rem wait\nLoop", "Do While s <> \"x\"%T : Rem wait\nLoop"},
    // Continued headers end on their last line.
    {"For i = 1 _\r\n    To 10 ' count\r\nNext", "For i = 1 _\r\n    To 10%T ' count\r\nNext"},
    {"Sub Show(a, _\n         b)\nEnd Sub", "Sub Show(a, _\n         b)%T\nEnd Sub"},
    {"s = \"x\" ' not continued _\nDo\nLoop", "s = \"x\" ' not continued _\nDo%T\nLoop"},
};

const Case kJScript[] = {
    // Braced bodies get the counted statement after their '{'.
    {"for (;;) {}", "for (;;) {%B}"},
    {"while (x < 3) { x++; }", "while (x < 3) {%B x++; }"},
    {"do {} while (true)", "do {%B} while (true)"},
    {"for (var k in o) { n++; }", "for (var k in o) {%B n++; }"},
    {"while (x)\r\n{\r\n}\r\n", "while (x)\r\n{%B\r\n}\r\n"},
    // Bodies without braces: the check goes in front of the condition.
    {"while (1);", "while (%C1);"},
    {"for (;;) x++;", "for (;%C1;) x++;"},
    {"for (i = 0; i < n; i++) s += i;", "for (i = 0;%C i < n; i++) s += i;"},
    {"do x++; while (x < 3)", "do x++; while (%Cx < 3)"},
    {"do x++\nwhile (x < 3)\n{ y() }", "do x++\nwhile (%Cx < 3)\n{ y() }"},
    {"for (var k in o) n++;", "for (var k in o) n++;"},
    // The `while` that closes a do body starts nothing; a block after it is unrelated.
    {"do {\n  x++;\n} while (x < 3)\n{\n  y();\n}\n",
     "do {%B\n  x++;\n} while (x < 3)\n{\n  y();\n}\n"},
    {"do while (a) b(); while (c);", "do while (%Ca) b(); while (%Cc);"},
    {"do do x++; while (a); while (b);", "do do x++; while (%Ca); while (%Cb);"},
    {"do if (a) b(); else c(); while (d)", "do if (a) b(); else c(); while (%Cd)"},
    {"do { while (a) {} } while (b) { }", "do {%B while (a) {%B} } while (b) { }"},
    // Functions, declared or as values; object literals stay as they are.
    {"function f(n) { return n ? f(n - 1) : 0; }", "function f(n) {%B return n ? f(n - 1) : 0; }"},
    {"var g = function () {}, o = { a: { b: 1 }, c: function (x) { return x; } };",
     "var g = function () {%B}, o = { a: { b: 1 }, c: function (x) {%B return x; } };"},
    {"(function () { for (;;) {} })();", "(function () {%B for (;;) {%B} })();"},
    {"for (var f = function () {}; f(); ) {}", "for (var f = function () {%B}; f(); ) {%B}"},
    {"for (; g(function () {}); ) x();", "for (;%C g(function () {%B}); ) x();"},
    // Labels, switch and try.
    {"outer: for (;;) { inner: while (x) { continue outer; } }",
     "outer: for (;;) {%B inner: while (x) {%B continue outer; } }"},
    {"switch (k) { case 1: while (x) {} break; default: for (;;); }",
     "switch (k) { case 1: while (x) {%B} break; default: for (;%C1;); }"},
    {"switch (k) { case a ? b : c: do {} while (x) }",
     "switch (k) { case a ? b : c: do {%B} while (x) }"},
    {"try { for (;;) {} } catch (e) { while (1) {} } finally { }",
     "try { for (;;) {%B} } catch (e) { while (1) {%B} } finally { }"},
    // Strings, comments and regular expressions hide keywords and braces.
    {"var s = \"for (;;) {}\", t = 'while (1) {'; // do {\n/* while (1) {\n} */ x = 1;",
     "var s = \"for (;;) {}\", t = 'while (1) {'; // do {\n/* while (1) {\n} */ x = 1;"},
    {"var r = /while (x) {/g, q = /[/]for(;;){/; if (x) /do {/.test(s);",
     "var r = /while (x) {/g, q = /[/]for(;;){/; if (x) /do {/.test(s);"},
    {"y = (a) / 2 / b; while (c) /x{/.test(s);", "y = (a) / 2 / b; while (%Cc) /x{/.test(s);"},
    {"s = 'a\\'for(;;){'; t = \"b\\\\\"; for (;;) {}",
     "s = 'a\\'for(;;){'; t = \"b\\\\\"; for (;;) {%B}"},
    {"x.for = 1; o.while(1); y.do = function () {};",
     "x.for = 1; o.while(1); y.do = function () {%B};"},
};

TEST(StopChecks, VBScriptChecksEachLoopAndProcedureHeader) {
    for (const auto& c : kVBScript) {
        EXPECT_EQ(AddStopChecks(Language::VBScript, c.input).text, Expand(c.expected)) << c.input;
    }
}

TEST(StopChecks, JScriptChecksEachLoopTurnAndFunctionEntry) {
    for (const auto& c : kJScript) {
        EXPECT_EQ(AddStopChecks(Language::JavaScript, c.input).text, Expand(c.expected)) << c.input;
    }
}

// Runs that may pause: a check with its line in front of each statement that runs.
const Case kVBScriptPause[] = {
    {"Option Explicit\nDim i, obj\nConst k = 1\ni = 1 : obj = 2\n",
     "Option Explicit\nDim i, obj\nConst k = 1\n%A4i = 1 : %A4obj = 2\n"},
    {"For Each obj In list\r\n  n = n + 1\r\nNext\r\n",
     "%A1For Each obj In list%T\r\n  %A2n = n + 1\r\nNext\r\n"},
    // Block words that close or divide take none, the statements after them do.
    {"If a Then\n  b\nElseIf c Then\n  d\nElse : e\nEnd If",
     "%A1If a Then\n  %A2b\nElseIf c Then\n  %A4d\nElse : %A5e\nEnd If"},
    {"Select Case i\n  Case 1 : x\n  Case Else\n    y _\n      z\nEnd Select",
     "%A1Select Case i\n  Case 1 : %A2x\n  Case Else\n    %A4y _\n      z\nEnd Select"},
    {"If a Then b Else c : d", "%A1If a Then b Else c : %A1d"},
    // Declarations, in classes too, run nothing.
    {"Sub Show(x) : WScript.Echo x : End Sub\nPublic Function F : F = 1 : End Function",
     "Sub Show(x)%T : %A1WScript.Echo x : End Sub\nPublic Function F%T : %A2F = 1 : End Function"},
    {"Class C\n  Private v\n  Sub Go : v = 1 : End Sub\nEnd Class",
     "Class C\n  Private v\n  Sub Go%T : %A3v = 1 : End Sub\nEnd Class"},
    {"Do : Loop", "%A1Do%T : Loop"},
};

const Case kJScriptPause[] = {
    {"var i = 0;\nwhile (i < 3) { i++; }\n", "%J1var i = 0;\n%J2while (i < 3) {%B %J2i++; }\n"},
    // A body without braces gets them, so that its check runs with it.
    {"if (a)\n  b();\nelse if (c) d();\nelse e()",
     "%J1if (a)\n  {%J2b();}\nelse {%J3if (c) {%J3d();}\nelse {%J4e()}}"},
    {"for (;;) x++;", "%J1for (;%C1;) {%J1x++;}"},
    {"while (1);", "%J1while (%C1);"},
    // A label stays on its loop, for `continue label`.
    {"outer: for (;;) { continue outer; }", "%J1outer: for (;;) {%B %J1continue outer; }"},
    {"switch (k) { case 1: f(); break; default: g(); }",
     "%J1switch (k) { case 1: %J1f(); %J1break; default: %J1g(); }"},
    // Function declarations run nothing themselves; their bodies do.
    {"function f(n) {\n  return n;\n}\nf(1);", "function f(n) {%B\n  %J2return n;\n}\n%J4f(1);"},
    {"try { a(); } catch (e) { b(); }", "%J1try { %J1a(); } catch (e) { %J1b(); }"},
};

TEST(StopChecks, PausableRunsCheckEachStatementOnItsLine) {
    for (const auto& c : kVBScriptPause)
        EXPECT_EQ(AddPauseChecks(Language::VBScript, c.input).text, Expand(c.expected)) << c.input;
    for (const auto& c : kJScriptPause)
        EXPECT_EQ(AddPauseChecks(Language::JavaScript, c.input).text, Expand(c.expected))
            << c.input;
}

TEST(StopChecks, OnlyJScriptNeedsAPreamble) {
    EXPECT_EQ(StopCheckPreamble(Language::JavaScript), "var ZephTurns=0;");
    EXPECT_EQ(StopCheckPreamble(Language::VBScript), "");
    EXPECT_EQ(kStopCheckItem, "ZephRun");
}

TEST(StopChecks, EngineColumnsMapBackToTheUsersColumns) {
    // Two checks on line 1, one on line 2; the user's text is "Do : Do : Loop : Loop", ...
    const auto checked =
        AddStopChecks(Language::VBScript, "Do : Do : Loop : Loop\r\nWhile x\r\nWend\r\n");
    using I = StopCheckedText::Insertion;
    ASSERT_EQ(checked.insertions, (std::vector<I>{{1, 2, 13}, {1, 20, 13}, {2, 7, 13}}));
    struct {
        int line, column, user;
    } const kColumns[] = {
        {1, 0, 0},   {1, 1, 1},    // before the first check
        {1, 2, 2},   {1, 8, 2},    // the first check's first and a middle byte
        {1, 14, 2},  {1, 15, 2},   // its last byte, the byte after it
        {1, 18, 5},  {1, 20, 7},   // between the checks, the second check
        {1, 33, 7},  {1, 40, 14},  // after both
        {2, 6, 6},   {2, 7, 7},   {2, 19, 7}, {2, 20, 7},
        {2, 25, 12}, {3, 3, 3},   {4, 0, 0},  {0, 5, 5},  // lines without checks
    };
    for (const auto& c : kColumns) {
        EXPECT_EQ(checked.UserColumn(c.line, c.column), c.user)
            << "line " << c.line << ", column " << c.column;
    }
}

// The user's text back from the checked one: each recorded insertion cut out of its line.
std::string WithoutInsertions(const StopCheckedText& checked) {
    std::vector<std::size_t> line_starts{0};
    const std::string& s = checked.text;
    for (std::size_t p = 0; p < s.size(); ++p) {
        if (s[p] == '\n' || (s[p] == '\r' && (p + 1 == s.size() || s[p + 1] != '\n')))
            line_starts.push_back(p + 1);
    }
    std::string out = s;
    for (auto it = checked.insertions.rbegin(); it != checked.insertions.rend(); ++it) {
        const std::size_t at = line_starts.at(it->line - 1) + it->column;
        const std::string cut = out.substr(at, it->length);
        EXPECT_EQ(cut.find_first_of("\r\n"), std::string::npos) << cut;
        out.erase(at, it->length);
    }
    return out;
}

int LineCount(std::string_view s) {
    int lines = 1;
    for (std::size_t p = 0; p < s.size(); ++p)
        if (s[p] == '\n' || (s[p] == '\r' && (p + 1 == s.size() || s[p + 1] != '\n'))) ++lines;
    return lines;
}

TEST(StopChecks, CuttingTheInsertionsGivesBackTheTextLineForLine) {
    std::vector<std::pair<Language, std::string>> texts;
    for (const auto& c : kVBScript) texts.emplace_back(Language::VBScript, c.input);
    for (const auto& c : kJScript) texts.emplace_back(Language::JavaScript, c.input);
    // Broken and odd texts: left open, lone CRs, nesting deeper than is ever written.
    for (const Language l : {Language::VBScript, Language::JavaScript}) {
        texts.emplace_back(l, "");
        texts.emplace_back(l, "Do\rLoop\rfor (;;) {\r}\r");
        texts.emplace_back(l, "s = \"Do : Loop\ndo { /* while (1) {\n");
        texts.emplace_back(l, "For i = 1 _");
        texts.emplace_back(l, "while (/[/ ; for (;;) {");
        texts.emplace_back(l, "function f( { do } while ( for (;;) x; } } )) ] while (1);");
    }
    texts.emplace_back(Language::JavaScript,
                       std::string(100000, '(') + "1" + std::string(100000, ')'));
    texts.emplace_back(Language::JavaScript, std::string(100000, '{') + "while (1) {}");
    std::string nested;
    for (int i = 0; i < 20000; ++i) nested += "if (a) function f() { do ";
    texts.emplace_back(Language::JavaScript, nested + "for (;;);");

    for (const auto& c : kVBScriptPause) texts.emplace_back(Language::VBScript, c.input);
    for (const auto& c : kJScriptPause) texts.emplace_back(Language::JavaScript, c.input);

    for (const auto& [language, text] : texts)
        for (const auto add : {&AddStopChecks, &AddPauseChecks}) {
            const auto checked = add(language, text);
            EXPECT_EQ(WithoutInsertions(checked), text) << text.substr(0, 80);
            EXPECT_EQ(LineCount(checked.text), LineCount(text)) << text.substr(0, 80);
            for (std::size_t k = 1; k < checked.insertions.size(); ++k) {
                const auto& a = checked.insertions[k - 1];
                const auto& b = checked.insertions[k];
                EXPECT_TRUE(a.line < b.line ||
                            (a.line == b.line && a.column + a.length <= b.column))
                    << text.substr(0, 80);
            }
        }
}

}  // namespace
}  // namespace zeph::workbench
