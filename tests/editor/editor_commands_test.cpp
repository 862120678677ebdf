// The command table: which commands a read-only editor refuses, which continue a run of like
// edits, and commands the table does not know.
#include <gtest/gtest.h>

#include "doc_notation.h"
#include "editor/editor_model.h"
#include "editor/key_strokes.h"

namespace zeph::editor {
namespace {

using testing::Dump;
using testing::Load;

struct FixedClipboard : EditorClipboard {
    std::string put;
    void PutText(std::string_view t, bool) override { put = t; }
    bool GetText(std::string& t, bool& column) override {
        t = "pasted";
        column = false;
        return true;
    }
};

TEST(EditorCommands, ReadOnlyRefusesEveryCommandThatWouldEdit) {
    EditorOptions o = EditorOptions::ScriptEditor();
    o.read_only = true;
    for (const KeyStroke& k : StandardKeyStrokes()) {
        EditorModel m(o);
        FixedClipboard clip;
        m.SetClipboard(&clip);
        m.SetText("  one two\r\n(three)\r\nfour");
        m.SetSelection({0, 3}, {1, 2});
        m.ExecuteCommand(k.command);
        EXPECT_EQ(m.Text(), "  one two\r\n(three)\r\nfour\r\n") << CommandName(k.command);
        EXPECT_FALSE(m.Modified()) << CommandName(k.command);
        EXPECT_FALSE(m.CanUndo()) << CommandName(k.command);
    }
}

TEST(EditorCommands, CopyAndModesStillWorkWhileReadOnly) {
    EditorOptions o;
    o.read_only = true;
    EditorModel m(o);
    FixedClipboard clip;
    m.SetClipboard(&clip);
    Load(m, "ab^cd|e");
    m.ExecuteCommand(cmCopy);
    EXPECT_EQ(clip.put, "cd");
    m.ExecuteCommand(cmToggleMode);
    EXPECT_FALSE(m.InsertMode());
    m.ExecuteCommand(cmColumnSelect);
    EXPECT_EQ(m.GetSelectionMode(), SelectionMode::kColumn);
}

TEST(EditorCommands, RunsOfDeleteAndBackspaceUndoAsOneEach) {
    EditorModel m(EditorOptions::ScriptEditor());
    Load(m, "abc|defgh");
    m.ExecuteCommand(cmDeleteChar);
    m.ExecuteCommand(cmDeleteChar);
    m.ExecuteCommand(cmDeleteLastChar);
    m.ExecuteCommand(cmDeleteLastChar);
    EXPECT_EQ(Dump(m), "a|fgh");
    m.ExecuteCommand(cmUndo);
    EXPECT_EQ(Dump(m), "abc|fgh");
    m.ExecuteCommand(cmUndo);
    EXPECT_EQ(Dump(m), "abc|defgh");

    // Any other command between two Deletes ends the run.
    Load(m, "ab|cdef");
    m.ExecuteCommand(cmDeleteChar);
    m.ExecuteCommand(cmNormalSelect);
    m.ExecuteCommand(cmDeleteChar);
    m.ExecuteCommand(cmUndo);
    EXPECT_EQ(Dump(m), "ab|def");
}

TEST(EditorCommands, CommandsOutsideTheTableDoNothing) {
    EditorModel m;
    Load(m, "a|b");
    m.ExecuteCommand(cmNone);
    m.ExecuteCommand(static_cast<EditorCommand>(cmSetMarker9 + 1));
    m.ExecuteCommand(static_cast<EditorCommand>(-1));
    EXPECT_EQ(Dump(m), "a|b");
    EXPECT_FALSE(m.CanUndo());
}

}  // namespace
}  // namespace zeph::editor
