// The presenter's script files and versions: opening, saving and dropping files, and the
// history of a script's texts.
#include <algorithm>

#include "store/script_file.h"
#include "store/store_files.h"
#include "text/cp1251.h"
#include "workbench/presenter.h"
#include "workbench/store_action.h"

namespace zeph::workbench {

using text::operator""_cp;

// --- script files and versions ------------------------------------------------------------

namespace {

Language LanguageNamed(std::string_view name) {
    return name == "JavaScript" ? Language::JavaScript : Language::VBScript;
}

// A script's name as a file name: the characters no file name may hold become "_".
std::string FileNameFor(std::string_view script_name) {
    std::string name(script_name);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 32 ||
            std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            c = '_';
    return name;
}

std::string ScriptTitle(std::string_view name) {
    return name.empty() ? std::string(u8"текст без имени"_cp) : "\"" + std::string(name) + "\"";
}

}  // namespace

std::optional<FileCommand> WorkbenchPresenter::FileCommandForKey(KeyStroke key) {
    if (key.modifiers != (kCtrl | kShift)) return std::nullopt;
    switch (key.key) {
        case 'O':
            return FileCommand::OpenFile;
        case 'S':
            return FileCommand::SaveFile;
        case 'H':
            return FileCommand::History;
        default:
            return std::nullopt;
    }
}

void WorkbenchPresenter::RunFileCommand(FileCommand command) {
    Guarded([&] {
        switch (command) {
            case FileCommand::OpenFile:
                if (auto path = view_.ChooseFileToOpen(ScriptFileFilter())) OpenScriptFile(*path);
                return;
            case FileCommand::SaveFile:
                return SaveScriptFile();
            case FileCommand::History:
                return ShowHistory();
        }
    });
}

void WorkbenchPresenter::OpenDroppedFiles(const std::vector<std::filesystem::path>& paths) {
    if (paths.empty()) return;
    Guarded([&] { OpenScriptFile(paths.front()); });
    if (paths.size() > 1)
        view_.ShowMessage(std::string(u8"Открыт только первый из перетащенных файлов: в редакторе "
                                      u8"помещается один скрипт."_cp),
                          u8"Открытие файла"_cp, MessageIcon::Information, MessageButtons::Ok);
}

std::string WorkbenchPresenter::ScriptFileFilter() {
    return std::string(u8"Скрипты (*.vbs, *.js)|*.vbs;*.js|"_cp) +
           std::string(view_.VBScriptHighlighter().FileFilter()) + "|" +
           std::string(view_.JavaScriptHighlighter().FileFilter());
}

void WorkbenchPresenter::OpenScriptFile(const std::filesystem::path& path) {
    // Read first: a file that cannot be opened changes nothing.
    const store::DecodedScript script = store::ReadScriptFile(ScriptFiles(), path);
    const std::optional<std::string_view> named = store::LanguageOfFile(path);
    const Language language = named ? LanguageNamed(*named) : view_.EditorLanguage();
    // As for a new script: the work shown so far stays in the store under its name (or as the
    // unnamed text), and the file's text becomes the unnamed text; what either replaces goes to
    // the history.
    if (store_) {
        store_->StoreScript(view_.ScriptBoxText(), CurrentLanguage(), view_.EditorText());
        store_->CommitAction();  // on the disk before the editor's text gives way
    }
    active_script_name_.clear();
    view_.SetScriptBoxText("");
    view_.SetCaption(LanguageCaption(language));
    view_.SetHighlighter(language);
    view_.ReplaceEditorText(script.text);
    if (store_) {
        store_->StoreScript("", CurrentLanguage(), view_.EditorText());
        MarkCaptionSaved();
    }
    view_.SetCaret({1, 1});
    view_.FocusEditor();
    if (script.replaced == 0) return;
    view_.ShowMessage(
        std::string(u8"В файле \""_cp) + store::files::PathText(path) +
            std::string(u8"\" есть знаки, которых нет в кодировке Windows-1251 (всего: "_cp) +
            std::to_string(script.replaced) + std::string(u8", первый в строке "_cp) +
            std::to_string(script.first_replaced_line) +
            std::string(u8"). В редакторе они заменены знаком \"?\"; сам файл не изменен."_cp),
        u8"Открытие файла"_cp, MessageIcon::Warning, MessageButtons::Ok);
}

void WorkbenchPresenter::SaveScriptFile() {
    const Language language = view_.EditorLanguage();
    const bool vb = language == Language::VBScript;
    std::optional<std::filesystem::path> path = view_.ChooseFileToSave(
        ScriptFileFilter(), vb ? 2 : 3, vb ? "vbs" : "js", FileNameFor(view_.ScriptBoxText()));
    if (!path) return;
    store::WriteScriptFile(ScriptFiles(), *path, view_.EditorText());
}

void WorkbenchPresenter::ShowHistory() {
    if (!store_) return;
    const std::string name = view_.ScriptBoxText();
    const std::vector<store::ScriptVersion> versions = store_->History(name);
    if (versions.empty()) {
        view_.ShowMessage(std::string(u8"Прежних версий нет: "_cp) + ScriptTitle(name) +
                              std::string(u8" еще не заменялся при сохранении."_cp),
                          u8"История версий"_cp, MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    std::optional<std::size_t> chosen;
    {
        // Nobody waits for the store while the user reads.
        StoreActionPause pause(store_);
        chosen =
            view_.ChooseVersion(std::string(u8"История версий: "_cp) + ScriptTitle(name), versions);
    }
    if (!chosen || *chosen >= versions.size()) return;
    const store::ScriptVersion& version = versions[*chosen];
    // The text shown now is stored first and the restored one saved over it as Enter saves, so
    // the history keeps both the text shown and the one stored before: restoring loses nothing.
    store_->StoreScript(name, CurrentLanguage(), view_.EditorText());
    store_->CommitAction();  // on the disk before the editor's text gives way
    const Language language = LanguageNamed(version.language);
    view_.SetCaption(LanguageCaption(language));
    view_.SetHighlighter(language);
    view_.ReplaceEditorText(version.text);
    view_.SetCaret({1, 1});
    EnterActionExecute();
    view_.FocusEditor();
}

}  // namespace zeph::workbench
