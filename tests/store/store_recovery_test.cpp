// What the store does with files that do not load and with saves that fail part-way through a
// user action: nothing that may hold the user's scripts is overwritten or deleted, and the user is
// told exactly what was saved.
#include <gmock/gmock.h>

#include "faulty_store.h"

namespace zeph::store::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using xml::FileStep;

class StoreRecoveryTest : public FaultyStoreTest {
  protected:
    fs::path Aside(std::string_view of) const { return folder.File(std::string(of) + ".damaged"); }

    // A store with scripts A and B, whose backup holds A only.
    void TwoScripts() {
        store.CreateDefaultStore();
        store.StoreScript("A", "VBScript", "a");
        store.StoreScript("B", "VBScript", "b");
        good_backup = ReadBytes(Backup());
        good_store = ReadBytes(Store());
    }

    std::string Open(FakeWindow& window) {
        try {
            store.ApplyStore(window);
        } catch (const std::exception& e) {
            return e.what();
        }
        return {};
    }

    std::vector<std::string> questions;
    bool answer = true;
    std::string good_backup, good_store;

    void SetUp() override {
        store.SetAsk([this](const std::string& q) {
            questions.push_back(q);
            return answer;
        });
    }
};

// --- a damaged store that is present ------------------------------------------------------

TEST_F(StoreRecoveryTest, ADamagedStoreIsRestoredFromTheBackupWhenTheUserAgrees) {
    for (std::string damage : {std::string(), std::string("<?xml version=\"1.0\"?>\r\n<Scr"),
                               std::string("<Scripts><Script Name=\"A\"></Scripts>")}) {
        SCOPED_TRACE(damage);
        TwoScripts();
        WriteBytes(Store(), damage);
        questions.clear();
        FakeWindow window;
        EXPECT_EQ(Open(window), "");
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_THAT(questions[0], HasSubstr("zpconfig.cfg.bak"));
        EXPECT_THAT(questions[0], HasSubstr("zpconfig.cfg.damaged"));
        EXPECT_THAT(window.list, ElementsAre("A"));
        EXPECT_EQ(ReadBytes(Store()), good_backup);
        EXPECT_EQ(ReadBytes(Aside("zpconfig.cfg")), damage);
        EXPECT_EQ(ReadBytes(Backup()), good_backup);
        fs::remove(Aside("zpconfig.cfg"));
    }
}

TEST_F(StoreRecoveryTest, ADamagedStoreKeepsItsErrorWhenTheUserDeclinesOrNothingLoads) {
    TwoScripts();
    WriteBytes(Store(), "<Scripts>");
    answer = false;
    FakeWindow window;
    const std::string declined = Open(window);
    EXPECT_FALSE(declined.empty());
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(ReadBytes(Store()), "<Scripts>");
    EXPECT_FALSE(fs::exists(Aside("zpconfig.cfg")));

    // No loadable copy beside it: the same error, without a question.
    WriteBytes(Backup(), "also broken");
    questions.clear();
    answer = true;
    EXPECT_EQ(Open(window), declined);
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(ReadBytes(Store()), "<Scripts>");
}

TEST_F(StoreRecoveryTest, AWholeTemporaryFileIsPreferredToTheBackup) {
    TwoScripts();
    fs::copy_file(Store(), Temp());  // the newest save, complete but never renamed
    WriteBytes(Store(), "garbage");
    FakeWindow window;
    EXPECT_EQ(Open(window), "");
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_THAT(questions[0], HasSubstr("zpconfig.cfg.tmp"));
    EXPECT_THAT(window.list, ElementsAre("A", "B"));
    EXPECT_EQ(ReadBytes(Aside("zpconfig.cfg")), "garbage");
    EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(StoreRecoveryTest, ADamagedFileAsideIsNeverOverwritten) {
    TwoScripts();
    WriteBytes(Aside("zpconfig.cfg"), "first damage");
    WriteBytes(Store(), "second damage");
    FakeWindow window;
    EXPECT_EQ(Open(window), "");
    EXPECT_EQ(ReadBytes(Aside("zpconfig.cfg")), "first damage");
    EXPECT_EQ(ReadBytes(folder.File("zpconfig.cfg.damaged2")), "second damage");
}

TEST_F(StoreRecoveryTest, RestoringFromTheBackupKeepsAPartialTemporaryFileAside) {
    TwoScripts();
    WriteBytes(Store(), "");
    const std::string partial = "<?xml version=\"1.0\"?>\r\n<Scripts>\r\n\t<Script Name=\"Mo";
    WriteBytes(Temp(), partial);
    FakeWindow window;
    EXPECT_EQ(Open(window), "");
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_THAT(questions[0], HasSubstr("zpconfig.cfg.bak"));
    EXPECT_THAT(questions[0], HasSubstr("zpconfig.cfg.tmp.damaged"));
    EXPECT_THAT(window.list, ElementsAre("A"));
    EXPECT_EQ(ReadBytes(Store()), good_backup);
    EXPECT_EQ(ReadBytes(Aside("zpconfig.cfg.tmp")), partial);
    EXPECT_EQ(ReadBytes(Aside("zpconfig.cfg")), "");
}

// --- a store that parses but cannot be used -----------------------------------------------

std::string WithoutConfiguration(const std::string& store) {
    return store.substr(0, store.find("\r\n\t<Configuration")) + "\r\n</Scripts>";
}

TEST_F(StoreRecoveryTest, AStoreThatCannotBeUsedIsOfferedTheBackupToo) {
    struct Case {
        const char* what;
        std::function<std::string(const std::string&)> damage;
        std::string error;
    };
    const Case cases[] = {
        {"no Configuration", WithoutConfiguration,
         std::string(u8"не содержит элемента \"Configuration\""_cp)},
        {"a height that is no number",
         [](const std::string& s) { return ReplaceAll(s, "Height=\"200\"", "Height=\"abc\""); },
         std::string(u8"\"abc\" не является целым числом"_cp)},
        {"a colour entry naming no token class",
         [](const std::string& s) {
             return ReplaceAll(s, u8"name=\"Числа\""_cp, "name=\"Digits\"");
         },
         std::string(u8"не соответствует ни одному классу лексем"_cp)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TwoScripts();
        const std::string damaged = c.damage(good_store);
        ASSERT_NE(damaged, good_store);
        WriteBytes(Store(), damaged);
        questions.clear();
        FakeWindow window;
        EXPECT_EQ(Open(window), "");
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_THAT(questions[0], HasSubstr(c.error));
        EXPECT_THAT(questions[0], HasSubstr("zpconfig.cfg.bak"));
        EXPECT_THAT(window.list, ElementsAre("A"));
        EXPECT_EQ(ReadBytes(Store()), good_backup);
        EXPECT_EQ(ReadBytes(Aside("zpconfig.cfg")), damaged);
        fs::remove(Aside("zpconfig.cfg"));
    }
}

// Enter stores the script, then the window state, then opens the store: declined once, the
// offer is not repeated within the action, and the error says the script was saved.
TEST_F(StoreRecoveryTest, AnUnusableStoreKeptByTheUserStillGetsTheScriptAndSaysSo) {
    TwoScripts();
    WriteBytes(Store(), WithoutConfiguration(good_store));
    answer = false;
    FakeWindow window;
    window.box_text = "T";
    std::string error;
    {
        ScriptStore::Action action(store);
        try {
            store.StoreScript("T", "VBScript", "t");
            store.SaveWorkbenchState(window);
            store.ApplyStore(window);
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_THAT(error, HasSubstr(std::string(u8"не содержит элемента \"Configuration\""_cp)));
    EXPECT_THAT(error, HasSubstr(std::string(u8"Уже сохранено: скрипт \"T\""_cp)));
    EXPECT_THAT(ReadBytes(Store()), HasSubstr("Name=\"T\""));
}

// --- a missing store ----------------------------------------------------------------------

TEST_F(StoreRecoveryTest, APartialTemporaryFileIsKeptAsideWhenNothingElseIsLeft) {
    const std::string partial = "<?xml version=\"1.0\"?>\r\n<Scripts>\r\n\t<Script Name=\"Most";
    WriteBytes(Temp(), partial);
    FakeWindow window;
    EXPECT_EQ(Open(window), "");
    EXPECT_EQ(ReadBytes(Store()), DefaultStoreBytes());
    EXPECT_EQ(ReadBytes(Aside("zpconfig.cfg.tmp")), partial);
    EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(StoreRecoveryTest, APartialTemporaryFileIsKeptAsideWhenTheBackupRestores) {
    TwoScripts();
    fs::remove(Store());
    WriteBytes(Temp(), "<Scripts><Scr");
    FakeWindow window;
    EXPECT_EQ(Open(window), "");
    EXPECT_THAT(window.list, ElementsAre("A"));
    EXPECT_EQ(ReadBytes(Aside("zpconfig.cfg.tmp")), "<Scripts><Scr");
    EXPECT_TRUE(questions.empty());  // a missing store is recovered without asking
}

// What was put back, and from which file, is told once; a first start is not a recovery.
TEST_F(StoreRecoveryTest, ARecoveredOrRenewedStoreIsToldOnce) {
    std::vector<std::string> told;
    store.SetTell([&](const std::string& text) { told.push_back(text); });
    struct Case {
        const char* what;
        std::function<void()> leave;
        std::vector<std::string> named;
    };
    const Case cases[] = {
        {"a complete temporary file", [&] { fs::rename(Store(), Temp()); }, {"zpconfig.cfg.tmp"}},
        {"the backup, a partial temporary file aside",
         [&] {
             fs::remove(Store());
             WriteBytes(Temp(), "<Scripts><Scr");
         },
         {"zpconfig.cfg.bak", "zpconfig.cfg.tmp.damaged"}},
        {"nothing that loads",
         [&] {
             fs::remove(Store());
             WriteBytes(Temp(), "<Scripts><Scr");
             WriteBytes(Backup(), "broken");
         },
         {"zpconfig.cfg.tmp.damaged", "zpconfig.cfg.bak.damaged",
          std::string(u8"новый файл настроек"_cp)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : fs::directory_iterator(folder.Folder())) fs::remove(entry.path());
        TwoScripts();
        c.leave();
        told.clear();
        FakeWindow window;
        EXPECT_EQ(Open(window), "");
        EXPECT_EQ(Open(window), "");
        ASSERT_EQ(told.size(), 1u);
        EXPECT_THAT(told[0], HasSubstr("zpconfig.cfg\""));
        for (const auto& name : c.named) EXPECT_THAT(told[0], HasSubstr(name));
    }

    for (const auto& entry : fs::directory_iterator(folder.Folder())) fs::remove(entry.path());
    told.clear();
    FakeWindow window;
    EXPECT_EQ(Open(window), "");
    EXPECT_TRUE(told.empty());
}

// --- one backup per user action -----------------------------------------------------------

TEST_F(StoreRecoveryTest, TheBackupHoldsTheStoreAsItWasBeforeTheAction) {
    store.CreateDefaultStore();
    store.StoreScript("T", "VBScript", "first");
    const std::string before = ReadBytes(Store());
    FakeWindow window;
    window.box_text = "T";
    {
        ScriptStore::Action action(store);
        store.StoreScript("T", "VBScript", "second");
        store.SaveWorkbenchState(window);
        store.ApplyStore(window);
        store.StoreScript("T", "VBScript", "second");
    }
    EXPECT_EQ(ReadBytes(Backup()), before);
    EXPECT_THAT(ReadBytes(Store()), HasSubstr("second"));

    // An action that changes nothing writes nothing and keeps the backup.
    {
        ScriptStore::Action action(store);
        store.ApplyStore(window);
        store.StoreScript("T", "VBScript", "second");
    }
    EXPECT_EQ(ReadBytes(Backup()), before);
}

// --- a save that fails after others of the same action -----------------------------------

TEST_F(StoreRecoveryTest, AFailedSaveSaysWhatTheActionSavedBeforeIt) {
    store.CreateDefaultStore();
    FakeWindow window;
    int replaces = 0;
    auto full_disk = [&](FileStep step, const fs::path& path) {
        if (step == FileStep::Write && path.filename() == "zpconfig.cfg.tmp" && ++replaces > 1)
            throw xml::XmlError(std::string(u8"нет места на диске"_cp));
    };
    std::string error;
    {
        xml::ScopedFaults scope(files, full_disk);
        ScriptStore::Action action(store);
        try {
            // Two commit points in one action, as around the settings dialog.
            store.StoreScript("T", "VBScript", "text");
            action.Commit();
            store.SaveWorkbenchState(window);
            action.Commit();
        } catch (const StoreError& e) {
            error = e.what();
        }
    }
    EXPECT_THAT(error, HasSubstr(std::string(u8"Уже сохранено: скрипт \"T\""_cp)));
    EXPECT_THAT(error, HasSubstr(std::string(u8"не сохранено: положение окна"_cp)));
    EXPECT_THAT(error, HasSubstr(std::string(u8"нет места на диске"_cp)));
    EXPECT_THAT(error, Not(HasSubstr(std::string(u8"файл остался прежним"_cp))));
    EXPECT_THAT(ReadBytes(Store()), HasSubstr("Name=\"T\""));
}

// --- the lock -----------------------------------------------------------------------------

TEST_F(StoreRecoveryTest, AStoreHeldByAnotherProcessGivesAClearErrorAfterAShortWait) {
    store.CreateDefaultStore();
    const std::string before = ReadBytes(Store());
    auto held = xml::PlatformFileSystem().TryLock(folder.File("zpconfig.cfg.lock"));
    ASSERT_TRUE(held);
    store.SetLockWait(300);
    std::string error;
    try {
        store.StoreScript("A", "VBScript", "a");
    } catch (const StoreError& e) {
        error = e.what();
    }
    EXPECT_THAT(error, HasSubstr(std::string(u8"занят другой копией программы"_cp)));
    EXPECT_EQ(ReadBytes(Store()), before);
    held.reset();
    store.StoreScript("A", "VBScript", "a");
    EXPECT_THAT(ReadBytes(Store()), HasSubstr("Name=\"A\""));
}

}  // namespace
}  // namespace zeph::store::testing
