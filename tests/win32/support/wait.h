// Waiting in the Windows tests: on a condition, never on a duration. Each wait returns as soon as
// what it waits for holds and fails with the reason when its time runs out; the time limit only
// bounds a test that went wrong.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

namespace zeph::win::test {

// Enough for anything the tests wait for on a loaded machine.
inline constexpr DWORD kWaitMs = 10000;

// Handles this thread's messages (through the loop filter, as Pump does) until `done` holds;
// `what` names it in the failure.
::testing::AssertionResult PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = kWaitMs,
                                     const char* what = "the condition");
// The same for a thread that has no messages to handle (a thread playing the user, or one that
// watches another process): checks `done` every few milliseconds.
::testing::AssertionResult WaitUntil(const std::function<bool()>& done, DWORD timeout_ms = kWaitMs,
                                     const char* what = "the condition");

// Everything posted to this thread before the call has been handled: posts a marker behind it and
// pumps until the marker comes out of the queue, then handles what is left in the queue (what the
// handling posted, paints).
::testing::AssertionResult PumpPosted();
// The input sent so far has been handled by `thread` (the focus's thread): sends a marker key
// behind it through the input queue and waits until that thread takes the marker from its queue,
// pumping when it is the calling thread. A key that found no window of `thread` fails here.
::testing::AssertionResult InputHandled(DWORD thread = ::GetCurrentThreadId());
// A timer of `ms` milliseconds started now has gone off, this thread's messages handled
// meanwhile: any timer of that length started before it has gone off too.
::testing::AssertionResult PumpPastTimer(UINT ms);

}  // namespace zeph::win::test
