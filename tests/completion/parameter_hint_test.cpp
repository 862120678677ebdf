// Parameter hints: the open call at the caret, and its member resolved as completion does.
#include "completion/parameter_hint.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace zeph::completion {
namespace {

const auto kPlain = testing::DataFile("TellurTlb.xml");

TEST(ParameterHintTest, OpenCallIsTheInnermostUnclosedBracketOutsideStrings) {
    EXPECT_EQ(OpenCallColumn("f(a, g(b), ", 12), 2);
    EXPECT_EQ(OpenCallColumn("f(a, g(b", 9), 7);
    EXPECT_EQ(OpenCallColumn("m.Maps[", 8), 7);
    EXPECT_EQ(OpenCallColumn("f(a)", 5), 0);       // closed before the caret
    EXPECT_EQ(OpenCallColumn("f(\"(\", ", 8), 2);  // a bracket in a string counts not
    EXPECT_EQ(OpenCallColumn("f(a", 2), 0);        // the caret before the bracket
    EXPECT_EQ(OpenCallColumn("", 1), 0);
}

TEST(ParameterHintTest, MembersResolveLikeCompletionAndOnlyCallsGetAHint) {
    FileDescriptionSource source(kPlain);
    FixedPitchMeasure measure;
    EXPECT_EQ(ParameterHint("Application.OpenMap(", 21, source, measure),
              "OpenMap(FileName: String;ReadOnly: Boolean): IMap;");
    EXPECT_EQ(ParameterHint("x = application.openmap (\"a\", ", 31, source, measure),
              "OpenMap(FileName: String;ReadOnly: Boolean): IMap;");
    EXPECT_EQ(ParameterHint("Application.ActiveMap.Layers[", 30, source, measure),
              "Layers[Index: Long;Key: String]: ILayer;");
    EXPECT_EQ(ParameterHint("Refresh(", 9, source, measure), "Refresh(Full: Boolean);");
    EXPECT_EQ(ParameterHint("Application.Caption(", 21, source, measure), "");  // no parameters
    EXPECT_EQ(ParameterHint("Application.Nothing(", 21, source, measure), "");
    EXPECT_EQ(ParameterHint("(", 2, source, measure), "");
}

}  // namespace
}  // namespace zeph::completion
