#pragma once
// The time the face shows and the clock tick that redraws it: every 100 ms with smooth hand
// motion, else every 1000 ms.

#include "app/app_state.h"
#include "platform/calendar.h"

#include <cstdint>

namespace mv {

constexpr int32_t ClockTimerPeriod(const Settings& settings) {
    return settings.Smooth != 0 ? 100 : 1000;
}

// Takes the time to show (GPS or device), adds the milliseconds since the face first showed
// its second when smooth motion is on, and stores the three hands' angles in the renderer.
void ComputeDisplayTime(AppState& state, const CalendarTime& shown);
// The same with the device's local time.
void ComputeDisplayTime(AppState& state);

// With smooth motion, waits for the local second to change first, so that the 100 ms ticks fall
// just after whole seconds; then (re)starts TIMER_CLOCK with a fresh smooth-motion base.
void RestartClockTimer(AppState& state);

// Starts TIMER_CLOCK again after a pause and asks for a frame at once with MSG_REFRESH.
void ResumeClock(AppState& state);

} // namespace mv
