// Russian texts for the script engines' errors, for engines that report an error by its
// number alone (an empty description).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zeph::workbench {

// The engine's error code of an error number as the Script Control reports it: the low word
// of a control-facility code (0x800A....), the engine's own code for the automation codes the
// engines raise, or the number itself when it is a bare code. 0 when there is none.
int ScriptErrorCode(std::int32_t number);

// The Russian text of an error of the language's engine ("VBScript" or "JavaScript") with the
// line it stopped at (from 1; none when 0); empty for a number without a known text.
std::string ScriptErrorText(std::string_view language, std::int32_t number, int line);

}  // namespace zeph::workbench
