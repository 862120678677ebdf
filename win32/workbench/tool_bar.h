// The workbench's tool bar: run, new, remove, language (with its drop-down menu of the two
// languages), settings and insert identifier. Buttons and menu items carry their action's
// command, so that they run through the window's one command path.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/unique.h"
#include "workbench/actions.h"

namespace zeph::win {

class WorkbenchToolBar {
  public:
    // Commands from here on are actions (the action's index added).
    static constexpr WORD kActionCommandBase = 1000;
    static constexpr WORD CommandOf(workbench::ActionId id) {
        return static_cast<WORD>(kActionCommandBase + static_cast<WORD>(id));
    }
    static std::optional<workbench::ActionId> ActionOfCommand(WORD command);

    // Makes the bar as a child of `parent` (throws on failure). `scaled` turns a length designed
    // at 120 dots per inch into pixels.
    WorkbenchToolBar(HWND parent, WORD id, const std::function<int(int)>& scaled);
    WorkbenchToolBar(const WorkbenchToolBar&) = delete;
    WorkbenchToolBar& operator=(const WorkbenchToolBar&) = delete;

    HWND hwnd() const noexcept { return toolbar_; }
    // The bar's tool tip control, which other controls may share; may be 0.
    HWND ToolTips() const noexcept { return tooltip_; }
    // Where the last button ends.
    int ButtonsRight(int indent) const;

    void SetLanguageHint(std::string_view hint);
    // Answers a tool tip's request for a button's hint; hints of other tools are left alone.
    void GiveHint(NMTTDISPINFOW& info);
    // The language menu at the bottom-left corner of the language button; the action chosen.
    std::optional<workbench::ActionId> ChooseLanguage(HWND owner);

  private:
    HWND toolbar_ = nullptr;
    HWND tooltip_ = nullptr;
    UniqueImageList images_;
    UniqueMenu language_menu_;
    std::wstring language_hint_;
    std::wstring hint_;  // the text a tool tip is showing
};

}  // namespace zeph::win
