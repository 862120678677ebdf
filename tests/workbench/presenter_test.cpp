#include "workbench/presenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "editor/key_strokes.h"
#include "text/cp1251.h"
#include "workbench/fake_view.h"

namespace zeph::workbench {
namespace {

using testing::FakeView;
using text::operator""_cp;

struct FakeStore : IWorkbenchStore {
    std::vector<std::string> calls;
    std::vector<std::string> stored_languages;
    bool fail = false;
    void Maybe() {
        if (fail) throw std::runtime_error(u8"Не удалось открыть файл"_cp.data());
    }
    void ApplyStore() override {
        calls.push_back("ApplyStore");
        Maybe();
    }
    void SaveWorkbenchState() override {
        calls.push_back("SaveWorkbenchState");
        Maybe();
    }
    void StoreScript(const std::string& name, std::string_view language,
                     const std::string& text) override {
        calls.push_back("StoreScript(" + name + "," + std::string(language) + ")");
        stored_languages.emplace_back(language);
        Maybe();
    }
    void RemoveScript(const std::string& name) override {
        calls.push_back("RemoveScript(" + name + ")");
        Maybe();
    }
    std::optional<StoredScript> FindScript(const std::string& name) override {
        calls.push_back("FindScript(" + name + ")");
        Maybe();
        if (name == "js") return StoredScript{"JavaScript", "alert(1)\r\n"};
        return std::nullopt;
    }
    void SaveOnClose(const std::string& name, std::string_view language,
                     const std::string&) override {
        calls.push_back("SaveOnClose(" + name + "," + std::string(language) + ")");
        Maybe();
    }
};

struct FakeHost : IWorkbenchHost {
    std::string folder = "C:\\Data Folder\\";
    std::vector<std::string> ids;
    int count_calls = 0;
    bool fail_ids = false;
    std::string DataFolder() override { return folder; }
    std::filesystem::path DataFolderPath() override { return folder; }
    int SelectedCount() override {
        ++count_calls;
        return static_cast<int>(ids.size());
    }
    std::string SelectedId(int i) override {
        if (fail_ids) throw std::runtime_error("host failed");
        return ids.at(i);
    }
};

struct FakeShell : ISystemShell {
    bool exists = true;
    std::vector<std::string> files;  // with `exists` false: the files there are
    std::vector<std::string> module_folders;
    std::vector<std::string> started;
    bool FileExists(const std::string& path) override {
        return exists || std::find(files.begin(), files.end(), path) != files.end();
    }
    void StartProgram(const std::string& c) override { started.push_back(c); }
    std::vector<std::string> ModuleFolders() override { return module_folders; }
};

class PresenterTest : public ::testing::Test {
  protected:
    PresenterTest() {
        view.caption = std::string(LanguageCaption(Language::VBScript));
        p.SetStore(&store);
        p.SetHost(&host);
        p.SetShell(&shell);
    }
    FakeView view;
    FakeStore store;
    FakeHost host;
    FakeShell shell;
    WorkbenchPresenter p{view};
};

// --- action list ----------------------------------------------------------------------------

TEST(KeyStrokes, TextRoundTripsAndIgnoresCase) {
    EXPECT_EQ(ParseKeyStroke("CTRL+Enter"), Ctrl(vk::kReturn));
    EXPECT_EQ(ParseKeyStroke("shift+ctrl+l"), (KeyStroke{'L', kCtrl | kShift}));
    EXPECT_EQ(ParseKeyStroke("F12"), F(12));
    EXPECT_EQ(ParseKeyStroke("Ctrl++"), std::nullopt);  // no such key name
    EXPECT_EQ(ParseKeyStroke("Hyper+A"), std::nullopt);
    EXPECT_EQ(ParseKeyStroke("F25"), std::nullopt);
    EXPECT_EQ(ParseKeyStroke(""), std::nullopt);
    for (KeyStroke k : {F(1), Ctrl('Q'), KeyStroke{vk::kEscape}, KeyStroke{'0', kAlt | kShift}})
        EXPECT_EQ(ParseKeyStroke(KeyStrokeText(k)), k) << KeyStrokeText(k);
}

// --- key dispatch -------------------------------------------------------------------------

TEST_F(PresenterTest, FirstActionInListOrderTakesTheKey) {
    EXPECT_EQ(p.ActionTakingKey(F(5)), ActionId::Run);
    EXPECT_EQ(p.ActionTakingKey(Ctrl(vk::kReturn)), ActionId::Run);
    EXPECT_EQ(p.ActionTakingKey(Ctrl('L')), ActionId::ReselectLanguage);
    EXPECT_EQ(p.ActionTakingKey(KeyStroke{'L', kCtrl | kShift}), ActionId::OpenMenuLanguage);
    EXPECT_EQ(p.ActionTakingKey(Ctrl(vk::kF1)), ActionId::AddObjectSelectID);
    EXPECT_EQ(p.ActionTakingKey(F(1)), ActionId::Help);
    EXPECT_EQ(p.ActionTakingKey(Ctrl('S')), ActionId::SaveScriptToXML);
    // Keys no action carries, or carried with other modifiers, go on to the control.
    EXPECT_EQ(p.ActionTakingKey(Key('N')), std::nullopt);
    EXPECT_EQ(p.ActionTakingKey(Key(vk::kF1 + 4, kAlt)), std::nullopt);
    EXPECT_EQ(p.ActionTakingKey(Ctrl(vk::kSpace)), std::nullopt);  // the completion pop-up's
}

TEST_F(PresenterTest, EscMovesToTheEditorAndNeverCloses) {
    view.focus = "box";
    EXPECT_TRUE(p.HandleKey(Key(vk::kEscape)));
    EXPECT_EQ(view.focus, "editor");
    EXPECT_EQ(view.close_requests, 0);
    EXPECT_TRUE(p.HandleKey(Ctrl('Q')));
    EXPECT_EQ(view.close_requests, 1);
}

TEST_F(PresenterTest, DisabledFirstActionPassesTheKeyOn) {
    // Esc belongs first to the focus move; with it disabled the key goes to the control,
    // not on to the close action that carries Esc as its second key.
    p.SetEnabled(ActionId::MoveOnScriptText, false);
    EXPECT_FALSE(p.HandleKey(Key(vk::kEscape)));
    EXPECT_EQ(view.close_requests, 0);
    p.SetEnabled(ActionId::Run, false);
    EXPECT_FALSE(p.HandleKey(Ctrl(vk::kReturn)));
}

TEST_F(PresenterTest, EnterSavesOnlyWhileTheBoxHasTheFocus) {
    EXPECT_FALSE(p.HandleKey(Key(vk::kReturn)));  // a line break in the editor
    EXPECT_TRUE(store.calls.empty());

    view.box_text = "Report";
    p.SavedScriptsEnter();
    EXPECT_EQ(p.ActiveScriptName(), "Report");
    view.caret = {3, 7};
    EXPECT_TRUE(p.HandleKey(Key(vk::kReturn)));
    EXPECT_THAT(store.calls, ::testing::ElementsAre("StoreScript(Report,VBScript)",
                                                    "SaveWorkbenchState", "ApplyStore"));
    EXPECT_EQ(view.caret, (CaretPos{3, 7}));
    EXPECT_TRUE(view.caption.ends_with(SavedNotice()));

    p.SavedScriptsExit();
    store.calls.clear();
    EXPECT_FALSE(p.HandleKey(Key(vk::kReturn)));
    EXPECT_TRUE(store.calls.empty());
    EXPECT_TRUE(p.HandleKey(Ctrl('S')));  // Ctrl+S saves from anywhere
    EXPECT_EQ(store.calls.size(), 3u);
}

TEST_F(PresenterTest, FocusMovesAndLanguageMenu) {
    EXPECT_TRUE(p.HandleKey(F(4)));
    EXPECT_EQ(view.focus, "box");
    EXPECT_TRUE(view.dropped_down);
    EXPECT_TRUE(p.HandleKey(KeyStroke{'L', kCtrl | kShift}));
    EXPECT_EQ(view.menu_popups, 1);
    EXPECT_EQ(view.highlighter, "VBScriptHighlighter");  // the menu only opens
}

// --- caption notice -----------------------------------------------------------------------

TEST_F(PresenterTest, CaptionNoticeShowsOnceForABurstOfSaves) {
    const std::string plain = view.caption;
    p.MarkCaptionSaved();
    p.MarkCaptionSaved();
    EXPECT_EQ(view.caption, plain + std::string(SavedNotice()));
    EXPECT_EQ(view.timer_starts, 1);  // a running timer is not restarted
    p.TimerTimer();
    EXPECT_EQ(view.caption, plain);
    EXPECT_FALSE(view.timer_on);
    EXPECT_FALSE(p.TimerRunning());
    p.MarkCaptionSaved();
    EXPECT_EQ(view.timer_starts, 2);
}

TEST_F(PresenterTest, LanguageSwitchDuringTheNoticeKeepsTheNewCaption) {
    p.MarkCaptionSaved();
    p.SetJavaScriptMenuItemClick();
    EXPECT_EQ(view.caption,
              std::string(LanguageCaption(Language::JavaScript)) + std::string(SavedNotice()));
    p.TimerTimer();
    EXPECT_EQ(view.caption, LanguageCaption(Language::JavaScript));
}

// --- language -----------------------------------------------------------------------------

TEST_F(PresenterTest, CtrlLTwiceReturnsToTheFirstLanguageAndStoresTwice) {
    view.box_text = "a";
    p.HandleKey(Ctrl('L'));
    EXPECT_EQ(p.CurrentLanguage(), "JavaScript");
    EXPECT_EQ(view.button_hint, u8"Изменить язык программирования скрипта"_cp);
    p.HandleKey(Ctrl('L'));
    EXPECT_EQ(p.CurrentLanguage(), "VBScript");
    EXPECT_THAT(store.calls,
                ::testing::ElementsAre("StoreScript(a,JavaScript)", "StoreScript(a,VBScript)"));
    EXPECT_EQ(view.caption,
              std::string(LanguageCaption(Language::VBScript)) + std::string(SavedNotice()));
}

TEST_F(PresenterTest, ChoosingTheCurrentLanguageStillStores) {
    p.Execute(ActionId::SetVBScript);
    EXPECT_THAT(store.calls, ::testing::ElementsAre("StoreScript(,VBScript)"));
    EXPECT_TRUE(p.TimerRunning());
}

TEST_F(PresenterTest, FailedStoreInASwitchKeepsTheSwitchAndReportsTheError) {
    store.fail = true;
    p.Execute(ActionId::SetJavaScript);
    EXPECT_EQ(p.CurrentLanguage(), "JavaScript");
    EXPECT_EQ(view.caption, LanguageCaption(Language::JavaScript));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, u8"Не удалось открыть файл."_cp);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::Ok);
}

// --- errors and closing -------------------------------------------------------------------

TEST(ErrorMessage, DotIsAppendedAfterCharactersSortingAfterIt) {
    EXPECT_EQ(ErrorMessageText("File not found"), "File not found.");
    EXPECT_EQ(ErrorMessageText("Code 42"), "Code 42.");
    EXPECT_EQ(ErrorMessageText("Done."), "Done.");
    EXPECT_EQ(ErrorMessageText("Why!"), "Why!");
    EXPECT_EQ(ErrorMessageText("(x)"), "(x)");     // ")" sorts before "."
    EXPECT_EQ(ErrorMessageText("a/b/"), "a/b/.");  // "/" sorts after "."
    EXPECT_EQ(ErrorMessageText(u8"Ошибка"_cp), std::string(u8"Ошибка."_cp));  // high bytes
    EXPECT_EQ(ErrorMessageText(""), "");
}

TEST_F(PresenterTest, ClosingStoresAndSurvivesAFailedStore) {
    p.CloseMainModelessDialogExecute();
    EXPECT_EQ(view.close_requests, 1);
    p.FormClose();
    EXPECT_THAT(store.calls, ::testing::ElementsAre("SaveOnClose(,VBScript)"));
    store.fail = true;
    view.answer = MessageResult::No;  // the default answer keeps the window and the text
    EXPECT_FALSE(p.FormClose());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, std::string(u8"Не удалось открыть файл.\r\n\r\n"
                                                 u8"Закрыть окно без сохранения?"_cp));
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::YesNoDefaultNo);
    view.answer = MessageResult::Yes;
    EXPECT_TRUE(p.FormClose());
}

TEST_F(PresenterTest, AttachApplicationAppliesTheStoreAndLetsErrorsThrough) {
    p.AttachApplication();
    EXPECT_THAT(store.calls, ::testing::ElementsAre("ApplyStore"));
    store.fail = true;
    EXPECT_THROW(p.AttachApplication(), std::runtime_error);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(PresenterTest, OpeningAStoredScriptTakesItsTextAndLanguage) {
    p.OpenScript("js");
    EXPECT_EQ(view.box_text, "js");
    EXPECT_EQ(view.lines, std::vector<std::string>{"alert(1)"});
    EXPECT_EQ(p.CurrentLanguage(), "JavaScript");
    EXPECT_THAT(store.calls,
                ::testing::ElementsAre("FindScript(js)", "StoreScript(js,JavaScript)"));
    EXPECT_TRUE(view.caption.ends_with(SavedNotice()));

    store.calls.clear();
    p.OpenScript("missing");  // nothing changes
    EXPECT_THAT(store.calls, ::testing::ElementsAre("FindScript(missing)"));
    EXPECT_EQ(view.lines, std::vector<std::string>{"alert(1)"});
}

// --- new script ---------------------------------------------------------------------------

TEST_F(PresenterTest, NewScriptStoresTheCurrentWorkAndStartsAfresh) {
    view.box_text = "Report";
    view.highlighter = "JavaScriptHighlighter";
    view.lines = {"x = 1"};
    view.caret = {1, 4};
    view.focus = "box";
    p.HandleKey(Ctrl('N'));
    EXPECT_THAT(store.calls,
                ::testing::ElementsAre("StoreScript(Report,JavaScript)", "StoreScript(,VBScript)"));
    EXPECT_EQ(view.box_text, "");
    EXPECT_EQ(view.EditorText(), "option explicit\r\n\r\n");
    EXPECT_EQ(view.caret, (CaretPos{2, 4}));
    EXPECT_EQ(view.focus, "editor");
    EXPECT_EQ(view.highlighter, "JavaScriptHighlighter");
    EXPECT_EQ(p.ActiveScriptName(), "");
}

// --- object IDs and help ------------------------------------------------------------------

TEST_F(PresenterTest, InsertsSelectedIdsAtTheCaret) {
    host.ids = {"15", "27"};
    view.lines = {"abc"};
    view.caret = {1, 1};
    p.HandleKey(Ctrl(vk::kF1));
    EXPECT_EQ(view.lines[0], "\"15\", \"27\"abc");
    EXPECT_EQ(view.caret, (CaretPos{1, 1}));
    EXPECT_EQ(host.count_calls, 2);

    host.ids = {"15"};
    view.lines = {"0123456789"};
    view.caret = {1, 16};  // five columns beyond the end
    p.AddObjectSelectIDActionExecute();
    EXPECT_EQ(view.lines[0], "0123456789     \"15\"");
}

TEST_F(PresenterTest, InsertionEdgeCases) {
    view.lines = {"keep"};
    p.AddObjectSelectIDActionExecute();  // nothing selected
    EXPECT_EQ(view.lines, std::vector<std::string>{"keep"});

    host.ids = {"a\"b"};  // quotes are not escaped
    view.lines.clear();   // an editor without lines gets one
    p.AddObjectSelectIDActionExecute();
    EXPECT_EQ(view.lines, std::vector<std::string>{"\"a\"b\""});

    host.ids = {"1", "2"};
    host.fail_ids = true;  // a failing host call leaves the editor alone
    view.lines = {"keep"};
    p.Execute(ActionId::AddObjectSelectID);
    EXPECT_EQ(view.lines, std::vector<std::string>{"keep"});
    EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(PresenterTest, HelpStartsTheViewerOrWarns) {
    p.HandleKey(F(1));
    EXPECT_THAT(shell.started, ::testing::ElementsAre("hh C:\\Data Folder\\Zeph_Help.chm"));
    shell.exists = false;
    p.HandleKey(F(1));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              std::string(u8"Не найден файл справки:"_cp) + "C:\\Data Folder\\Zeph_Help.chm");
    EXPECT_EQ(view.messages[0].caption, u8"Файл справки не найден"_cp);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Warning);

    // After an installation the guide lies beside the module (or one folder up); the data
    // folder's copy still comes first.
    shell.module_folders = {"C:\\Zeph\\x64\\", "C:\\Zeph\\"};
    for (const auto& [files, started] :
         {std::pair<std::vector<std::string>, std::string>{{"C:\\Zeph\\Zeph_Help.chm"},
                                                           "hh C:\\Zeph\\Zeph_Help.chm"},
          {{"C:\\Zeph\\x64\\Zeph_Help.chm", "C:\\Zeph\\Zeph_Help.chm"},
           "hh C:\\Zeph\\x64\\Zeph_Help.chm"},
          {{"C:\\Zeph\\Zeph_Help.chm", "C:\\Data Folder\\Zeph_Help.chm"},
           "hh C:\\Data Folder\\Zeph_Help.chm"}}) {
        shell.files = files;
        shell.started.clear();
        p.HandleKey(F(1));
        EXPECT_THAT(shell.started, ::testing::ElementsAre(started));
    }
    EXPECT_EQ(view.messages.size(), 1u);
}

// --- code completion ----------------------------------------------------------------------

// The pop-up asks the presenter's binding; the description comes from the host's folder at each
// request, and the binding goes with the host.
TEST_F(PresenterTest, CompletionReadsTheHostsFolderAtEachRequestWhileThereIsAHost) {
    host.folder = std::string(ZEPH_TEST_DATA) + "/completion/app/";
    editor::EditorModel editor;
    editor.SetText("Application.");
    editor.SetCaretXY(13, 1);
    editor::CompletionModel popup(editor);
    completion::FixedPitchMeasure measure;
    p.BindCompletion(editor, popup, measure);
    ASSERT_TRUE(popup.on_execute);
    editor::ProposalExecuteArgs args;
    popup.on_execute(popup, args);
    EXPECT_THAT(popup.ItemList(), ::testing::Contains(::testing::HasSubstr("ActiveMap")));

    host.folder = std::string(ZEPH_TEST_DATA) + "/missing/";
    EXPECT_THROW(popup.on_execute(popup, args), std::exception);

    p.SetHost(nullptr);
    EXPECT_FALSE(popup.on_execute);
    EXPECT_THROW(p.Description().LoadDescription(), std::logic_error);
    p.BindCompletion(editor, popup, measure);  // nothing to read from
    EXPECT_FALSE(popup.on_execute);
}

// --- running ------------------------------------------------------------------------------

struct FakeEngines : IScriptEngineFactory {
    struct Engine : IScriptEngine {
        FakeEngines& f;
        explicit Engine(FakeEngines& owner) : f(owner) { ++f.alive; }
        ~Engine() override { --f.alive; }
        std::function<void(std::string_view)> echo;
        void SetLanguage(std::string_view l) override { f.log.push_back("lang " + std::string(l)); }
        void AddApplication() override {
            if (f.fail_publish) throw std::runtime_error("publish failed");
            f.log.push_back("app");
        }
        void SetSiteWindow() override { f.log.push_back("site"); }
        void AddEcho(std::function<void(std::string_view)> e) override { echo = std::move(e); }
        bool AddStopCheckItem() override {
            if (f.checks) f.log.push_back("checks");
            return f.checks;
        }
        std::optional<ScriptError> AddCode(std::string_view code) override {
            f.log.push_back("code " + std::string(code));
            if (echo && code.find("Echo") != std::string_view::npos)
                for (const std::string& line : f.echoes) echo(line);
            if (!f.fail_on.empty() && code.find(f.fail_on) != std::string_view::npos)
                return ScriptError{"bad", f.error_line, f.error_column, f.stopped};
            return std::nullopt;
        }
    };
    std::vector<std::string> log;
    std::vector<std::string> echoes;  // what a script with "Echo" in it writes
    int alive = 0;
    std::string fail_on;  // the engine reports an error for the code that contains it
    int error_line = 3, error_column = 4;  // where the engine says the error is
    bool checks = false;                   // the engine has the stop-check item
    bool stopped = false;
    bool fail_publish = false;
    bool missing = false;
    // The code the engines were given, in order.
    std::vector<std::string> Code() const {
        std::vector<std::string> code;
        for (const std::string& entry : log)
            if (entry.rfind("code ", 0) == 0) code.push_back(entry.substr(5));
        return code;
    }
    std::unique_ptr<IScriptEngine> CreateEngine() override {
        return std::make_unique<Engine>(*this);
    }
    bool no_constants = false;
    void LoadDescription(const std::filesystem::path& path) override {
        if (missing) throw std::runtime_error("no file");
        log.push_back("load " + path.string());
    }
    std::string prelude_for;  // the script the last prelude was asked for
    std::string ConstantPrelude(std::string_view keyword, std::string_view script) override {
        prelude_for = script;
        return no_constants ? std::string() : std::string(keyword) + " A=1";
    }
    std::optional<ScriptError> syntax_error;  // what a check finds
    std::optional<ScriptError> CheckSyntax(std::string_view language,
                                           std::string_view code) override {
        log.push_back("check " + std::string(language) + " " + std::string(code));
        return syntax_error;
    }
};

TEST_F(PresenterTest, RunHandsPreludeAndTextToAFreshEngine) {
    FakeEngines engines;
    p.SetEngines(&engines);
    view.highlighter = "JavaScriptHighlighter";
    view.lines = {"x", "y"};
    view.focus = "box";
    p.HandleKey(F(5));
    EXPECT_THAT(engines.log,
                ::testing::ElementsAre("load C:\\Data Folder\\TellurTlb.xml", "lang JavaScript",
                                       "app", "site", "code var A=1", "code x\r\ny\r\n"));
    EXPECT_EQ(engines.prelude_for, "x\r\ny\r\n");  // the constants that text names
    EXPECT_EQ(engines.alive, 0);
    EXPECT_EQ(view.focus, "editor");
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(PresenterTest, ScriptErrorIsShownAndMovesTheCaret) {
    FakeEngines engines;
    engines.fail_on = "option explicit";  // the script, not the prelude
    p.SetEngines(&engines);
    p.HandleKey(Ctrl(vk::kReturn));
    ASSERT_EQ(view.messages.size(), 1u);
    // The box names the line as the output pane does.
    EXPECT_EQ(view.messages[0].text, u8"Произошла ошибка: bad (строка 3)"_cp);
    EXPECT_EQ(view.messages[0].caption, u8"Ошибка"_cp);
    EXPECT_EQ(view.caret, (CaretPos{3, 5}));

    engines.log.clear();
    engines.fail_on = "const A=1";  // the prelude fails: the script is not added
    p.HandleKey(F(5));
    EXPECT_EQ(engines.Code(), std::vector<std::string>{"const A=1"});

    engines.log.clear();
    engines.fail_on.clear();
    engines.no_constants = true;  // no prelude statement at all
    p.HandleKey(F(5));
    EXPECT_EQ(engines.Code(), std::vector<std::string>{"option explicit\r\n"});
}

TEST_F(PresenterTest, StoppedRunSaysWhereItStoppedAndKeepsTheText) {
    FakeEngines engines;
    engines.fail_on = "Loop";
    engines.stopped = true;
    p.SetEngines(&engines);
    view.lines = {"Do", "  Application.Refresh", "Loop"};
    p.HandleKey(F(5));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, u8"Выполнение скрипта остановлено на строке 3."_cp);
    EXPECT_EQ(view.messages[0].caption, u8"Скрипт остановлен"_cp);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(view.caret, (CaretPos{3, 5}));
    EXPECT_EQ(view.lines.size(), 3u);
    EXPECT_EQ(engines.alive, 0);
}

// An engine with the stop-check item runs the text with its checks, and the place of an error
// is the user's: lines as they are, columns without the checks before them.
TEST_F(PresenterTest, RunsWithStopChecksReportUserColumns) {
    struct Case {
        const char* highlighter;
        std::string line;
        std::vector<std::string> code;  // what the engine runs
        int engine_column;              // in the checked text
        int caret_column;               // the user's, from 1
    };
    const Case cases[] = {
        {"VBScriptHighlighter",
         "Do : x = 1/0 : Loop",
         {"const A=1", "Do:ZephRun.Tick : x = 1/0 : Loop\r\n"},
         18,
         6},
        {"JavaScriptHighlighter",
         "while (1) x = y.z;",
         {"var ZephTurns=0;", "var A=1",
          "while ((!(++ZephTurns&1023)&&ZephRun.Tick()),1) x = y.z;\r\n"},
         10,  // inside the check: where it was put
         8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        FakeEngines engines;
        engines.checks = true;
        engines.error_line = 1;
        engines.error_column = c.engine_column;
        engines.fail_on = "ZephRun.Tick";  // the user's text with its checks
        p.SetEngines(&engines);
        view.highlighter = c.highlighter;
        view.lines = {c.line};
        view.messages.clear();
        p.HandleKey(F(5));
        EXPECT_THAT(engines.log, ::testing::Contains("checks"));
        EXPECT_EQ(engines.Code(), c.code);
        EXPECT_EQ(view.caret, (CaretPos{1, c.caret_column}));
        EXPECT_EQ(view.lines, std::vector<std::string>{c.line});  // the editor's text unchanged
        ASSERT_EQ(view.messages.size(), 1u);
    }
}

struct FakeOutput : IOutputView {
    std::vector<std::string> lines;
    bool shown = false;
    int shows = 0;
    void OutputAppended(const OutputLog& log, std::size_t added, std::size_t dropped) override {
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(dropped));
        for (std::size_t i = log.Entries().size() - added; i < log.Entries().size(); ++i)
            lines.push_back(log.Entries()[i].text);
    }
    void OutputCleared() override { lines.clear(); }
    bool OutputShown() const override { return shown; }
    void ShowOutput(bool s) override {
        shown = s;
        ++shows;
    }
    std::vector<int> marks;
    void MarkErrorLine(int line) override { marks.push_back(line); }
};

TEST_F(PresenterTest, RunsWriteEchoesAndTheirOutcomeToThePane) {
    FakeEngines engines;
    FakeOutput output;
    p.SetEngines(&engines);
    p.SetOutputView(&output);
    view.lines = {"WScript.Echo 1", "x = 1 / 0"};
    engines.echoes = {"first", "second"};
    p.HandleKey(F(5));
    ASSERT_EQ(output.lines.size(), 3u);
    EXPECT_EQ(output.lines[1], "second");
    EXPECT_THAT(output.lines[2], ::testing::StartsWith(u8"Выполнено за "_cp.data()));
    EXPECT_TRUE(output.shown);

    engines.log.clear();
    engines.fail_on = "x = 1 / 0";
    p.HandleKey(F(5));
    ASSERT_EQ(output.lines.size(), 6u);
    EXPECT_EQ(output.lines[5], u8"Ошибка (строка 3, позиция 5): bad"_cp);
    // Each run clears the error mark first; an error marks its line.
    EXPECT_THAT(output.marks, ::testing::ElementsAre(0, 0, 3));
    // A double-click on the error line goes there; on an echoed line it does nothing.
    view.caret = {1, 1};
    view.focus = "box";
    p.OutputLineActivated(3);
    EXPECT_EQ(view.caret, (CaretPos{1, 1}));
    p.OutputLineActivated(5);
    EXPECT_EQ(view.caret, (CaretPos{3, 5}));
    EXPECT_EQ(view.focus, "editor");
    p.OutputLineActivated(-1);
    p.OutputLineActivated(99);

    // A stopped run is no error: its line is not marked.
    engines.log.clear();
    engines.stopped = true;
    p.HandleKey(F(5));
    EXPECT_THAT(output.marks, ::testing::ElementsAre(0, 0, 3, 0));
}

TEST_F(PresenterTest, RunSelectionRunsOnlyThoseLinesAndReportsEditorLines) {
    const KeyStroke key{F(5).key, kCtrl};
    EXPECT_TRUE(WorkbenchPresenter::IsRunSelectionKey(key));
    EXPECT_EQ(WorkbenchPresenter::ActionForKey(key), std::nullopt);
    EXPECT_EQ(editor::CommandForKey(key.key, key.modifiers), editor::cmNone);

    FakeEngines engines;
    FakeOutput output;
    p.SetEngines(&engines);
    p.SetOutputView(&output);
    view.lines = {"a", "b", "c", "d", "e", "f"};
    engines.fail_on = "d\r\ne\r\nf";  // the engine says line 3: the selection's third
    p.RunSelection(4, "d\r\ne\r\nf\r\n");
    // The selection alone, with the constants still first.
    EXPECT_EQ(engines.Code(), (std::vector<std::string>{"const A=1", "d\r\ne\r\nf\r\n"}));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.caret, (CaretPos{6, 5}));
    EXPECT_THAT(output.marks, ::testing::ElementsAre(0, 6));
    EXPECT_EQ(output.lines.back(), u8"Ошибка (строка 6, позиция 5): bad"_cp);

    // An error in the constants' statement keeps its own line.
    engines.log.clear();
    engines.fail_on = "const A=1";
    p.RunSelection(4, "d");
    EXPECT_EQ(view.caret, (CaretPos{3, 5}));
}

TEST_F(PresenterTest, F8ShowsAndHidesThePaneAndShiftF8EmptiesIt) {
    // Keys no action and no editor command of the window claims.
    for (KeyStroke key : {F(8), KeyStroke{F(8).key, kShift}}) {
        EXPECT_TRUE(WorkbenchPresenter::IsOutputKey(key));
        EXPECT_EQ(WorkbenchPresenter::ActionForKey(key), std::nullopt);
        EXPECT_EQ(editor::CommandForKey(key.key, key.modifiers), editor::cmNone);
    }
    EXPECT_FALSE(WorkbenchPresenter::IsOutputKey(F(5)));

    FakeEngines engines;
    FakeOutput output;
    p.SetEngines(&engines);
    p.SetOutputView(&output);
    p.HandleOutputKey(F(8));
    EXPECT_TRUE(output.shown);
    p.HandleOutputKey(F(8));
    EXPECT_FALSE(output.shown);
    // Hidden by the user, the pane stays hidden through the next runs.
    p.HandleKey(F(5));
    EXPECT_FALSE(output.shown);
    EXPECT_EQ(output.lines.size(), 1u);
    p.HandleOutputKey(KeyStroke{F(8).key, kShift});
    EXPECT_TRUE(output.lines.empty());
    EXPECT_TRUE(p.Output().Entries().empty());
}

TEST_F(PresenterTest, RunFailuresReachTheGeneralHandlerAndFreeTheEngine) {
    FakeEngines engines;
    p.SetEngines(&engines);
    engines.fail_publish = true;
    view.focus = "box";
    p.HandleKey(F(5));
    EXPECT_EQ(engines.alive, 0);
    EXPECT_EQ(view.focus, "editor");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "publish failed.");

    engines.missing = true;
    engines.log.clear();
    p.HandleKey(F(5));
    EXPECT_TRUE(engines.log.empty());  // no engine made
    EXPECT_EQ(view.messages.size(), 2u);
}

// --- settings ---------------------------------------------------------------------------------

struct FakeSettingsDialog : ISettingsDialog {
    FakeStore* store = nullptr;
    std::vector<std::string> opened_with;
    bool result = true;
    bool fail = false;
    bool Run(const std::string& highlighter) override {
        store->calls.push_back("Run");
        opened_with.push_back(highlighter);
        if (fail) throw std::runtime_error("no store");
        return result;
    }
};

class SettingsActionTest : public PresenterTest {
  protected:
    SettingsActionTest() {
        dialog.store = &store;
        p.SetSettingsDialog(&dialog);
        view.box_text = "mine";
        view.lines = {"msgbox 1"};
    }
    FakeSettingsDialog dialog;
};

TEST_F(SettingsActionTest, CtrlOSavesStateOpensTheDialogAndAppliesTheSavedStore) {
    ASSERT_TRUE(p.HandleKey(*ParseKeyStroke("Ctrl+O")));
    EXPECT_THAT(store.calls, ::testing::ElementsAre("SaveWorkbenchState", "Run", "ApplyStore"));
    EXPECT_THAT(dialog.opened_with, ::testing::ElementsAre("VBScriptHighlighter"));
    EXPECT_EQ(view.box_text, "mine");
    EXPECT_EQ(view.EditorText(), "msgbox 1\r\n");
}

TEST_F(SettingsActionTest, ClosingWithoutSavingChangesNothingOfTheWindow) {
    dialog.result = false;
    view.highlighter = "JavaScriptHighlighter";
    p.SetupZephraActionExecute();
    EXPECT_THAT(store.calls, ::testing::ElementsAre("SaveWorkbenchState", "Run"));
    EXPECT_THAT(dialog.opened_with, ::testing::ElementsAre("JavaScriptHighlighter"));
    EXPECT_EQ(view.box_text, "mine");
}

TEST_F(SettingsActionTest, ALanguageChangedByApplyingTheStoreIsSwitchedBack) {
    // The store's default script is JScript: applying it switched the editor.
    struct SwitchingStore : FakeStore {
        FakeView* view = nullptr;
        void ApplyStore() override {
            FakeStore::ApplyStore();
            view->highlighter = "JavaScriptHighlighter";
            view->box_text = "js";
            view->lines = {"alert(1)"};
        }
    } switching;
    switching.view = &view;
    dialog.store = &switching;
    p.SetStore(&switching);
    p.SetupZephraActionExecute();
    EXPECT_EQ(view.highlighter, "VBScriptHighlighter");
    EXPECT_EQ(view.caption,
              std::string(LanguageCaption(Language::VBScript)) + std::string(SavedNotice()));
    EXPECT_THAT(switching.calls, ::testing::ElementsAre("SaveWorkbenchState", "Run", "ApplyStore",
                                                        "StoreScript(mine,VBScript)"));
    EXPECT_EQ(view.box_text, "mine");
    EXPECT_EQ(view.EditorText(), "msgbox 1\r\n");
}

TEST_F(SettingsActionTest, ADialogThatCannotOpenIsReportedAndNothingIsApplied) {
    dialog.fail = true;
    p.Execute(ActionId::SetupZephra);
    EXPECT_THAT(store.calls, ::testing::ElementsAre("SaveWorkbenchState", "Run"));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "no store.");
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
}

// --- the script's outline ------------------------------------------------------------------

TEST_F(PresenterTest, ScriptKeysAreFreeOfTheActionsAndTheOtherWindowKeys) {
    for (KeyStroke key : {Ctrl('G'), Ctrl(vk::kSlash), F(7)}) {
        EXPECT_TRUE(WorkbenchPresenter::IsScriptKey(key)) << KeyStrokeText(key);
        EXPECT_EQ(WorkbenchPresenter::ActionForKey(key), std::nullopt) << KeyStrokeText(key);
        EXPECT_FALSE(WorkbenchPresenter::IsOutputKey(key) ||
                     WorkbenchPresenter::IsRunSelectionKey(key));
    }
    EXPECT_EQ(KeyStrokeText(Ctrl(vk::kSlash)), "Ctrl+/");
    EXPECT_EQ(ParseKeyStroke("ctrl+/"), Ctrl(vk::kSlash));
}

TEST_F(PresenterTest, ProcedureListFollowsTheTextAndTakesTheCaretThere) {
    view.lines = {"Sub Draw(map)", "End Sub", "  Function Area(r, q)", "End Function"};
    p.ScriptChanged();
    EXPECT_EQ(view.procedure_list,
              (std::vector<std::string>{"Sub Draw(map)", "Function Area(r, q)"}));
    // Typing that leaves the list as it was does not refill it.
    view.lines[1] = "  x = 1: End Sub";
    p.ScriptChanged();
    EXPECT_EQ(view.procedure_list_sets, 1);
    view.focus = "box";
    p.ProcedureChosen(1);
    EXPECT_EQ(view.caret, (CaretPos{3, 12}));
    EXPECT_EQ(view.focus, "editor");
    p.ProcedureChosen(2);
    p.ProcedureChosen(-1);
    EXPECT_EQ(view.caret, (CaretPos{3, 12}));
    // The language decides what counts as a procedure.
    view.highlighter = "JavaScriptHighlighter";
    p.ScriptChanged();
    EXPECT_TRUE(view.procedure_list.empty());
    EXPECT_EQ(view.procedure_list_sets, 2);

    view.caret = {12, 5};
    p.CaretMoved();
    EXPECT_EQ(view.status, u8"Строка 12, столбец 5"_cp);
}

TEST_F(PresenterTest, CtrlGAsksForALineAndKeepsItInTheText) {
    struct Case {
        std::optional<int> answer;
        CaretPos expected;
    };
    const Case cases[] = {{3, {3, 1}}, {99, {4, 1}}, {0, {1, 1}}, {std::nullopt, {2, 7}}};
    view.lines = {"a", "b", "c", "d"};
    for (const Case& c : cases) {
        view.caret = {2, 7};
        view.line_answer = c.answer;
        p.HandleScriptKey(Ctrl('G'));
        EXPECT_EQ(view.caret, c.expected);
        EXPECT_EQ(view.line_prompts.back(), (std::pair<int, int>{2, 4}));
    }
}

TEST_F(PresenterTest, CtrlSlashCommentsTheSelectedLinesAsOneEdit) {
    view.lines = {"a = 1", "  b = 2", "c"};
    view.selected = {1, 2};
    p.HandleScriptKey(Ctrl(vk::kSlash));
    EXPECT_EQ(view.lines, (std::vector<std::string>{"'a = 1", "'  b = 2", "c"}));
    p.HandleScriptKey(Ctrl(vk::kSlash));
    EXPECT_EQ(view.lines, (std::vector<std::string>{"a = 1", "  b = 2", "c"}));
    EXPECT_EQ(view.replace_lines_calls, 2);
    view.highlighter = "JavaScriptHighlighter";
    view.selected = {3, 3};
    p.HandleScriptKey(Ctrl(vk::kSlash));
    EXPECT_EQ(view.lines[2], "//c");
    // Nothing to change, or a range past the text: no edit.
    view.lines = {"", "x"};
    view.selected = {1, 1};
    p.HandleScriptKey(Ctrl(vk::kSlash));
    view.selected = {5, 6};
    p.HandleScriptKey(Ctrl(vk::kSlash));
    EXPECT_EQ(view.replace_lines_calls, 3);
}

TEST_F(PresenterTest, F7ChecksWithoutRunningAndListsUndeclaredNames) {
    host.folder = std::string(ZEPH_TEST_DATA) + "/script/";
    FakeEngines engines;
    FakeOutput output;
    p.SetEngines(&engines);
    p.SetOutputView(&output);

    // A syntax error is shown as a run shows its error.
    view.lines = {"If x Then", "y"};
    engines.syntax_error = ScriptError{"Expected 'End'", 2, 1};
    p.HandleScriptKey(F(7));
    EXPECT_EQ(engines.log, (std::vector<std::string>{"check VBScript If x Then\r\ny\r\n"}));
    EXPECT_EQ(engines.alive, 0);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, u8"Произошла ошибка: Expected 'End' (строка 2)"_cp);
    EXPECT_EQ(view.caret, (CaretPos{2, 2}));
    EXPECT_EQ(output.lines.back(), u8"Ошибка (строка 2, позиция 2): Expected 'End'"_cp);
    EXPECT_THAT(output.marks, ::testing::ElementsAre(0, 2));

    // Without a syntax error: with Option Explicit, each undeclared name at its first use; the
    // host's globals, its constants, Application and WScript count as declared.
    engines.syntax_error.reset();
    view.messages.clear();
    view.lines = {"Option Explicit", "Dim m", "Set m = Map: total = okPoint + Caption",
                  "WScript.Echo total, Application.Name, Nme", "total = 2"};
    p.HandleScriptKey(F(7));
    EXPECT_TRUE(view.messages.empty());
    ASSERT_GE(output.lines.size(), 3u);
    const std::vector<std::string> listed(output.lines.end() - 3, output.lines.end());
    EXPECT_EQ(listed,
              (std::vector<std::string>{u8"Не объявлено имя total (строки 3, 4, 5)"_cp.data(),
                                        u8"Не объявлено имя Nme (строка 4)"_cp.data(),
                                        u8"Проверка: необъявленных имён: 2"_cp.data()}));
    EXPECT_EQ(view.caret, (CaretPos{3, 14}));
    view.caret = {1, 1};
    p.OutputLineActivated(static_cast<int>(output.lines.size()) - 2);
    EXPECT_EQ(view.caret, (CaretPos{4, 39}));

    // Without Option Explicit, or in JScript, only the syntax is checked.
    view.lines = {"total = 1"};
    p.HandleScriptKey(F(7));
    EXPECT_EQ(output.lines.back(), u8"Проверка: ошибок не найдено"_cp);
    view.highlighter = "JavaScriptHighlighter";
    view.lines = {"Option Explicit", "x = 1"};
    p.HandleScriptKey(F(7));
    EXPECT_EQ(engines.log.back(), "check JavaScript Option Explicit\r\nx = 1\r\n");
    EXPECT_EQ(output.lines.back(), u8"Проверка: ошибок не найдено"_cp);

    // A description that cannot be read reaches the general error handler.
    view.highlighter = "VBScriptHighlighter";
    host.folder = std::string(ZEPH_TEST_DATA) + "/missing/";
    p.HandleScriptKey(F(7));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
}

}  // namespace
}  // namespace zeph::workbench
