// Two processes at one data folder: one saving round after round while the other opens the
// workbench and saves too. Nothing may be lost, no default store may appear, and the platform's
// replace must never leave the store missing or a stray file behind.
#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <set>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "store/store_files.h"
#include "store_test_util.h"
#include "xml/xml.h"

namespace zeph::store::testing {
namespace {

using ::testing::Contains;

// The worker program (store_worker.cpp), started with arguments and killed if still running.
class Worker {
  public:
    explicit Worker(const std::vector<std::string>& args) {
#ifdef _WIN32
        std::wstring line = L"\"" + fs::path(ZEPH_STORE_WORKER).wstring() + L"\"";
        for (const auto& a : args) line += L" \"" + fs::path(a).wstring() + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        // Under Wine a start can fail for a moment right after a process was killed while it
        // was still starting; a user's second copy would simply be started again.
        for (int attempt = 0; attempt < 50 && !started_; ++attempt) {
            started_ = ::CreateProcessW(fs::path(ZEPH_STORE_WORKER).wstring().c_str(), line.data(),
                                        nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
            if (!started_) {
                error_ = ::GetLastError();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
#else
        std::vector<char*> argv{const_cast<char*>(ZEPH_STORE_WORKER)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        started_ =
            ::posix_spawn(&pid_, ZEPH_STORE_WORKER, nullptr, nullptr, argv.data(), environ) == 0;
#endif
    }
    ~Worker() {
        if (Running()) Kill();
#ifdef _WIN32
        if (started_) {
            ::CloseHandle(pi_.hProcess);
            ::CloseHandle(pi_.hThread);
        }
#endif
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    ::testing::AssertionResult started() const {
        if (started_) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the worker did not start, error " << error_;
    }
    bool Running() {
        if (!started_ || done_) return false;
#ifdef _WIN32
        if (::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) return true;
        DWORD code = 0;
        ::GetExitCodeProcess(pi_.hProcess, &code);
        code_ = static_cast<int>(code);
#else
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
        done_ = true;
        return false;
    }
    // Waits for the exit (up to a minute) and returns the exit code.
    int Wait() {
        for (int i = 0; i < 6000 && Running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Running() ? -2 : code_;
    }
    // Ends the process at once, wherever it is: a power cut as far as the files are concerned.
    void Kill() {
#ifdef _WIN32
        ::TerminateProcess(pi_.hProcess, 9);
        ::WaitForSingleObject(pi_.hProcess, INFINITE);
#else
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
#endif
        done_ = true;
    }

  private:
    bool started_ = false;
    bool done_ = false;
    unsigned long error_ = 0;
    int code_ = -1;
#ifdef _WIN32
    PROCESS_INFORMATION pi_{};
#else
    pid_t pid_ = 0;
#endif
};

// Without the trailing separator, which would escape the closing quote of a Windows command line.
std::string FolderText(const TempFolder& folder) {
    std::string text = folder.Folder().string();
    text.pop_back();
    return text;
}

std::vector<std::string> ScriptNames(const fs::path& store) {
    auto doc = xml::CreateXmlDocument();
    doc->LoadFromBytes(ReadBytes(store));
    std::vector<std::string> names;
    auto scripts = doc->DocumentElement()->ElementsByName("Script");
    for (int i = 0; i < scripts->Count(); ++i)
        names.push_back(scripts->Item(i)->GetAttr("Name", ""));
    return names;
}

// The names in the folder besides the store's own files.
std::set<std::string> StrayFiles(const TempFolder& folder) {
    std::set<std::string> stray;
    for (const auto& entry : fs::directory_iterator(folder.Folder())) {
        const std::string name = entry.path().filename().string();
        if (name != "zpconfig.cfg" && name != "zpconfig.cfg.bak" && name != "zpconfig.cfg.tmp" &&
            name != "zpconfig.cfg.lock" && name != "zpconfig.cfg.lock.next")
            stray.insert(name);
    }
    return stray;
}

class StoreProcessesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ScriptStore store(folder.Host());
        store.CreateDefaultStore();
        store.StoreScript("Keep", "VBScript", "kept");
    }

    // The other process saves `rounds` times while this one opens the workbench and saves its
    // own script each time, as long as the other runs. Returns how many times this one opened.
    int SaveAgainstAWorker(int rounds, bool dropping_replace) {
        std::vector<std::string> args{FolderText(folder), std::to_string(rounds), "W"};
        if (dropping_replace) args.push_back("--dropping-replace");
        Worker worker(args);
        EXPECT_TRUE(worker.started());
        int opened = 0;
        while (worker.Running()) {
            FakeWindow window;
            ScriptStore store(folder.Host());  // a new workbench each time
            try {
                store.ApplyStore(window);
                store.StoreScript("P" + std::to_string(opened), "VBScript", "mine");
            } catch (const std::exception& e) {
                ADD_FAILURE() << "opening " << opened << ": " << e.what();
                break;
            }
            EXPECT_THAT(window.list, Contains("Keep")) << "opening " << opened;
            ++opened;
        }
        EXPECT_EQ(worker.Wait(), 0);
        RecordProperty("openings", opened);
        return opened;
    }

    void ExpectNothingLost(int worker_rounds, int opened) {
        const std::vector<std::string> names = ScriptNames(folder.File("zpconfig.cfg"));
        EXPECT_THAT(names, Contains("Keep"));
        for (int i = 0; i < worker_rounds; ++i)
            EXPECT_THAT(names, Contains("W" + std::to_string(i)));
        for (int i = 0; i < opened; ++i) EXPECT_THAT(names, Contains("P" + std::to_string(i)));
        EXPECT_THAT(StrayFiles(folder), ::testing::IsEmpty());
    }

    TempFolder folder;
};

TEST_F(StoreProcessesTest, OpeningWhileAnotherProcessSavesLosesNothing) {
    constexpr int kRounds = 40;
    const int opened = SaveAgainstAWorker(kRounds, false);
    EXPECT_GT(opened, 0);
    ExpectNothingLost(kRounds, opened);
}

#ifndef _WIN32
// The lock file alone keeps a reader from the moment a replace in two steps leaves no store.
TEST_F(StoreProcessesTest, AReplaceInTwoStepsIsNeverSeenByTheOtherProcess) {
    constexpr int kRounds = 40;
    const int opened = SaveAgainstAWorker(kRounds, true);
    ExpectNothingLost(kRounds, opened);
}
#endif

TEST_F(StoreProcessesTest, AProcessKilledInTheMiddleOfSavesLeavesAWholeStore) {
    std::mt19937 random(7);
    for (int kill = 0; kill < 25; ++kill) {
        Worker worker({FolderText(folder), "0", "K" + std::to_string(kill) + "_"});
        ASSERT_TRUE(worker.started());
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + random() % 120));
        worker.Kill();
        // Once the next opening has settled what the kill left, the backup is a whole store
        // from before the last action: every script it holds is in the store, which has at
        // most the one script of the last action more.
        FakeWindow opened;
        ScriptStore(folder.Host()).ApplyStore(opened);
        const std::vector<std::string> kept = ScriptNames(folder.File("zpconfig.cfg"));
        const std::vector<std::string> backup = ScriptNames(folder.File("zpconfig.cfg.bak"));
        const std::set<std::string> in_backup(backup.begin(), backup.end());
        for (const std::string& name : backup) EXPECT_THAT(kept, Contains(name)) << "kill " << kill;
        EXPECT_LE(std::count_if(kept.begin(), kept.end(),
                                [&](const std::string& n) { return !in_backup.count(n); }),
                  1)
            << "kill " << kill;
    }
    FakeWindow window;
    ScriptStore(folder.Host()).ApplyStore(window);
    EXPECT_THAT(window.list, Contains("Keep"));
    EXPECT_THAT(StrayFiles(folder), ::testing::IsEmpty());
}

// A holder that takes the lock again the moment it lets go (a process saving without a pause)
// must not keep a waiter out: the waiter gets its turn well within its wait, every time.
TEST(StoreLockTest, AWaiterGetsItsTurnAgainstAHolderThatNeverPauses) {
    TempFolder folder;
    const fs::path store = folder.File("zpconfig.cfg");
    auto& platform = xml::PlatformFileSystem();
    std::atomic<bool> stop{false};
    std::atomic<int> holds{0};
    std::thread holder([&] {
        while (!stop) {
            auto lock = files::LockStore(platform, store, 60000);
            ++holds;
            std::this_thread::sleep_for(std::chrono::milliseconds(3));  // one save
        }
    });
    while (holds == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    int turns = 0;
    for (int i = 0; i < 20; ++i) {
        try {
            files::LockStore(platform, store, 500);
            ++turns;
        } catch (const StoreError& e) {
            ADD_FAILURE() << "wait " << i << ": " << e.what();
        }
    }
    stop = true;
    holder.join();
    EXPECT_EQ(turns, 20);
}

// The platform's replace is one step: a process watching the folder never finds the store
// missing, nor any file but the store's own.
TEST(PlatformReplaceTest, TheTargetIsNeverMissingAndNothingIsLeftBeside) {
    TempFolder folder;
    const fs::path store = folder.File("zpconfig.cfg");
    WriteBytes(store, "old");
    std::atomic<bool> stop{false};
    std::atomic<int> missing{0};
    std::set<std::string> seen;
    std::thread watcher([&] {
        while (!stop) {
            if (!fs::exists(store)) ++missing;
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(folder.Folder(), ec)) {
                const std::string name = entry.path().filename().string();
                if (name != "zpconfig.cfg" && name != "zpconfig.cfg.tmp") seen.insert(name);
            }
        }
    });
    auto& files = xml::PlatformFileSystem();
    for (int i = 0; i < 300; ++i) {
        const fs::path temp = xml::TempFileName(store);
        {
            auto writer = files.Create(temp);
            writer->Write("new " + std::to_string(i));
            writer->Close();
        }
        files.Replace(temp, store);
    }
    stop = true;
    watcher.join();
    EXPECT_EQ(missing, 0);
    EXPECT_THAT(seen, ::testing::IsEmpty());
    EXPECT_EQ(ReadBytes(store), "new 299");
}

}  // namespace
}  // namespace zeph::store::testing
