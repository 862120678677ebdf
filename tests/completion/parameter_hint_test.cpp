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

// Counts the loads of the description file.
class CountingSource final : public IDescriptionSource {
  public:
    xml::XmlRef<xml::IXmlDocument> LoadDescription() override {
        ++loads;
        return file.LoadDescription();
    }
    FileDescriptionSource file{kPlain};
    int loads = 0;
};

TEST(ParameterHintTest, AnOpenHintReadsTheDescriptionOnceWhileTheArgumentsAreTyped) {
    CountingSource source;
    FixedPitchMeasure measure;
    ParameterHints hints(source, measure);
    const std::string hint = "OpenMap(FileName: String;ReadOnly: Boolean): IMap;";
    std::string line = "Application.OpenMap";
    EXPECT_EQ(hints.AfterEdit(line, 20), "");  // no bracket yet: nothing read
    EXPECT_EQ(source.loads, 0);
    line += "(";
    EXPECT_EQ(hints.AfterEdit(line, 21), hint);
    EXPECT_EQ(source.loads, 1);
    for (char c : std::string("\"a.map\", ")) {
        line += c;
        EXPECT_EQ(hints.AfterEdit(line, static_cast<int>(line.size()) + 1), hint);
    }
    EXPECT_EQ(hints.AfterCaretMove(line, 22), hint);
    EXPECT_EQ(source.loads, 1);
    line += ")";
    EXPECT_EQ(hints.AfterEdit(line, static_cast<int>(line.size()) + 1), "");  // closed
    EXPECT_FALSE(hints.Open());
    EXPECT_EQ(hints.AfterCaretMove(line, 22), "");  // a closed hint stays closed
    // The next hint reads the file afresh: it may have changed meanwhile.
    EXPECT_EQ(hints.AfterEdit(line, 21), hint);
    EXPECT_EQ(source.loads, 2);
}

}  // namespace
}  // namespace zeph::completion
