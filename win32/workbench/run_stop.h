// Stopping a running script. The script runs on the host's thread, which pumps no messages
// meanwhile, so a watch thread reads the keyboard (Ctrl+Break anywhere, Esc while the workbench
// is the foreground window) and raises a flag. The Script Control offers no way into the engine
// to interrupt it, so the flag is honoured where the script reaches the host: "Application" is
// published through a guard object, and every object, collection enumerator and member call that
// comes out of it fails with "script stopped" once the flag is up.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <unordered_map>

#include "base/unique.h"

namespace zeph::win {

// One run's stop flag and its guard objects (the host thread uses the map, the flag is shared
// with the watch thread).
class RunStop : public std::enable_shared_from_this<RunStop> {
  public:
    bool Stopped() const { return stopped_.load(std::memory_order_acquire); }
    void Stop() { stopped_.store(true, std::memory_order_release); }

    // The guard object for `real`: one per host object while any reference to it lives, so
    // that "Is" compares as it would on the host's own objects. Returns a new reference.
    IDispatch* Guard(IDispatch* real);
    // The host's object behind a guard object; `p` itself when it is none of ours.
    IDispatch* Unguard(IDispatch* p) const;
    // Replaces an object or enumerator in `v` by its guard (the variant keeps one reference).
    void GuardVariant(VARIANT* v);

    // What a guarded call returns once the run is stopped.
    static HRESULT StoppedResult(EXCEPINFO* excep);

  private:
    friend class GuardedDispatch;
    std::atomic<bool> stopped_{false};
    std::unordered_map<IUnknown*, IDispatch*> guards_;  // host identity -> guard (not counted)
    std::unordered_map<IDispatch*, IDispatch*> hosts_;  // guard -> host object
};

// Watches the stop keys on its own thread while it lives.
class StopKeyWatch {
  public:
    // `workbench` is the window whose being in the foreground lets Esc stop the run.
    StopKeyWatch(std::shared_ptr<RunStop> stop, HWND workbench);
    ~StopKeyWatch();
    StopKeyWatch(const StopKeyWatch&) = delete;
    StopKeyWatch& operator=(const StopKeyWatch&) = delete;

  private:
    static DWORD WINAPI Watch(void* self);

    std::shared_ptr<RunStop> stop_;
    HWND workbench_;
    UniqueHandle quit_;
    UniqueHandle thread_;
};

// Drops the key strokes queued for this thread while it was busy: the stop key must not act
// again on the window (Esc there closes the workbench) or dismiss the box that follows.
void DropQueuedKeys();

}  // namespace zeph::win
