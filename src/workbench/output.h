// The output pane's contents: what scripts write with WScript.Echo and how each run ended. It
// keeps the newest lines only; a line that reports an error carries its place in the editor.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "workbench/interfaces.h"

namespace zeph::workbench {

class OutputLog {
  public:
    static constexpr std::size_t kMaxLines = 5000;

    struct Entry {
        std::string text;  // code page 1251, no line breaks
        std::optional<CaretPos> pos;
    };

    // Adds `text` as one line per line break in it (CR LF, CR or LF; a final break adds no
    // empty line). Returns how many of the oldest lines went to make room.
    std::size_t Append(std::string_view text, std::optional<CaretPos> pos = std::nullopt);
    void Clear() { entries_.clear(); }

    const std::deque<Entry>& Entries() const { return entries_; }
    // The editor place a line reports, if any.
    std::optional<CaretPos> PositionAt(std::size_t index) const;

  private:
    std::deque<Entry> entries_;
};

// The pane as a window shows it, and the editor's error mark.
class IOutputView {
  public:
    virtual ~IOutputView() = default;
    // The log gained `added` lines at its end and lost `dropped` at its front.
    virtual void OutputAppended(const OutputLog& log, std::size_t added, std::size_t dropped) = 0;
    virtual void OutputCleared() = 0;
    virtual bool OutputShown() const = 0;
    virtual void ShowOutput(bool shown) = 0;
    // Marks the editor line of the last error (from 1) until that line is edited; 0 clears.
    virtual void MarkErrorLine(int line) = 0;
};

// "Выполнено за 0,25 с": the line of a run that ended well.
std::string FinishedText(std::chrono::milliseconds elapsed);
// The line of a run that failed or was stopped, with its place in the editor's terms.
std::string FailedText(const ScriptError& error);
// The error's description for the message box, with the line it stopped at.
std::string ErrorBoxText(const ScriptError& error);
// What WScript.Echo writes: its arguments joined by blanks.
std::string EchoText(const std::vector<std::string>& args);

}  // namespace zeph::workbench
