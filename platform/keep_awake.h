#pragma once
// Telling the desktop that the user is active, so that its idle timer starts again and the screen
// does not blank or the device suspend.

#include <functional>

namespace mv {

// Asks the session's screen saver service to treat this as user activity, without waiting for
// the answer. Nothing happens when there is no session bus or no such service.
void SimulateUserActivity();

// Tests: every later SimulateUserActivity calls `observer` instead of the session bus. An empty
// observer restores the bus.
void SetUserActivityObserver(std::function<void()> observer);

} // namespace mv
