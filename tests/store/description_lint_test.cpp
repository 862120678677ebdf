#include "store/description_lint.h"

#include <gmock/gmock.h>

#include "store_test_util.h"

namespace zeph::store::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> Lint(std::string_view bytes) {
    auto doc = xml::CreateXmlDocument();
    doc->LoadFromBytes(bytes);
    std::vector<std::string> found;
    for (const auto& p : LintDescription(*doc).problems)
        found.push_back(p.place + ": " + p.message);
    return found;
}

std::vector<std::string> LintValue(std::string_view value) {
    return Lint("<lib><e name=\"E\"><const name=\"C\" value=\"" + std::string(value) +
                "\"/></e></lib>");
}

TEST(DescriptionLintTest, BaseFaultsAreReportedWhereTheyAreWrittenOnly) {
    // A self-loop; and entries that merely lead into a fault elsewhere stay quiet.
    EXPECT_THAT(Lint("<l><i name=\"A\" base=\"a\"/><i name=\"B\" base=\"A\"/></l>"),
                ElementsAre("entry 1 \"A\": the base chain loops: \"A\" -> \"A\""));
    EXPECT_THAT(Lint("<l><i name=\"B\" base=\"C\"/><i name=\"C\" base=\"Nowhere\"/></l>"),
                ElementsAre("entry 2 \"C\": the base \"Nowhere\" names no entry"));
    EXPECT_THAT(Lint("<l><i name=\"A\"/><i name=\"B\" base=\"A\"/><i base=\"IDispatch\" "
                     "name=\"C\"/></l>"),
                IsEmpty());
}

TEST(DescriptionLintTest, ValuesBothLanguagesAccept) {
    for (const char* good :
         {"0", "-12", "3.25", ".5", "1e6", "2.5E-3", "7.", "&quot;&quot;", "&quot;Карта 1&quot;"})
        EXPECT_THAT(LintValue(good), IsEmpty()) << good;
    // Hex forms belong to one language each; quotes and backslashes escape differently.
    for (const char* bad : {"", "&amp;HFF", "0x10", "-", "1e", "+1", " 1", "True",
                            "&quot;a&quot;&quot;b&quot;", "&quot;a\\b&quot;", "&quot;open"})
        EXPECT_EQ(LintValue(bad).size(), 1u) << bad;
}

TEST(DescriptionLintTest, ReservedWordsOnlyOfTheLanguagesThemselves) {
    auto lint = [](std::string_view name) {
        return Lint("<l><e name=\"E\"><const name=\"" + std::string(name) +
                    "\" value=\"1\"/></e></l>");
    };
    EXPECT_EQ(lint("dim").size(), 1u);  // VBScript's words in any case
    // The editor highlights "start" as a JScript word, yet it declares fine.
    EXPECT_THAT(lint("start"), IsEmpty());
}

TEST(DescriptionLintTest, CommentsAreHarmlessAndCountsAreKept) {
    auto doc = xml::CreateXmlDocument();
    doc->LoadFromBytes(
        "<l><!-- entries --><i name=\"ITellurApplication\"><!-- m --><property name=\"Map\" "
        "type=\"IMap\"><!-- p --></property><method name=\"Go\"/></i><i name=\"IMap\">"
        "<const name=\"A\" value=\"1\"/></i></l>");
    const LintReport report = LintDescription(*doc);
    EXPECT_THAT(report.problems, IsEmpty());
    EXPECT_EQ(report.entries, 3);
    EXPECT_EQ(report.members, 3);
    EXPECT_EQ(report.constants, 1);
}

TEST(DescriptionLintTest, EntryWithoutNameAndRepeatedMembersAcrossKinds) {
    EXPECT_THAT(Lint("<l><i><property name=\"Go\" type=\"Long\"/><method name=\"GO\"/></i></l>"),
                ElementsAre("entry 1: the entry has no \"name\"; lookups take it for \"error\"",
                            "entry 1, method 2 \"GO\": the name repeats member 1 \"Go\" of entry 1 "
                            "ignoring letter case; lookups find only the first"));
}

}  // namespace
}  // namespace zeph::store::testing
