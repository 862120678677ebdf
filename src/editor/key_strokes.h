// The editor's key strokes: commands, Windows virtual-key numbers and the standard table.
#pragma once

#include <span>
#include <string_view>

namespace zeph::editor {

enum EditorCommand : int {
    cmNone = 0,
    // caret and selection
    cmUp,
    cmSelUp,
    cmScrollUp,
    cmDown,
    cmSelDown,
    cmScrollDown,
    cmLeft,
    cmSelLeft,
    cmWordLeft,
    cmSelWordLeft,
    cmRight,
    cmSelRight,
    cmWordRight,
    cmSelWordRight,
    cmPageDown,
    cmSelPageDown,
    cmPageBottom,
    cmSelPageBottom,
    cmPageUp,
    cmSelPageUp,
    cmPageTop,
    cmSelPageTop,
    cmLineStart,
    cmSelLineStart,
    cmEditorTop,
    cmSelEditorTop,
    cmLineEnd,
    cmSelLineEnd,
    cmEditorBottom,
    cmSelEditorBottom,
    cmSelectAll,
    cmNormalSelect,
    cmColumnSelect,
    cmLineSelect,
    cmMatchBracket,
    // editing
    cmToggleMode,
    cmCopy,
    cmCut,
    cmPaste,
    cmDeleteChar,
    cmDeleteLastChar,
    cmDeleteLastWord,
    cmUndo,
    cmRedo,
    cmLineBreak,
    cmTab,
    cmShiftTab,
    cmContextHelp,
    cmBlockIndent,
    cmBlockUnindent,
    cmInsertLine,
    cmDeleteWord,
    cmDeleteLine,
    cmDeleteEOL,
    // bookmarks
    cmGotoMarker0,
    cmGotoMarker1,
    cmGotoMarker2,
    cmGotoMarker3,
    cmGotoMarker4,
    cmGotoMarker5,
    cmGotoMarker6,
    cmGotoMarker7,
    cmGotoMarker8,
    cmGotoMarker9,
    cmSetMarker0,
    cmSetMarker1,
    cmSetMarker2,
    cmSetMarker3,
    cmSetMarker4,
    cmSetMarker5,
    cmSetMarker6,
    cmSetMarker7,
    cmSetMarker8,
    cmSetMarker9,
};

// Windows virtual-key numbers the table uses (the core has no windows.h).
namespace vk {
inline constexpr int kBack = 0x08, kTab = 0x09, kReturn = 0x0D, kEscape = 0x1B, kSpace = 0x20,
                     kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24, kLeft = 0x25,
                     kUp = 0x26, kRight = 0x27, kDown = 0x28, kInsert = 0x2D, kDelete = 0x2E,
                     kF1 = 0x70;
// Digits and letters are their ASCII codes: '0'..'9', 'A'..'Z'.
}  // namespace vk

enum KeyModifier : unsigned {
    kNoModifier = 0,
    kShift = 1,
    kCtrl = 2,
    kAlt = 4,
};

struct KeyStroke {
    EditorCommand command;
    int key;             // virtual-key number
    unsigned modifiers;  // KeyModifier bits
};

// The 82 standard key strokes.
std::span<const KeyStroke> StandardKeyStrokes();
// The command bound to a key, or cmNone.
EditorCommand CommandForKey(int key, unsigned modifiers);
// "cmUp" and so on.
std::string_view CommandName(EditorCommand command);

}  // namespace zeph::editor
