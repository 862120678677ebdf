#include "workbench/find_presenter.h"

#include "text/cp1251.h"

namespace zeph::workbench {

using text::operator""_cp;

bool FindPresenter::TakesKey(KeyStroke key, FindField focus) const {
    if (key == KeyStroke{'F', kCtrl} || key == KeyStroke{'H', kCtrl}) return true;
    if (key == F(3) || key == KeyStroke{F(3).key, kShift}) return true;
    if (!view_.Shown() || focus == FindField::kElsewhere) return false;
    return key == KeyStroke{vk::kReturn, kNoModifier} || key == KeyStroke{vk::kReturn, kShift} ||
           key == KeyStroke{vk::kEscape, kNoModifier};
}

void FindPresenter::RunKey(KeyStroke key, FindField focus) {
    const bool shift = (key.modifiers & kShift) != 0;
    if (key.key == 'F' || key.key == 'H') {
        Open(key.key == 'H');
    } else if (key.key == F(3).key) {
        if (view_.Pattern().empty())
            Open(false);
        else
            FindNext(shift);
    } else if (key.key == vk::kEscape) {
        Hide();
    } else if (key.key == vk::kReturn) {
        if (focus == FindField::kReplacement)
            Replace();
        else
            FindNext(shift);
    }
}

void FindPresenter::Open(bool replace) {
    // The selection, or the word at the caret, is what one usually wants to find.
    editor::EditorModel& model = target_.Model();
    const std::string seed = model.HasSelection() ? model.SelectedText() : model.WordAtCaret();
    if (!seed.empty() && seed.find_first_of("\r\n") == std::string::npos) view_.SetPattern(seed);
    view_.SetStatus("");
    if (!view_.Shown()) view_.Show(true);
    view_.FocusField(replace && !view_.Pattern().empty() ? FindField::kReplacement
                                                         : FindField::kPattern);
}

void FindPresenter::Hide() {
    if (!view_.Shown()) return;
    view_.Show(false);
    target_.Focus();
}

void FindPresenter::FindNext(bool backward) {
    target_.HideCompletion();
    const bool found =
        editor::FindAndSelect(target_.Model(), view_.Pattern(), backward, view_.Options());
    target_.Sync();
    view_.SetStatus(found ? "" : std::string(u8"Не найдено"_cp));
}

void FindPresenter::Replace() {
    target_.HideCompletion();
    const bool found = editor::ReplaceAndFindNext(target_.Model(), view_.Pattern(),
                                                  view_.Replacement(), view_.Options());
    target_.Sync();
    view_.SetStatus(found ? "" : std::string(u8"Не найдено"_cp));
}

void FindPresenter::ReplaceAll() {
    target_.HideCompletion();
    const int count =
        editor::ReplaceAll(target_.Model(), view_.Pattern(), view_.Replacement(), view_.Options());
    target_.Sync();
    view_.SetStatus(std::string(u8"Заменено: "_cp) + std::to_string(count));
}

}  // namespace zeph::workbench
