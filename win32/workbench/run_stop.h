// Stopping a running script. The script runs on the host's thread, which pumps no messages
// meanwhile, so a watch thread (run_watch.h) reads the keyboard and raises a flag. The Script
// Control offers no way into the engine to interrupt it, so the flag is honoured where the script
// reaches us: "Application" is published through a guard object, and every object, collection
// enumerator and member call that comes out of it fails with "script stopped" once the flag is up;
// loops and procedures that never call the host call the hidden stop-check item at their turns.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <atomic>
#include <memory>
#include <unordered_map>

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

    // Lets the busy thread read its pending input every few milliseconds. Under Wine a key
    // stroke reaches the keyboard state only when the thread owning the focused window reads
    // its window system events, and a thread inside a script reads none; reading them queues
    // the keys (nothing is dispatched), so the watch thread sees the stop keys.
    void LetInputIn() noexcept;

  private:
    friend class GuardedDispatch;
    std::atomic<bool> stopped_{false};
    unsigned long long input_read_at_ = 0;              // GetTickCount64 of the last read
    std::unordered_map<IUnknown*, IDispatch*> guards_;  // host identity -> guard (not counted)
    std::unordered_map<IDispatch*, IDispatch*> hosts_;  // guard -> host object
};

// The hidden object that the stop checks placed into a run's text call at each turn of a loop
// ("Tick", true while the run goes on, the stopped error once it is stopped). New reference.
IDispatch* CreateStopCheckItem(std::shared_ptr<RunStop> stop);

}  // namespace zeph::win
