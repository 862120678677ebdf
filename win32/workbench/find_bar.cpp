#include "workbench/find_bar.h"

#include <algorithm>
#include <utility>

#include "base/result.h"
#include "base/unique.h"
#include "base/wide.h"
#include "base/window_text.h"
#include "text/cp1251.h"

namespace zeph::win {

using text::operator""_cp;

namespace {

// Control ids, after the bar's first id.
enum : WORD {
    kPattern,
    kReplacement,
    kMatchCase,
    kWholeWord,
    kWrap,
    kNext,
    kPrevious,
    kReplace,
    kReplaceAll,
    kStatus,
    kLabel
};

// Designed sizes, at 120 dots per inch; controls with texts get wider where their texts need it.
constexpr int kRow = 26;
constexpr int kGap = 4;
constexpr int kLabelWidth = 70;
constexpr int kEditWidth = 170;
constexpr int kLeastEditWidth = 70;
constexpr int kButtonWidth = 96;
constexpr int kCheckWidth = 70;
constexpr int kStatusWidth = 110;
constexpr int kButtonPadding = 16;  // around a button's text
constexpr int kCheckPadding = 8;    // after a check box's text

bool Checked(HWND w) {
    return ::SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

FindBar::FindBar(HWND parent, WORD first_id, HFONT font, std::function<int(int)> scaled,
                 ScriptEditorWindow& editor, std::function<void()> relayout)
    : parent_(parent),
      first_id_(first_id),
      scaled_(std::move(scaled)),
      editor_(editor),
      relayout_(std::move(relayout)) {
    const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
    const DWORD check = WS_TABSTOP | BS_AUTOCHECKBOX;
    pattern_label_ = Make(L"STATIC", u8"Найти:"_cp.data(), SS_LEFT, kLabel, font);
    pattern_ = Make(L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, kPattern, font);
    previous_ = Make(L"BUTTON", u8"Назад"_cp.data(), button, kPrevious, font);
    next_ = Make(L"BUTTON", u8"Далее"_cp.data(), button, kNext, font);
    match_case_ = Make(L"BUTTON", u8"Регистр"_cp.data(), check, kMatchCase, font);
    whole_word_ = Make(L"BUTTON", u8"Слово целиком"_cp.data(), check, kWholeWord, font);
    replacement_label_ = Make(L"STATIC", u8"Заменить:"_cp.data(), SS_LEFT, kLabel, font);
    replacement_ = Make(L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, kReplacement, font);
    replace_ = Make(L"BUTTON", u8"Заменить"_cp.data(), button, kReplace, font);
    replace_all_ = Make(L"BUTTON", u8"Заменить все"_cp.data(), button, kReplaceAll, font);
    wrap_ = Make(L"BUTTON", u8"По кругу"_cp.data(), check, kWrap, font);
    status_ = Make(L"STATIC", "", SS_LEFT | SS_NOPREFIX, kStatus, font);
    ::SendMessageW(wrap_, BM_SETCHECK, BST_CHECKED, 0);
}

HWND FindBar::Make(const wchar_t* cls, const std::string& text, DWORD style, WORD id, HFONT font) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent_, GWLP_HINSTANCE));
    HWND w = ::CreateWindowExW(
        0, cls, Wide(text).c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, parent_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(first_id_ + id)), instance, nullptr);
    if (!w) ThrowLastError("CreateWindowExW(find bar)");
    if (font) ::SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    controls_.push_back(w);
    return w;
}

workbench::FindBarMetrics FindBar::Metrics() const {
    // The texts' widths in the controls' font.
    WindowDc dc(parent_);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(pattern_, WM_GETFONT, 0, 0));
    SelectedObject selected(dc.get(),
                            font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    auto text_width = [&](HWND w) {
        const std::wstring text = WindowText(w);
        SIZE size{};
        if (dc)
            ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    const int box = ::GetSystemMetrics(SM_CXMENUCHECK) + scaled_(kCheckPadding);
    auto check = [&](HWND w) { return std::max(scaled_(kCheckWidth), text_width(w) + box); };

    workbench::FindBarMetrics m;
    m.row = scaled_(kRow);
    m.gap = scaled_(kGap);
    m.label = std::max(
        {scaled_(kLabelWidth), text_width(pattern_label_), text_width(replacement_label_)});
    m.field_least = scaled_(kLeastEditWidth);
    m.field = scaled_(kEditWidth);
    m.button = scaled_(kButtonWidth);
    for (HWND b : {previous_, next_, replace_, replace_all_})
        m.button = std::max(m.button, text_width(b) + scaled_(kButtonPadding));
    m.match_case = check(match_case_);
    m.whole_word = check(whole_word_);
    m.wrap = check(wrap_);
    m.status = scaled_(kStatusWidth);
    return m;
}

int FindBar::Height(int width) const {
    return shown_ ? workbench::LayOutFindBar(width, Metrics()).height : 0;
}

int FindBar::LeastWidth() const {
    return workbench::LeastFindBarWidth(Metrics());
}

void FindBar::Layout(int top, int width) {
    if (!shown_) return;
    const workbench::FindBarLayout l = workbench::LayOutFindBar(width, Metrics());
    const int row = scaled_(kRow);
    const std::pair<HWND, workbench::FindBarBox> boxes[] = {
        {pattern_label_, l.pattern_label},
        {pattern_, l.pattern},
        {previous_, l.previous},
        {next_, l.next},
        {match_case_, l.match_case},
        {whole_word_, l.whole_word},
        {replacement_label_, l.replacement_label},
        {replacement_, l.replacement},
        {replace_, l.replace},
        {replace_all_, l.replace_all},
        {wrap_, l.wrap},
        {status_, l.status}};
    for (const auto& [w, box] : boxes) ::MoveWindow(w, box.x, top + box.y, box.width, row, TRUE);
}

bool FindBar::Owns(HWND hwnd) const {
    return std::find(controls_.begin(), controls_.end(), hwnd) != controls_.end();
}

workbench::FindField FindBar::FieldOf(HWND focus) const {
    if (focus == pattern_) return workbench::FindField::kPattern;
    if (focus == replacement_) return workbench::FindField::kReplacement;
    return Owns(focus) ? workbench::FindField::kOtherOfTheBar : workbench::FindField::kElsewhere;
}

bool FindBar::TakesKey(WORD key, unsigned modifiers, HWND focus) const {
    return presenter_.TakesKey({key, static_cast<std::uint8_t>(modifiers)}, FieldOf(focus));
}

void FindBar::RunKey(WORD key, unsigned modifiers, HWND focus) {
    presenter_.RunKey({key, static_cast<std::uint8_t>(modifiers)}, FieldOf(focus));
}

bool FindBar::OnCommand(WORD id, WORD code) {
    if (id < first_id_ || id > first_id_ + kLabel) return false;
    if (code != BN_CLICKED) return true;
    switch (id - first_id_) {
        case kNext:
            presenter_.FindNext(false);
            break;
        case kPrevious:
            presenter_.FindNext(true);
            break;
        case kReplace:
            presenter_.Replace();
            break;
        case kReplaceAll:
            presenter_.ReplaceAll();
            break;
        default:
            break;
    }
    return true;
}

void FindBar::Open(bool replace) {
    presenter_.Open(replace);
}

void FindBar::Show(bool shown) {
    shown_ = shown;
    for (HWND w : controls_) ::ShowWindow(w, shown ? SW_SHOWNA : SW_HIDE);
    if (relayout_) relayout_();
}

void FindBar::FocusField(workbench::FindField field) {
    HWND w = field == workbench::FindField::kReplacement ? replacement_ : pattern_;
    ::SetFocus(w);
    ::SendMessageW(w, EM_SETSEL, 0, -1);
}

editor::FindOptions FindBar::Options() const {
    return {Checked(match_case_), Checked(whole_word_), Checked(wrap_)};
}

std::string FindBar::Pattern() const {
    return Narrow(WindowText(pattern_));
}

void FindBar::SetPattern(const std::string& text) {
    ::SetWindowTextW(pattern_, Wide(text).c_str());
}

std::string FindBar::Replacement() const {
    return Narrow(WindowText(replacement_));
}

void FindBar::SetStatus(const std::string& text) {
    ::SetWindowTextW(status_, Wide(text).c_str());
}

}  // namespace zeph::win
