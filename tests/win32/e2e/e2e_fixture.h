// The demo host's main window and object model in this process, the real zeph.dll loaded by
// path, and helpers that drive the workbench window from outside: real keys and mouse clicks
// through a plain message loop, the clipboard to put and read the editor's text, and a watcher
// that reads and answers the message boxes the window shows.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/unique.h"
#include "desktop.h"
#include "host/main_window.h"
#include "wait.h"
#include "zeph.h"

namespace zeph::e2e {

using win::test::Press;
using win::test::Pump;
using win::test::PumpPosted;
using win::test::PumpUntil;

// Presses `keys` as soon as a pop-up menu of this thread is open (from a timer that runs in
// the menu's own loop).
void PressInMenu(std::vector<WORD> keys);
// Types UTF-16 text character by character (no line breaks).
void Type(const std::wstring& text);
// A left click at a screen point.
void Click(POINT screen);

std::wstring WindowText(HWND hwnd);
std::wstring ClassOf(HWND hwnd);
HWND FindChild(HWND parent, const wchar_t* className);

// One message box seen by the watcher.
struct SeenBox {
    std::wstring text;
    std::wstring caption;
    bool errorIcon = false;
    HWND owner = nullptr;
};

// While it lives, every message box of this thread is read and answered with `answer`
// (IDOK, IDYES, IDNO) by pressing that button, from a timer that runs in the box's own loop.
class BoxWatcher {
  public:
    explicit BoxWatcher(int answer = IDOK);
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;
    std::vector<SeenBox> boxes;

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM);
    int answer_;
    UINT_PTR timer_ = 0;
    static inline BoxWatcher* current_ = nullptr;
};

// Bytes of a file, empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);

// A small map with objects a test can find by name.
inline constexpr char kSmallMap[] =
    "TELLURMAP\t1\n"
    "name\tПроба\n"
    "object\tpoint\tP1\tКолодец\t10 10\n"
    "object\tpoint\tP2\tРодник\t90 90\n"
    "object\tline\tL1\tДорога\t0 50, 100 50\n"
    "object\tpolygon\tA1\tПоле\t60 0, 100 0, 100 40, 60 40\n";

class EndToEndTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Creates the module object, hands it the application and opens its window.
    void OpenWorkbench();
    // Opens the window again through the same module object (after a close).
    void ReopenWorkbench();
    // The open workbench window of this thread, or none.
    HWND FindWorkbench() const;

    // The editor's whole text, read through Ctrl+A, Ctrl+C (the selection stays).
    std::wstring EditorText();
    // Replaces the editor's whole text through the clipboard and Ctrl+A, Ctrl+V.
    void PasteIntoEditor(const std::wstring& text);
    void FocusEditor();
    // Types a marker at the caret and returns its line and column, both from 1; the text with
    // the marker is kept in markedText_.
    POINT CaretByMarker();
    std::wstring Caption() const { return WindowText(wb_); }
    std::wstring BoxText() const { return WindowText(combo_); }
    std::vector<std::wstring> ListEntries() const;
    void ClickToolButton(int index);
    // Drops the saved-script list down (F4) and clicks the entry `name`.
    void PickFromList(const std::wstring& name);

    std::wstring StorePath() const { return folder_ + L"zpconfig.cfg"; }
    std::string StoreBytes() const { return ReadFileBytes(StorePath()); }
    // The "Script" lines of the store, in file order.
    std::vector<std::string> ScriptLines() const;
    // The opening tag of "Configuration".
    std::string ConfigurationLine() const;

    void SaveScreenshot(const std::string& name) const;

    static inline std::shared_ptr<tellur::Host> host_;
    static inline tellur::MainWindow* window_ = nullptr;
    static inline HWND frame_ = nullptr;
    static inline HMODULE dll_ = nullptr;
    static inline int sequence_ = 0;

    std::wstring folder_;
    std::wstring markedText_;
    win::ComPtr<IComModule> module_;
    HWND wb_ = nullptr;
    HWND editor_ = nullptr;
    HWND combo_ = nullptr;
    HWND toolbar_ = nullptr;
};

}  // namespace zeph::e2e
