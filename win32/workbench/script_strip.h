// The strip between the tool bar and the editor: the script's procedures in a drop-down list,
// the "Проверить" button (check without running) and the caret's line and column.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::win {

class ScriptStrip {
  public:
    // Makes the three controls as children of `parent`, with the ids `first_id` (the list),
    // `first_id` + 1 (the button) and `first_id` + 2 (the status text). `scaled` turns a length
    // designed at 120 dots per inch into pixels. Throws on failure.
    ScriptStrip(HWND parent, WORD first_id, HFONT font, std::function<int(int)> scaled);
    ScriptStrip(const ScriptStrip&) = delete;
    ScriptStrip& operator=(const ScriptStrip&) = delete;

    HWND List() const noexcept { return list_; }
    HWND Button() const noexcept { return button_; }
    HWND Status() const noexcept { return status_; }
    int Height() const;
    void Layout(int top, int width);

    // The procedures' entries; none selected.
    void SetProcedures(const std::vector<std::string>& entries);
    void SetStatus(std::string_view text);

    // A command of the strip's controls: a procedure picked (its index) or the button pressed.
    // False for commands of other controls.
    bool OnCommand(WORD id, WORD code, const std::function<void(int)>& picked,
                   const std::function<void()>& check);

  private:
    std::function<int(int)> scaled_;
    WORD first_id_;
    HWND list_ = nullptr;
    HWND button_ = nullptr;
    HWND status_ = nullptr;
};

}  // namespace zeph::win
