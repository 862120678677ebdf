// The message loop of the demo host. Besides the plain loop, Tellur can run one like those of
// real GIS hosts (--foreign-loop): an accelerator table for commands of its own, bound to keys
// that the workbench also uses, and a modeless tool palette served by IsDialogMessage. Add-ins
// must work under both.
#pragma once

#include <windows.h>

#include <vector>

namespace tellur {

class ForeignLoop {
  public:
    // The accelerators send their commands to `frame`; the palette is owned by it.
    explicit ForeignLoop(HWND frame);
    ~ForeignLoop();
    ForeignLoop(const ForeignLoop&) = delete;
    ForeignLoop& operator=(const ForeignLoop&) = delete;

    // What the host does with a message before translating and dispatching it: true when an
    // accelerator or the palette took it.
    bool PreTranslate(MSG& msg);

    HWND palette() const noexcept { return palette_; }
    // The keys (virtual-key codes) that reached the host as accelerator commands, in order.
    const std::vector<WORD>& acceleratorKeys() const noexcept { return keys_; }

    // The keys bound, all of them keys of the workbench or its editor as well.
    static const std::vector<ACCEL>& Table();

  private:
    HWND frame_;
    HACCEL accel_ = nullptr;
    HWND palette_ = nullptr;
    std::vector<WORD> keys_;
};

// Runs the loop until WM_QUIT; `loop` may be null for the plain loop. Returns the exit code.
int RunMessageLoop(ForeignLoop* loop);

}  // namespace tellur
