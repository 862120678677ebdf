#include "settings/settings_form.h"

#include <commctrl.h>

#include <algorithm>

#include "base/result.h"
#include "base/wide.h"
#include "base/window_class.h"
#include "text/cp1251.h"

namespace zeph::win {

using settings::Page;
using text::operator""_cp;

namespace {

// Designed sizes, at 120 dots per inch.
constexpr int kDesignDpi = 120;
constexpr int kOuterWidth = 585;
constexpr int kOuterHeight = 490;
constexpr int kFontHeight = 13;
constexpr int kListItemHeight = 16;
constexpr int kColourBoxHeight = 22;
constexpr COLORREF kGroupCaptionColour = RGB(0, 0, 255);

// Posted when a size edit lost the focus; wparam is its control id. Handled once the focus
// change is complete, so that a refusal's message box does not interrupt it.
constexpr UINT kSizeEditExitMessage = WM_APP + 0x201;

constexpr wchar_t kSheetClass[] = L"TZephraTabSheet";

// A tab sheet: a plain panel in the button-face colour whose children's notifications go to
// the dialog.
LRESULT CALLBACK SheetProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return ::SendMessageW(::GetParent(hwnd), message, wparam, lparam);
        default:
            return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

void RegisterSheetClass() {
    WNDCLASSEXW wc{};
    wc.lpfnWndProc = &SheetProc;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kSheetClass;
    RegisterModuleClass(wc);
}

}  // namespace

// --- creation -------------------------------------------------------------------------------

TZephraSetupDialogForm::TZephraSetupDialogForm(HWND owner)
    : TNonModalForm(owner), presenter_(static_cast<settings::ISettingsView&>(*this), [this] {
          return DataFolderPath();
      }) {
    WindowDc screen(nullptr);
    if (screen) dpi_ = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    if (dpi_ <= 0) dpi_ = 96;
}

TZephraSetupDialogForm::~TZephraSetupDialogForm() {
    // The window goes first, while the controls' owners still exist.
    DestroyWindowHandle();
}

int TZephraSetupDialogForm::Scaled(int length) const noexcept {
    return ::MulDiv(length, dpi_, kDesignDpi);
}

std::filesystem::path TZephraSetupDialogForm::DataFolderPath() {
    if (!application_) ThrowHResult(E_POINTER, "GetDataFolder");
    UniqueBstr folder;
    THROW_IF_FAILED(application_->GetDataFolder(folder.put()));
    return std::filesystem::path(
        folder.get() ? std::wstring(folder.get(), ::SysStringLen(folder.get())) : std::wstring());
}

std::unique_ptr<TZephraSetupDialogForm> TZephraSetupDialogForm::CreateOwned(HWND owner) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    RegisterSheetClass();

    std::unique_ptr<TZephraSetupDialogForm> form(new TZephraSetupDialogForm(owner));
    FormParams params;
    params.className = L"TZephraSetupDialogForm";
    params.caption = Wide(u8"Настройки..."_cp);
    params.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;  // dialog border
    params.exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    params.width = form->Scaled(kOuterWidth);
    params.height = form->Scaled(kOuterHeight);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    params.x = work.left + std::max<int>(0, (work.right - work.left - params.width) / 2);
    params.y = work.top + std::max<int>(0, (work.bottom - work.top - params.height) / 2);
    form->CreateWindowHandle(std::move(params));
    form->CreateControls();
    return form;
}

HWND TZephraSetupDialogForm::AddControl(HWND parent, const wchar_t* cls, std::string_view text,
                                        DWORD style, int id, int x, int y, int w, int h,
                                        DWORD ex_style) {
    HWND hwnd = ::CreateWindowExW(ex_style, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                                  Scaled(x), Scaled(y), Scaled(w), Scaled(h), parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) ThrowLastError("CreateWindowExW(settings control)");
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(form_font_.get()), FALSE);
    return hwnd;
}

void TZephraSetupDialogForm::CreateControls() {
    HWND hwnd = Handle();
    form_font_.reset(::CreateFontW(-Scaled(kFontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                   RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
    face_brush_.reset(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)));
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(form_font_.get()), FALSE);

    tabs_ = AddControl(hwnd, WC_TABCONTROLW, "",
                       WS_TABSTOP | WS_CLIPSIBLINGS | TCS_HOTTRACK | TCS_MULTILINE,
                       kOptionsPageControl, 12, 12, 553, 385);
    for (std::string_view caption : {u8"Цвета"_cp, u8"Экран"_cp}) {
        std::wstring text = Wide(caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        ::SendMessageW(tabs_, TCM_INSERTITEMW, ::SendMessageW(tabs_, TCM_GETITEMCOUNT, 0, 0),
                       reinterpret_cast<LPARAM>(&item));
    }
    // The sheets cover the page control's display area. They come first in the z-order, so
    // that the page control never paints over them.
    RECT area{};
    ::GetWindowRect(tabs_, &area);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&area), 2);
    ::SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (HWND* sheet : {&colour_page_, &display_page_}) {
        *sheet = ::CreateWindowExW(
            WS_EX_CONTROLPARENT, kSheetClass, L"", WS_CHILD | WS_CLIPSIBLINGS, area.left, area.top,
            area.right - area.left, area.bottom - area.top, hwnd,
            reinterpret_cast<HMENU>(
                static_cast<INT_PTR>(sheet == &colour_page_ ? kColorTabSheet : kDisplayTabSheet)),
            CodeModule(), nullptr);
        if (!*sheet) ThrowLastError("CreateWindowExW(tab sheet)");
    }
    ::SetWindowPos(display_page_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowPos(colour_page_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    CreateColourPage(colour_page_, form_font_.get());
    CreateDisplayPage(display_page_, form_font_.get());

    AddControl(hwnd, L"BUTTON", u8"Сохранить"_cp, WS_TABSTOP | BS_DEFPUSHBUTTON, kSaveAndExitButton,
               336, 408, 109, 31);
    AddControl(hwnd, L"BUTTON", u8"Закрыть"_cp, WS_TABSTOP | BS_PUSHBUTTON, kCloseButton, 456, 408,
               109, 31);
    AddControl(hwnd, L"BUTTON", u8"По умолчанию"_cp, WS_TABSTOP | BS_PUSHBUTTON, kDefaultButton, 12,
               408, 109, 31);
    ShowPageWindow(Page::kColour);
}

void TZephraSetupDialogForm::CreateColourPage(HWND page, HFONT font) {
    AddControl(page, L"STATIC", u8"Элементы:"_cp, 0, -1, 12, 8, 150, 16);
    HWND list = AddControl(page, L"LISTBOX", "",
                           WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                           kHighlighterElementsListBox, 12, 24, 145, 313, WS_EX_CLIENTEDGE);
    ::SendMessageW(list, LB_SETITEMHEIGHT, 0, Scaled(kListItemHeight));
    AddControl(page, L"STATIC", u8"Цвет текста:"_cp, 0, -1, 180, 9, 145, 16);
    RECT box{Scaled(180), Scaled(27), Scaled(180 + 145), Scaled(27 + kColourBoxHeight)};
    foreground_ = std::make_unique<ColourBox>(page, kForegroundColorBox, box, font);
    AddControl(page, L"STATIC", u8"Цвет фона:"_cp, 0, -1, 180, 69, 145, 16);
    box.top = Scaled(87);
    box.bottom = Scaled(87 + kColourBoxHeight);
    background_ = std::make_unique<ColourBox>(page, kBackgroundColorBox, box, font);

    group_boxes_.push_back(
        AddControl(page, L"BUTTON", u8"Атрибуты текста"_cp, BS_GROUPBOX, -1, 336, 12, 193, 97));
    const struct {
        std::string_view text;
        ControlId id;
        int top;
    } checks[] = {{u8"Полужирный"_cp, kFontAttributeBoldCheckBox, 24},
                  {u8"Курсив"_cp, kFontAttributeItalicCheckBox, 48},
                  {u8"Подчеркнутый"_cp, kFontAttributeUnderlineCheckBox, 72}};
    for (const auto& check : checks)
        AddControl(page, L"BUTTON", check.text, WS_TABSTOP | BS_AUTOCHECKBOX, check.id, 336 + 8,
                   12 + check.top, 170, 18);

    ScriptEditorWindow::Settings preview = ScriptEditorWindow::PreviewSettings();
    preview.font.height = Scaled(preview.font.height);
    preview.gutter_font.height = Scaled(preview.gutter_font.height);
    const RECT bounds{Scaled(180), Scaled(132), Scaled(180 + 349), Scaled(132 + 205)};
    sample_memo_ = std::make_unique<ScriptEditorWindow>(page, kSampleMemo, bounds, preview);
    sample_memo_->SetHighlighter(&presenter_.VBScriptHighlighter());
}

void TZephraSetupDialogForm::CreateDisplayPage(HWND page, HFONT) {
    constexpr int kGroup1X = 12, kGroup1Y = 12, kGroup2X = 12, kGroup2Y = 168;
    group_boxes_.push_back(AddControl(page, L"BUTTON", u8"Поле для заметок и Ограничитель"_cp,
                                      BS_GROUPBOX, -1, kGroup1X, kGroup1Y, 517, 145));
    AddControl(page, L"BUTTON", u8"Показать ограничитель"_cp, WS_TABSTOP | BS_AUTOCHECKBOX,
               kRightMarginVisibleCheckBox, kGroup1X + 20, kGroup1Y + 40, 220, 18);
    margin_size_controls_.push_back(AddControl(page, L"STATIC",
                                               u8"Расстояние справа до ограничителя:"_cp, 0, -1,
                                               kGroup1X + 252, kGroup1Y + 24, 250, 16));
    margin_size_controls_.push_back(AddControl(page, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL,
                                               kRightMarginSizeEdit, kGroup1X + 252, kGroup1Y + 40,
                                               121, 24, WS_EX_CLIENTEDGE));
    AddControl(page, L"BUTTON", u8"Показать поле для заметок"_cp, WS_TABSTOP | BS_AUTOCHECKBOX,
               kLeftGutterVisibleCheckBox, kGroup1X + 20, kGroup1Y + 100, 220, 18);
    gutter_size_controls_.push_back(AddControl(page, L"STATIC", u8"Ширина поля для заметок:"_cp, 0,
                                               -1, kGroup1X + 252, kGroup1Y + 80, 250, 16));
    gutter_size_controls_.push_back(AddControl(page, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL,
                                               kLeftGutterSizeEdit, kGroup1X + 252, kGroup1Y + 96,
                                               121, 24, WS_EX_CLIENTEDGE));

    group_boxes_.push_back(AddControl(page, L"BUTTON", u8"Шрифт скрипта"_cp, BS_GROUPBOX, -1,
                                      kGroup2X, kGroup2Y, 517, 169));
    AddControl(page, L"STATIC", u8"Название:"_cp, 0, -1, kGroup2X + 44, kGroup2Y + 24, 200, 16);
    AddControl(page, L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kFontNameComboBox,
               kGroup2X + 44, kGroup2Y + 40, 233, 300);
    AddControl(page, L"STATIC", u8"Размер:"_cp, 0, -1, kGroup2X + 328, kGroup2Y + 24, 140, 16);
    AddControl(page, L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
               kFontSizeComboBox, kGroup2X + 328, kGroup2Y + 40, 145, 300);
    AddControl(page, L"STATIC", u8"Образец:"_cp, 0, -1, kGroup2X + 24, kGroup2Y + 80, 200, 16);
    AddControl(page, L"STATIC", "", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, kFontSamplePanel,
               kGroup2X + 24, kGroup2Y + 96, 469, 49, WS_EX_STATICEDGE);
}

HWND TZephraSetupDialogForm::Item(ControlId id) const noexcept {
    for (HWND parent : {Handle(), colour_page_, display_page_})
        if (HWND item = parent ? ::GetDlgItem(parent, id) : nullptr) return item;
    return nullptr;
}

void TZephraSetupDialogForm::ShowPageWindow(Page page) {
    const bool colour = page == Page::kColour;
    ::SendMessageW(tabs_, TCM_SETCURSEL, colour ? 0 : 1, 0);
    ::ShowWindow(colour ? colour_page_ : display_page_, SW_SHOW);
    ::ShowWindow(colour ? display_page_ : colour_page_, SW_HIDE);
}

// --- opening and the modal run --------------------------------------------------------------

void TZephraSetupDialogForm::Prepare(ITellurApplication* app, std::string_view highlighter_name) {
    application_ = ComPtr<ITellurApplication>(app);
    presenter_.Prepare(highlighter_name);
}

int TZephraSetupDialogForm::ShowModal() {
    HWND owner = OwnerWindow();
    const bool owner_enabled = owner && ::IsWindowEnabled(owner);
    if (owner_enabled) ::EnableWindow(owner, FALSE);
    modal_result_ = 0;
    running_ = true;
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    ::SetFocus(tabs_);
    MSG msg;
    while (modal_result_ == 0) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the host's loop
            modal_result_ = IDCANCEL;
            break;
        }
        // Ctrl+Tab turns the page, as in any dialog with pages.
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && ::GetKeyState(VK_CONTROL) < 0 &&
            (msg.hwnd == Handle() || ::IsChild(Handle(), msg.hwnd))) {
            TurnPage();
            continue;
        }
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && ::GetKeyState(VK_MENU) >= 0 &&
            (msg.hwnd == Handle() || ::IsChild(Handle(), msg.hwnd)) && TabToNextControl(msg))
            continue;
        if (::IsDialogMessageW(Handle(), &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    running_ = false;
    // The owner takes the activation back before this window goes out of sight.
    if (owner_enabled) ::EnableWindow(owner, TRUE);
    ::ShowWindow(Handle(), SW_HIDE);
    return modal_result_;
}

bool TZephraSetupDialogForm::TabToNextControl(const MSG& msg) {
    const LRESULT code =
        ::SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    if (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) return false;  // the preview's tab indent
    // The sheets lie above the page control so that it never paints over them, which puts
    // their controls first in the window order that dialog navigation follows. Tab goes in
    // the order the user sees instead: the page control, the shown page, the buttons.
    std::vector<HWND> order{tabs_};
    for (HWND sheet : {colour_page_, display_page_})
        for (HWND child = ::GetWindow(sheet, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT))
            order.push_back(child);
    for (ControlId id : {kSaveAndExitButton, kCloseButton, kDefaultButton})
        order.push_back(Item(id));
    HWND focus = ::GetFocus();
    const auto holder = std::find_if(order.begin(), order.end(), [focus](HWND control) {
        return focus && (control == focus || ::IsChild(control, focus));
    });
    const int count = static_cast<int>(order.size());
    const bool backward = ::GetKeyState(VK_SHIFT) < 0;
    int at = holder == order.end() ? (backward ? 0 : count - 1)
                                   : static_cast<int>(holder - order.begin());
    for (int step = 1; step <= count; ++step) {
        HWND next =
            order[static_cast<std::size_t>((at + (backward ? count - step : step)) % count)];
        if (!(::GetWindowLongW(next, GWL_STYLE) & WS_TABSTOP) || !::IsWindowVisible(next) ||
            !::IsWindowEnabled(next))
            continue;
        // As a dialog does: an edit's text is selected, and a push button that takes the focus
        // becomes the one Enter presses, the dialog's own default otherwise.
        const LRESULT next_code = ::SendMessageW(next, WM_GETDLGCODE, 0, 0);
        if (next_code & DLGC_HASSETSEL) ::SendMessageW(next, EM_SETSEL, 0, -1);
        ::SetFocus(next);
        const bool button = next_code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
        for (ControlId id : {kSaveAndExitButton, kCloseButton, kDefaultButton}) {
            HWND b = Item(id);
            const bool is_default = button ? b == next : id == kSaveAndExitButton;
            ::SendMessageW(b, BM_SETSTYLE, is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        }
        return true;
    }
    return true;
}

void TZephraSetupDialogForm::TurnPage() {
    const bool to_display = presenter_.ActivePage() == Page::kColour;
    if (!presenter_.OptionsPageControlChanging()) return;
    ShowPageWindow(to_display ? Page::kDisplay : Page::kColour);
    ::SetFocus(Item(to_display ? kRightMarginVisibleCheckBox : kHighlighterElementsListBox));
}

void TZephraSetupDialogForm::EndModal(int result) {
    modal_result_ = result;
}

// --- messages -------------------------------------------------------------------------------

LRESULT TZephraSetupDialogForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lparam));
        case WM_MEASUREITEM: {
            auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
            if (item->CtlType == ODT_COMBOBOX)
                item->itemHeight =
                    static_cast<UINT>(ColourBox::ItemHeight(Scaled(kColourBoxHeight)));
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
            if (item.CtlID == kForegroundColorBox && foreground_) foreground_->DrawItem(item);
            if (item.CtlID == kBackgroundColorBox && background_) background_->DrawItem(item);
            return TRUE;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wparam);
            HWND control = reinterpret_cast<HWND>(lparam);
            const bool group =
                std::find(group_boxes_.begin(), group_boxes_.end(), control) != group_boxes_.end();
            ::SetTextColor(dc, group ? kGroupCaptionColour : ::GetSysColor(COLOR_WINDOWTEXT));
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(face_brush_.get());
        }
        case DM_GETDEFID:
            return MAKELRESULT(kSaveAndExitButton, DC_HASDEFID);
        case kSizeEditExitMessage:
            SizeEditExit(static_cast<ControlId>(wparam));
            return 0;
        case WM_ACTIVATE:
            // The focus comes back to the control that had it before a message box or the
            // colour chooser took the activation, as in any dialog.
            if (LOWORD(wparam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus && ::IsChild(Handle(), focus)) last_focus_ = focus;
            } else if (last_focus_ && ::IsWindow(last_focus_) && ::IsWindowVisible(last_focus_)) {
                ::SetFocus(last_focus_);
                return 0;
            }
            break;
        case WM_CLOSE:
            EndModal(IDCANCEL);
            return 0;
        default:
            break;
    }
    return TNonModalForm::HandleMessage(message, wparam, lparam);
}

void TZephraSetupDialogForm::OnCommand(int id, int code, HWND control) {
    auto checked = [control] { return ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; };
    switch (id) {
        case kHighlighterElementsListBox:
            if (code == LBN_SELCHANGE) presenter_.HighlighterElementsListBoxClick();
            return;
        case kForegroundColorBox:
            if (code == CBN_SELCHANGE)
                if (auto colour = foreground_->OnSelChange())
                    presenter_.ForegroundColorBoxSelect(*colour);
            return;
        case kBackgroundColorBox:
            if (code == CBN_SELCHANGE)
                if (auto colour = background_->OnSelChange())
                    presenter_.BackgroundColorBoxSelect(*colour);
            return;
        case kFontAttributeBoldCheckBox:
            if (code == BN_CLICKED) presenter_.FontAttributeBoldCheckBoxClick(checked());
            return;
        case kFontAttributeItalicCheckBox:
            if (code == BN_CLICKED) presenter_.FontAttributeItalicCheckBoxClick(checked());
            return;
        case kFontAttributeUnderlineCheckBox:
            if (code == BN_CLICKED) presenter_.FontAttributeUnderlineCheckBoxClick(checked());
            return;
        case kRightMarginVisibleCheckBox:
            if (code == BN_CLICKED) presenter_.RightMarginVisibleCheckBoxClick(checked());
            return;
        case kLeftGutterVisibleCheckBox:
            if (code == BN_CLICKED) presenter_.LeftGutterVisibleCheckBoxClick(checked());
            return;
        case kRightMarginSizeEdit:
        case kLeftGutterSizeEdit:
            if (code == EN_KILLFOCUS)
                ::PostMessageW(Handle(), kSizeEditExitMessage, static_cast<WPARAM>(id), 0);
            return;
        case kFontNameComboBox:
            if (code == CBN_SELCHANGE) presenter_.FontNameComboBoxSelect();
            return;
        case kFontSizeComboBox:
            if (code == CBN_SELCHANGE) {
                // The edit field takes the chosen entry only after this notification.
                const LRESULT index = ::SendMessageW(control, CB_GETCURSEL, 0, 0);
                if (index >= 0) {
                    wchar_t text[16] = L"";
                    if (::SendMessageW(control, CB_GETLBTEXTLEN, index, 0) < 16)
                        ::SendMessageW(control, CB_GETLBTEXT, index,
                                       reinterpret_cast<LPARAM>(text));
                    ::SetWindowTextW(control, text);
                }
                presenter_.FontSizeComboBoxSelect();
            }
            return;
        case kDefaultButton:
            if (code == BN_CLICKED) presenter_.DefaultButtonClick();
            return;
        case kSaveAndExitButton:
            if (code == BN_CLICKED && presenter_.SaveAndExitButtonClick()) EndModal(IDOK);
            return;
        case kCloseButton:
            if (code == BN_CLICKED) EndModal(IDCANCEL);
            return;
        default:
            return;
    }
}

LRESULT TZephraSetupDialogForm::OnNotify(const NMHDR& header) {
    if (header.hwndFrom != tabs_) return 0;
    if (header.code == TCN_SELCHANGING)
        return presenter_.OptionsPageControlChanging() ? FALSE : TRUE;
    if (header.code == TCN_SELCHANGE)
        ShowPageWindow(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0) == 0 ? Page::kColour
                                                                       : Page::kDisplay);
    return 0;
}

void TZephraSetupDialogForm::SizeEditExit(ControlId edit) {
    // Leaving the dialog (closing it, or another program taking the focus) is no reason to
    // insist on a valid size: closing throws the working copy away anyway.
    HWND focus = ::GetFocus();
    if (!running_ || modal_result_ != 0 || !focus || !::IsChild(Handle(), focus) ||
        focus == Item(kCloseButton) || focus == Item(edit))
        return;
    if (edit == kRightMarginSizeEdit)
        presenter_.RightMarginSizeEditExit();
    else
        presenter_.LeftGutterSizeEditExit();
}

// --- the workbench's command ------------------------------------------------------------------

bool SettingsDialogRunner::Run(const std::string& highlighter_name) {
    std::unique_ptr<TZephraSetupDialogForm> form = TZephraSetupDialogForm::CreateOwned(owner_);
    form->Prepare(app_, highlighter_name);
    return form->ShowModal() == IDOK;
}

}  // namespace zeph::win
