// The completion pop-up's model: its two lists, filtering by the current input, the keys while
// it is open, accepting and cancelling, and the trigger-character delay. The window draws the
// shown lines, runs the timer when asked and forwards keys here first.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/editor_model.h"

namespace zeph::editor {

enum class ProposalKind { pkCode };

// The three columns of an item text: before the first tab, between the tabs (bold), the rest.
struct PrettyText {
    std::string_view first;
    std::string_view bold;
    std::string_view rest;
};
PrettyText SplitPrettyText(std::string_view item);

struct ProposalExecuteArgs {
    ProposalKind kind = ProposalKind::pkCode;
    bool can_open = true;
    int x = 0, y = 0;           // caret column and line, from 1
    std::string current_input;  // the text typed so far
};

struct ProposalAcceptArgs {
    std::string value;   // the text to insert; the handler may change it
    unsigned shift = 0;  // KeyModifier bits of the accepting key
    int x = 0, y = 0;    // caret column and line, from 1
    char end_char = 0;   // the end-of-token character that accepted, or 0
};

class CompletionModel {
  public:
    explicit CompletionModel(EditorModel& editor);

    // Settings.
    std::string trigger_chars = ".";
    std::string end_of_token_chars = "()[]. ";
    int timer_interval_ms = 1000;
    int visible_lines = 15;
    int width = 262;
    std::string first_column_word = "CONSTRUCTOR";
    int shortcut_key = 0x20;  // Ctrl+Space
    unsigned shortcut_modifiers = kCtrl;

    // Events.
    std::function<void(CompletionModel&, ProposalExecuteArgs&)> on_execute;
    std::function<void(CompletionModel&, ProposalAcceptArgs&)> on_code_completion;
    std::function<void(CompletionModel&)> on_cancelled;
    // Asks the window to start (true) or stop (false) the trigger timer.
    std::function<void(bool run, int interval_ms)> on_timer;
    // Opening and closing, for the window to show or hide the list.
    std::function<void(bool open)> on_visibility;

    // Lists (operations of the request handlers).
    void ClearList();
    void AddItem(std::string_view item, std::string_view insert);
    const std::vector<std::string>& ItemList() const { return items_; }
    const std::vector<std::string>& InsertList() const { return inserts_; }
    // Shows every item unfiltered.
    void ResetFilteredToItems();
    void SetWidth(int pixels) { width = pixels; }

    // State for drawing.
    bool IsOpen() const { return open_; }
    const std::string& CurrentInput() const { return input_; }
    // Positions in the item list of the shown lines.
    const std::vector<int>& ShownItems() const { return shown_; }
    int SelectedIndex() const { return selected_; }  // index into ShownItems, -1 if none
    void SetSelectedIndex(int i);
    int TopIndex() const { return top_; }
    bool TimerRunning() const { return timer_running_; }

    // Input from the editor window. Each returns true when the key was consumed here.
    bool KeyDown(int key, unsigned modifiers);
    bool CharTyped(char c);
    void TimerExpired();
    // Opens the pop-up now (Ctrl+Space); false when the editor is read-only or refused.
    bool Execute();
    void Accept(char end_char = 0, unsigned shift = 0);
    void Cancel();  // also when the pop-up loses the focus

  private:
    void Filter();
    void StartTimer();
    void StopTimer();
    void Close();
    void Scroll();

    EditorModel& editor_;
    std::vector<std::string> items_, inserts_;
    std::vector<int> shown_;
    std::string input_;
    int selected_ = -1;
    int top_ = 0;
    bool open_ = false;
    bool timer_running_ = false;
};

}  // namespace zeph::editor
