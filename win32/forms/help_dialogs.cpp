#include "forms/help_dialogs.h"

#include <vector>

#include "base/unique.h"
#include "base/window_text.h"

namespace zeph::win {

namespace {

enum class Kind { Label, Edit, ReadOnlyEdit, Check, DefaultButton, Button };

struct Item {
    Kind kind;
    int id;
    int x, y, w, h;  // at the layout's design resolution; labels size themselves
    const wchar_t* text;
};

struct Layout {
    const wchar_t* caption;
    int clientWidth, clientHeight;
    int designDpi;
    int fontHeight;
    bool centreOnScreen;
    std::vector<Item> items;
    int firstFocus;
};

// What a running dialog needs in its procedure.
struct Run {
    const Layout* layout;
    std::vector<std::wstring> texts;  // by item, in and out
    bool checked = false;
    UniqueFont font;
};

int Scale(int v, int dpi, int design) {
    return ::MulDiv(v, dpi, design);
}

void Build(HWND dialog, Run& run) {
    const Layout& l = *run.layout;
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    run.font.reset(::CreateFontW(-Scale(l.fontHeight, dpi, l.designDpi), 0, 0, 0, FW_NORMAL, 0, 0,
                                 0, RUSSIAN_CHARSET, 0, 0, 0, 0, L"MS Sans Serif"));

    RECT frame{0, 0, Scale(l.clientWidth, dpi, l.designDpi),
               Scale(l.clientHeight, dpi, l.designDpi)};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(dialog, GWL_EXSTYLE)));
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT area{};
    HWND owner = ::GetWindow(dialog, GW_OWNER);
    if (l.centreOnScreen || !owner || !::GetWindowRect(owner, &area))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    ::SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - w) / 2,
                   area.top + (area.bottom - area.top - h) / 2, w, h, SWP_NOZORDER);

    HDC dc = ::GetDC(dialog);
    HGDIOBJ old = ::SelectObject(dc, run.font.get());
    for (std::size_t i = 0; i < l.items.size(); ++i) {
        const Item& it = l.items[i];
        const wchar_t* cls = L"Button";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP, ex = 0;
        int iw = Scale(it.w, dpi, l.designDpi), ih = Scale(it.h, dpi, l.designDpi);
        switch (it.kind) {
            case Kind::Label: {
                cls = L"Static";
                style = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
                SIZE size{};
                ::GetTextExtentPoint32W(dc, it.text, static_cast<int>(wcslen(it.text)), &size);
                iw = size.cx, ih = size.cy;
                break;
            }
            case Kind::Edit:
            case Kind::ReadOnlyEdit:
                cls = L"Edit";
                style |= ES_AUTOHSCROLL | (it.kind == Kind::ReadOnlyEdit ? ES_READONLY : 0);
                ex = WS_EX_CLIENTEDGE;
                break;
            case Kind::Check:
                style |= BS_AUTOCHECKBOX;
                break;
            case Kind::DefaultButton:
                style |= BS_DEFPUSHBUTTON;
                break;
            case Kind::Button:
                style |= BS_PUSHBUTTON;
                break;
        }
        HWND control = ::CreateWindowExW(
            ex, cls, run.texts[i].c_str(), style, Scale(it.x, dpi, l.designDpi),
            Scale(it.y, dpi, l.designDpi), iw, ih, dialog,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(it.id)), nullptr, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(run.font.get()), FALSE);
        if (it.kind == Kind::Check) ::CheckDlgButton(dialog, it.id, run.checked ? 1 : 0);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(dialog, dc);
    ::SetFocus(::GetDlgItem(dialog, l.firstFocus));
    ::SendDlgItemMessageW(dialog, l.firstFocus, EM_SETSEL, 0, -1);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    try {
        if (message == WM_INITDIALOG) {
            ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
            Build(dialog, *reinterpret_cast<Run*>(lparam));
            return FALSE;  // the focus is set
        }
        auto* run = reinterpret_cast<Run*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        if (message == WM_COMMAND && run &&
            (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
            if (LOWORD(wparam) == IDOK) {
                for (std::size_t i = 0; i < run->layout->items.size(); ++i) {
                    const Item& it = run->layout->items[i];
                    if (it.kind == Kind::Edit)
                        run->texts[i] = WindowText(::GetDlgItem(dialog, it.id));
                    if (it.kind == Kind::Check)
                        run->checked = ::IsDlgButtonChecked(dialog, it.id) == BST_CHECKED;
                }
            }
            ::EndDialog(dialog, LOWORD(wparam));
            return TRUE;
        }
    } catch (...) {
        ::EndDialog(dialog, IDCANCEL);
    }
    return FALSE;
}

// A dialog with no controls of its own, a caption without buttons and a modal frame; the
// controls are made in pixels by Build.
std::vector<WORD> EmptyTemplate(const wchar_t* caption) {
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
    d->style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
    t.push_back(0);  // no menu
    t.push_back(0);  // the standard dialog class
    for (const wchar_t* c = caption; *c; ++c) t.push_back(static_cast<WORD>(*c));
    t.push_back(0);
    return t;
}

int RunLayout(HWND owner, Run& run) {
    std::vector<WORD> t = EmptyTemplate(run.layout->caption);
    return static_cast<int>(
        ::DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(t.data()), owner,
                                  &DialogProc, reinterpret_cast<LPARAM>(&run)));
}

}  // namespace

bool RunHelpCtxForm(HWND owner, const std::wstring& section, const std::wstring& key,
                    std::wstring& text) {
    static const Layout layout{L"Изменение ContextID",
                               359,
                               160,
                               120,
                               14,
                               true,
                               {
                                   {Kind::Label, 1001, 20, 20, 0, 0, L"Форма:"},
                                   {Kind::ReadOnlyEdit, kHelpCtxFormName, 92, 20, 253, 24, L""},
                                   {Kind::Label, 1002, 20, 54, 0, 0, L"Элемент:"},
                                   {Kind::ReadOnlyEdit, kHelpCtxItemName, 92, 52, 253, 24, L""},
                                   {Kind::Label, 1003, 20, 89, 0, 0, L"Код:"},
                                   {Kind::Edit, kHelpCtxText, 92, 84, 253, 24, L""},
                                   {Kind::DefaultButton, IDOK, 161, 119, 86, 27, L"ОК"},
                                   {Kind::Button, IDCANCEL, 258, 119, 87, 27, L"Отмена"},
                               },
                               kHelpCtxText};
    Run run{&layout, {}, false, {}};
    for (const Item& it : layout.items) run.texts.emplace_back(it.text);
    run.texts[1] = section;
    run.texts[3] = key;
    run.texts[5] = text;
    if (RunLayout(owner, run) != IDOK) return false;
    text = run.texts[5];
    return true;
}

bool RunWhatsThisOptionsForm(HWND owner, std::wstring& iniFile, bool& designMode) {
    static const Layout layout{
        L"WhatsThisOptionsForm",
        228,
        118,
        96,
        11,
        false,
        {
            {Kind::Label, 1011, 12, 8, 0, 0, L"INI файл:"},
            {Kind::Edit, kOptionsProfile, 12, 24, 205, 21, L""},
            {Kind::Check, kOptionsDesignMode, 12, 56, 141, 17, L"Режим разработчика"},
            {Kind::DefaultButton, IDOK, 72, 84, 70, 23, L"ОК"},
            {Kind::Button, IDCANCEL, 148, 84, 70, 23, L"Отмена"},
        },
        kOptionsProfile};
    Run run{&layout, {}, designMode, {}};
    for (const Item& it : layout.items) run.texts.emplace_back(it.text);
    run.texts[1] = iniFile;
    if (RunLayout(owner, run) != IDOK) return false;
    iniFile = run.texts[1];
    designMode = run.checked;
    return true;
}

}  // namespace zeph::win
