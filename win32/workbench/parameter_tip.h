// The parameter hint under the caret: opened by a typed "(" or "[" after a member the host's
// description knows, kept up to date while the call's arguments are typed, closed by its ")"
// (or "]"), by Esc, or when the caret leaves the call.
#pragma once

#include <windows.h>

#include <string>

#include "completion/completion.h"
#include "completion/parameter_hint.h"
#include "editor/script_editor_window.h"

namespace zeph::win {

class ParameterTip {
  public:
    ParameterTip(ScriptEditorWindow& editor, completion::IDescriptionSource& source,
                 const completion::ITextMeasure& measure);
    ParameterTip(const ParameterTip&) = delete;
    ParameterTip& operator=(const ParameterTip&) = delete;
    ~ParameterTip();

    // After an edit: a bracket just typed opens the hint.
    void TextChanged();
    // After the caret moved: the hint follows the call it is in, or closes.
    void CaretMoved();
    void Hide();
    bool Shown() const { return shown_; }
    const std::string& Text() const { return text_; }  // code page 1251

  private:
    // Shows `hint` under the caret, or hides the tip when it is empty.
    void Show(const std::string& hint);

    ScriptEditorWindow& editor_;
    completion::ParameterHints hints_;
    HWND tip_ = nullptr;
    std::wstring wide_;
    std::string text_;
    bool shown_ = false;
};

}  // namespace zeph::win
