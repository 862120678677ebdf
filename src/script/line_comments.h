// Commenting out whole lines and back: "'" in VBScript, "//" in JScript.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "script/lexer.h"

namespace zeph::script {

std::string_view LineCommentMarker(Language language);

// The lines toggled: when every line that holds more than blanks starts (after its blanks) with
// the marker, the marker goes from each of them; otherwise each such line gets the marker at the
// least indentation among them, so that the markers line up. Blank lines stay as they are.
std::vector<std::string> ToggleLineComments(Language language, std::vector<std::string> lines);

}  // namespace zeph::script
