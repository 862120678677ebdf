// The saved-script box: an editable, sorted combo box whose list holds the stored scripts'
// names. Texts are code page 1251. The box keeps its edit text whenever its list changes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zeph::win {

class SavedScriptBox {
  public:
    // Makes the box as a child of `parent` (throws on failure); `tooltip` (may be 0) gets the
    // box's hint.
    SavedScriptBox(HWND parent, WORD id, HFONT font, int width, int height, HWND tooltip);
    SavedScriptBox(const SavedScriptBox&) = delete;
    SavedScriptBox& operator=(const SavedScriptBox&) = delete;

    HWND hwnd() const noexcept { return combo_; }

    std::string Text() const;
    void SetText(const std::string& text);
    void ClearList();
    void AddNames(const std::vector<std::string>& names);
    // Selects the entry equal to `name` byte for byte; without one the text becomes the name.
    void Select(const std::string& name);
    std::vector<std::string> Names() const;
    void DeleteName(int index);
    // The hint is off while the list is dropped down.
    void SetHintShown(bool shown);
    // On a pick the edit field takes the picked name only after the notification: this puts it
    // there at once. False when nothing is picked.
    bool TakePickedName();

  private:
    std::wstring Item(int index) const;

    HWND parent_;
    HWND combo_ = nullptr;
    HWND tooltip_;
    std::wstring hint_;
};

}  // namespace zeph::win
