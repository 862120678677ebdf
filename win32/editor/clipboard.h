// The system clipboard as the editor model sees it: Unicode text converted from and to code
// page 1251, and a private marker format beside a column block so that pasting it back
// inserts a block again.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "editor/editor_model.h"

namespace zeph::win {

class Win32Clipboard final : public editor::EditorClipboard {
  public:
    // `owner` is the window that owns what it puts on the clipboard.
    explicit Win32Clipboard(HWND owner);

    void PutText(std::string_view cp1251, bool column_block) override;
    bool GetText(std::string& cp1251, bool& column_block) override;

  private:
    HWND owner_;
    UINT block_format_;
};

}  // namespace zeph::win
