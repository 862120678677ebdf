#include "editor/completion_popup_model.h"

#include <algorithm>

#include "text/cp1251.h"

namespace zeph::editor {

PrettyText SplitPrettyText(std::string_view item) {
    PrettyText p;
    std::size_t t1 = item.find('\t');
    if (t1 == std::string_view::npos) {
        p.first = item;
        return p;
    }
    p.first = item.substr(0, t1);
    std::size_t t2 = item.find('\t', t1 + 1);
    if (t2 == std::string_view::npos) {
        p.bold = item.substr(t1 + 1);
        return p;
    }
    p.bold = item.substr(t1 + 1, t2 - t1 - 1);
    p.rest = item.substr(t2 + 1);
    return p;
}

CompletionModel::CompletionModel(EditorModel& editor) : editor_(editor) {}

void CompletionModel::ClearList() {
    items_.clear();
    inserts_.clear();
}

void CompletionModel::AddItem(std::string_view item, std::string_view insert) {
    items_.emplace_back(item);
    inserts_.emplace_back(insert);
}

void CompletionModel::ResetFilteredToItems() {
    shown_.resize(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i) shown_[i] = static_cast<int>(i);
    selected_ = shown_.empty() ? -1 : 0;
    top_ = 0;
}

void CompletionModel::SetSelectedIndex(int i) {
    if (shown_.empty()) {
        selected_ = -1;
        return;
    }
    selected_ = std::clamp(i, 0, static_cast<int>(shown_.size()) - 1);
    Scroll();
}

void CompletionModel::Scroll() {
    int rows = std::max(1, visible_lines);
    if (selected_ < top_) top_ = selected_;
    if (selected_ >= top_ + rows) top_ = selected_ - rows + 1;
    top_ = std::max(0, top_);
}

// An item matches when its text after the first tab starts with the input, ignoring case.
void CompletionModel::Filter() {
    shown_.clear();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        std::string_view t = items_[i];
        std::size_t tab = t.find('\t');
        if (tab != std::string_view::npos) t.remove_prefix(tab + 1);
        if (text::EqualsNoCase(t.substr(0, input_.size()), input_))
            shown_.push_back(static_cast<int>(i));
    }
    selected_ = shown_.empty() ? -1 : 0;
    top_ = 0;
}

void CompletionModel::StartTimer() {
    if (timer_running_) return;
    timer_running_ = true;
    if (on_timer) on_timer(true, timer_interval_ms);
}

void CompletionModel::StopTimer() {
    if (!timer_running_) return;
    timer_running_ = false;
    if (on_timer) on_timer(false, timer_interval_ms);
}

void CompletionModel::TimerExpired() {
    if (!timer_running_) return;
    StopTimer();
    Execute();
}

bool CompletionModel::Execute() {
    StopTimer();
    if (editor_.ReadOnly()) return false;
    // The input: the characters left of the caret back to an end-of-token character or a
    // control character or blank.
    const std::string& line = editor_.CaretLineText();
    int end = std::min<int>(editor_.Caret().column, line.size());
    if (editor_.Caret().column > static_cast<int>(line.size())) end = 0;
    int begin = end;
    while (begin > 0) {
        char c = line[begin - 1];
        if (static_cast<unsigned char>(c) <= 32 || end_of_token_chars.find(c) != std::string::npos)
            break;
        --begin;
    }
    ProposalExecuteArgs args;
    args.x = editor_.CaretX();
    args.y = editor_.CaretY();
    args.current_input = line.substr(begin, end - begin);
    if (on_execute) on_execute(*this, args);
    if (!args.can_open) return false;
    input_ = args.current_input;
    Filter();
    // A pop-up with no line to choose is only in the way: it closes, as when cancelled.
    if (shown_.empty()) {
        input_.clear();
        if (open_) Close();
        if (on_cancelled) on_cancelled(*this);
        return false;
    }
    if (!open_) {
        open_ = true;
        if (on_visibility) on_visibility(true);
    }
    return true;
}

void CompletionModel::Close() {
    open_ = false;
    input_.clear();
    if (on_visibility) on_visibility(false);
}

void CompletionModel::Accept(char end_char, unsigned shift) {
    if (!open_) return;
    if (!editor_.HasSelection()) {
        TextPos caret = editor_.Caret();
        int start = std::max(0, caret.column - static_cast<int>(input_.size()));
        editor_.SetSelection({caret.line, start}, caret);
    }
    ProposalAcceptArgs args;
    if (selected_ >= 0 && selected_ < static_cast<int>(shown_.size())) {
        std::size_t pos = static_cast<std::size_t>(shown_[selected_]);
        args.value = pos < inserts_.size() ? inserts_[pos] : items_[pos];
    } else {
        args.value = editor_.SelectedText();
    }
    args.shift = shift;
    args.x = editor_.CaretX();
    args.y = editor_.CaretY();
    args.end_char = end_char;
    if (on_code_completion) on_code_completion(*this, args);
    editor_.ReplaceSelection(args.value);
    Close();
}

void CompletionModel::Cancel() {
    StopTimer();  // a "." waiting for its pop-up is cancelled with it
    if (!open_) return;
    Close();
    if (on_cancelled) on_cancelled(*this);
}

bool CompletionModel::KeyDown(int key, unsigned modifiers) {
    if (!open_) {
        if (key == shortcut_key && modifiers == shortcut_modifiers) {
            Execute();
            return true;
        }
        // An editor command (Enter, Backspace, a caret move) ends the wait for the pop-up.
        if (key == vk::kEscape || CommandForKey(key, modifiers) != cmNone) StopTimer();
        return false;
    }
    const int last = static_cast<int>(shown_.size()) - 1;
    const int page = std::max(1, visible_lines);
    const bool ctrl = modifiers & kCtrl;
    switch (key) {
        case vk::kTab:
        case vk::kReturn:
            Accept(0, modifiers);
            return true;
        case vk::kEscape:
            Cancel();
            return true;
        case vk::kUp:
            SetSelectedIndex(ctrl ? 0 : selected_ - 1);
            return true;
        case vk::kDown:
            SetSelectedIndex(ctrl ? last : selected_ + 1);
            return true;
        case vk::kPrior:
            SetSelectedIndex(selected_ - page);
            return true;
        case vk::kNext:
            SetSelectedIndex(selected_ + page);
            return true;
        case vk::kHome:
            SetSelectedIndex(0);
            return true;
        case vk::kEnd:
            SetSelectedIndex(last);
            return true;
        case vk::kLeft:
            editor_.ExecuteCommand(cmLeft);
            return true;
        case vk::kRight:
            editor_.ExecuteCommand(cmRight);
            return true;
        case vk::kBack:
            editor_.ExecuteCommand(cmDeleteLastChar);
            if (!input_.empty()) {
                input_.pop_back();
                Filter();
            }
            return true;
        default:
            if (key == shortcut_key && modifiers == shortcut_modifiers) {
                Execute();
                return true;
            }
            return false;
    }
}

bool CompletionModel::CharTyped(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    // Control characters are the echoes of keys handled in KeyDown (Tab, Enter, Backspace).
    if (u < 32) return false;
    if (open_) {
        if (u >= 32 && u <= 122) {
            if (c == ' ' || end_of_token_chars.find(c) != std::string::npos) {
                Accept(c);  // the character then goes to the editor as if typed after it
            } else {
                input_ += c;
                Filter();
                editor_.TypeChar(c);
                return true;
            }
        } else {
            Cancel();
            return false;
        }
    }
    if (trigger_chars.find(c) != std::string::npos) {
        if (!editor_.ReadOnly()) StartTimer();
    } else {
        StopTimer();
    }
    return false;
}

}  // namespace zeph::editor
