#include "script/line_comments.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zeph::script {
namespace {

struct ToggleCase {
    const char* what;
    Language language;
    std::vector<std::string> lines, expected;
};

TEST(LineComments, ToggleCommentsLinesAtTheLeastIndentAndBackAgain) {
    const ToggleCase cases[] = {
        {"VBScript, markers line up",
         Language::kVBScript,
         {"  a = 1", "", "    b = 2"},
         {"  'a = 1", "", "  '  b = 2"}},
        {"all commented: the markers go",
         Language::kVBScript,
         {"  'a = 1", "", "  '  b = 2"},
         {"  a = 1", "", "    b = 2"}},
        {"one plain line among comments: all get one",
         Language::kVBScript,
         {"'x", "y"},
         {"''x", "'y"}},
        {"JScript", Language::kJScript, {"\tf();", "\t\tg();"}, {"\t//f();", "\t//\tg();"}},
        {"JScript back", Language::kJScript, {"\t//f();", "  // g();"}, {"\tf();", "   g();"}},
        {"only blanks: nothing to do", Language::kJScript, {"", "   "}, {"", "   "}},
    };
    for (const ToggleCase& c : cases)
        EXPECT_EQ(ToggleLineComments(c.language, c.lines), c.expected) << c.what;
}

}  // namespace
}  // namespace zeph::script
