#include "workbench/store_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "support/file_faults.h"
#include "text/cp1251.h"
#include "workbench/fake_view.h"
#include "workbench/presenter.h"

namespace zeph::workbench {
namespace {

namespace fs = std::filesystem;
using text::operator""_cp;

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

// The settings dialog saves through a store of its own while the window's action waits for it:
// the window must not hold the store's lock across the dialog.
TEST_F(StoreLinkTest, TheSettingsDialogSavesWhileTheWindowWaitsForIt) {
    p.AttachApplication();
    struct SavingDialog : ISettingsDialog {
        fs::path folder;
        bool Run(const std::string&) override {
            store::ScriptStore own([this] { return folder / ""; });
            own.SetLockWait(0);
            auto doc = own.LoadStore();
            doc->DocumentElement()->SetAttr("Saved", "1");
            own.SaveStore(*doc);
            return true;
        }
    } dialog;
    dialog.folder = folder;
    p.SetSettingsDialog(&dialog);
    p.Execute(ActionId::SetupZephra);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_NE(File().find("Saved=\"1\""), std::string::npos);
}

TEST_F(StoreLinkTest, ClosingWithoutAStoreWritesNothing) {
    p.FormClose();
    EXPECT_FALSE(fs::exists(folder / "zpconfig.cfg"));
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(StoreLinkTest, OpeningCreatesTheStoreAndClosingKeepsTheWork) {
    p.AttachApplication();  // creates the default file
    ASSERT_TRUE(fs::exists(folder / "zpconfig.cfg"));
    // ...and nothing else: the editor keeps its own font and the window its place until the
    // next opening applies the file (it used to apply the new file's looks at once).
    EXPECT_EQ(view.font_size, 10);
    EXPECT_EQ(view.bounds, (store::WindowBounds{10, 20, 300, 200}));
    EXPECT_EQ(view.lines, std::vector<std::string>{"option explicit"});
    view.lines = {"MsgBox 1"};
    p.FormClose();  // the scratch script changed: its record moves to the end
    EXPECT_THAT(Names(), ::testing::ElementsAre(""));
    auto scratch = link.FindScript("");
    ASSERT_TRUE(scratch);
    EXPECT_EQ(scratch->text, "MsgBox 1\r\n");
    EXPECT_THAT(File(), ::testing::HasSubstr("LastText=\"MsgBox 1"));
}

TEST_F(StoreLinkTest, TextOfAWindowGoneUnaskedComesBackAtTheNextOpening) {
    p.AttachApplication();
    p.RescueUnstoredText();  // nothing typed: the store holds it all
    EXPECT_FALSE(fs::exists(folder / "zpconfig.rescue"));
    view.box_text = "Report";
    view.lines = {"MsgBox \"a & b\"", "x = 1"};
    view.highlighter = "JavaScriptHighlighter";
    p.RescueUnstoredText();
    ASSERT_TRUE(fs::exists(folder / "zpconfig.rescue"));

    testing::FakeView again;
    again.answer = MessageResult::Yes;
    WorkbenchPresenter q{again};
    ScriptStoreLink second{[this] { return folder / ""; }, q};
    q.SetStore(&second);
    q.AttachApplication();
    ASSERT_EQ(again.messages.size(), 1u);
    EXPECT_EQ(again.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(again.box_text, "Report");
    EXPECT_EQ(again.lines, (std::vector<std::string>{"MsgBox \"a & b\"", "x = 1"}));
    EXPECT_EQ(q.CurrentLanguage(), "JavaScript");
    EXPECT_FALSE(fs::exists(folder / "zpconfig.rescue"));  // offered once
}

// A run that never ends leaves the host to be killed: the unsaved text must be on disk while
// it runs, and gone from there once the run is over.
TEST_F(StoreLinkTest, UnsavedTextWaitsInTheRescueFileWhileItRuns) {
    struct Host : IWorkbenchHost {
        fs::path folder;
        std::string DataFolder() override { return folder.string() + "/"; }
        fs::path DataFolderPath() override { return folder / ""; }
        int SelectedCount() override { return 0; }
        std::string SelectedId(int) override { return {}; }
    } host;
    host.folder = folder;
    struct Engines : IScriptEngineFactory {
        fs::path rescue;
        std::vector<bool> rescued_while_running;
        struct Engine : IScriptEngine {
            Engines& f;
            explicit Engine(Engines& owner) : f(owner) {}
            void SetLanguage(std::string_view) override {}
            void AddApplication() override {}
            void SetSiteWindow() override {}
            std::optional<ScriptError> AddCode(std::string_view) override {
                f.rescued_while_running.push_back(fs::exists(f.rescue));
                return std::nullopt;
            }
        };
        std::optional<ScriptError> CheckSyntax(std::string_view, std::string_view) override {
            return std::nullopt;
        }
        std::unique_ptr<IScriptEngine> CreateEngine() override {
            return std::make_unique<Engine>(*this);
        }
        void LoadDescription(const fs::path&) override {}
        std::string ConstantPrelude(std::string_view, std::string_view) override { return {}; }
    } engines;
    engines.rescue = folder / "zpconfig.rescue";
    p.SetHost(&host);
    p.SetEngines(&engines);
    p.AttachApplication();

    p.ExeButtonClick();  // the text is the stored one: nothing to keep
    view.lines = {"Do", "Loop"};
    p.ExeButtonClick();
    EXPECT_THAT(engines.rescued_while_running, ::testing::ElementsAre(false, true));
    EXPECT_FALSE(fs::exists(engines.rescue));
    EXPECT_TRUE(view.messages.empty());
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

TEST_F(StoreLinkTest, UnreadableStoreAsksBeforeClosingWithoutSaving) {
    std::ofstream(folder / "zpconfig.cfg") << "<Scripts><Script";
    EXPECT_THROW(p.AttachApplication(), std::exception);
    view.answer = MessageResult::No;
    EXPECT_FALSE(p.FormClose());  // the window and its text stay
    view.answer = MessageResult::Yes;
    EXPECT_TRUE(p.FormClose());
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::YesNoDefaultNo);
    EXPECT_EQ(File(), "<Scripts><Script");  // never overwritten
}

// A store that was missing and came back from its backup is told once, when the window opens.
TEST_F(StoreLinkTest, AStorePutBackFromTheBackupIsToldOnce) {
    p.AttachApplication();
    link.StoreScript("Kept", "VBScript", "k");
    fs::remove(folder / "zpconfig.cfg");
    p.AttachApplication();
    p.AttachApplication();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::Ok);
    EXPECT_THAT(view.messages[0].text, ::testing::HasSubstr("zpconfig.cfg.bak"));
    EXPECT_TRUE(fs::exists(folder / "zpconfig.cfg"));
}

// Enter saves the store up to three times; the backup must still hold the text it overwrote.
TEST_F(StoreLinkTest, EnterOverAScriptKeepsItsPreviousTextInTheBackup) {
    p.AttachApplication();
    view.box_text = "Report";
    view.lines = {"first"};
    p.SavedScriptsEnter();
    p.HandleKey(Key(vk::kReturn));
    view.lines = {"second"};
    p.HandleKey(Key(vk::kReturn));
    EXPECT_TRUE(view.messages.empty());
    std::ifstream in(folder / "zpconfig.cfg.bak", std::ios::binary);
    std::stringstream backup;
    backup << in.rdbuf();
    EXPECT_THAT(backup.str(), ::testing::HasSubstr("Language=\"VBScript\" Text=\"first"));
    EXPECT_THAT(File(), ::testing::HasSubstr("Language=\"VBScript\" Text=\"second"));
}

// Each user action that saves reaches the disk once, however many saves it makes: the store
// is written and flushed at the action's end, and the backup is the store from before it.
// The window over a store in a folder of its own whose file system the test watches or breaks.
class StoreLinkWrites : public ::testing::Test {
  protected:
    StoreLinkWrites() {
        fs::remove_all(folder);
        fs::create_directories(folder);
        view.caption = std::string(LanguageCaption(Language::VBScript));
        p.SetStore(&link);
        p.AttachApplication();
    }
    ~StoreLinkWrites() override { fs::remove_all(folder); }

    // What each step of the store's files runs first; it may count the step or fail it.
    std::function<void(xml::FileStep, const fs::path&)> hook = [](xml::FileStep, const fs::path&) {
    };
    const fs::path folder = fs::temp_directory_path() / "zeph_wb_StoreLinkWrites";
    xml::FaultInjectingFileSystem files{
        [this](xml::FileStep step, const fs::path& path) { hook(step, path); }};
    testing::FakeView view;
    WorkbenchPresenter p{view};
    ScriptStoreLink link{[this] { return folder / ""; }, p, files};
};

TEST_F(StoreLinkWrites, EachActionWritesTheStoreOnce) {
    int flushes = 0, replaces = 0;
    hook = [&](xml::FileStep step, const fs::path& path) {
        // The store's own flushes: the history of replaced texts is a file of its own.
        if (step == xml::FileStep::Flush && path.filename() != "zpconfig.history.tmp") ++flushes;
        if (step == xml::FileStep::Replace && path.filename() == "zpconfig.cfg") ++replaces;
    };
    view.answer = MessageResult::Yes;
    link.StoreScript("Kept", "VBScript", "k\r\n");
    link.StoreScript("Gone", "VBScript", "g\r\n");

    struct Case {
        const char* what;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"Enter over a new name",
         [&] {
             view.box_text = "Report";
             view.lines = {"first"};
             p.SavedScriptsEnter();
             p.HandleKey(Key(vk::kReturn));
         }},
        {"Enter again with another text",
         [&] {
             view.lines = {"second"};
             p.HandleKey(Key(vk::kReturn));
         }},
        {"a new script", [&] { p.Execute(ActionId::New); }},
        {"switching the language", [&] { p.Execute(ActionId::SetJavaScript); }},
        {"removing a script",
         [&] {
             view.box_text = "Gone";
             p.SavedScriptsEnter();
             p.Execute(ActionId::Remove);
         }},
        {"closing with a changed text",
         [&] {
             view.lines = {"closing"};
             EXPECT_TRUE(p.FormClose());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Read and closed before the action: on Windows an open file cannot be replaced.
        const std::string before = [&] {
            std::ifstream in(folder / "zpconfig.cfg", std::ios::binary);
            return std::string{std::istreambuf_iterator<char>(in), {}};
        }();
        flushes = replaces = 0;
        c.act();
        EXPECT_EQ(flushes, 1);
        EXPECT_EQ(replaces, 1);
        std::ifstream backup(folder / "zpconfig.cfg.bak", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(backup), {}), before);
    }
    EXPECT_TRUE(view.messages.size() <= 1u);  // the question before removing, nothing else
}

// A write that fails at an action's commit point: the error is shown as a failed save, and the
// user's text is still in the editor, not replaced by what the action would have shown next.
TEST_F(StoreLinkWrites, AFailedWriteLeavesTheUsersTextInTheEditor) {
    bool full = false;
    hook = [&](xml::FileStep step, const fs::path& path) {
        if (full && step == xml::FileStep::Flush && path.filename() == "zpconfig.cfg.tmp")
            throw xml::XmlError(std::string(u8"нет места на диске"_cp));
    };
    link.StoreScript("A", "VBScript", "a\r\n");
    link.StoreScript("B", "VBScript", "b\r\n");
    view.list = {"A", "B"};

    struct Case {
        const char* what;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"a new script", [&] { p.Execute(ActionId::New); }},
        {"picking another script",
         [&] {
             view.box_text = "B";
             p.SavedScriptsSelect();
         }},
        {"Enter", [&] { p.HandleKey(Key(vk::kReturn)); }},
        {"switching the language", [&] { p.Execute(ActionId::SetJavaScript); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view.box_text = "A";
        p.OpenScript("A");
        p.SavedScriptsEnter();
        view.lines = {"edited"};
        view.messages.clear();
        view.caption = std::string(LanguageCaption(Language::VBScript));  // no notice yet
        full = true;
        c.act();
        full = false;
        EXPECT_EQ(view.lines, std::vector<std::string>{"edited"});
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_THAT(view.messages[0].text,
                    ::testing::HasSubstr(std::string(u8"файл остался прежним"_cp)));
        EXPECT_FALSE(view.caption.ends_with(SavedNotice()));
        EXPECT_EQ(link.FindScript("A")->text, "a\r\n");
    }
}

// A damaged store beside a good backup: the error, the question, and on yes the backup.
TEST_F(StoreLinkTest, ADamagedStoreIsOfferedBackFromTheBackup) {
    p.AttachApplication();
    link.StoreScript("Kept", "VBScript", "k");
    link.StoreScript("Later", "VBScript", "l");
    std::ofstream(folder / "zpconfig.cfg", std::ios::trunc) << "<Scripts><Scr";
    view.answer = MessageResult::Yes;
    p.AttachApplication();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_THAT(view.list, ::testing::ElementsAre("Kept"));
    EXPECT_TRUE(fs::exists(folder / "zpconfig.cfg.damaged"));
}

// The saved-script list against a real store file.
class SavedScriptsTest : public StoreLinkTest {
  protected:
    void SetUp() override {
        p.AttachApplication();
        for (const char* n : {"A", "B", "C"})
            link.StoreScript(n, "VBScript", std::string(n) + "\r\n");
        link.ApplyStore();
        view.list = {"A", "B", "C"};
    }
    void Pick(const std::string& name) {
        view.box_text = name;
        p.SavedScriptsSelect();
    }
};

TEST_F(SavedScriptsTest, PickingStoresAnEditedScriptFirst) {
    p.OpenScript("A");
    p.SavedScriptsDropDown();
    EXPECT_FALSE(view.hint_shown);
    Pick("A");
    EXPECT_TRUE(view.hint_shown);
    EXPECT_EQ(view.lines, std::vector<std::string>{"A"});
    EXPECT_EQ(p.ActiveScriptName(), "A");

    view.lines = {"A edited"};
    p.TimerTimer();
    Pick("B");
    EXPECT_EQ(link.FindScript("A")->text, "A edited\r\n");
    EXPECT_EQ(view.lines, std::vector<std::string>{"B"});
    EXPECT_TRUE(view.caption.ends_with(SavedNotice()));
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(SavedScriptsTest, PickingFromAnUnnamedTextKeepsItInTheScratchScript) {
    view.lines = {"scratch work"};
    Pick("C");
    EXPECT_EQ(link.FindScript("")->text, "scratch work\r\n");
    EXPECT_EQ(view.lines, std::vector<std::string>{"C"});
    EXPECT_EQ(p.ActiveScriptName(), "C");
}

TEST_F(SavedScriptsTest, PickingAfterATypedNameNeverOverwritesThePickedScript) {
    view.box_text = "Typed";
    p.SavedScriptsEnter();
    view.lines = {"typed work"};
    Pick("B");
    EXPECT_EQ(link.FindScript("B")->text, "B\r\n");
    EXPECT_EQ(link.FindScript("")->text, "typed work\r\n");
    EXPECT_EQ(view.lines, std::vector<std::string>{"B"});
}

TEST_F(SavedScriptsTest, PickingAfterSavingUnderANewNameLeavesTheOldRecordAlone) {
    p.OpenScript("A");
    p.SavedScriptsEnter();  // A current when the box got the focus
    view.box_text = "D";    // typed without leaving the box
    view.lines = {"D text"};
    p.HandleKey(Key(vk::kReturn));
    view.list = {"A", "B", "C", "D"};
    Pick("B");  // a pick by the arrow keys, with no drop-down first
    EXPECT_EQ(link.FindScript("A")->text, "A\r\n");
    EXPECT_EQ(link.FindScript("D")->text, "D text\r\n");
    EXPECT_EQ(view.lines, std::vector<std::string>{"B"});
}

TEST_F(SavedScriptsTest, RemovingAsksAndChoosesTheNextEntry) {
    view.answer = MessageResult::No;
    view.box_text = "B";
    p.Execute(ActionId::Remove);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, std::string(u8"Удаление записи \"B\"\n\rВы уверены?"_cp));
    EXPECT_EQ(view.messages[0].caption, u8"Подверждение..."_cp);
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(link.FindScript("B"));  // No changes nothing

    view.answer = MessageResult::Yes;
    p.SavedScriptsEnter();  // B active
    p.Execute(ActionId::Remove);
    EXPECT_FALSE(link.FindScript("B"));
    EXPECT_EQ(view.box_text, "C");  // the last entry
    EXPECT_EQ(p.ActiveScriptName(), "C");

    view.box_text = "A";  // only C is left, and it is active: nothing to choose
    p.Execute(ActionId::Remove);
    EXPECT_EQ(view.box_text, "A");
    EXPECT_EQ(view.list, std::vector<std::string>{"C"});
}

TEST_F(SavedScriptsTest, RemovingBeforeTheActiveLastEntryChoosesTheOneBeforeIt) {
    view.answer = MessageResult::Yes;
    view.box_text = "C";
    p.SavedScriptsEnter();  // C active
    view.box_text = "A";
    p.Execute(ActionId::Remove);
    EXPECT_EQ(view.box_text, "B");
    EXPECT_EQ(view.lines, std::vector<std::string>{"B"});  // opened by the store
}

TEST_F(SavedScriptsTest, RemovingLoadsTheStoreBeforeAskingOrChangingTheList) {
    // Damaged, with no backup to offer instead.
    fs::remove(folder / "zpconfig.cfg.bak");
    fs::remove(folder / "zpconfig.cfg.tmp");
    std::ofstream(folder / "zpconfig.cfg", std::ios::trunc) << "<Scripts><Script";
    view.answer = MessageResult::Yes;
    view.box_text = "B";
    p.Execute(ActionId::Remove);
    ASSERT_EQ(view.messages.size(), 1u);  // the error, no confirmation
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(view.list, (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(SavedScriptsTest, RemovingNeedsAListedName) {
    view.box_text = "a";  // names compare case-sensitively
    p.Execute(ActionId::Remove);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, u8"Выделите в списке сохранений удаляемый объект"_cp);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(link.FindScript("A"));
}

}  // namespace
}  // namespace zeph::workbench
