#include "workbench/parameter_tip.h"

#include <commctrl.h>

#include "base/wide.h"

namespace zeph::win {

ParameterTip::ParameterTip(ScriptEditorWindow& editor, completion::IDescriptionSource& source,
                           const completion::ITextMeasure& measure)
    : editor_(editor), hints_(source, measure) {
    tip_ =
        ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, editor.hwnd(), nullptr, nullptr, nullptr);
    if (!tip_) return;  // no hints, the editor works on
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    ti.hwnd = editor.hwnd();
    ti.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

ParameterTip::~ParameterTip() {
    if (tip_) ::DestroyWindow(tip_);
}

void ParameterTip::TextChanged() {
    const editor::EditorModel& model = editor_.model();
    Show(hints_.AfterEdit(model.CaretLineText(), model.CaretX()));
}

void ParameterTip::CaretMoved() {
    if (!shown_) return;
    const editor::EditorModel& model = editor_.model();
    Show(hints_.AfterCaretMove(model.CaretLineText(), model.CaretX()));
}

void ParameterTip::Show(const std::string& hint) {
    if (hint.empty() || !tip_) return Hide();
    text_ = hint;
    wide_ = Wide(hint);
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = editor_.hwnd();
    ti.lpszText = wide_.data();
    ::SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    POINT at = editor_.CaretPixel();
    at.y += editor_.LineHeight() + 2;
    ::ClientToScreen(editor_.hwnd(), &at);
    ::SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    if (!shown_) ::SendMessageW(tip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    shown_ = true;
}

void ParameterTip::Hide() {
    hints_.Close();
    if (!shown_) return;
    shown_ = false;
    text_.clear();
    if (!tip_) return;
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = editor_.hwnd();
    ::SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
}

}  // namespace zeph::win
