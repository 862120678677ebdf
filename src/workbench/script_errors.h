// Russian texts for the script engines' errors: for engines that report an error by its
// number alone (an empty description), with a generic one, or in English.
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

// What the user reads for an engine's error, without the line: the engine's own description
// when it says something in Russian, else our text by the number, else the engine's own real
// description; empty when there is none of these (the description is empty, a bare code, or
// only names the engine or the kind of error, as "Microsoft VBScript compilation error").
std::string ErrorDescription(std::string_view language, std::int32_t number,
                             std::string_view source, std::string_view description);

// The last resort for an error nothing describes: a syntax error when the engine's source or
// description says it failed to compile, else a run-time error, with the code unless it is the
// unspecified one.
std::string UnknownErrorText(std::int32_t number, std::string_view source,
                             std::string_view description);

}  // namespace zeph::workbench
