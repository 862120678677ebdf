#include "workbench/editor_menu.h"

#include "base/unique.h"
#include "base/wide.h"
#include "text/cp1251.h"

namespace zeph::win {

using text::operator""_cp;

namespace {

enum : UINT {
    kUndo = 1,
    kRedo,
    kCut,
    kCopy,
    kPaste,
    kSelectAll,
    kFind,
    kOpenFile,
    kSaveFile,
    kHistory
};

void Add(HMENU menu, UINT id, std::string_view caption, bool enabled) {
    ::AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, Wide(caption).c_str());
}

}  // namespace

std::optional<workbench::FileCommand> RunEditorMenu(HWND owner, POINT screen,
                                                    ScriptEditorWindow& editor, FindBar& finder) {
    editor::EditorModel& model = editor.model();
    UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return std::nullopt;
    const bool writable = !model.ReadOnly();
    const bool selected = model.HasSelection();
    // The file and version commands first: the editing commands keep their places from the
    // bottom, where the menu keys reach them first.
    Add(menu.get(), kOpenFile, u8"Открыть файл...\tCtrl+Shift+O"_cp, true);
    Add(menu.get(), kSaveFile, u8"Сохранить в файл...\tCtrl+Shift+S"_cp, true);
    Add(menu.get(), kHistory, u8"История версий...\tCtrl+Shift+H"_cp, true);
    ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    Add(menu.get(), kUndo, u8"Отменить\tCtrl+Z"_cp, writable && model.CanUndo());
    Add(menu.get(), kRedo, u8"Повторить\tShift+Ctrl+Z"_cp, writable && model.CanRedo());
    ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    Add(menu.get(), kCut, u8"Вырезать\tCtrl+X"_cp, writable && selected);
    Add(menu.get(), kCopy, u8"Копировать\tCtrl+C"_cp, selected);
    Add(menu.get(), kPaste, u8"Вставить\tCtrl+V"_cp,
        writable && ::IsClipboardFormatAvailable(CF_UNICODETEXT));
    ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    Add(menu.get(), kSelectAll, u8"Выделить все\tCtrl+A"_cp, true);
    Add(menu.get(), kFind, u8"Найти...\tCtrl+F"_cp, true);

    if (screen.x == -1 && screen.y == -1) {
        screen = editor.CaretPixel();
        screen.y += editor.LineHeight();
        ::ClientToScreen(editor.hwnd(), &screen);
    }
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON,
                         screen.x, screen.y, 0, owner, nullptr));
    const editor::EditorCommand commands[] = {editor::cmNone,     editor::cmUndo, editor::cmRedo,
                                              editor::cmCut,      editor::cmCopy, editor::cmPaste,
                                              editor::cmSelectAll};
    switch (chosen) {
        case kOpenFile:
            return workbench::FileCommand::OpenFile;
        case kSaveFile:
            return workbench::FileCommand::SaveFile;
        case kHistory:
            return workbench::FileCommand::History;
        default:
            break;
    }
    if (chosen == kFind) {
        finder.Open(false);
    } else if (chosen >= kUndo && chosen <= kSelectAll) {
        model.ExecuteCommand(commands[chosen]);
        editor.Sync();
        editor.Focus();
    }
    return std::nullopt;
}

}  // namespace zeph::win
