// What a failure or a crash at each step of saving leaves behind: the user's scripts are never
// lost, a store that cannot be written stays as it was, and an interrupted save is recovered.
#include <gmock/gmock.h>

#include "faulty_store.h"

namespace zeph::store::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using xml::FileStep;

class StoreFaultTest : public FaultyStoreTest {
  protected:
    // Runs `action` with a file system whose `hook` may fail steps; returns the error text.
    std::string WithFaults(std::function<void(FileStep, const fs::path&)> hook,
                           const std::function<void()>& action) {
        xml::ScopedFaults scope(files, std::move(hook));
        try {
            action();
        } catch (const std::exception& e) {
            return e.what();
        }
        return {};
    }

    std::vector<std::string> ListAfterOpening() {
        FakeWindow window;
        store.ApplyStore(window);
        return window.list;
    }
};

[[noreturn]] void Crash() {
    throw xml::XmlError("crash");
}

bool Is(const fs::path& path, std::string_view name) {
    return path.filename() == fs::path(name);
}

TEST_F(StoreFaultTest, EverySaveKeepsThePreviousFileAsBackup) {
    store.CreateDefaultStore();
    EXPECT_FALSE(fs::exists(Backup()));  // nothing was replaced
    store.StoreScript("A", "VBScript", "a");
    EXPECT_EQ(ReadBytes(Backup()), DefaultStoreBytes());
    const std::string with_a = ReadBytes(Store());
    store.RemoveScript("A");
    EXPECT_EQ(ReadBytes(Backup()), with_a);
    EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(StoreFaultTest, ACrashAfterTheStoreWasDroppedIsRecoveredFromTheTemporaryFile) {
    store.CreateDefaultStore();
    store.StoreScript("Old", "VBScript", "o");
    // A platform that drops the target before moving the new file in, and dies in between.
    const std::string error = WithFaults(
        [&](FileStep step, const fs::path& path) {
            if (step == FileStep::Replace && Is(path, "zpconfig.cfg")) {
                fs::remove(path);
                Crash();
            }
            if (step == FileStep::Remove) Crash();  // no clean-up after a crash
        },
        [&] { store.StoreScript("New", "VBScript", "n"); });
    ASSERT_THAT(error, HasSubstr("crash"));
    ASSERT_FALSE(fs::exists(Store()));
    ASSERT_TRUE(fs::exists(Temp()));

    EXPECT_THAT(ListAfterOpening(), ElementsAre("Old", "New"));
    EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(StoreFaultTest, AnyOperationRecoversNotOnlyOpening) {
    store.CreateDefaultStore();
    store.StoreScript("Kept", "VBScript", "k");
    fs::rename(Store(), Temp());  // as a crash between writing and renaming leaves it
    store.StoreScript("Added", "VBScript", "a");
    EXPECT_THAT(ListAfterOpening(), ElementsAre("Kept", "Added"));
}

TEST_F(StoreFaultTest, AHalfWrittenTemporaryFileGivesWayToTheBackup) {
    store.CreateDefaultStore();
    store.StoreScript("A", "VBScript", "a");
    store.StoreScript("B", "VBScript", "b");
    const std::string with_b = ReadBytes(Store());
    // Power goes while the next save writes; the store itself is gone too.
    const std::string error = WithFaults(
        [&](FileStep step, const fs::path& path) {
            if (step == FileStep::Write && Is(path, "zpconfig.cfg.tmp")) {
                fs::remove(Store());
                Crash();
            }
            if (step == FileStep::Remove) Crash();
        },
        [&] { store.StoreScript("C", "VBScript", "c"); });
    ASSERT_THAT(error, HasSubstr("crash"));
    ASSERT_FALSE(fs::exists(Store()));
    ASSERT_GT(fs::file_size(Temp()), 0u);

    // The backup is the store as the interrupted save found it.
    EXPECT_THAT(ListAfterOpening(), ElementsAre("A", "B"));
    EXPECT_EQ(ReadBytes(Store()), with_b);
    EXPECT_TRUE(fs::exists(Backup()));
    EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(StoreFaultTest, NothingUsableLeftGivesTheNewFile) {
    WriteBytes(Temp(), "<?xml version=\"1.0\"?>\r\n<Scripts>\r\n\t<Script Name=\"half");
    WriteBytes(Backup(), "not xml <");
    EXPECT_TRUE(ListAfterOpening().empty());
    EXPECT_EQ(ReadBytes(Store()), DefaultStoreBytes());
}

TEST_F(StoreFaultTest, AMissingStoreComesBackFromTheBackupNotAsTheNewFile) {
    store.CreateDefaultStore();
    store.StoreScript("A", "VBScript", "a");
    store.StoreScript("B", "VBScript", "b");
    const std::string backup = ReadBytes(Backup());
    fs::remove(Store());
    EXPECT_TRUE(store.StoreExists());
    EXPECT_THAT(ListAfterOpening(), ElementsAre("A"));
    EXPECT_EQ(ReadBytes(Store()), backup);
    EXPECT_EQ(ReadBytes(Backup()), backup);
}

TEST_F(StoreFaultTest, AReadOnlyStoreGivesAClearErrorAndStaysAsItWas) {
    store.CreateDefaultStore();
    store.StoreScript("A", "VBScript", "a");
    const std::string before = ReadBytes(Store());
    fs::permissions(Store(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    std::string error;
    try {
        store.StoreScript("A", "VBScript", "changed");
    } catch (const StoreError& e) {
        error = e.what();
    }
    EXPECT_THAT(error, HasSubstr(std::string(u8"Не удалось сохранить файл настроек"_cp)));
    EXPECT_THAT(error, HasSubstr(std::string(u8"только для чтения"_cp)));
    EXPECT_EQ(ReadBytes(Store()), before);
    EXPECT_FALSE(fs::exists(Temp()));
    // Reading still works.
    EXPECT_THAT(ListAfterOpening(), ElementsAre("A"));
}

TEST_F(StoreFaultTest, ALockedStoreGivesAClearErrorAndStaysAsItWas) {
    store.CreateDefaultStore();
    const std::string before = ReadBytes(Store());
    const std::string error = WithFaults(
        [](FileStep step, const fs::path& path) {
            if (step == FileStep::Replace && Is(path, "zpconfig.cfg"))
                throw xml::XmlError(std::string(u8"файл занят другим процессом"_cp));
        },
        [&] { store.StoreScript("A", "VBScript", "a"); });
    EXPECT_THAT(error, HasSubstr(std::string(u8"файл остался прежним"_cp)));
    EXPECT_THAT(error, HasSubstr(std::string(u8"файл занят другим процессом"_cp)));
    EXPECT_EQ(ReadBytes(Store()), before);
    EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(StoreFaultTest, AFullDiskLeavesTheStoreAsItWas) {
    store.CreateDefaultStore();
    store.StoreScript("A", "VBScript", "a");
    const std::string before = ReadBytes(Store());
    for (FileStep failing : {FileStep::Create, FileStep::Write, FileStep::Flush, FileStep::Close}) {
        const std::string error = WithFaults(
            [&](FileStep step, const fs::path& path) {
                if (step == failing && Is(path, "zpconfig.cfg.tmp")) Crash();
            },
            [&] { store.StoreScript("A", "VBScript", "changed"); });
        EXPECT_THAT(error, HasSubstr("crash"));
        EXPECT_EQ(ReadBytes(Store()), before);
        EXPECT_FALSE(fs::exists(Temp()));
    }
}

// The backup changes only with a save that replaced the store: a save that fails at any step
// leaves it holding what it held, also where the store itself is read-only.
TEST_F(StoreFaultTest, AFailedSaveLeavesTheBackupAsItWas) {
    struct Case {
        const char* what;
        FileStep step;
        std::string_view file;
    };
    const Case cases[] = {
        {"no room for the temporary file", FileStep::Create, "zpconfig.cfg.tmp"},
        {"disk full while writing", FileStep::Write, "zpconfig.cfg.tmp"},
        {"flush fails", FileStep::Flush, "zpconfig.cfg.tmp"},
        {"close fails", FileStep::Close, "zpconfig.cfg.tmp"},
        {"the store cannot be replaced", FileStep::Replace, "zpconfig.cfg"},
        {"read-only store", FileStep::Remove, ""},
    };
    store.CreateDefaultStore();
    store.StoreScript("A", "VBScript", "a");
    const std::string backup = ReadBytes(Backup());
    const std::string before = ReadBytes(Store());
    ASSERT_NE(backup, before);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool read_only = c.file.empty();
        if (read_only)
            fs::permissions(Store(), fs::perms::owner_write | fs::perms::group_write,
                            fs::perm_options::remove);
        const std::string error = WithFaults(
            [&](FileStep step, const fs::path& path) {
                if (step == c.step && Is(path, c.file)) Crash();
            },
            [&] { store.StoreScript("A", "VBScript", "changed"); });
        EXPECT_THAT(error, HasSubstr(std::string(u8"файл остался прежним"_cp)));
        EXPECT_EQ(ReadBytes(Backup()), backup);
        EXPECT_EQ(ReadBytes(Store()), before);
        EXPECT_FALSE(fs::exists(Temp()));
        EXPECT_FALSE(fs::exists(folder.File("zpconfig.cfg.bak.new")));
        if (read_only) fs::permissions(Store(), fs::perms::owner_write, fs::perm_options::add);
    }
    // The next save that goes through makes the backup the store it replaced.
    store.StoreScript("A", "VBScript", "changed");
    EXPECT_EQ(ReadBytes(Backup()), before);
}

TEST_F(StoreFaultTest, AFailingBackupDoesNotStopTheSave) {
    store.CreateDefaultStore();
    const std::string error = WithFaults(
        [](FileStep step, const fs::path& path) {
            if (step == FileStep::Create && Is(path, "zpconfig.cfg.bak")) Crash();
        },
        [&] { store.StoreScript("A", "VBScript", "a"); });
    EXPECT_EQ(error, "");
    EXPECT_THAT(ListAfterOpening(), ElementsAre("A"));
}

TEST_F(StoreFaultTest, ABackupThatCannotBeMadeAtAllDoesNotStopTheSave) {
    store.CreateDefaultStore();
    fs::create_directories(Backup() / "in the way");  // neither a second name nor a copy fits
    store.StoreScript("A", "VBScript", "a");
    EXPECT_THAT(ListAfterOpening(), ElementsAre("A"));
    EXPECT_TRUE(fs::is_directory(Backup()));
}

TEST_F(StoreFaultTest, TheBackupKeepsTheOldBytesWhenTheSaveStopsAfterIt) {
    store.CreateDefaultStore();
    store.StoreScript("A", "VBScript", "a");
    const std::string before = ReadBytes(Store());
    const std::string error = WithFaults(
        [](FileStep step, const fs::path& path) {
            if (step == FileStep::Replace && Is(path, "zpconfig.cfg")) Crash();
            if (step == FileStep::Remove && Is(path, "zpconfig.cfg.tmp")) Crash();
        },
        [&] { store.StoreScript("A", "VBScript", "changed"); });
    EXPECT_THAT(error, HasSubstr("crash"));
    EXPECT_EQ(ReadBytes(Store()), before);
    // The store was not replaced, so the backup still holds what it held before.
    EXPECT_EQ(ReadBytes(Backup()), DefaultStoreBytes());
    EXPECT_TRUE(fs::exists(Temp()));  // the complete new store, left by the crash

    // The next save replaces the store; the backup still holds what was replaced.
    store.StoreScript("B", "VBScript", "b");
    EXPECT_EQ(ReadBytes(Backup()), before);
    EXPECT_THAT(ListAfterOpening(), ElementsAre("A", "B"));
    EXPECT_FALSE(fs::exists(Temp()));
}

TEST_F(StoreFaultTest, AStoreThatCannotBeOpenedIsNotTakenForMissing) {
    store.CreateDefaultStore();
    store.StoreScript("A", "VBScript", "a");
    const std::string before = ReadBytes(Store());
    FakeWindow window;
    const std::string error = WithFaults(
        [](FileStep step, const fs::path& path) {
            if (step == FileStep::OpenRead && Is(path, "zpconfig.cfg"))
                throw xml::XmlError("sharing violation");
        },
        [&] {
            store.ApplyStore(window);
            store.SaveWorkbenchState(window);
        });
    EXPECT_EQ(error, "sharing violation");
    EXPECT_EQ(ReadBytes(Store()), before);
}

}  // namespace
}  // namespace zeph::store::testing
