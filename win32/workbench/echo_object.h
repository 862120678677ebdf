// The "WScript" object a run publishes: Echo(args...) writes its arguments, joined by blanks,
// as a line of the workbench's output. Like the host's objects it fails once the run is stopped,
// so a loop that only echoes can be stopped too.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>

#include "workbench/run_stop.h"

namespace zeph::win {

// Returns a new reference.
IDispatch* CreateEchoObject(std::shared_ptr<RunStop> stop,
                            std::function<void(std::string_view)> echo);

}  // namespace zeph::win
