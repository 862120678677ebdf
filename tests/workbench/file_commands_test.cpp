// Script files and versions from the window: the keys, what happens to the text shown when a
// file or a version comes into the editor, and what the user is told.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "editor/key_strokes.h"
#include "support/file_bytes.h"
#include "support/file_faults.h"
#include "text/cp1251.h"
#include "workbench/fake_view.h"
#include "workbench/presenter.h"
#include "workbench/store_link.h"

namespace zeph::workbench {
namespace {

namespace fs = std::filesystem;
using support::ReadBytes;
using support::WriteBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using text::operator""_cp;

class FileCommandsTest : public ::testing::Test {
  protected:
    FileCommandsTest() {
        folder = fs::temp_directory_path() /
                 ("zeph_files_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        view.caption = std::string(LanguageCaption(Language::VBScript));
        p.SetStore(&link);
        p.SetScriptFiles(&files);
        link.Store().SetClock([this] { return ++now; });
        p.AttachApplication();
    }
    ~FileCommandsTest() override { fs::remove_all(folder); }

    std::string Text() { return view.EditorText(); }
    std::vector<std::string> Versions(const std::string& name) {
        std::vector<std::string> texts;
        for (const store::ScriptVersion& v : link.History(name)) texts.push_back(v.text);
        return texts;
    }

    fs::path folder;
    std::int64_t now = 0;
    xml::FaultInjectingFileSystem files;
    testing::FakeView view;
    WorkbenchPresenter p{view};
    ScriptStoreLink link{[this] { return folder / ""; }, p};
};

TEST(FileCommandKeys, AreFreeInTheActionListAndTheEditorsTable) {
    const std::vector<std::pair<KeyStroke, std::optional<FileCommand>>> keys = {
        {{'O', kCtrl | kShift}, FileCommand::OpenFile},
        {{'S', kCtrl | kShift}, FileCommand::SaveFile},
        {{'H', kCtrl | kShift}, FileCommand::History},
        {Ctrl('O'), std::nullopt},  // the settings
        {Ctrl('S'), std::nullopt},  // storing the script
        {Ctrl('H'), std::nullopt},  // replacing
        {{'O', kCtrl | kShift | kAlt}, std::nullopt},
    };
    for (const auto& [key, command] : keys) {
        EXPECT_EQ(WorkbenchPresenter::FileCommandForKey(key), command) << KeyStrokeText(key);
        if (!command) continue;
        EXPECT_EQ(WorkbenchPresenter::ActionForKey(key), std::nullopt) << KeyStrokeText(key);
        EXPECT_EQ(editor::CommandForKey(key.key, key.modifiers), editor::cmNone)
            << KeyStrokeText(key);
    }
}

// Ctrl+N used to drop a long unnamed text for good: now its versions hold it, and restoring it
// keeps what the editor showed instead.
TEST_F(FileCommandsTest, ANewScriptNoLongerLosesTheUnnamedText) {
    std::string pasted;
    for (int i = 0; i < 2000; ++i) pasted += "x = " + std::to_string(i) + "\r\n";
    view.ReplaceEditorText(pasted);
    p.Execute(ActionId::New);
    ASSERT_EQ(Text(), "option explicit\r\n\r\n");
    view.lines = {"typed after"};

    view.version_answer = 0;
    p.RunFileCommand(FileCommand::History);
    ASSERT_EQ(view.versions_shown.size(), 1u);
    EXPECT_EQ(view.versions_shown[0].text, pasted);
    EXPECT_THAT(view.dialogs,
                ElementsAre(std::string(u8"versions История версий: текст без имени"_cp)));
    EXPECT_EQ(Text(), pasted);
    EXPECT_EQ(link.FindScript("")->text, pasted);
    // Both the text shown and the one stored before it can be brought back in turn.
    EXPECT_THAT(Versions(""), ElementsAre("typed after\r\n", "option explicit\r\n\r\n", pasted));
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(FileCommandsTest, RestoringAVersionOfANamedScriptSavesItUnderItsNameAndLanguage) {
    view.box_text = "Report";
    view.lines = {"var first;"};
    p.SetJavaScriptMenuItemClick();
    p.EnterActionExecute();
    view.lines = {"second"};
    p.SetVBScriptMenuItemClick();  // the JavaScript text is replaced
    p.EnterActionExecute();

    view.version_answer = std::nullopt;  // closed without restoring
    p.RunFileCommand(FileCommand::History);
    EXPECT_EQ(Text(), "second\r\n");

    view.version_answer = 0;
    p.RunFileCommand(FileCommand::History);
    EXPECT_EQ(Text(), "var first;\r\n");
    EXPECT_EQ(view.highlighter, "JavaScriptHighlighter");
    EXPECT_EQ(link.FindScript("Report")->language, "JavaScript");
    EXPECT_EQ(view.box_text, "Report");
    EXPECT_THAT(view.list, ElementsAre("Report"));

    view.box_text = "Never saved";
    view.messages.clear();
    p.RunFileCommand(FileCommand::History);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Information);
}

TEST_F(FileCommandsTest, OpeningAFileKeepsTheTextShownAndTellsWhatTheCodePageLacks) {
    struct Case {
        const char* file;
        std::string bytes;
        std::string editor;  // the text afterwards
        const char* highlighter;
        std::size_t messages;
    };
    const std::vector<Case> cases = {
        {"a.js", "var a;\r\n", "var a;\r\n", "JavaScriptHighlighter", 0},
        {"b.VBS",
         "\xEF\xBB\xBF"
         "a = \"\xD0\x96\"\n",
         "a = \"\xC6\"\r\n", "VBScriptHighlighter", 0},
        {"c.js",
         "\xEF\xBB\xBF"
         "ok\n\xE2\x9C\x93\n",
         "ok\r\n?\r\n", "JavaScriptHighlighter", 1},
        // A name without a known extension keeps the language shown.
        {"d.txt", "plain", "plain\r\n", "JavaScriptHighlighter", 0},
        // What is no text, or no file, changes nothing and is reported.
        {"e.js", std::string("MZ\0\0", 4), "plain\r\n", "JavaScriptHighlighter", 1},
        {"missing.vbs", "", "plain\r\n", "JavaScriptHighlighter", 1},
    };
    view.lines = {"shown before"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path path = folder / c.file;
        if (std::string_view(c.file) != "missing.vbs") WriteBytes(path, c.bytes);
        view.messages.clear();
        view.file_answer = path;
        p.RunFileCommand(FileCommand::OpenFile);
        EXPECT_EQ(Text(), c.editor);
        EXPECT_EQ(view.highlighter, c.highlighter);
        EXPECT_EQ(view.box_text, "");
        ASSERT_EQ(view.messages.size(), c.messages);
        if (c.messages) {
            EXPECT_THAT(view.messages[0].text, HasSubstr(c.file));
        }
    }
    // The text shown before the first file is the unnamed text's oldest version.
    EXPECT_EQ(Versions("").back(), "shown before\r\n");
    EXPECT_EQ(link.FindScript("")->text, "plain\r\n");
    EXPECT_EQ(ReadBytes(folder / "a.js"), "var a;\r\n");  // files are only read
}

TEST_F(FileCommandsTest, SavingAFileWritesTheTextOrReportsWhyNot) {
    view.box_text = std::string(u8"Отчет: июль?"_cp);
    view.lines = {"' " + std::string(u8"Итог"_cp), "x = 1"};
    const fs::path path = folder / "out.vbs";
    view.file_answer = path;
    p.RunFileCommand(FileCommand::SaveFile);
    EXPECT_THAT(view.dialogs, ElementsAre(std::string(u8"save 2 vbs Отчет_ июль_"_cp)));
    EXPECT_EQ(ReadBytes(path), Text());

    p.SetJavaScriptMenuItemClick();
    view.lines = {"changed"};
    xml::ScopedFaults faults(files, [](xml::FileStep step, const fs::path&) {
        if (step == xml::FileStep::Replace) throw xml::XmlError("disk full");
    });
    p.RunFileCommand(FileCommand::SaveFile);
    EXPECT_EQ(view.dialogs.back(), std::string(u8"save 3 js Отчет_ июль_"_cp));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
    EXPECT_THAT(view.messages[0].text, HasSubstr("disk full"));
    EXPECT_NE(ReadBytes(path), Text());  // the old file stays

    view.file_answer = std::nullopt;  // cancelled
    p.RunFileCommand(FileCommand::SaveFile);
    EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(FileCommandsTest, DroppingSeveralFilesOpensTheFirst) {
    WriteBytes(folder / "one.js", "one");
    WriteBytes(folder / "two.vbs", "two");
    p.OpenDroppedFiles({folder / "one.js", folder / "two.vbs"});
    EXPECT_EQ(Text(), "one\r\n");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Information);
    EXPECT_TRUE(view.dialogs.empty());
}

}  // namespace
}  // namespace zeph::workbench
