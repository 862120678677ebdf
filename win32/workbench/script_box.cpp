#include "workbench/script_box.h"

#include <commctrl.h>

#include <algorithm>

#include "base/result.h"
#include "base/wide.h"
#include "base/window_text.h"
#include "text/cp1251.h"

namespace zeph::win {

using text::operator""_cp;

namespace {

// Runs `change` on the box's list and puts its edit text back: CB_RESETCONTENT and
// CB_DELETESTRING empty it, and the typed name must survive (also an ApplyStore that stops
// before setting the name).
template <typename F>
void KeepingText(HWND combo, F&& change) {
    const std::wstring text = WindowText(combo);
    change();
    ::SetWindowTextW(combo, text.c_str());
}

}  // namespace

SavedScriptBox::SavedScriptBox(HWND parent, WORD id, HFONT font, int width, int height,
                               HWND tooltip)
    : parent_(parent), tooltip_(tooltip), hint_(Wide(u8"Список сохраненных скриптов"_cp)) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    // Editable, sorted, 32 lines when dropped down (the layout sets the drop height).
    combo_ =
        ::CreateWindowExW(0, L"COMBOBOX", L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_CLIPSIBLINGS |
                              CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL,
                          0, 0, width, height, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (!combo_) ThrowLastError("CreateWindowExW(combo box)");
    ::SendMessageW(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (!tooltip_) return;
    // The box and the edit field inside it, which takes the mouse, share the hint.
    for (HWND tool : {combo_, ::GetWindow(combo_, GW_CHILD)}) {
        if (!tool) continue;
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = parent_;
        ti.uId = reinterpret_cast<UINT_PTR>(tool);
        ti.lpszText = hint_.data();
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

std::string SavedScriptBox::Text() const {
    return Narrow(WindowText(combo_));
}

void SavedScriptBox::SetText(const std::string& text) {
    ::SetWindowTextW(combo_, Wide(text).c_str());
}

void SavedScriptBox::ClearList() {
    KeepingText(combo_, [&] { ::SendMessageW(combo_, CB_RESETCONTENT, 0, 0); });
}

void SavedScriptBox::AddNames(const std::vector<std::string>& names) {
    KeepingText(combo_, [&] {
        ::SendMessageW(combo_, WM_SETREDRAW, FALSE, 0);
        for (const std::string& name : names)
            ::SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
        ::SendMessageW(combo_, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(combo_, nullptr, TRUE);
    });
}

std::wstring SavedScriptBox::Item(int index) const {
    const LRESULT length = ::SendMessageW(combo_, CB_GETLBTEXTLEN, index, 0);
    if (length < 0) return {};
    std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(combo_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<std::size_t>(length));
    return item;
}

void SavedScriptBox::Select(const std::string& name) {
    // Names compare byte for byte: the box's own search ignores case.
    const std::wstring wanted = Wide(name);
    const int count = static_cast<int>(::SendMessageW(combo_, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (::SendMessageW(combo_, CB_GETLBTEXTLEN, i, 0) < 0) continue;
        if (Item(i) == wanted) {
            ::SendMessageW(combo_, CB_SETCURSEL, i, 0);
            return;
        }
    }
    ::SetWindowTextW(combo_, wanted.c_str());
}

std::vector<std::string> SavedScriptBox::Names() const {
    std::vector<std::string> names;
    const int count = static_cast<int>(::SendMessageW(combo_, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (::SendMessageW(combo_, CB_GETLBTEXTLEN, i, 0) < 0) continue;
        names.push_back(Narrow(Item(i)));
    }
    return names;
}

void SavedScriptBox::DeleteName(int index) {
    KeepingText(combo_, [&] { ::SendMessageW(combo_, CB_DELETESTRING, index, 0); });
}

void SavedScriptBox::SetHintShown(bool shown) {
    if (!tooltip_) return;
    static wchar_t empty[] = L"";
    for (HWND tool : {combo_, ::GetWindow(combo_, GW_CHILD)}) {
        if (!tool) continue;
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.hwnd = parent_;
        ti.uId = reinterpret_cast<UINT_PTR>(tool);
        ti.lpszText = shown ? hint_.data() : empty;
        ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

bool SavedScriptBox::TakePickedName() {
    const LRESULT index = ::SendMessageW(combo_, CB_GETCURSEL, 0, 0);
    if (index < 0) return false;
    ::SetWindowTextW(combo_, Item(static_cast<int>(index)).c_str());
    return true;
}

}  // namespace zeph::win
