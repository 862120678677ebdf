// What a run shows and hears while it holds the host's thread: a thread of its own watches the
// stop keys (Ctrl+Break anywhere, Esc while the workbench or the indicator is in front) and, once
// the run has lasted a moment, shows the running indicator, a small window owned by the
// workbench with the elapsed time and a stop button. Its own thread paints it and takes its
// clicks and keys, which the busy thread cannot.
#pragma once

#include <windows.h>

#include <memory>

#include "base/unique.h"
#include "workbench/run_stop.h"

namespace zeph::win {

class StopKeyWatch {
  public:
    // How long a run goes before the indicator shows.
    static constexpr DWORD kIndicatorAfterMs = 500;

    // `workbench` is the window whose being in the foreground lets Esc stop the run, and the
    // indicator's owner. Registers the indicator's class on the calling thread.
    StopKeyWatch(std::shared_ptr<RunStop> stop, HWND workbench,
                 DWORD indicator_after_ms = kIndicatorAfterMs);
    ~StopKeyWatch();
    StopKeyWatch(const StopKeyWatch&) = delete;
    StopKeyWatch& operator=(const StopKeyWatch&) = delete;

    // The indicator's window class, for tests that look for it.
    static const wchar_t* IndicatorClass() noexcept;

  private:
    static DWORD WINAPI Watch(void* self);
    void RunLoop();

    std::shared_ptr<RunStop> stop_;
    HWND workbench_;
    DWORD indicator_after_ms_;
    bool keys_[3] = {};  // Ctrl+Break, Pause and Esc held when the run started
    UniqueHandle quit_;
    UniqueHandle thread_;
};

// Drops the key strokes queued for this thread while it was busy: the stop key must not act
// again on the window (Esc there closes the workbench) or dismiss the box that follows.
void DropQueuedKeys();
// True while DropQueuedKeys runs, so that a message hook leaves the dropped keys alone.
bool DroppingQueuedKeys() noexcept;

}  // namespace zeph::win
