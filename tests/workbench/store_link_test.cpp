#include "workbench/store_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "workbench/fake_view.h"
#include "workbench/presenter.h"

namespace zeph::workbench {
namespace {

namespace fs = std::filesystem;

class StoreLinkTest : public ::testing::Test {
  protected:
    StoreLinkTest() {
        folder = fs::temp_directory_path() /
                 ("zeph_wb_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        view.caption = std::string(LanguageCaption(Language::VBScript));
        p.SetStore(&link);
    }
    ~StoreLinkTest() override { fs::remove_all(folder); }
    std::string File() {
        std::ifstream in(folder / "zpconfig.cfg", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Script names in file order.
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        auto doc = link.Store().LoadStore();
        auto scripts = doc->DocumentElement()->ElementsByName("Script");
        for (int i = 0; i < scripts->Count(); ++i)
            names.push_back(scripts->Item(i)->GetAttr("Name", "?"));
        return names;
    }

    fs::path folder;
    testing::FakeView view;
    WorkbenchPresenter p{view};
    ScriptStoreLink link{[this] { return folder / ""; }, p};
};

TEST_F(StoreLinkTest, ClosingWithoutAStoreWritesNothing) {
    p.FormClose();
    EXPECT_FALSE(fs::exists(folder / "zpconfig.cfg"));
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(StoreLinkTest, OpeningCreatesTheStoreAndClosingKeepsTheWork) {
    p.AttachApplication();  // creates the default file
    ASSERT_TRUE(fs::exists(folder / "zpconfig.cfg"));
    view.lines = {"MsgBox 1"};
    p.FormClose();  // the scratch script changed: its record moves to the end
    EXPECT_THAT(Names(), ::testing::ElementsAre(""));
    auto scratch = link.FindScript("");
    ASSERT_TRUE(scratch);
    EXPECT_EQ(scratch->text, "MsgBox 1\r\n");
    EXPECT_THAT(File(), ::testing::HasSubstr("LastText=\"MsgBox 1"));
}

TEST_F(StoreLinkTest, ClosingMovesOnlyAChangedScriptToTheEnd) {
    p.AttachApplication();
    link.StoreScript("a", "VBScript", "one\r\n");
    link.StoreScript("b", "VBScript", "two\r\n");
    view.box_text = "a";
    view.lines = {"one"};
    p.FormClose();  // unchanged: order stays
    EXPECT_THAT(Names(), ::testing::ElementsAre("", "a", "b"));
    view.lines = {"one", "more"};
    p.FormClose();
    EXPECT_THAT(Names(), ::testing::ElementsAre("", "b", "a"));
    EXPECT_EQ(link.FindScript("a")->text, "one\r\nmore\r\n");
    view.box_text = "new";
    p.FormClose();  // a name never stored is added
    EXPECT_THAT(Names(), ::testing::ElementsAre("", "b", "a", "new"));
}

TEST_F(StoreLinkTest, ReopeningSelectsTheDefaultScriptInItsLanguage) {
    p.AttachApplication();
    view.box_text = "Report";
    view.lines = {"var x = 1;"};
    view.highlighter = "JavaScriptHighlighter";
    p.SavedScriptsEnter();
    p.HandleKey(Key(vk::kReturn));  // stores Report and the state
    EXPECT_TRUE(view.messages.empty());

    testing::FakeView again;
    again.caption = std::string(LanguageCaption(Language::VBScript));
    WorkbenchPresenter q{again};
    ScriptStoreLink second{[this] { return folder / ""; }, q};
    q.SetStore(&second);
    q.AttachApplication();
    EXPECT_THAT(again.list, ::testing::ElementsAre("Report"));
    EXPECT_EQ(again.box_text, "Report");
    EXPECT_EQ(again.lines, std::vector<std::string>{"var x = 1;"});
    EXPECT_EQ(q.CurrentLanguage(), "JavaScript");
    EXPECT_TRUE(again.caption.ends_with(SavedNotice()));
}

TEST_F(StoreLinkTest, UnreadableStoreIsReportedAndTheWindowStillCloses) {
    std::ofstream(folder / "zpconfig.cfg") << "<Scripts><Script";
    EXPECT_THROW(p.AttachApplication(), std::exception);
    p.FormClose();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(File(), "<Scripts><Script");  // never overwritten
}

}  // namespace
}  // namespace zeph::workbench
