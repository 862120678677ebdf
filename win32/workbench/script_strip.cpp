#include "workbench/script_strip.h"

#include <algorithm>

#include "base/result.h"
#include "base/wide.h"
#include "base/window_text.h"
#include "text/cp1251.h"

namespace zeph::win {

using text::operator""_cp;

namespace {

// Designed sizes, at 120 dots per inch.
constexpr int kHeight = 26;
constexpr int kButtonWidth = 84;
constexpr int kStatusWidth = 148;
constexpr int kGap = 4;
constexpr int kDropLines = 16;

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, WORD id, HFONT font) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    HWND hwnd =
        ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (!hwnd) ThrowLastError("CreateWindowExW(script strip)");
    if (font) ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

}  // namespace

ScriptStrip::ScriptStrip(HWND parent, WORD first_id, HFONT font, std::function<int(int)> scaled)
    : scaled_(std::move(scaled)), first_id_(first_id) {
    list_ =
        Child(parent, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, first_id, font);
    button_ = Child(parent, L"BUTTON", Wide(u8"Проверить"_cp).c_str(), WS_TABSTOP | BS_PUSHBUTTON,
                    static_cast<WORD>(first_id + 1), font);
    status_ = Child(parent, L"STATIC", L"", SS_RIGHT | SS_CENTERIMAGE | SS_NOPREFIX,
                    static_cast<WORD>(first_id + 2), font);
}

int ScriptStrip::Height() const {
    return scaled_(kHeight);
}

void ScriptStrip::Layout(int top, int width) {
    const int gap = scaled_(kGap);
    const int height = Height();
    const int status = std::min(scaled_(kStatusWidth), std::max(0, width / 3));
    const int button = scaled_(kButtonWidth);
    const int list = std::max(0, width - status - button - 3 * gap);
    RECT combo{};
    ::GetWindowRect(list_, &combo);
    const int combo_height = std::max<int>(combo.bottom - combo.top, 1);
    const int item = std::max(1, static_cast<int>(::SendMessageW(list_, CB_GETITEMHEIGHT, 0, 0)));
    ::MoveWindow(list_, gap, top + std::max(0, (height - combo_height) / 2), list,
                 combo_height + item * kDropLines + 2, TRUE);
    ::MoveWindow(button_, gap + list + gap, top + 1, button, height - 2, TRUE);
    ::MoveWindow(status_, width - status - gap, top, status, height, TRUE);
}

void ScriptStrip::SetProcedures(const std::vector<std::string>& entries) {
    SetComboEntries(list_, entries);
}

void ScriptStrip::SetStatus(std::string_view text) {
    ::SetWindowTextW(status_, Wide(text).c_str());
}

bool ScriptStrip::OnCommand(WORD id, WORD code, const std::function<void(int)>& picked,
                            const std::function<void()>& check) {
    if (id == first_id_) {
        // Picked with the mouse or Enter; moving through the closed list picks nothing.
        if (code == CBN_SELENDOK) {
            const int index = static_cast<int>(::SendMessageW(list_, CB_GETCURSEL, 0, 0));
            ::SendMessageW(list_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            if (index >= 0) picked(index);
        }
        return true;
    }
    if (id == first_id_ + 1) {
        if (code == BN_CLICKED) check();
        return true;
    }
    return id == first_id_ + 2;
}

}  // namespace zeph::win
