#include "settings/colour_box.h"

#include <commctrl.h>
#include <commdlg.h>

#include <string>

#include "base/result.h"
#include "base/unique.h"
#include "base/wide.h"
#include "editor/colour.h"
#include "settings/colour_list.h"

namespace zeph::win {

namespace {

constexpr UINT_PTR kSubclassId = 0x5A43;  // "ZC"

std::wstring EntryName(int index) {
    const auto list = settings::ColourList();
    if (index >= 0 && index < static_cast<int>(list.size())) return Wide(list[index].name);
    return Wide(settings::kCustomColourName);
}

}  // namespace

ColourBox::ColourBox(HWND parent, int control_id, const RECT& bounds, HFONT font) {
    hwnd_ = ::CreateWindowExW(
        0, L"COMBOBOX", L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
        bounds.left, bounds.top, bounds.right - bounds.left, (bounds.bottom - bounds.top) * 12,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id)),
        ::GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) ThrowLastError("CreateWindowExW(colour box)");
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const int count = static_cast<int>(settings::ColourList().size());
    for (int i = 0; i <= count; ++i)  // the fixed entries, then the custom one
        ::SendMessageW(hwnd_, CB_ADDSTRING, 0, static_cast<LPARAM>(i));
    ::SetWindowSubclass(hwnd_, &Subclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    Select(editor::kDefaultColour);
}

int ColourBox::CustomIndex() const noexcept {
    return static_cast<int>(settings::ColourList().size());
}

int ColourBox::ItemHeight(int box_height) noexcept {
    return box_height > 8 ? box_height - 6 : box_height;
}

void ColourBox::Select(editor::ColourValue value) {
    int index = settings::ColourIndex(value);
    if (index < 0) {
        custom_ = value;
        index = CustomIndex();
        ::InvalidateRect(hwnd_, nullptr, FALSE);
    }
    previous_ = index;
    ::SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void ColourBox::ClearSelection() {
    previous_ = -1;
    ::SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

editor::ColourValue ColourBox::Selected() const {
    const int index = static_cast<int>(::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
    if (index < 0) return editor::kDefaultColour;
    if (index == CustomIndex()) return custom_;
    return settings::ColourList()[index].value;
}

std::optional<editor::ColourValue> ColourBox::OnSelChange() {
    const int index = static_cast<int>(::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
    if (index < 0) return std::nullopt;
    if (index != CustomIndex()) {
        previous_ = index;
        return settings::ColourList()[index].value;
    }
    // The custom entry: any RGB colour through the colour chooser.
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = ::GetAncestor(hwnd_, GA_ROOT);
    cc.rgbResult = ResolveColour(custom_, RGB(0, 0, 0));
    cc.lpCustColors = chooser_colours_.data();
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!::ChooseColorW(&cc)) {
        ::SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(previous_), 0);
        return std::nullopt;
    }
    custom_ = static_cast<editor::ColourValue>(cc.rgbResult & 0x00FFFFFFu);
    previous_ = index;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
    return custom_;
}

void ColourBox::DrawItem(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    ::SetBkColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    if (static_cast<int>(item.itemID) < 0) return;

    const int index = static_cast<int>(item.itemData);
    const editor::ColourValue value =
        index == CustomIndex() ? custom_ : settings::ColourList()[index].value;
    // The swatch: a framed square; "none" crossed out, "default" in the window's colours.
    const int side = r.bottom - r.top - 4;
    RECT swatch{r.left + 2, r.top + 2, r.left + 2 + side, r.top + 2 + side};
    UniqueBrush fill(::CreateSolidBrush(ResolveColour(value, ::GetSysColor(COLOR_WINDOW))));
    ::FillRect(dc, &swatch, fill.get());
    ::FrameRect(dc, &swatch, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    if (static_cast<std::uint32_t>(value) == kColourNone) {
        UniquePen pen(::CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
        SelectedObject keep(dc, pen.get());
        ::MoveToEx(dc, swatch.left, swatch.top, nullptr);
        ::LineTo(dc, swatch.right, swatch.bottom);
        ::MoveToEx(dc, swatch.right - 1, swatch.top, nullptr);
        ::LineTo(dc, swatch.left - 1, swatch.bottom);
    }
    RECT text = r;
    text.left = swatch.right + 4;
    const std::wstring name = EntryName(index);
    ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &r);
}

LRESULT CALLBACK ColourBox::Subclass(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR, DWORD_PTR) noexcept {
    // The list opens as soon as the user starts typing in the closed box.
    if (message == WM_CHAR && wparam >= L' ' && !::SendMessageW(hwnd, CB_GETDROPPEDSTATE, 0, 0))
        ::SendMessageW(hwnd, CB_SHOWDROPDOWN, TRUE, 0);
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, &Subclass, kSubclassId);
    return ::DefSubclassProc(hwnd, message, wparam, lparam);
}

}  // namespace zeph::win
