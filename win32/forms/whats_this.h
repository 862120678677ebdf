// TWhatsThis, the what's-this controller. While what's-this mode is on (entered through the
// caption's context-help button of a TExForm), the next click names a control of this module;
// its help reference, stored in an initialisation file under the pair of src/forms/help_key.h,
// is shown through HTML Help. In design mode a help author edits the reference instead.
//
// The module runs no message loop of its own, so the controller watches the loop that really
// runs on its thread (the host's, or a modal one) through a message hook on that thread. The
// hook only rewrites the messages it takes over; their handling runs later, when the loop
// dispatches them to the controller's own message-only window, outside the hook.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "forms/help_key.h"
#include "forms/html_help.h"

namespace zeph::win {

class TExForm;

class TWhatsThis {
  public:
    // Installs the hook on the calling thread. `iniFile` holds the help references; `helpFile`
    // is the compiled help they point into (both full paths).
    TWhatsThis(std::wstring iniFile, std::wstring helpFile, IHtmlHelp& help);
    TWhatsThis(const TWhatsThis&) = delete;
    TWhatsThis& operator=(const TWhatsThis&) = delete;
    // Takes the hook out again; the hooks installed before it see everything as before.
    ~TWhatsThis();

    bool Active() const noexcept;
    void SetActive(bool on) noexcept;
    bool DesignMode() const noexcept { return designMode_; }
    void SetDesignMode(bool on) noexcept { designMode_ = on; }
    const std::wstring& IniFile() const noexcept { return iniFile_; }
    void SetIniFile(std::wstring file) { iniFile_ = std::move(file); }

    // What the hook hands over; public for the tests.
    // `clicked` is the window that got the click, when known.
    void PointHelp(POINT screen, int hitTest, HWND clicked = nullptr);
    void MenuHelp(HWND window, UINT command);
    void OptionsDialog();
    // The help of a stored text: a topic of the help file or a "#" text popup.
    void ShowHelp(const std::string& text);

  private:
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wparam, LPARAM lparam) noexcept;
    static LRESULT CALLBACK DispatchProc(HWND hwnd, UINT message, WPARAM wparam,
                                         LPARAM lparam) noexcept;
    bool TakeOver(MSG& msg) noexcept;
    HWND Dispatcher() noexcept;
    void ComponentHelp(TExForm& form, HWND control, int hitTest, const forms::HelpComponent* item);

    bool designMode_ = false;
    std::wstring iniFile_;
    std::wstring helpFile_;
    IHtmlHelp& help_;
    HHOOK hook_ = nullptr;
    HWND dispatcher_ = nullptr;
    int clickHitTest_ = HTCLIENT;  // of the click handed to the dispatcher
};

// The module's controller and HTML Help, made with the module's first window (on the host's
// user-interface thread) and freed when COM finds the module unused (DllCanUnloadNow), with the
// global atom of the forms' window property. Loading again after that makes them afresh.
void LoadWhatsThis() noexcept;
void UnloadWhatsThis() noexcept;
// The same, for an unload under the loader lock: the help library stays loaded and its viewer
// is not told to close (both would call into other modules there).
void AbandonWhatsThis() noexcept;
TWhatsThis* ModuleWhatsThis() noexcept;

}  // namespace zeph::win
