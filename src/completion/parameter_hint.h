// Parameter hints: while a call's arguments are typed, the member before its "(" or "[" as the
// completion pop-up lists it, found by the same resolution of the dotted name on its left.
#pragma once

#include <string>
#include <string_view>

#include "completion/completion.h"

namespace zeph::completion {

// The innermost "(" or "[" left of 1-based column `caret` that is not closed before it (text in
// double quotes skipped), as a 1-based column; 0 for none.
int OpenCallColumn(std::string_view line, int caret);

// The hint for the call open at `caret`: "Name(params): Type;" as the pop-up's entry shows the
// member, or empty when no member of the description goes by the name before the bracket.
// Throws when the description cannot be loaded.
std::string ParameterHint(std::string_view line, int caret, IDescriptionSource& source,
                          const ITextMeasure& measure);

}  // namespace zeph::completion
