// Completion of what the script itself makes: variables followed to the host's types, and the
// script's names, the host's globals and the keywords after a bare word.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "completion/completion.h"
#include "completion/editor_binding.h"
#include "completion/fakes.h"
#include "editor/highlighter.h"

namespace zeph::completion {
namespace {

using testing::RecordingPopup;

struct ScriptCase {
    const char* what;
    bool jscript;
    std::string text;                 // lines joined by CR LF
    int line, column;                 // the caret
    std::vector<std::string> first;   // the names listed first, in order
    std::vector<std::string> absent;  // names that must not be listed
};

std::vector<std::string> Listed(const ScriptCase& c) {
    editor::TVBScriptHighlighter vb;
    editor::TJScriptHighlighter js;
    editor::EditorModel editor(editor::EditorOptions::ScriptEditor());
    editor.SetHighlighter(c.jscript ? static_cast<editor::Highlighter*>(&js) : &vb);
    editor.SetText(c.text);
    editor.SetCaretXY(c.column, c.line);
    EditorModelView view(editor);
    RecordingPopup popup;
    FileDescriptionSource source(std::filesystem::path(ZEPH_TEST_DATA) / "script/TellurTlb.xml");
    FixedPitchMeasure measure;
    CodeCompletion completion(view, popup, source, measure);
    bool opens = true;
    completion.ScriptTextProposalExecute(opens);
    return popup.Names();
}

void ExpectListed(const ScriptCase& c) {
    const std::vector<std::string> names = Listed(c);
    ASSERT_GE(names.size(), c.first.size()) << c.what << ::testing::PrintToString(names);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + c.first.size()), c.first)
        << c.what;
    for (const std::string& a : c.absent)
        EXPECT_THAT(names, ::testing::Not(::testing::Contains(a))) << c.what;
}

TEST(ScriptCompletion, VariablesLeadToTheirTypesAndChainsFromApplicationStayAsTheyWere) {
    const ScriptCase cases[] = {
        {"Set, then a dot",
         false,
         "Set m = Application.Map\r\nm.",
         2,
         3,
         {"Objects", "Zoom", "FindObject", "Name"},
         {"Caption"}},
        {"further along the chain, a partial word",
         false,
         "Set m = Application.Map\r\nx = m.Objects.Ite",
         2,
         18,
         {"Count", "Item"},
         {}},
        {"For Each takes the item type",
         false,
         "Set m = Application.Map\r\nFor Each o In m.Objects\r\n  o.",
         3,
         5,
         {"ID", "Kind", "Move", "Name"},
         {"Count"}},
        {"a method's result and a variable from a variable",
         false,
         "Set m = GetMap()\r\nSet o = m.FindObject(\"a\")\r\no.",
         3,
         3,
         {"ID", "Kind"},
         {}},
        {"the latest assignment wins",
         false,
         "Set m = Application.Map.Objects\r\nSet m = Application.Map\r\nm.",
         3,
         3,
         {"Objects"},
         {"Count"}},
        {"not one from another procedure",
         false,
         "Sub A\r\n  Set m = Application.Map\r\nEnd Sub\r\nm.",
         4,
         3,
         {"Map", "Caption"},
         {}},
        {"an unknown type: as before", false, "m = 5\r\nm.", 2, 3, {"Map", "Caption"}, {}},
        {"JScript var", true, "var m = Application.Map;\r\nm.", 2, 3, {"Objects"}, {}},
        {"JScript is case-sensitive",
         true,
         "var m = Application.Map;\r\nM.",
         2,
         3,
         {"Map", "Caption"},
         {}},
        {"Application. itself is untouched by a variable of that name",
         false,
         "Set Application = Application.Map\r\nApplication.",
         2,
         13,
         {"Map", "Caption"},
         {}},
    };
    for (const ScriptCase& c : cases) ExpectListed(c);
}

TEST(ScriptCompletion, ABareWordAddsTheScriptsNamesTheHostsAndTheKeywords) {
    const std::string vb =
        "Const Limit = 3\r\nDim total\r\nSub Draw(map, kind)\r\n  Dim inner\r\n  "
        "x\r\nEnd Sub\r\nFunction Area(r)\r\nEnd Function\r\nt";
    const ScriptCase cases[] = {
        // The description's list comes first, as before; then the script's names visible at
        // the caret, the host's globals and constants, and the keywords.
        {"at global level",
         false,
         vb,
         9,
         2,
         {"Map", "Caption", "GetMap", "Redraw", "Limit", "total", "Draw", "Area", "Application",
          "WScript", "okPoint", "okLine", "And"},
         {"inner", "map"}},
        {"inside a procedure: its locals and parameters too",
         false,
         vb,
         5,
         4,
         {"Map", "Caption", "GetMap", "Redraw", "Limit", "total", "map", "kind", "inner", "Draw",
          "Area"},
         {}},
        {"JScript keywords",
         true,
         "function f(a) {}\r\nconst K = 1, L = 2;\r\nva",
         3,
         3,
         {"Map", "Caption", "GetMap", "Redraw", "K", "L", "f", "Application"},
         {"Dim", "a"}},
        {"not after a dot", false, "Dim total\r\nApplication.Ma", 2, 15, {"Map"}, {"total"}},
    };
    for (const ScriptCase& c : cases) ExpectListed(c);
}

}  // namespace
}  // namespace zeph::completion
