#include "completion/line_completion.h"

#include <gtest/gtest.h>

#include "completion/editor_binding.h"
#include "completion/fakes.h"
#include "text/cp1251.h"

namespace zeph::completion {
namespace {

using testing::TempDescription;
using text::operator""_cp;

class LineCompletionJson : public ::testing::Test {
  protected:
    TempDescription d{
        u8R"(<I name="ITellurApplication"><property name="Caption" type="String"/>
        <method name="Open" return="IMap"><p name="Path" type="String"/></method>
        <const name="Кв&quot;" value="1"/></I>)"_cp};
    FixedPitchMeasure measure;

    std::string Json(std::string_view line, int column) {
        return ToJson(CompleteLine(d.Path(), line, column, measure));
    }
};

TEST_F(LineCompletionJson, ListsInsertsWidthInputAndShownLines) {
    const std::string lists =
        R"j({"items":["property\tCaption\t:String;","function\tOpen\t(Path: String): IMap;",)j"
        R"j("constant\tКв\"\t;"],"inserts":["Caption","Open()","Кв\""],"width":360,)j";
    EXPECT_EQ(Json("", 1), lists + R"j("input":"","shown":[0,1,2]})j");
    // The pop-up filters by the word typed so far, ignoring case.
    EXPECT_EQ(Json("x = oP", 7), lists + R"j("input":"oP","shown":[1]})j");
    EXPECT_EQ(Json("x.Ca", 5), lists + R"j("input":"Ca","shown":[0]})j");
    // Beyond the line's end nothing has been typed.
    EXPECT_EQ(Json("Op", 10), lists + R"j("input":"","shown":[0,1,2]})j");
}

TEST_F(LineCompletionJson, NothingListedHasNoWidthAndNoInput) {
    // The pop-up did not open: nothing was typed into it.
    EXPECT_EQ(Json("Caption.Foo.X", 14),
              R"j({"items":[],"inserts":[],"width":null,"input":"","shown":[]})j");
}

TEST_F(LineCompletionJson, MissingDescriptionLeavesThePopupClosedAndTheTextAlone) {
    editor::EditorModel editor(editor::EditorOptions::ScriptEditor());
    editor.SetText("Application.");
    editor.SetCaretXY(13, 1);
    editor::CompletionModel popup(editor);
    FileDescriptionSource missing(d.Path().parent_path() / "missing.xml");
    EditorCompletion binding(editor, popup, missing, measure);
    EXPECT_THROW(popup.Execute(), std::exception);
    EXPECT_FALSE(popup.IsOpen());
    EXPECT_EQ(editor.Text(), "Application.\r\n");
}

}  // namespace
}  // namespace zeph::completion
