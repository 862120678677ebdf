// The script workbench window: tool bar, saved-script box and script editor over the host's
// main window. Its behaviour lives in the workbench presenter; this class draws the controls,
// forwards their events and routes keys to the action list.
//
// Lifecycle (as the module uses it):
//  - CreateOwned(owner) makes the window hidden, owned by the host's main window.
//  - AttachApplication(app) keeps a counted reference to the host, applies the stored
//    configuration and makes the window visible. Throws on failure; the window then stays
//    hidden and may be shown later without a further set-up.
//  - Show() makes it visible and brings it to the front.
//  - Closing the window (its close box, Ctrl+Q) stores the work and frees the object: the free
//    notifications of TExForm fire. `delete form` destroys it without any close handling.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <string_view>

#include "base/unique.h"
#include "forms/forms.h"
#include "tellur.h"
#include "workbench/interfaces.h"
#include "workbench/presenter.h"

namespace zeph::win {

class TMainModelessDialogForm : public TNonModalForm, private workbench::IWorkbenchView {
  public:
    static TMainModelessDialogForm* CreateOwned(HWND owner);
    ~TMainModelessDialogForm() override;

    void AttachApplication(ITellurApplication* app);
    void Show();

    // The store behind the window; until one is set, nothing is read or written.
    void SetStore(workbench::IWorkbenchStore* store) { presenter_.SetStore(store); }
    // The script engines for runs; until they are set, running does nothing.
    void SetEngines(workbench::IScriptEngineFactory* engines) { presenter_.SetEngines(engines); }

    // For tests and the module.
    workbench::WorkbenchPresenter& Presenter() noexcept { return presenter_; }
    HWND EditorHandle() const noexcept { return editor_; }
    HWND SavedScriptsHandle() const noexcept { return combo_; }
    HWND ToolBarHandle() const noexcept { return toolbar_; }
    ITellurApplication* Application() const noexcept { return application_.get(); }
    // Pixels of a length designed at 120 dots per inch, at the screen's resolution.
    int Scaled(int length) const noexcept;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
    void WindowDestroyed() override;

  private:
    explicit TMainModelessDialogForm(HWND owner);
    void CreateControls();
    void Layout();
    void OnCommand(WORD id, WORD code, HWND control);
    LRESULT OnNotify(NMHDR* header);
    void RunLanguageMenu();
    void Activate(bool active);

    // Key routing inside the host's plain message loop.
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wparam, LPARAM lparam) noexcept;
    bool RouteKey(MSG& msg) noexcept;
    bool OwnsWindow(HWND hwnd) const noexcept;

    // IWorkbenchView
    std::string Caption() const override;
    void SetCaption(std::string_view caption) override;
    void StartTimer() override;
    void StopTimer() override;
    void FocusEditor() override;
    void FocusSavedScriptsAndDropDown() override;
    void PopupLanguageMenu() override;
    void SetLanguageButtonHint(std::string_view hint) override;
    void RequestClose() override;
    std::string EditorText() const override;
    void SetEditorText(std::string_view text) override;
    int LineCount() const override;
    std::string Line(int index) const override;
    void ReplaceLine(int index, std::string_view line) override;
    workbench::CaretPos Caret() const override;
    void SetCaret(workbench::CaretPos pos) override;
    std::string HighlighterName() const override;
    void SetHighlighter(workbench::Language language) override;
    std::string SavedScriptText() const override;
    void SetSavedScriptText(std::string_view text) override;
    workbench::MessageResult ShowMessage(std::string_view text, std::string_view caption,
                                         workbench::MessageIcon icon,
                                         workbench::MessageButtons buttons) override;

    class HostAdapter;
    class ShellAdapter;

    workbench::WorkbenchPresenter presenter_;
    ComPtr<ITellurApplication> application_;
    std::unique_ptr<HostAdapter> host_;
    std::unique_ptr<ShellAdapter> shell_;
    int dpi_ = 96;
    HWND toolbar_ = nullptr;
    HWND combo_ = nullptr;
    HWND editor_ = nullptr;
    HWND tooltip_ = nullptr;
    HIMAGELIST images_ = nullptr;
    UniqueFont form_font_;
    UniqueFont editor_font_;
    UniqueMenu language_menu_;
    UniqueIcon icon_;
    UniqueIcon small_icon_;
    std::wstring language_hint_;
    std::string highlighter_ = "VBScriptHighlighter";
    HWND last_focus_ = nullptr;
    bool in_menu_ = false;
};

}  // namespace zeph::win
