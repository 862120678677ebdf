// One durable write per user action: the saves of an action wait for its commit point and reach
// the disk once, the backup still holds the store from before the action, and a write that fails
// at the commit, or an error in the middle of an action, is reported with what was saved.
#include <gmock/gmock.h>

#include <functional>
#include <map>
#include <stdexcept>

#include "faulty_store.h"
#include "store/store_files.h"

namespace zeph::store::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using xml::FileStep;

// Counts the steps that reach the disk, by file name.
struct DiskSteps {
    std::map<std::string, int> flushes, replaces, creates, reads;
    int Flushes() const {
        int n = 0;
        for (const auto& [name, count] : flushes) n += count;
        return n;
    }
    void operator()(FileStep step, const fs::path& path) {
        const std::string name = path.filename().string();
        if (step == FileStep::Flush) ++flushes[name];
        if (step == FileStep::Replace) ++replaces[name];
        if (step == FileStep::Create) ++creates[name];
        if (step == FileStep::OpenRead) ++reads[name];
    }
};

class StoreCommitTest : public FaultyStoreTest {
  protected:
    StoreCommitTest() {
        store.CreateDefaultStore();
        store.StoreScript("A", "VBScript", "a");
        store.StoreScript("B", "JavaScript", "b");
        window.box_text = "A";
        window.editor_text = "edited";
    }

    // Runs `body` as one action ending at its commit point, counting what reaches the disk.
    DiskSteps CountAction(const std::function<void()>& body) {
        DiskSteps steps;
        xml::ScopedFaults scope(files,
                                [&](FileStep step, const fs::path& path) { steps(step, path); });
        ScriptStore::Action action(store);
        body();
        action.Commit();
        return steps;
    }

    FakeWindow window;
};

TEST_F(StoreCommitTest, EachActionWritesAndFlushesTheStoreOnce) {
    struct Case {
        const char* what;
        std::function<void()> run;
        std::string_view in_store;  // a change every save of the action made, seen in the file
    };
    const Case cases[] = {
        {"Enter: the script, the window state, the store applied",
         [this] {
             store.StoreScript("A", "VBScript", "entered");
             store.SaveWorkbenchState(window);
             store.ApplyStore(window);
         },
         "LastText=\"edited\""},
        {"a new script: the current one, then the scratch text",
         [this] {
             store.StoreScript("A", "VBScript", "current");
             store.StoreScript("", "VBScript", "option explicit");
         },
         "Text=\"option explicit\""},
        {"removal: the record, the window state, the store applied",
         [this] {
             store.RemoveScript("B");
             store.SaveWorkbenchState(window);
             store.ApplyStore(window);
         },
         "LastText=\"edited\""},
        {"closing a changed script: removed, stored at the end, the window state",
         [this] {
             store.RemoveScript("A");
             store.StoreScript("A", "VBScript", "closing");
             store.SaveWorkbenchState(window);
         },
         "Text=\"closing\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = ReadBytes(Store());
        DiskSteps steps = CountAction(c.run);
        EXPECT_EQ(steps.creates["zpconfig.cfg.tmp"], 1);
        EXPECT_EQ(steps.flushes["zpconfig.cfg.tmp"], 1);
        // The backup is a second name, not a second write; the history of replaced texts is a
        // file of its own, written at most once more.
        EXPECT_EQ(steps.Flushes() - steps.flushes["zpconfig.history.tmp"], 1);
        EXPECT_LE(steps.flushes["zpconfig.history.tmp"], 1);
        EXPECT_EQ(steps.replaces["zpconfig.cfg"], 1);
        // Read once, by the first load: later loads take the waiting or the written document.
        EXPECT_EQ(steps.reads["zpconfig.cfg"], 1);
        EXPECT_THAT(ReadBytes(Store()), HasSubstr(std::string(c.in_store)));
        EXPECT_THAT(ReadBytes(Store()), HasSubstr("LastText=\"edited\""));
        EXPECT_EQ(ReadBytes(Backup()), before);
        EXPECT_FALSE(fs::exists(Temp()));
    }
}

TEST_F(StoreCommitTest, AnActionThatChangesNothingWritesNothing) {
    store.SaveWorkbenchState(window);
    const std::string before = ReadBytes(Store());
    const std::string backup = ReadBytes(Backup());
    DiskSteps steps = CountAction([&] {
        store.StoreScript("A", "VBScript", "a");
        store.SaveWorkbenchState(window);
        store.ApplyStore(window);
    });
    EXPECT_EQ(steps.Flushes(), 0);
    EXPECT_TRUE(steps.replaces.empty());
    EXPECT_EQ(ReadBytes(Store()), before);
    EXPECT_EQ(ReadBytes(Backup()), backup);
}

TEST_F(StoreCommitTest, TheActionWorksOnItsWaitingSaveAndTheFileChangesOnlyAtTheCommit) {
    const std::string before = ReadBytes(Store());
    {
        ScriptStore::Action action(store);
        store.StoreScript("New", "VBScript", "n");
        store.SaveWorkbenchState(window);
        EXPECT_EQ(ReadBytes(Store()), before);
        store.ApplyStore(window);
        EXPECT_THAT(window.list, ::testing::ElementsAre("A", "B", "New"));
        EXPECT_EQ(window.editor_text, "edited");
        action.Commit();
        EXPECT_THAT(ReadBytes(Store()), HasSubstr("Name=\"New\""));
        // A commit point before a dialog, then more work: the backup stays the store from
        // before the action.
        store.RemoveScript("New");
        action.Commit();
    }
    EXPECT_THAT(ReadBytes(Store()), Not(HasSubstr("Name=\"New\"")));
    EXPECT_EQ(ReadBytes(Backup()), before);
}

// A write that fails at the commit point says so as a failed save does, and changes nothing.
TEST_F(StoreCommitTest, AFailedWriteAtTheCommitLeavesTheStoreAndTheBackupAsTheyWere) {
    const FileStep steps[] = {FileStep::Create, FileStep::Write, FileStep::Flush, FileStep::Close,
                              FileStep::Replace};
    const std::string before = ReadBytes(Store());
    const std::string backup = ReadBytes(Backup());
    for (FileStep failing : steps) {
        SCOPED_TRACE(static_cast<int>(failing));
        std::string error;
        {
            xml::ScopedFaults scope(files, [&](FileStep step, const fs::path& path) {
                if (step == failing && path.filename().string().starts_with("zpconfig.cfg") &&
                    path.extension() != ".bak")
                    throw xml::XmlError(std::string(u8"нет места на диске"_cp));
            });
            ScriptStore::Action action(store);
            store.StoreScript("A", "VBScript", "lost");
            store.SaveWorkbenchState(window);
            try {
                action.Commit();
            } catch (const StoreError& e) {
                error = e.what();
            }
        }
        EXPECT_EQ(error, std::string(u8"Не удалось сохранить файл настроек \""_cp) +
                             files::PathText(Store()) +
                             std::string(u8"\"; файл остался прежним.\r\nнет места на диске"_cp));
        EXPECT_EQ(ReadBytes(Store()), before);
        EXPECT_EQ(ReadBytes(Backup()), backup);
        EXPECT_FALSE(fs::exists(Temp()));
        EXPECT_FALSE(fs::exists(folder.File("zpconfig.cfg.bak.new")));
    }
    // Nothing of the failed action is taken for the file's content by the next one.
    store.StoreScript("C", "VBScript", "c");
    EXPECT_THAT(ReadBytes(Store()), Not(HasSubstr("lost")));
    EXPECT_THAT(ReadBytes(Store()), HasSubstr("Name=\"C\""));
}

// A window whose placement cannot be read (its handle went).
class GonePlacementWindow : public FakeWindow {
  public:
    WindowBounds GetWindowBounds() override { throw std::runtime_error("no window"); }
};

// Applying the store is a commit point: the window never shows what the file does not hold.
TEST_F(StoreCommitTest, AWriteFailingAtApplyingLeavesTheWindowAsItWas) {
    const std::string before = ReadBytes(Store());
    window.list = {"as shown"};
    std::string error;
    {
        xml::ScopedFaults scope(files, [](FileStep step, const fs::path& path) {
            if (step == FileStep::Flush && path.filename() == "zpconfig.cfg.tmp")
                throw xml::XmlError("flush");
        });
        ScriptStore::Action action(store);
        try {
            store.StoreScript("New", "VBScript", "n");
            store.SaveWorkbenchState(window);
            store.ApplyStore(window);
        } catch (const StoreError& e) {
            error = e.what();
        }
    }
    EXPECT_THAT(error, HasSubstr(std::string(u8"файл остался прежним"_cp)));
    EXPECT_THAT(window.list, ::testing::ElementsAre("as shown"));
    EXPECT_EQ(ReadBytes(Store()), before);
}

// An error in the middle of an action: what the action saved before it is written first, so
// the message that calls it saved is true; when that write fails, the message says so instead.
TEST_F(StoreCommitTest, AnErrorInTheMiddleOfAnActionWritesWhatWasSavedBeforeIt) {
    struct Case {
        const char* what;
        bool write_fails;
        std::string_view says;
        std::string_view not_says;
    };
    const Case cases[] = {
        {"the write goes through", false, u8"Уже сохранено: скрипт \"A\""_cp,
         u8"Не удалось сохранить"_cp},
        {"the write fails too", true, u8"файл остался прежним"_cp, u8"Уже сохранено"_cp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = ReadBytes(Store());
        std::string error;
        {
            xml::ScopedFaults scope(files, [&](FileStep step, const fs::path& path) {
                if (c.write_fails && step == FileStep::Flush && path == Temp())
                    throw xml::XmlError("flush");
            });
            ScriptStore::Action action(store);
            store.StoreScript("A", "VBScript", c.what);
            store.RemoveScript("B");
            try {
                GonePlacementWindow gone;
                store.SaveWorkbenchState(gone);
            } catch (const std::exception& e) {
                error = e.what();
            }
            // What the action saved is written by now, not left for the end of the action.
            if (!c.write_fails) {
                EXPECT_THAT(ReadBytes(Store()), HasSubstr(c.what));
            }
        }
        EXPECT_THAT(error, HasSubstr(std::string(c.says)));
        EXPECT_THAT(error, Not(HasSubstr(std::string(c.not_says))));
        if (c.write_fails) {
            EXPECT_EQ(ReadBytes(Store()), before);
        } else {
            EXPECT_THAT(ReadBytes(Store()), HasSubstr(c.what));
            EXPECT_THAT(ReadBytes(Store()), Not(HasSubstr("Name=\"B\"")));
        }
    }
}

// An action that ends without its commit point, by an error outside the store, still keeps
// what it saved; a write that fails then cannot be thrown and is told instead.
TEST_F(StoreCommitTest, AnActionEndedByAnOutsideErrorStillWritesOnceAndTellsAFailure) {
    std::vector<std::string> told;
    store.SetTell([&](const std::string& notice) { told.push_back(notice); });
    for (const bool write_fails : {false, true}) {
        SCOPED_TRACE(write_fails);
        told.clear();
        const std::string before = ReadBytes(Store());
        DiskSteps steps;
        try {
            xml::ScopedFaults scope(files, [&](FileStep step, const fs::path& path) {
                steps(step, path);
                if (write_fails && step == FileStep::Replace && path == Store())
                    throw xml::XmlError("replace");
            });
            ScriptStore::Action action(store);
            store.StoreScript("A", "VBScript", write_fails ? "second" : "first");
            store.SaveWorkbenchState(window);
            throw std::runtime_error("the window went");
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "the window went");
        }
        EXPECT_EQ(steps.flushes["zpconfig.cfg.tmp"], 1);
        if (write_fails) {
            ASSERT_EQ(told.size(), 1u);
            EXPECT_THAT(told[0], HasSubstr(std::string(u8"файл остался прежним"_cp)));
            EXPECT_THAT(told[0], HasSubstr("replace"));
            EXPECT_EQ(ReadBytes(Store()), before);
        } else {
            EXPECT_TRUE(told.empty());
            EXPECT_THAT(ReadBytes(Store()), HasSubstr("Text=\"first\""));
        }
    }
}

}  // namespace
}  // namespace zeph::store::testing
