// Stop checks: the engines cannot be interrupted from outside, so the text an engine runs is a
// copy of the user's script with a call into a hidden object at each turn of each loop and at
// each procedure entry; the object raises an error once the user asked the run to stop. The
// copy keeps every line where it was (nothing inserted holds a line break), and the columns the
// engine reports on it map back to the user's text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "workbench/interfaces.h"

namespace zeph::workbench {

// The hidden object the checks call, published to the engine under this name.
inline constexpr std::string_view kStopCheckItem = "ZephRun";

// Code to add (run) before the prelude and the script so that the checks' counter exists:
// "var ZephTurns=0;" for JScript, empty for VBScript.
std::string StopCheckPreamble(Language language);

struct StopCheckedText {
    std::string text;  // what the engine runs: the same lines, checks inserted
    struct Insertion {
        int line;    // from 1
        int column;  // from 0, in `text`'s line, where the inserted bytes start
        int length;
        friend bool operator==(const Insertion&, const Insertion&) = default;
    };
    std::vector<Insertion> insertions;  // in order of line, then column

    // The user's column (from 0) for a column the engine reports on `line` (from 1) of `text`;
    // a column inside an insertion maps to the place the insertion was made.
    int UserColumn(int line, int column) const;
};

// The text with its checks. Text the scanner cannot make sense of (a script with syntax errors)
// still comes back with every line in place; only its checks may be missing.
StopCheckedText AddStopChecks(Language language, std::string_view text);

// For runs that may pause (breakpoints, stepping): the stop checks, and a call of the hidden
// object's At with the line (from 1) in front of each statement that runs ("ZephRun.At N:" in
// VBScript, "ZephRun.At(N);" in JScript, in braces where the statement is another's body).
// Declarations and the words that close or divide blocks get none.
StopCheckedText AddPauseChecks(Language language, std::string_view text);

}  // namespace zeph::workbench
