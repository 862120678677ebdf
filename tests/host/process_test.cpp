// Tellur.exe as a user starts it: command-line options, the data folder with the object-model
// description, the log, the title, a clean exit on WM_CLOSE, and the workbench command.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/map_model.h"
#include "support/file_bytes.h"
#include "wait.h"

namespace tellur {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    return zeph::support::ReadBytes(path);
}

// Whether one of the log's lines reads `line` after its time stamp.
bool HasLine(const std::wstring& log, const std::wstring& line) {
    return log.find(L" " + line + L"\r\n") != std::wstring::npos;
}

struct Found {
    DWORD pid;
    const wchar_t* className;
    HWND hwnd;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    wchar_t cls[64];
    ::GetClassNameW(hwnd, cls, 64);
    if (owner == f->pid && wcscmp(cls, f->className) == 0 && ::IsWindowVisible(hwnd)) {
        f->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindWindowOf(DWORD pid, const wchar_t* className) {
    Found f{pid, className, nullptr};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&f));
    return f.hwnd;
}

BOOL CALLBACK CollectText(HWND child, LPARAM lp) {
    wchar_t text[1024];
    ::GetWindowTextW(child, text, 1024);
    *reinterpret_cast<std::wstring*>(lp) += std::wstring(text) + L"\n";
    return TRUE;
}

// All texts of a window's children, one per line.
std::wstring Texts(HWND hwnd) {
    std::wstring all;
    ::EnumChildWindows(hwnd, CollectText, reinterpret_cast<LPARAM>(&all));
    return all;
}

class Process {
  public:
    explicit Process(std::wstring args) {
        std::wstring exe = fs::path(TELLUR_EXE).wstring();
        std::wstring line = L"\"" + exe + L"\" " + args;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        started_ = ::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, &si, &pi_);
    }
    ~Process() {
        if (!started_) return;
        if (::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(pi_.hProcess, 9);
        ::CloseHandle(pi_.hProcess);
        ::CloseHandle(pi_.hThread);
    }
    bool started() const { return started_; }
    HWND WaitForWindow(const wchar_t* className, DWORD ms = 30000) const {
        HWND found = nullptr;
        EXPECT_TRUE(zeph::win::test::WaitUntil(
            [&] { return (found = FindWindowOf(pi_.dwProcessId, className)) != nullptr; }, ms,
            "the process's window"));
        return found;
    }
    DWORD WaitForExit(DWORD ms = 30000) const {
        if (::WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
        DWORD code = 0;
        ::GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }

  private:
    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};

class ProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        dir_ = fs::path(temp) / (L"tellur-process-" + std::to_wstring(::GetCurrentProcessId()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        map_ = dir_ / L"карта.tmap";
        std::ofstream(map_, std::ios::binary)
            << "TELLURMAP\t1\nname\t\xD0\x9E\xD0\xB7\xD0\xB5\xD1\x80\xD0\xBE\n"  // "Озеро"
               "object\tpoint\tP1\tA\t1 1\nobject\tpoint\tP2\tB\t5 5\n";
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::wstring Args(const std::wstring& extra = L"") const {
        return L"--data-folder \"" + (dir_ / L"данные").wstring() + L"\" --log \"" +
               (dir_ / L"log.txt").wstring() + L"\" --map \"" + map_.wstring() + L"\"" + extra;
    }
    std::wstring Log() const { return FromUtf8(ReadFile(dir_ / L"log.txt")); }

    fs::path dir_;
    fs::path map_;
};

TEST_F(ProcessTest, StartsWithItsOptionsAndClosesCleanly) {
    Process tellur(Args());
    ASSERT_TRUE(tellur.started());
    HWND frame = tellur.WaitForWindow(L"TTellurMainWindow");
    ASSERT_NE(frame, nullptr);
    wchar_t title[128];
    ::GetWindowTextW(frame, title, 128);
    EXPECT_STREQ(title, L"Озеро — Теллур");

    // The description sits in the data folder, a copy of the one shipped with the program.
    fs::path description = dir_ / L"данные" / L"TellurTlb.xml";
    EXPECT_TRUE(fs::exists(description));
    EXPECT_EQ(ReadFile(description), ReadFile(TELLUR_DESCRIPTION));

    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(tellur.WaitForExit(), 0u);
    std::wstring log = Log();
    EXPECT_NE(log.find(L"objects 2"), std::wstring::npos) << log;
    EXPECT_NE(log.find(L"\\данные\\"), std::wstring::npos) << log;
    EXPECT_NE(log.find(L"exit"), std::wstring::npos) << log;
}

TEST_F(ProcessTest, WorkbenchCommandOpensTheModuleOrExplainsWhyNot) {
    Process tellur(Args(L" --open-workbench"));
    ASSERT_TRUE(tellur.started());
    HWND frame = tellur.WaitForWindow(L"TTellurMainWindow");
    ASSERT_NE(frame, nullptr);
    // Without the module registered, a message box names the failed call and its code; with it,
    // the log says the workbench opened. The log's line before the attempt ("workbench: opening
    // ...") is neither.
    const auto failed = [&] { return Log().find(L"failed 0x") != std::wstring::npos; };
    const auto opened = [&] { return HasLine(Log(), L"workbench: open"); };
    ASSERT_TRUE(zeph::win::test::WaitUntil([&] { return failed() || opened(); }, 30000,
                                           "the log to tell how the workbench command went"))
        << Log();
    if (failed()) {
        EXPECT_FALSE(opened()) << Log();
        DWORD pid = 0;
        ::GetWindowThreadProcessId(frame, &pid);
        HWND box = nullptr;
        ASSERT_TRUE(zeph::win::test::WaitUntil(
            [&] { return (box = FindWindowOf(pid, L"#32770")) != nullptr; }, 10000,
            "the message box"))
            << Log();
        std::wstring texts = Texts(box);
        EXPECT_NE(texts.find(L"Не удалось открыть редактор скриптов"), std::wstring::npos);
        EXPECT_NE(texts.find(L"Код ошибки: 0x8"), std::wstring::npos) << texts.size();
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(zeph::win::test::WaitUntil([&] { return !::IsWindow(box); }, 10000,
                                               "the message box to close"));
    }
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(tellur.WaitForExit(), 0u);
}

}  // namespace
}  // namespace tellur
