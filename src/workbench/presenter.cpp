#include "workbench/presenter.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <stdexcept>

#include "store/script_file.h"
#include "store/store_files.h"
#include "text/cp1251.h"
#include "workbench/store_action.h"

namespace zeph::workbench {

using text::operator""_cp;

std::string_view LanguageCaption(Language language) {
    return language == Language::VBScript ? u8"Модуль быстрого запуска скрипта (VBScript)"_cp
                                          : u8"Модуль быстрого запуска скрипта (JavaScript)"_cp;
}

std::string_view LanguageName(Language language) {
    return language == Language::VBScript ? "VBScript" : "JavaScript";
}

std::string_view HighlighterName(Language language) {
    return language == Language::VBScript ? "VBScriptHighlighter" : "JavaScriptHighlighter";
}

std::string_view SavedNotice() {
    return u8" - Скрипт сохранен"_cp;
}

std::string ErrorMessageText(std::string_view message) {
    std::string out(message);
    if (!out.empty() && static_cast<unsigned char>(out.back()) > static_cast<unsigned char>('.'))
        out += '.';
    return out;
}

WorkbenchPresenter::WorkbenchPresenter(IWorkbenchView& view)
    : view_(view), description_([this] {
          // Bindings go with the host; a reader kept beyond that finds nothing to read.
          if (!host_) throw std::logic_error("no host to read the description from");
          return host_->DataFolderPath();
      }) {
    enabled_.fill(true);
    SetEnabled(ActionId::Enter, false);  // only while the saved-script box has the focus
}

void WorkbenchPresenter::SetHost(IWorkbenchHost* host) {
    host_ = host;
    if (!host_) completion_.reset();  // its description comes from the host
}

void WorkbenchPresenter::BindCompletion(editor::EditorModel& editor, editor::CompletionModel& popup,
                                        const completion::ITextMeasure& measure) {
    completion_.reset();
    if (!host_) return;
    completion_ =
        std::make_unique<completion::EditorCompletion>(editor, popup, description_, measure);
}

void WorkbenchPresenter::AttachApplication() {
    if (!store_) return;
    StoreAction action(store_);
    store_->ApplyStore();
    action.Commit();
    OfferRescuedText();
    opened_text_ = view_.EditorText();
}

void WorkbenchPresenter::OfferRescuedText() {
    std::optional<store::RescuedScript> rescued = store_->TakeRescue();
    if (!rescued) return;
    std::string question(u8"При прошлом закрытии окна текст скрипта"_cp);
    if (!rescued->name.empty()) question += " \"" + rescued->name + "\"";
    question += std::string(u8" не был сохранен. Восстановить его?"_cp);
    if (view_.ShowMessage(question, u8"Восстановление"_cp, MessageIcon::Question,
                          MessageButtons::YesNo) != MessageResult::Yes)
        return;
    const Language language =
        rescued->language == "JavaScript" ? Language::JavaScript : Language::VBScript;
    view_.SetCaption(LanguageCaption(language));
    view_.SetHighlighter(language);
    view_.SetScriptBoxText(rescued->name);
    view_.ReplaceEditorText(rescued->text);
}

bool WorkbenchPresenter::RescueUnstoredText() noexcept {
    if (!store_) return false;
    try {
        const std::string name = view_.ScriptBoxText();
        const std::string text = view_.EditorText();
        if (text == opened_text_) return false;  // untouched since the window opened
        try {
            std::optional<StoredScript> stored = store_->FindScript(name);
            if (stored && stored->text == text) return false;
        } catch (const std::exception&) {
            // A store that cannot be read holds nothing of it.
        }
        store_->KeepRescue({name, CurrentLanguage(), text});
        return true;
    } catch (...) {
        // Nobody to tell: the window is going and the host may be shutting down.
        return false;
    }
}

// --- actions and keys ---------------------------------------------------------------------

std::optional<ActionId> WorkbenchPresenter::ActionForKey(KeyStroke key) {
    for (const ActionInfo& a : ActionTable())
        if (ActionCarriesKey(a, key)) return a.id;
    return std::nullopt;
}

std::optional<ActionId> WorkbenchPresenter::ActionTakingKey(KeyStroke key) const {
    std::optional<ActionId> id = ActionForKey(key);
    if (id && !IsEnabled(*id)) return std::nullopt;
    return id;
}

bool WorkbenchPresenter::HandleKey(KeyStroke key) {
    std::optional<ActionId> id = ActionTakingKey(key);
    if (!id) return false;
    Execute(*id);
    return true;
}

void WorkbenchPresenter::HandleScriptKey(KeyStroke key) {
    if (key == Ctrl('G')) {
        Guarded([&] { GoToLineExecute(); });
    } else if (key == Ctrl(vk::kSlash)) {
        Guarded([&] { ToggleCommentExecute(); });
    } else if (key == F(7)) {
        Guarded([&] { CheckScriptExecute(); });
    }
}

void WorkbenchPresenter::Execute(ActionId id) {
    if (!IsEnabled(id)) return;
    Guarded([&] { Dispatch(id); });
}

void WorkbenchPresenter::Dispatch(ActionId id) {
    switch (id) {
        case ActionId::Run:
            return ExeButtonClick();
        case ActionId::New:
            return NewActionExecute();
        case ActionId::Remove:
            return RemoveToolButtonClick();
        case ActionId::SetVBScript:
            return SetVBScriptMenuItemClick();
        case ActionId::SetJavaScript:
            return SetJavaScriptMenuItemClick();
        case ActionId::ReselectLanguage:
            return SetLanguageClick();
        case ActionId::OpenMenuLanguage:
            return OpenMenuLanguageActionExecute();
        case ActionId::MoveOnScriptText:
            return MoveOnScriptTextActionExecute();
        case ActionId::CloseMainModelessDialog:
            return CloseMainModelessDialogExecute();
        case ActionId::Enter:
            return EnterActionExecute();
        case ActionId::MoveToSaveScriptComboBox:
            return MoveToSaveScriptComboBoxActionExecute();
        case ActionId::SetupZephra:
            return SetupZephraActionExecute();
        case ActionId::SaveScriptToXML:
            return EnterActionExecute();
        case ActionId::AddObjectSelectID:
            return AddObjectSelectIDActionExecute();
        case ActionId::Help:
            return HelpActionExecute();
    }
}

// --- window events ------------------------------------------------------------------------

void WorkbenchPresenter::SavedScriptsEnter() {
    SetEnabled(ActionId::Enter, true);
    active_script_name_ = view_.ScriptBoxText();
}

void WorkbenchPresenter::SavedScriptsExit() {
    SetEnabled(ActionId::Enter, false);
}

void WorkbenchPresenter::SavedScriptsDropDown() {
    // No tool tip over the open list.
    view_.SetSavedScriptHintShown(false);
    active_script_name_ = view_.ScriptBoxText();
}

void WorkbenchPresenter::SavedScriptsSelect() {
    Guarded([&] { SaveScriptComboBoxSelect(); });
}

bool WorkbenchPresenter::FormClose() {
    std::string failure;
    try {
        StoreAction action(store_);
        if (store_)
            store_->SaveOnClose(view_.ScriptBoxText(), CurrentLanguage(), view_.EditorText());
        action.Commit();
        return true;
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = u8"Неизвестная ошибка"_cp;
    }
    // The text is not stored anywhere: closing now would throw it away. The user decides;
    // a store that cannot be written must not keep the window open for good either.
    const std::string question =
        ErrorMessageText(failure) + "\r\n\r\n" + std::string(u8"Закрыть окно без сохранения?"_cp);
    return view_.ShowMessage(question, u8"Ошибка"_cp, MessageIcon::Error,
                             MessageButtons::YesNoDefaultNo) == MessageResult::Yes;
}

bool WorkbenchPresenter::AskYesNo(const std::string& question) {
    return view_.ShowMessage(question, u8"Файл настроек"_cp, MessageIcon::Question,
                             MessageButtons::YesNo) == MessageResult::Yes;
}

void WorkbenchPresenter::Inform(const std::string& notice) {
    view_.ShowMessage(notice, u8"Файл настроек"_cp, MessageIcon::Information, MessageButtons::Ok);
}

void WorkbenchPresenter::MarkCaptionSaved() {
    // The notice says the script is saved: it is on the disk before the notice shows.
    if (store_) store_->CommitAction();
    std::string caption = view_.Caption();
    if (!caption.ends_with(SavedNotice())) {
        plain_caption_ = caption;
        view_.SetCaption(plain_caption_ + std::string(SavedNotice()));
    }
    if (!timer_running_) {
        timer_running_ = true;
        view_.StartTimer();
    }
}

void WorkbenchPresenter::TimerTimer() {
    view_.SetCaption(plain_caption_);
    timer_running_ = false;
    view_.StopTimer();
}

std::string WorkbenchPresenter::CurrentLanguage() const {
    return std::string(LanguageName(view_.EditorLanguage()));
}

void WorkbenchPresenter::ReportError(std::string_view message) {
    view_.ShowMessage(ErrorMessageText(message), u8"Ошибка"_cp, MessageIcon::Error,
                      MessageButtons::Ok);
}

// --- focus and closing --------------------------------------------------------------------

void WorkbenchPresenter::OpenMenuLanguageActionExecute() {
    view_.PopupLanguageMenu();
}

void WorkbenchPresenter::MoveOnScriptTextActionExecute() {
    view_.FocusEditor();
}

void WorkbenchPresenter::MoveToSaveScriptComboBoxActionExecute() {
    view_.FocusSavedScriptsAndDropDown();
}

void WorkbenchPresenter::CloseMainModelessDialogExecute() {
    view_.RequestClose();
}

void WorkbenchPresenter::SetupZephraActionExecute() {
    if (!store_ || !settings_) return;
    const std::string box_text = view_.ScriptBoxText();
    const std::string editor_text = view_.EditorText();
    const Language language = view_.EditorLanguage();
    // The dialog edits the file, so the window's own state goes there first.
    store_->SaveWorkbenchState();
    store_->CommitAction();  // the dialog reads the file
    bool saved = false;
    {
        StoreActionPause pause(store_);
        saved = settings_->Run(std::string(HighlighterName(language)));
    }
    if (!saved) return;
    // Applying the store may open the default script: the work shown before comes back.
    store_->ApplyStore();
    view_.SetScriptBoxText(box_text);
    if (view_.EditorLanguage() != language) SetLanguageClick();
    view_.ReplaceEditorText(editor_text);
}

// --- object IDs and help ------------------------------------------------------------------

void WorkbenchPresenter::AddObjectSelectIDActionExecute() {
    if (!host_) return;
    const int count = host_->SelectedCount();
    if (count <= 0) return;

    std::string list;
    const int again = host_->SelectedCount();
    for (int i = 0; i < again; ++i) {
        list += '"';
        list += host_->SelectedId(i);
        list += "\", ";
    }
    if (list.size() >= 2) list.resize(list.size() - 2);

    const CaretPos caret = view_.Caret();
    const std::size_t columns = caret.column > 1 ? static_cast<std::size_t>(caret.column - 1) : 0;
    const int index = caret.line > 1 ? caret.line - 1 : 0;
    const std::string line = index < view_.LineCount() ? view_.Line(index) : std::string();

    std::string updated;
    if (columns <= line.size()) {
        updated = line.substr(0, columns) + list + line.substr(columns);
    } else {
        updated = line + std::string(columns - line.size(), ' ') + list;
    }
    view_.ReplaceLine(index, updated);
    view_.SetCaret(caret);
}

void WorkbenchPresenter::HelpActionExecute() {
    if (!host_ || !shell_) return;
    // The host's data folder first; an installation keeps the guide beside the module.
    const std::string path = host_->DataFolder() + "Zeph_Help.chm";
    std::vector<std::string> candidates{path};
    for (const std::string& folder : shell_->ModuleFolders())
        candidates.push_back(folder + "Zeph_Help.chm");
    for (const std::string& candidate : candidates) {
        if (shell_->FileExists(candidate)) {
            shell_->StartProgram("hh " + candidate);
            return;
        }
    }
    view_.ShowMessage(std::string(u8"Не найден файл справки:"_cp) + path,
                      u8"Файл справки не найден"_cp, MessageIcon::Warning, MessageButtons::Ok);
}

}  // namespace zeph::workbench
