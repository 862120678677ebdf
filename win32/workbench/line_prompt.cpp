#include "workbench/line_prompt.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/wide.h"
#include "base/window_text.h"
#include "text/cp1251.h"

namespace zeph::win {

using text::operator""_cp;

namespace {

constexpr WORD kEditId = 100;
constexpr WORD kLabelId = 101;

struct PromptState {
    int current = 1;
    std::wstring label;
    std::optional<int> answer;
};

// A dialog template in memory: DLGTEMPLATE, then its items, each DWORD-aligned.
class Template {
  public:
    void Dialog(const wchar_t* caption, short cx, short cy, WORD items) {
        Add(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        Add(0);  // extended style
        words_.push_back(items);
        Short(0), Short(0), Short(cx), Short(cy);
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the dialog class
        Text(caption);
        words_.push_back(8);  // point size
        Text(L"MS Shell Dlg");
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls,
              const wchar_t* text) {
        while (words_.size() % 2) words_.push_back(0);
        Add(WS_CHILD | WS_VISIBLE | style);
        Add(0);
        Short(x), Short(y), Short(cx), Short(cy);
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(cls);
        Text(text);
        words_.push_back(0);  // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    void Add(DWORD v) {
        words_.push_back(LOWORD(v));
        words_.push_back(HIWORD(v));
    }
    void Short(short v) { words_.push_back(static_cast<WORD>(v)); }
    void Text(const wchar_t* s) {
        for (; *s; ++s) words_.push_back(static_cast<WORD>(*s));
        words_.push_back(0);
    }
    std::vector<WORD> words_;
};

INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* state = reinterpret_cast<PromptState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            state = reinterpret_cast<PromptState*>(lparam);
            ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
            ::SetDlgItemTextW(dialog, kLabelId, state->label.c_str());
            ::SetDlgItemInt(dialog, kEditId, static_cast<UINT>(state->current), FALSE);
            ::SendDlgItemMessageW(dialog, kEditId, EM_SETSEL, 0, -1);
            ::SetFocus(::GetDlgItem(dialog, kEditId));
            return FALSE;  // the focus is set
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                BOOL ok = FALSE;
                const UINT line = ::GetDlgItemInt(dialog, kEditId, &ok, FALSE);
                if (ok) state->answer = static_cast<int>(std::min<UINT>(line, 1u << 30));
                ::EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                ::EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

std::optional<int> AskLineNumber(HWND owner, int current, int count) {
    PromptState state;
    state.current = current;
    state.label = Wide(std::string(u8"Номер строки (1–"_cp) + std::to_string(count) + "):");
    const std::wstring caption = Wide(u8"Переход к строке"_cp);
    const std::wstring ok = L"OK";
    const std::wstring cancel = Wide(u8"Отмена"_cp);
    Template t;
    t.Dialog(caption.c_str(), 160, 62, 4);
    t.Item(SS_LEFT, 7, 7, 146, 10, kLabelId, 0x0082, L"");
    t.Item(WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL, 7, 20, 146, 13, kEditId, 0x0081,
           L"");
    t.Item(WS_TABSTOP | BS_DEFPUSHBUTTON, 49, 41, 50, 14, IDOK, 0x0080, ok.c_str());
    t.Item(WS_TABSTOP | BS_PUSHBUTTON, 103, 41, 50, 14, IDCANCEL, 0x0080, cancel.c_str());
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(owner, GWLP_HINSTANCE));
    ::DialogBoxIndirectParamW(instance, t.get(), owner, &PromptProc,
                              reinterpret_cast<LPARAM>(&state));
    return state.answer;
}

}  // namespace zeph::win
