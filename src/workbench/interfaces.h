// What the workbench presenter needs from the outside: the window (view), the host
// application, the script engine and the store. The Win32 layer implements them over real
// controls and COM objects; tests implement them with fakes.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/highlighter.h"
#include "store/rescue.h"
#include "store/script_history.h"
#include "store/store_window.h"

namespace zeph::workbench {

enum class Language { VBScript, JavaScript };

enum class MessageIcon { Error, Warning, Question, Information };
enum class MessageButtons { Ok, YesNo, YesNoDefaultNo };
enum class MessageResult { Ok, Yes, No, Cancel };

// Editor positions, both counted from 1.
struct CaretPos {
    int line = 1;
    int column = 1;
    friend bool operator==(const CaretPos&, const CaretPos&) = default;
};

// The window: caption and timer, focus, the editor, the saved-script box, message boxes. What
// the store operations read and write of it (box text and list, editor text and looks,
// placement) comes with store::IStoreWindow. All texts are code page 1251.
class IWorkbenchView : public store::IStoreWindow {
  public:
    virtual std::string Caption() const = 0;
    virtual void SetCaption(std::string_view caption) = 0;
    // The caption-notice timer (3000 ms). Starting a running timer leaves its period alone.
    virtual void StartTimer() = 0;
    virtual void StopTimer() = 0;

    virtual void FocusEditor() = 0;
    // Focus to the saved-script box, with its list dropped down.
    virtual void FocusSavedScriptsAndDropDown() = 0;
    // The language menu at the bottom-left corner of the language button.
    virtual void PopupLanguageMenu() = 0;
    virtual void SetLanguageButtonHint(std::string_view hint) = 0;
    // Asks the window to close; the close handling runs as for the caption's close box.
    virtual void RequestClose() = 0;

    virtual int LineCount() const = 0;
    virtual std::string Line(int index) const = 0;  // zero-based
    // Replaces line `index`; when the editor has fewer lines, empty ones are added first.
    virtual void ReplaceLine(int index, std::string_view line) = 0;
    virtual CaretPos Caret() const = 0;
    virtual void SetCaret(CaretPos pos) = 0;
    // The language of the highlighter the editor uses.
    virtual Language EditorLanguage() const = 0;
    virtual void SetHighlighter(Language language) = 0;

    // The saved-script list's entry equal to a name selected.
    virtual void SelectScript(const std::string& name) = 0;
    // The list's entries in display order, and removing one of them.
    virtual std::vector<std::string> ScriptNames() = 0;
    virtual void DeleteScriptName(int index) = 0;
    // The box's tool tip: off while its list is dropped down.
    virtual void SetSavedScriptHintShown(bool shown) = 0;

    virtual MessageResult ShowMessage(std::string_view text, std::string_view caption,
                                      MessageIcon icon, MessageButtons buttons) = 0;

    // The procedure list: its entries replace what it held.
    virtual void SetProcedureList(const std::vector<std::string>& entries) = 0;
    // The status text beside the editor (the caret's line and column).
    virtual void SetStatusText(std::string_view text) = 0;
    // The first and last line (from 1) the selection touches; a selection ending at the start
    // of a line leaves that line out. Without a selection, the caret's line twice.
    virtual std::pair<int, int> SelectedLineRange() const = 0;
    // Replaces the lines from `first` (from 1) on as one undo step and selects them whole.
    virtual void ReplaceLines(int first, const std::vector<std::string>& lines) = 0;
    // Asks for a line number from 1 to `count`, offering `current`; none when the user cancels.
    virtual std::optional<int> AskLineNumber(int current, int count) = 0;
    // The system's file dialogs over the window. `filter` is "description|pattern" pairs joined
    // by "|"; none when the user cancels.
    virtual std::optional<std::filesystem::path> ChooseFileToOpen(std::string_view filter) = 0;
    // `filter_index` (from 1) is the pair offered first, `extension` ("vbs") is added to a name
    // typed without one, `name` is the name offered; an existing file is replaced only when the
    // user agrees.
    virtual std::optional<std::filesystem::path> ChooseFileToSave(std::string_view filter,
                                                                  int filter_index,
                                                                  std::string_view extension,
                                                                  std::string_view name) = 0;
    // The history dialog, modal over the window: the versions (newest first) with their time and
    // size, the selected one shown read-only. The index of the version to restore; none when the
    // dialog was closed without restoring.
    virtual std::optional<std::size_t> ChooseVersion(
        std::string_view title, const std::vector<store::ScriptVersion>& versions) = 0;
};

// The host application. Every call that fails throws.
class IWorkbenchHost {
  public:
    virtual ~IWorkbenchHost() = default;
    // A folder path ending in a separator; asked anew before every file access.
    virtual std::string DataFolder() = 0;
    // The same folder as a path, for opening files (no code page conversion on the way).
    virtual std::filesystem::path DataFolderPath() = 0;
    // Each of these fetches the host's current selection first.
    virtual int SelectedCount() = 0;
    virtual std::string SelectedId(int index) = 0;
};

// Files and programs of the machine the window runs on.
class ISystemShell {
  public:
    virtual ~ISystemShell() = default;
    virtual bool FileExists(const std::string& path) = 0;
    // Starts a command line as a normally shown window; does not wait, ignores failures. A bare
    // program name ("hh") is the system's own program, never one found elsewhere.
    virtual void StartProgram(const std::string& command_line) = 0;
    // Folders (each ending in a separator) that hold the module's own files: its folder, then
    // the one above it, where an installation keeps what both bitnesses share.
    virtual std::vector<std::string> ModuleFolders() { return {}; }
};

// A script error as the engine reports it.
struct ScriptError {
    std::string description;
    int line = 0;          // from 1
    int column = 0;        // from 0
    bool stopped = false;  // the user stopped the run; the position is where it was
};

// One engine, made for one run and thrown away after it.
class IScriptEngine {
  public:
    virtual ~IScriptEngine() = default;
    virtual void SetLanguage(std::string_view language) = 0;
    // Publishes the host application as "Application", its members global.
    virtual void AddApplication() = 0;
    virtual void SetSiteWindow() = 0;
    // Publishes "WScript", whose Echo hands each line to `echo`. Engines without it ignore it.
    virtual void AddEcho(std::function<void(std::string_view line)> echo) { (void)echo; }
    // Publishes the hidden item that stop checks placed into the text call; false for an engine
    // that has none (its runs get the user's text unchanged).
    virtual bool AddStopCheckItem() { return false; }
    // Adds code and runs its global statements. A script error is returned; any other
    // failure throws.
    virtual std::optional<ScriptError> AddCode(std::string_view code) = 0;
};

class IScriptEngineFactory {
  public:
    virtual ~IScriptEngineFactory() = default;
    virtual std::unique_ptr<IScriptEngine> CreateEngine() = 0;
    // Loads the object-model description (throws when it cannot be read); step one of a run.
    virtual void LoadDescription(const std::filesystem::path& path) = 0;
    // The statement declaring the host's constants from the loaded description that `script`
    // may use; empty when it declares none.
    virtual std::string ConstantPrelude(std::string_view keyword, std::string_view script) = 0;
    // Parses `code` in a fresh engine of `language` ("VBScript" or "JavaScript") that never
    // runs it, nothing published to it: its first syntax error, or none. Throws when no engine
    // can be had.
    virtual std::optional<ScriptError> CheckSyntax(std::string_view language,
                                                   std::string_view code) = 0;
};

// The settings dialog: made, shown modally over the window and freed by one call.
class ISettingsDialog {
  public:
    virtual ~ISettingsDialog() = default;
    // Opens the dialog on the store with the preview in the editor's highlighter (its component
    // name). True only when it closed by saving. Throws when it cannot open (the store does not
    // load); nothing was shown then.
    virtual bool Run(const std::string& highlighter_name) = 0;
};

struct StoredScript {
    std::string language;  // "VBScript" when the record has none
    std::string text;
};

// The configuration and script store as the window uses it.
class IWorkbenchStore {
  public:
    virtual ~IWorkbenchStore() = default;
    // Reads the whole store into the window; creates the default file when there is none.
    virtual void ApplyStore() = 0;
    virtual void SaveWorkbenchState() = 0;
    virtual void StoreScript(const std::string& name, std::string_view language,
                             const std::string& text) = 0;
    virtual void RemoveScript(const std::string& name) = 0;
    // The first script of that name (byte for byte), loaded afresh; none when there is none.
    virtual std::optional<StoredScript> FindScript(const std::string& name) = 0;
    // The closing save: the script shown under `name` when it is new or changed, then the
    // window state. Nothing when the store file is missing.
    virtual void SaveOnClose(const std::string& name, std::string_view language,
                             const std::string& text) = 0;
    // Bracket one user action: its saves share one backup and one turn at the store.
    virtual void BeginAction() noexcept {}
    virtual void EndAction() noexcept {}
    // The action's commit point: its saves, kept waiting until now, are written to the file
    // once. A failed write throws as a failed save does.
    virtual void CommitAction() {}
    // The rescue file beside the store: the script of a window that went without storing it
    // and without anybody to ask. Stores without one keep nothing.
    virtual void KeepRescue(const store::RescuedScript& /*script*/) {}
    // Reads and deletes it; none when there is none.
    virtual std::optional<store::RescuedScript> TakeRescue() { return std::nullopt; }
    // The versions the history keeps of a script, newest first. Stores without one keep none.
    virtual std::vector<store::ScriptVersion> History(const std::string& /*name*/) { return {}; }
};

}  // namespace zeph::workbench
