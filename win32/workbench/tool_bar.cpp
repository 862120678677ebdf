#include "workbench/tool_bar.h"

#include <vector>

#include "base/result.h"
#include "base/wide.h"
#include "text/cp1251.h"
#include "workbench/glyphs.h"

namespace zeph::win {

using text::operator""_cp;
using workbench::ActionId;

namespace {

// Designed sizes, at 120 dots per inch.
constexpr int kButtonWidth = 28;
constexpr int kButtonHeight = 27;
constexpr int kSeparatorWidth = 8;
constexpr int kIndent = 4;

// The buttons, left to right; a zero command is a separator.
struct ButtonDef {
    WORD command;
    int image;
    BYTE style;
};

}  // namespace

std::optional<ActionId> WorkbenchToolBar::ActionOfCommand(WORD command) {
    if (command < kActionCommandBase || command >= kActionCommandBase + workbench::kActionCount)
        return std::nullopt;
    return static_cast<ActionId>(command - kActionCommandBase);
}

WorkbenchToolBar::WorkbenchToolBar(HWND parent, WORD id, const std::function<int(int)>& scaled)
    : language_hint_(Wide(u8"Изменить язык программирования скрипта"_cp)) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    // Flat, transparent, no edges, tool tips.
    toolbar_ = ::CreateWindowExW(
        0, TOOLBARCLASSNAMEW, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT |
            TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
        0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (!toolbar_) ThrowLastError("CreateWindowExW(toolbar)");
    ::SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(toolbar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    images_.reset(CreateWorkbenchImages());
    ::SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
    ::SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    ::SendMessageW(toolbar_, TB_SETINDENT, scaled(kIndent), 0);

    const ButtonDef buttons[] = {
        {CommandOf(ActionId::Run), 0, BTNS_BUTTON},
        {0, 0, BTNS_SEP},
        {CommandOf(ActionId::New), 1, BTNS_BUTTON},
        {CommandOf(ActionId::Remove), 2, BTNS_BUTTON},
        {0, 0, BTNS_SEP},
        {CommandOf(ActionId::ReselectLanguage), 3, BTNS_DROPDOWN},
        {0, 0, BTNS_SEP},
        {CommandOf(ActionId::SetupZephra), 4, BTNS_BUTTON},
        {0, 0, BTNS_SEP},
        {CommandOf(ActionId::AddObjectSelectID), 5, BTNS_BUTTON},
    };
    std::vector<TBBUTTON> tb;
    for (const ButtonDef& b : buttons) {
        TBBUTTON t{};
        t.idCommand = b.command;
        t.fsState = TBSTATE_ENABLED;
        t.fsStyle = b.style;
        t.iBitmap = b.style == BTNS_SEP ? scaled(kSeparatorWidth) : b.image;
        t.iString = -1;
        tb.push_back(t);
    }
    ::SendMessageW(toolbar_, TB_ADDBUTTONSW, tb.size(), reinterpret_cast<LPARAM>(tb.data()));
    ::SendMessageW(toolbar_, TB_SETBUTTONSIZE, 0,
                   MAKELPARAM(scaled(kButtonWidth), scaled(kButtonHeight)));
    tooltip_ = reinterpret_cast<HWND>(::SendMessageW(toolbar_, TB_GETTOOLTIPS, 0, 0));

    language_menu_.reset(::CreatePopupMenu());
    ::AppendMenuW(language_menu_.get(), MF_STRING, CommandOf(ActionId::SetVBScript), L"VBScript");
    ::AppendMenuW(language_menu_.get(), MF_STRING, CommandOf(ActionId::SetJavaScript),
                  L"JavaScript");
}

int WorkbenchToolBar::ButtonsRight(int indent) const {
    const int count = static_cast<int>(::SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0));
    if (count <= 0) return indent;
    RECT last{};
    ::SendMessageW(toolbar_, TB_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last));
    return last.right;
}

void WorkbenchToolBar::SetLanguageHint(std::string_view hint) {
    language_hint_ = Wide(hint);
}

void WorkbenchToolBar::GiveHint(NMTTDISPINFOW& info) {
    hint_.clear();
    switch (static_cast<WORD>(info.hdr.idFrom)) {
        case CommandOf(ActionId::Run):
            hint_ = Wide(u8"Выполнить скрипт"_cp);
            break;
        case CommandOf(ActionId::New):
            hint_ = Wide(u8"Новый скрипт"_cp);
            break;
        case CommandOf(ActionId::Remove):
            hint_ = Wide(u8"Удалить существующий скрипт из списка сохранений"_cp);
            break;
        case CommandOf(ActionId::ReselectLanguage):
            hint_ = language_hint_;
            break;
        case CommandOf(ActionId::SetupZephra):
            hint_ = Wide(u8"Настройки..."_cp);
            break;
        default:
            break;
    }
    if (info.uFlags & TTF_IDISHWND) return;
    info.lpszText = hint_.data();
    info.hinst = nullptr;
}

std::optional<ActionId> WorkbenchToolBar::ChooseLanguage(HWND owner) {
    RECT button{};
    ::SendMessageW(toolbar_, TB_GETRECT, CommandOf(ActionId::ReselectLanguage),
                   reinterpret_cast<LPARAM>(&button));
    POINT at{button.left, button.bottom};
    ::ClientToScreen(toolbar_, &at);
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(language_menu_.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, at.x,
                         at.y, 0, owner, nullptr));
    if (chosen == CommandOf(ActionId::SetVBScript)) return ActionId::SetVBScript;
    if (chosen == CommandOf(ActionId::SetJavaScript)) return ActionId::SetJavaScript;
    return std::nullopt;
}

}  // namespace zeph::win
