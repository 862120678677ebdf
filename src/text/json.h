// JSON string literals for the command-line tool's one-line reports.
#pragma once

#include <string>
#include <string_view>

namespace zeph::text {

// Appends `utf8` as a quoted JSON string: quotes and backslashes escaped, control characters
// as \n, \r, \t or \u00XX; every other byte as it is.
void AppendJsonString(std::string& out, std::string_view utf8);

}  // namespace zeph::text
