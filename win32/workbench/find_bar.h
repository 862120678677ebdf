// The find bar under the editor: the pattern, the replacement, match case, whole word and
// wrap around, and buttons for the next and previous match, replace and replace all. Hidden
// until Ctrl+F or Ctrl+H; its controls are children of the form, which lays them out.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "editor/find.h"
#include "editor/script_editor_window.h"
#include "workbench/find_bar_layout.h"
#include "workbench/find_presenter.h"

namespace zeph::win {

class FindBar final : private workbench::IFindBarView, private workbench::IFindTarget {
  public:
    // Commands of its controls are `first_id` and up; `relayout` runs when it shows or hides.
    // `scaled` turns a length designed at 120 dots per inch into pixels.
    FindBar(HWND parent, WORD first_id, HFONT font, std::function<int(int)> scaled,
            ScriptEditorWindow& editor, std::function<void()> relayout);
    FindBar(const FindBar&) = delete;
    FindBar& operator=(const FindBar&) = delete;

    bool Shown() const override { return shown_; }
    // The bar's height at the given width (more rows when narrow); 0 while hidden.
    int Height(int width) const;
    // Places the bar in [top, top + Height(width)) of the given width.
    void Layout(int top, int width);
    // The narrowest width that keeps every button whole.
    int LeastWidth() const;

    // Keys of the bar: Ctrl+F, Ctrl+H, F3, Shift+F3 anywhere in the form; Enter and Esc
    // inside the bar. True when the key is the bar's (it runs later, from RunKey).
    bool TakesKey(WORD key, unsigned modifiers, HWND focus) const;
    void RunKey(WORD key, unsigned modifiers, HWND focus);
    // A command of one of its controls; false when `id` is not the bar's.
    bool OnCommand(WORD id, WORD code);
    bool Owns(HWND hwnd) const;
    // Shows the bar with the selection or the word at the caret as its pattern and puts the
    // focus in the pattern (or, for replacing, in the replacement once there is a pattern).
    void Open(bool replace);

    // For tests.
    HWND PatternHandle() const { return pattern_; }
    HWND ReplacementHandle() const { return replacement_; }
    HWND StatusHandle() const { return status_; }
    HWND ReplaceAllHandle() const { return replace_all_; }

  private:
    // The view the presenter sees.
    std::string Pattern() const override;
    void SetPattern(const std::string& text) override;
    std::string Replacement() const override;
    editor::FindOptions Options() const override;
    void SetStatus(const std::string& text) override;
    void Show(bool shown) override;
    void FocusField(workbench::FindField field) override;
    // The editor it works on.
    editor::EditorModel& Model() override { return editor_.model(); }
    void HideCompletion() override { editor_.HideCompletion(); }
    void Sync() override { editor_.Sync(); }
    void Focus() override { editor_.Focus(); }

    workbench::FindField FieldOf(HWND focus) const;
    workbench::FindBarMetrics Metrics() const;
    HWND Make(const wchar_t* cls, const std::string& text, DWORD style, WORD id, HFONT font);

    HWND parent_;
    WORD first_id_;
    std::function<int(int)> scaled_;
    ScriptEditorWindow& editor_;
    std::function<void()> relayout_;
    bool shown_ = false;
    HWND pattern_label_ = nullptr, pattern_ = nullptr;
    HWND replacement_label_ = nullptr, replacement_ = nullptr;
    HWND match_case_ = nullptr, whole_word_ = nullptr, wrap_ = nullptr;
    HWND next_ = nullptr, previous_ = nullptr, replace_ = nullptr, replace_all_ = nullptr;
    HWND status_ = nullptr;
    std::vector<HWND> controls_;
    workbench::FindPresenter presenter_{*this, *this};
};

}  // namespace zeph::win
