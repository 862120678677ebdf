#include "workbench/parameter_tip.h"

#include <commctrl.h>

#include "base/wide.h"
#include "completion/parameter_hint.h"

namespace zeph::win {

ParameterTip::ParameterTip(ScriptEditorWindow& editor, completion::IDescriptionSource& source,
                           const completion::ITextMeasure& measure)
    : editor_(editor), source_(source), measure_(measure) {
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
    const std::string& line = model.CaretLineText();
    const int column = model.Caret().column;
    const bool opened = column > 0 && column <= static_cast<int>(line.size()) &&
                        (line[column - 1] == '(' || line[column - 1] == '[');
    if (opened || shown_) Refresh();
}

void ParameterTip::CaretMoved() {
    if (shown_) Refresh();
}

void ParameterTip::Refresh() {
    std::string hint;
    try {
        const editor::EditorModel& model = editor_.model();
        hint = completion::ParameterHint(model.CaretLineText(), model.CaretX(), source_, measure_);
    } catch (...) {
        hint.clear();  // no description, no hint; completion reports loading errors itself
    }
    if (hint.empty()) return Hide();
    if (!tip_) return;
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
