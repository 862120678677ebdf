#include "workbench/history_dialog.h"

#include <stdexcept>
#include <string>

#include "base/unique.h"
#include "base/wide.h"
#include "text/cp1251.h"

namespace zeph::win {

namespace {

using text::operator""_cp;

constexpr int kList = 10;
constexpr int kPreview = 11;

// Sizes at 120 dots per inch.
constexpr int kDesignDpi = 120;
constexpr int kClientWidth = 720, kClientHeight = 420;
constexpr int kMargin = 10, kListWidth = 300, kButtonWidth = 110, kButtonHeight = 28;

struct Run {
    const std::vector<store::ScriptVersion>* versions;
    std::wstring title;
    UniqueFont font, fixed;
    int dpi = 96;
};

int Scaled(const Run& run, int v) {
    return ::MulDiv(v, run.dpi, kDesignDpi);
}

// Seconds the local time is ahead of UTC at a moment, by the system's time-zone rules.
std::int64_t LocalOffset(std::int64_t unix_seconds) {
    constexpr std::int64_t kEpoch = 116444736000000000;  // 1970-01-01 in 100 ns since 1601
    const auto ticks = static_cast<ULONGLONG>(unix_seconds * 10000000 + kEpoch);
    FILETIME utc_file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{}, local{};
    FILETIME local_file{};
    if (!::FileTimeToSystemTime(&utc_file, &utc) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !::SystemTimeToFileTime(&local, &local_file))
        return 0;
    const ULONGLONG local_ticks =
        (static_cast<ULONGLONG>(local_file.dwHighDateTime) << 32) | local_file.dwLowDateTime;
    return (static_cast<std::int64_t>(local_ticks) - static_cast<std::int64_t>(ticks)) / 10000000;
}

HWND Control(const Run& run, HWND dialog, const wchar_t* cls, const wchar_t* text, DWORD style,
             DWORD ex, int id, int x, int y, int w, int h, HFONT font) {
    HWND control =
        ::CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, Scaled(run, x),
                          Scaled(run, y), Scaled(run, w), Scaled(run, h), dialog,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

void ShowSelected(HWND dialog, const Run& run) {
    const LRESULT index = ::SendDlgItemMessageW(dialog, kList, LB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<std::size_t>(index) >= run.versions->size()) return;
    ::SetDlgItemTextW(dialog, kPreview,
                      Wide((*run.versions)[static_cast<std::size_t>(index)].text).c_str());
}

void Build(HWND dialog, Run& run) {
    HDC screen = ::GetDC(nullptr);
    run.dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    if (run.dpi <= 0) run.dpi = 96;
    run.font.reset(::CreateFontW(-Scaled(run, 14), 0, 0, 0, FW_NORMAL, 0, 0, 0, RUSSIAN_CHARSET, 0,
                                 0, 0, 0, L"MS Sans Serif"));
    run.fixed.reset(::CreateFontW(-Scaled(run, 15), 0, 0, 0, FW_NORMAL, 0, 0, 0, RUSSIAN_CHARSET, 0,
                                  0, 0, FIXED_PITCH, L"Courier New"));
    ::SetWindowTextW(dialog, run.title.c_str());

    RECT frame{0, 0, Scaled(run, kClientWidth), Scaled(run, kClientHeight)};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(dialog, GWL_EXSTYLE)));
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT area{};
    HWND owner = ::GetWindow(dialog, GW_OWNER);
    if (!owner || !::GetWindowRect(owner, &area))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    ::SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - w) / 2,
                   area.top + (area.bottom - area.top - h) / 2, w, h, SWP_NOZORDER);

    const int body = kClientHeight - 3 * kMargin - kButtonHeight;
    HWND list = Control(
        run, dialog, L"ListBox", L"", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
        WS_EX_CLIENTEDGE, kList, kMargin, kMargin, kListWidth, body, run.font.get());
    HWND preview = Control(run, dialog, L"Edit", L"",
                           WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                               ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                           WS_EX_CLIENTEDGE, kPreview, 2 * kMargin + kListWidth, kMargin,
                           kClientWidth - 3 * kMargin - kListWidth, body, run.fixed.get());
    ::SendMessageW(preview, EM_SETLIMITTEXT, 0, 0);  // the longest text the control can hold
    const int buttons_top = kClientHeight - kMargin - kButtonHeight;
    Control(run, dialog, L"Button", Wide(u8"Восстановить"_cp).c_str(),
            WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK, kClientWidth - 2 * kMargin - 2 * kButtonWidth,
            buttons_top, kButtonWidth, kButtonHeight, run.font.get());
    Control(run, dialog, L"Button", Wide(u8"Закрыть"_cp).c_str(), WS_TABSTOP | BS_PUSHBUTTON, 0,
            IDCANCEL, kClientWidth - kMargin - kButtonWidth, buttons_top, kButtonWidth,
            kButtonHeight, run.font.get());

    for (const store::ScriptVersion& version : *run.versions)
        ::SendMessageW(
            list, LB_ADDSTRING, 0,
            reinterpret_cast<LPARAM>(
                Wide(store::VersionRowText(version, LocalOffset(version.time))).c_str()));
    ::SendMessageW(list, LB_SETCURSEL, 0, 0);
    ShowSelected(dialog, run);
    ::SetFocus(list);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    try {
        if (message == WM_INITDIALOG) {
            ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
            Build(dialog, *reinterpret_cast<Run*>(lparam));
            return FALSE;  // the focus is set
        }
        auto* run = reinterpret_cast<Run*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        if (message != WM_COMMAND || !run) return FALSE;
        switch (LOWORD(wparam)) {
            case kList:
                if (HIWORD(wparam) == LBN_SELCHANGE) ShowSelected(dialog, *run);
                return TRUE;
            case IDOK: {
                const LRESULT index = ::SendDlgItemMessageW(dialog, kList, LB_GETCURSEL, 0, 0);
                ::EndDialog(dialog, index < 0 ? 0 : index + 1);
                return TRUE;
            }
            case IDCANCEL:
                ::EndDialog(dialog, 0);
                return TRUE;
            default:
                return FALSE;
        }
    } catch (...) {
        ::EndDialog(dialog, 0);
    }
    return FALSE;
}

}  // namespace

std::optional<std::size_t> RunHistoryDialog(HWND owner, std::string_view title,
                                            const std::vector<store::ScriptVersion>& versions) {
    if (versions.empty()) return std::nullopt;
    Run run{&versions, Wide(title), {}, {}};
    // A dialog without controls of its own: Build makes them in pixels.
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
    d->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.insert(t.end(), {0, 0, 0});  // no menu, the standard class, no caption yet
    const INT_PTR result =
        ::DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(t.data()), owner,
                                  &DialogProc, reinterpret_cast<LPARAM>(&run));
    if (result == -1)
        throw std::runtime_error(std::string(u8"Не удалось открыть окно истории версий"_cp));
    if (result <= 0) return std::nullopt;
    return static_cast<std::size_t>(result - 1);
}

}  // namespace zeph::win
