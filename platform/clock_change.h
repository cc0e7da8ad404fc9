#pragma once
// Changing the device's clock. The change is a shift of the UTC time, so a daylight-saving
// change around it never puts the clock an hour off. The outcome is always reported.
//
// - Simulated and manual clocks (device_clock.h) move at once.
// - The system clock: clock_settime(CLOCK_REALTIME) when the process may set it (CAP_SYS_TIME);
//   otherwise systemd-timedated over the system bus (SetTime, relative, interactive, so polkit can
//   ask the user), whose answer arrives later.

#include <cstdint>
#include <functional>

class QObject;

namespace mv {

enum class ClockChangeResult {
    Changed,
    Refused, // not permitted, no system bus, timedated refused or failed
};

// Shifts the device clock by shiftUnits (100-ns units, either sign) and calls `done` on the
// thread of `context`'s event loop with the outcome: before returning when the answer is known at
// once, later otherwise. `done` is dropped if `context` goes first.
void ShiftDeviceClock(int64_t shiftUnits, QObject* context,
                      std::function<void(ClockChangeResult)> done);

// For tests: from HoldClockChanges on, shifts of a simulated or manual clock wait unanswered, as
// a system clock change waits for timedated, until ReleaseHeldClockChanges applies and answers
// them (those whose context still exists). Main thread only.
void HoldClockChanges();
void ReleaseHeldClockChanges();

} // namespace mv
