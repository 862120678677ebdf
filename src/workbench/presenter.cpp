#include "workbench/presenter.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <stdexcept>

#include "text/cp1251.h"
#include "workbench/stop_checks.h"

namespace zeph::workbench {

using text::operator""_cp;

namespace {

constexpr std::string_view kNewScriptText = "option explicit\r\n\r\n";

// One user action at the store. It ends before an error is shown, so that another process
// waiting for its turn at the store does not wait for our message box. Its saves are written
// at Commit, once, where the action's work is done.
class StoreAction {
  public:
    explicit StoreAction(IWorkbenchStore* store) noexcept : store_(store) {
        if (store_) store_->BeginAction();
    }
    ~StoreAction() {
        if (store_) store_->EndAction();
    }
    void Commit() {
        if (store_) store_->CommitAction();
    }
    StoreAction(const StoreAction&) = delete;
    StoreAction& operator=(const StoreAction&) = delete;

  private:
    IWorkbenchStore* store_;
};

// Lets go of the current action's turn at the store for a while: a modal dialog that saves
// through a store of its own must get the lock, and another process must not wait on a user.
class StoreActionPause {
  public:
    explicit StoreActionPause(IWorkbenchStore* store) noexcept : store_(store) {
        if (store_) store_->EndAction();
    }
    ~StoreActionPause() {
        if (store_) store_->BeginAction();
    }
    StoreActionPause(const StoreActionPause&) = delete;
    StoreActionPause& operator=(const StoreActionPause&) = delete;

  private:
    IWorkbenchStore* store_;
};

}  // namespace

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

template <typename F>
void WorkbenchPresenter::Guarded(F&& handler) {
    try {
        StoreAction action(store_);
        handler();
        action.Commit();
    } catch (const std::exception& e) {
        ReportError(e.what());
    } catch (...) {
        ReportError(u8"Неизвестная ошибка"_cp);
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

// --- running ------------------------------------------------------------------------------

void WorkbenchPresenter::ExeButtonClick() {
    RunScript(view_.EditorText(), 1);
}

void WorkbenchPresenter::RunSelection(int first_line, std::string_view text) {
    Guarded([&] { RunScript(text, std::max(first_line, 1)); });
}

void WorkbenchPresenter::RunScript(std::string_view text, int first_line) {
    if (!host_ || !engines_) return;
    std::filesystem::path description = host_->DataFolderPath();
    description += "TellurTlb.xml";
    engines_->LoadDescription(description);
    const Language language = view_.EditorLanguage();

    // A loop that never calls the host can only be ended by killing the host: the unsaved text
    // waits in the rescue file until the run is over, and is offered back at the next opening
    // if the run never ends.
    const bool rescued = RescueUnstoredText();

    // However the run ends, the engine goes, the rescue file with it, and the editor gets the
    // focus back.
    struct Guard {
        WorkbenchPresenter& p;
        bool rescued;
        std::unique_ptr<IScriptEngine> engine;
        ~Guard() {
            engine.reset();
            if (rescued) {
                try {
                    p.store_->TakeRescue();
                } catch (...) {
                    // Left behind, it is offered once at the next opening: nothing is lost.
                }
            }
            p.view_.FocusEditor();
        }
    } guard{*this, rescued, engines_->CreateEngine()};
    IScriptEngine& engine = *guard.engine;

    engine.SetLanguage(LanguageName(language));
    engine.AddApplication();
    const std::string_view keyword = language == Language::VBScript ? "const" : "var";
    engine.SetSiteWindow();
    engine.AddEcho([this](std::string_view line) { AppendOutput(line); });
    if (output_view_) output_view_->MarkErrorLine(0);
    const std::string prelude = engines_->ConstantPrelude(keyword, text);
    const auto started = std::chrono::steady_clock::now();

    // A description without constants gives no statement: the bare keyword would be a syntax
    // error that stops every run.
    // Where the engine has the stop-check item, it runs a copy of the text with a check at each
    // turn of each loop, so that every loop can be stopped; the lines are the same and the
    // engine's columns are mapped back to the user's.
    std::optional<StopCheckedText> checked;
    std::optional<ScriptError> error;
    if (engine.AddStopCheckItem()) {
        const std::string preamble = StopCheckPreamble(language);
        if (!preamble.empty()) error = engine.AddCode(preamble);
        checked = AddStopChecks(language, text);
    }
    if (!error && !prelude.empty()) error = engine.AddCode(prelude);
    if (!error) {
        error = engine.AddCode(checked ? std::string_view(checked->text) : text);
        if (error && checked && error->line > 0)
            error->column = checked->UserColumn(error->line, error->column);
        // Part of the text ran: its lines are counted as the editor counts them.
        if (error && error->line > 0) error->line += first_line - 1;
    }
    if (error) {
        AppendOutput(FailedText(*error), CaretPos{error->line, error->column + 1});
        if (output_view_ && !error->stopped) output_view_->MarkErrorLine(error->line);
    } else {
        AppendOutput(FinishedText(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started)));
    }
    if (error && error->stopped) {
        view_.ShowMessage(std::string(u8"Выполнение скрипта остановлено на строке "_cp) +
                              std::to_string(error->line) + ".",
                          u8"Скрипт остановлен"_cp, MessageIcon::Information, MessageButtons::Ok);
        view_.SetCaret({error->line, error->column + 1});
    } else if (error) {
        view_.ShowMessage(std::string(u8"Произошла ошибка: "_cp) + ErrorBoxText(*error),
                          u8"Ошибка"_cp, MessageIcon::Error, MessageButtons::Ok);
        view_.SetCaret({error->line, error->column + 1});
    }
}

// --- output pane --------------------------------------------------------------------------

void WorkbenchPresenter::AppendOutput(std::string_view text, std::optional<CaretPos> pos) {
    const std::size_t before = output_.Entries().size();
    const std::size_t dropped = output_.Append(text, pos);
    const std::size_t added = output_.Entries().size() + dropped - before;
    if (!output_view_) return;
    if (!output_used_) {
        output_used_ = true;
        output_view_->ShowOutput(true);
    }
    output_view_->OutputAppended(output_, added, dropped);
}

bool WorkbenchPresenter::IsOutputKey(KeyStroke key) {
    return key == F(8) || key == KeyStroke{F(8).key, kShift};
}

void WorkbenchPresenter::HandleOutputKey(KeyStroke key) {
    if (!output_view_) return;
    if (key == F(8)) {
        output_used_ = true;
        output_view_->ShowOutput(!output_view_->OutputShown());
    } else if (key == KeyStroke{F(8).key, kShift}) {
        output_.Clear();
        output_view_->OutputCleared();
    }
}

void WorkbenchPresenter::OutputLineActivated(int index) {
    if (index < 0) return;
    std::optional<CaretPos> pos = output_.PositionAt(static_cast<std::size_t>(index));
    if (!pos) return;
    view_.SetCaret(*pos);
    view_.FocusEditor();
}

// --- saved scripts ------------------------------------------------------------------------

void WorkbenchPresenter::NewActionExecute() {
    if (!store_) return;
    store_->StoreScript(view_.ScriptBoxText(), CurrentLanguage(), view_.EditorText());
    store_->StoreScript("", "VBScript", std::string(kNewScriptText));
    // Both are written here, once: a write that fails leaves the user's text in the editor.
    MarkCaptionSaved();
    active_script_name_.clear();
    view_.SetScriptBoxText("");
    view_.ReplaceEditorText(std::string(kNewScriptText));
    view_.SetCaret({2, view_.Caret().column});
    view_.FocusEditor();
}

void WorkbenchPresenter::OpenScript(const std::string& name) {
    view_.SelectScript(name);
    SaveScriptComboBoxFulling();
}

void WorkbenchPresenter::SaveScriptComboBoxFulling() {
    if (!store_) return;
    std::optional<StoredScript> script = store_->FindScript(view_.ScriptBoxText());
    if (!script) return;
    // The editor's text gives way to the script's: what the action saved of it is written
    // first, so a write that fails leaves the text where the user sees it.
    store_->CommitAction();
    view_.ReplaceEditorText(script->text);
    // The switch stores the script again under its language, normalising the record.
    if (script->language == "VBScript")
        SetVBScriptMenuItemClick();
    else
        SetJavaScriptMenuItemClick();
}

bool WorkbenchPresenter::InScriptList(const std::string& name) {
    const std::vector<std::string> names = view_.ScriptNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

void WorkbenchPresenter::SaveScriptComboBoxSelect() {
    view_.SetSavedScriptHintShown(true);
    if (!store_) return;
    const std::string previous = active_script_name_;
    const std::string language = CurrentLanguage();
    const std::string text = view_.EditorText();
    if (previous.empty()) {
        // The unnamed text goes to the scratch script and "LastText"; the picked name becomes
        // the default, which the store then opens.
        store_->StoreScript("", language, text);
        store_->SaveWorkbenchState();
        store_->ApplyStore();
    } else if (InScriptList(previous)) {
        std::optional<StoredScript> stored = store_->FindScript(previous);
        if ((stored ? stored->text : std::string()) != text) {
            store_->StoreScript(previous, language, text);
            SaveScriptComboBoxFulling();
            MarkCaptionSaved();
        } else {
            SaveScriptComboBoxFulling();
        }
    } else {
        // A name never stored (or removed since): its text is kept in the scratch script,
        // and the picked script's own record is left as it is.
        store_->StoreScript("", language, text);
        SaveScriptComboBoxFulling();
    }
    active_script_name_ = view_.ScriptBoxText();
}

void WorkbenchPresenter::RemoveToolButtonClick() {
    if (!store_) return;
    const std::string name = view_.ScriptBoxText();
    // The store is loaded first: a missing or damaged one stops here, before the user is
    // asked and before the list changes.
    store_->FindScript(name);
    if (name.empty() || !InScriptList(name)) {
        view_.ShowMessage(u8"Выделите в списке сохранений удаляемый объект"_cp, u8"Ошибка"_cp,
                          MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
    const std::string question = std::string(u8"Удаление записи"_cp) + " \"" + name + "\"\n\r" +
                                 std::string(u8"Вы уверены?"_cp);
    if (view_.ShowMessage(question, u8"Подверждение..."_cp, MessageIcon::Question,
                          MessageButtons::YesNo) != MessageResult::Yes)
        return;

    std::vector<std::string> names = view_.ScriptNames();
    const auto it = std::find(names.begin(), names.end(), name);
    view_.DeleteScriptName(static_cast<int>(it - names.begin()));
    store_->RemoveScript(name);

    names = view_.ScriptNames();
    if (names.empty()) return;
    int index = static_cast<int>(names.size()) - 1;
    if (names[index] == active_script_name_) --index;
    if (index < 0) return;
    active_script_name_ = names[index];
    view_.SetScriptBoxText(names[index]);
    store_->SaveWorkbenchState();
    store_->ApplyStore();
}

void WorkbenchPresenter::EnterActionExecute() {
    if (!store_) return;
    const std::string language = CurrentLanguage();
    const std::string name = view_.ScriptBoxText();
    const std::string text = view_.EditorText();
    const CaretPos caret = view_.Caret();
    store_->StoreScript(name, language, text);
    store_->SaveWorkbenchState();
    store_->ApplyStore();
    // The stored name is now the open script: a later pick must compare against it, not
    // against a name from before, whose record it would otherwise overwrite.
    active_script_name_ = name;
    view_.SetCaret(caret);
    MarkCaptionSaved();
}

// --- language -----------------------------------------------------------------------------

void WorkbenchPresenter::SwitchLanguage(Language language) {
    view_.SetLanguageButtonHint(u8"Изменить язык программирования скрипта"_cp);
    view_.SetCaption(LanguageCaption(language));
    view_.SetHighlighter(language);
    if (store_) store_->StoreScript(view_.ScriptBoxText(), CurrentLanguage(), view_.EditorText());
    MarkCaptionSaved();
}

void WorkbenchPresenter::SetVBScriptMenuItemClick() {
    SwitchLanguage(Language::VBScript);
}

void WorkbenchPresenter::SetJavaScriptMenuItemClick() {
    SwitchLanguage(Language::JavaScript);
}

void WorkbenchPresenter::SetLanguageClick() {
    if (view_.EditorLanguage() == Language::VBScript)
        SetJavaScriptMenuItemClick();
    else
        SetVBScriptMenuItemClick();
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
