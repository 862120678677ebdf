// The workbench window's behaviour, free of any platform: the action list and its keys, focus
// moves, the caption notice, closing, the general error report, language switching, running,
// storing, the object-ID and help commands and the binding of code completion to the editor.
// The window forwards its events here.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "completion/completion.h"
#include "completion/editor_binding.h"
#include "editor/completion_popup_model.h"
#include "editor/editor_model.h"
#include "script/outline.h"
#include "workbench/actions.h"
#include "workbench/interfaces.h"
#include "workbench/keys.h"
#include "workbench/output.h"
#include "xml/xml.h"

namespace zeph::workbench {

// Caption of a window whose editor uses the given language.
std::string_view LanguageCaption(Language language);
std::string_view LanguageName(Language language);
// The component name of a language's highlighter, as the settings dialog takes it.
std::string_view HighlighterName(Language language);
// The caption notice appended after a store.
std::string_view SavedNotice();
// "Строка 12, столбец 5": the status text of a caret place.
std::string CaretStatusText(CaretPos pos);
// A procedure as the procedure list shows it: "Sub Draw(map, layer)".
std::string ProcedureEntryText(const script::Procedure& procedure);
// The check's output line for a name used but declared nowhere it is seen.
std::string UndeclaredNameText(const script::UndeclaredName& name);
// The check's closing line: how many undeclared names it found.
std::string CheckSummaryText(std::size_t undeclared);
// The analysis' name of a language.
script::Language ScriptLanguage(Language language);

// The text the general error handler shows: a "." is appended when the last character sorts
// after ".".
std::string ErrorMessageText(std::string_view message);

// Commands beside the action list, each on a key of its own: open a script file, save the
// editor's text as one, and the version history of the script shown.
enum class FileCommand { OpenFile, SaveFile, History };

class WorkbenchPresenter {
  public:
    explicit WorkbenchPresenter(IWorkbenchView& view);
    WorkbenchPresenter(const WorkbenchPresenter&) = delete;
    WorkbenchPresenter& operator=(const WorkbenchPresenter&) = delete;

    // Collaborators that may be missing: a command that needs a missing one does nothing.
    // Without a host there is no code completion either.
    void SetHost(IWorkbenchHost* host);
    void SetShell(ISystemShell* shell) { shell_ = shell; }
    void SetEngines(IScriptEngineFactory* engines) { engines_ = engines; }
    void SetStore(IWorkbenchStore* store) { store_ = store; }
    void SetSettingsDialog(ISettingsDialog* dialog) { settings_ = dialog; }
    // The file system script files are opened and saved through; the platform's by default.
    void SetScriptFiles(xml::IFileSystem* files) { script_files_ = files; }

    // The window, also as the store operations see it.
    IWorkbenchView& View() noexcept { return view_; }

    // Set-up once the host application is known: applies the store. Errors are not reported
    // here; they go to the caller, and the window stays hidden.
    void AttachApplication();

    // --- actions and keys ---
    bool IsEnabled(ActionId id) const { return enabled_[static_cast<std::size_t>(id)]; }
    void SetEnabled(ActionId id, bool enabled) { enabled_[static_cast<std::size_t>(id)] = enabled; }
    // The first action in list order that carries the key, enabled or not.
    static std::optional<ActionId> ActionForKey(KeyStroke key);
    // The action that takes a pressed key, or none when the key goes on to the focused
    // control (no action carries it, or the first that does is disabled).
    std::optional<ActionId> ActionTakingKey(KeyStroke key) const;
    // Takes the key and runs its action at once; false when the key goes on.
    bool HandleKey(KeyStroke key);
    // Runs an enabled action's handler under the general error handler.
    void Execute(ActionId id);

    // --- window events ---
    void SavedScriptsEnter();
    void SavedScriptsExit();
    void SavedScriptsDropDown();
    // An entry was picked; the box text is already the picked name.
    void SavedScriptsSelect();
    // The window is closing: stores the work. False when the store failed and the user
    // chose to keep the window (and the text) open.
    bool FormClose();
    // The window goes without closing (the host released the module or shuts down): a text
    // the store does not hold goes to the rescue file. Never throws; true when a file was
    // written.
    bool RescueUnstoredText() noexcept;
    void TimerTimer();

    // --- code completion ---
    // Completes in `editor` through its pop-up model, from the host's description loaded afresh
    // for every request; replaces an earlier binding. Does nothing without a host.
    void BindCompletion(editor::EditorModel& editor, editor::CompletionModel& popup,
                        const completion::ITextMeasure& measure);
    // Lets the pop-up go; before the editor goes.
    void UnbindCompletion() noexcept { completion_.reset(); }
    // The host's description as completion reads it, also for the parameter hint.
    completion::IDescriptionSource& Description() { return description_; }

    // --- output pane ---
    void SetOutputView(IOutputView* view) { output_view_ = view; }
    const OutputLog& Output() const { return output_; }
    // Adds lines to the pane; the first output ever shows it.
    void AppendOutput(std::string_view text, std::optional<CaretPos> pos = std::nullopt);
    // Ctrl+F5: runs some of the editor's lines, the first of them `first_line` (from 1), with
    // the constants as a whole run has them; errors are reported at the editor's lines.
    static bool IsRunSelectionKey(KeyStroke key) { return key == KeyStroke{F(5).key, kCtrl}; }
    void RunSelection(int first_line, std::string_view text);
    // F8 shows or hides the pane, Shift+F8 empties it.
    static bool IsOutputKey(KeyStroke key);
    void HandleOutputKey(KeyStroke key);
    // A double-clicked line: one that reports an error puts the caret at its place.
    void OutputLineActivated(int index);

    // --- the script's outline: procedures, lines, comments, the check ---
    // Ctrl+G goes to a line, Ctrl+/ comments or uncomments the selected lines, F7 checks the
    // script without running it. No action and no editor key stroke has these keys.
    static bool IsScriptKey(KeyStroke key);
    void HandleScriptKey(KeyStroke key);
    // The editor's text changed: the procedure list follows (the view hears of changes only).
    void ScriptChanged();
    // The caret moved: the status text follows.
    void CaretMoved();
    // Entry `index` of the procedure list was chosen: the caret goes to the procedure's name.
    void ProcedureChosen(int index);
    const std::vector<script::Procedure>& Procedures() const { return procedures_; }
    void GoToLineExecute();
    void ToggleCommentExecute();
    // Parses the text in an engine that never runs it and shows the first syntax error as a
    // run shows its error; with "Option Explicit" (VBScript) it then lists the names used but
    // declared nowhere, each at its first use, in the output pane.
    void CheckScriptExecute();
    // --- script files and versions ---
    // Ctrl+Shift+O, Ctrl+Shift+S and Ctrl+Shift+H: free in the action list and in the editor's
    // key table.
    static std::optional<FileCommand> FileCommandForKey(KeyStroke key);
    // Runs a command under the general error handler.
    void RunFileCommand(FileCommand command);
    // Files dropped on the editor: the first is opened as Ctrl+Shift+O would open it.
    void OpenDroppedFiles(const std::vector<std::filesystem::path>& paths);

    // --- operations used by the handlers ---
    void MarkCaptionSaved();
    bool TimerRunning() const { return timer_running_; }
    const std::string& PlainCaption() const { return plain_caption_; }
    // "VBScript" or "JavaScript", from the editor's highlighter.
    std::string CurrentLanguage() const;
    const std::string& ActiveScriptName() const { return active_script_name_; }
    // The general error handler: an error icon message box; the window stays open.
    void ReportError(std::string_view message);

    // --- handlers of the actions ---
    void ExeButtonClick();
    void NewActionExecute();
    void RemoveToolButtonClick();
    void SetVBScriptMenuItemClick();
    void SetJavaScriptMenuItemClick();
    void SetLanguageClick();
    void OpenMenuLanguageActionExecute();
    void MoveOnScriptTextActionExecute();
    void CloseMainModelessDialogExecute();
    void EnterActionExecute();
    void MoveToSaveScriptComboBoxActionExecute();
    void SetupZephraActionExecute();
    void AddObjectSelectIDActionExecute();
    void HelpActionExecute();
    // Opens the stored script named by the saved-script box text.
    void SaveScriptComboBoxFulling();
    void SaveScriptComboBoxSelect();

    // Selects the list entry equal to `name` and opens that script; the store opens the
    // default script this way.
    void OpenScript(const std::string& name);
    // A question about the store file; true for yes.
    bool AskYesNo(const std::string& question);
    // A notice about the store file (what was recovered from where).
    void Inform(const std::string& notice);

  private:
    void OpenScriptFile(const std::filesystem::path& path);
    void SaveScriptFile();
    void ShowHistory();
    // The open and save dialogs' filter: all scripts, then each highlighter's own.
    std::string ScriptFileFilter();
    xml::IFileSystem& ScriptFiles() const {
        return script_files_ ? *script_files_ : xml::PlatformFileSystem();
    }
    void RunScript(std::string_view text, int first_line);
    // What a run shows of an engine's error: the pane's line and mark, the message, the caret.
    void ShowScriptError(const ScriptError& error);
    // The names the host and the engine publish: "Application" and its members, the
    // description's constants, "WScript".
    std::function<bool(std::string_view)> HostNames();
    void SwitchLanguage(Language language);
    void OfferRescuedText();
    bool InScriptList(const std::string& name);
    // Runs an event handler under the general error handler.
    template <typename F>
    void Guarded(F&& handler);
    void Dispatch(ActionId id);

    IWorkbenchView& view_;
    IWorkbenchHost* host_ = nullptr;
    ISystemShell* shell_ = nullptr;
    IScriptEngineFactory* engines_ = nullptr;
    IWorkbenchStore* store_ = nullptr;
    ISettingsDialog* settings_ = nullptr;
    xml::IFileSystem* script_files_ = nullptr;
    std::array<bool, kActionCount> enabled_;
    std::string plain_caption_;
    bool timer_running_ = false;
    std::string active_script_name_;
    std::string opened_text_;  // the editor's text once the window was set up
    OutputLog output_;
    IOutputView* output_view_ = nullptr;
    bool output_used_ = false;
    completion::FolderDescriptionSource description_;
    std::unique_ptr<completion::EditorCompletion> completion_;
    std::vector<script::Procedure> procedures_;
    std::vector<std::string> procedure_entries_;  // as the view shows them
};

}  // namespace zeph::workbench
