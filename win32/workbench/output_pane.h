// The output pane under the editor: a list of lines that is hidden until something is written
// to it. Double-clicking a line that reports an error is passed on to the owner.
#pragma once

#include <windows.h>

#include <functional>

#include "editor/script_editor_window.h"
#include "workbench/output.h"

namespace zeph::win {

class OutputPane : public workbench::IOutputView {
  public:
    // `relayout` is called when the pane is shown or hidden; `editor` shows the error mark.
    OutputPane(HWND parent, WORD id, HFONT font, ScriptEditorWindow& editor,
               std::function<void()> relayout);
    OutputPane(const OutputPane&) = delete;
    OutputPane& operator=(const OutputPane&) = delete;
    // The list is a child of the form and goes with it.
    ~OutputPane() override = default;

    HWND hwnd() const noexcept { return list_; }
    // The line under a double-click, -1 for none.
    int SelectedLine() const;

    void OutputAppended(const workbench::OutputLog& log, std::size_t added,
                        std::size_t dropped) override;
    void OutputCleared() override;
    bool OutputShown() const override;
    void ShowOutput(bool shown) override;
    void MarkErrorLine(int line) override { editor_.SetErrorLine(line - 1); }

  private:
    HWND list_ = nullptr;
    ScriptEditorWindow& editor_;
    bool shown_ = false;  // the form itself may be hidden
    std::function<void()> relayout_;
};

}  // namespace zeph::win
