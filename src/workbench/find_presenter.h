// The find bar's decisions: which keys are its own, what Ctrl+F, Ctrl+H, F3, Enter and Esc do,
// the pattern it starts from, searching and replacing in the editor, and its status text. The
// window only owns the controls and answers the view below.
#pragma once

#include <string>

#include "editor/editor_model.h"
#include "editor/find.h"
#include "workbench/keys.h"

namespace zeph::workbench {

// Where the keyboard focus is, as far as the bar is concerned.
enum class FindField { kElsewhere, kPattern, kReplacement, kOtherOfTheBar };

class IFindBarView {
  public:
    virtual ~IFindBarView() = default;
    virtual std::string Pattern() const = 0;
    virtual void SetPattern(const std::string& text) = 0;
    virtual std::string Replacement() const = 0;
    virtual editor::FindOptions Options() const = 0;
    virtual void SetStatus(const std::string& text) = 0;
    virtual bool Shown() const = 0;
    // Shows or hides the controls and lays the form out again.
    virtual void Show(bool shown) = 0;
    // Focuses a field and selects its text.
    virtual void FocusField(FindField field) = 0;
};

// The editor as the bar works on it.
class IFindTarget {
  public:
    virtual ~IFindTarget() = default;
    virtual editor::EditorModel& Model() = 0;
    // Before the caret moves elsewhere: an open pop-up or its wait must not stay.
    virtual void HideCompletion() = 0;
    // After the model changed: repaint, scroll to the caret.
    virtual void Sync() = 0;
    virtual void Focus() = 0;
};

class FindPresenter {
  public:
    FindPresenter(IFindBarView& view, IFindTarget& target) : view_(view), target_(target) {}

    // Ctrl+F, Ctrl+H, F3 and Shift+F3 anywhere in the window; Enter, Shift+Enter and Esc
    // while the focus is in the bar.
    bool TakesKey(KeyStroke key, FindField focus) const;
    void RunKey(KeyStroke key, FindField focus);

    // Shows the bar with the selection (one line) or the word at the caret as its pattern and
    // focuses the pattern, or for replacing the replacement once there is a pattern.
    void Open(bool replace);
    void Hide();
    void FindNext(bool backward);
    void Replace();
    void ReplaceAll();

  private:
    IFindBarView& view_;
    IFindTarget& target_;
};

}  // namespace zeph::workbench
