// Access to the HTML Help viewer (HHCtrl.ocx), loaded on the first request and shut down with
// the module.
#pragma once

#include <windows.h>

#include <string>

#include "base/unique.h"

namespace zeph::win {

// The commands the what's-this help sends.
inline constexpr UINT kHelpDisplayTopic = 0x0000;
inline constexpr UINT kHelpDisplayTextPopup = 0x000E;
inline constexpr UINT kHelpGetLastError = 0x0014;
inline constexpr UINT kHelpCloseAll = 0x0012;
inline constexpr UINT kHelpInitialize = 0x001C;
inline constexpr UINT kHelpUninitialize = 0x001D;

// The text popup's record, laid out as the viewer reads it (52 bytes in a 32-bit process).
struct HelpPopup {
    int cbStruct = sizeof(HelpPopup);
    HINSTANCE hinst = nullptr;
    UINT idString = 0;
    LPCWSTR pszText = nullptr;
    POINT pt{};
    COLORREF clrForeground = static_cast<COLORREF>(-1);
    COLORREF clrBackground = static_cast<COLORREF>(-1);
    RECT rcMargins{-1, -1, -1, -1};
    LPCWSTR pszFont = nullptr;
};

// One request to the viewer: no owner window, a help file (code page 1251, with "::/" and a
// topic when given), a command and its data.
class IHtmlHelp {
  public:
    virtual ~IHtmlHelp() = default;
    virtual void Request(const std::string& file, UINT command, DWORD_PTR data) = 0;
};

class HtmlHelp final : public IHtmlHelp {
  public:
    HtmlHelp() = default;
    HtmlHelp(const HtmlHelp&) = delete;
    HtmlHelp& operator=(const HtmlHelp&) = delete;
    // Closes the viewer's windows and shuts it down, if it was ever loaded.
    ~HtmlHelp() override;

    // Loads the viewer when needed (throws an HResultError when it cannot be loaded or lacks its
    // entry). A failed request is reported in a message box when the viewer says why.
    void Request(const std::string& file, UINT command, DWORD_PTR data) override;
    bool Loaded() const noexcept { return entry_ != nullptr; }
    // Forgets the viewer without closing it or freeing its library (see AbandonWhatsThis).
    void Abandon() noexcept {
        entry_ = nullptr;
        (void)library_.release();
    }

  private:
    using Entry = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);  // the wide entry, ordinal 15
    void Load();
    void ReportLastError() noexcept;

    UniqueModule library_;
    Entry entry_ = nullptr;
    DWORD cookie_ = 0;
};

// The viewer's last error as the user sees it: "Ошибка справочной системы: " and the viewer's
// description (code page 1251).
std::string HelpErrorMessage(const std::wstring& description);

}  // namespace zeph::win
