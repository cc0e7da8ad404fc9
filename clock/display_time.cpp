#include "clock/display_time.h"

#include "clock/hand_angles.h"
#include "platform/device_clock.h"
#include "platform/utc_time.h"
#include "platform/window_messages.h"
#include "platform/window_timers.h"

namespace mv {

namespace {

// Sleep until this close to the next second, then look every millisecond.
constexpr uint32_t kWakeBeforeSecondMs = 3;
constexpr uint32_t kPollIntervalMs = 1;
// A clock that stands still must not hold the main thread for ever.
constexpr uint32_t kLongestWaitMs = 2000;

void WaitForNextLocalSecond() {
    CalendarTime start;
    if (!ReadLocalTime(start))
        return;
    const uint32_t startTick = ReadTickCount();
    const uint32_t untilBoundary = 1000u - start.milliseconds;
    if (untilBoundary > kWakeBeforeSecondMs)
        SleepMilliseconds(untilBoundary - kWakeBeforeSecondMs);
    CalendarTime now = start;
    while (ReadLocalTime(now) && now.second == start.second &&
           ReadTickCount() - startTick < kLongestWaitMs)
        SleepMilliseconds(kPollIntervalMs);
}

// After a pause of the clock (a dialog, a skin load, a restarted timer) the next smooth frame
// takes a fresh base. Otherwise a first frame that happens to show the same second field as the
// last one, minutes later, would add the whole pause (or, after a restart, the raw tick count).
void ForgetSecondStart(AppState& state) {
    state.lastSecond = 0xFFFF;
}

} // namespace

void ComputeDisplayTime(AppState& state) {
    ComputeDisplayTime(state, DeviceLocalTimeOrZero());
}

void ComputeDisplayTime(AppState& state, const CalendarTime& shown) {
    CalendarTime displayTime = shown;

    int64_t count = 0;
    if (state.settings.Smooth != 0 && CalendarToCount(displayTime, count)) {
        const uint32_t now = ReadTickCount();
        if (displayTime.second != state.lastSecond) {
            state.secondStartTick = now;
            state.lastSecond = displayTime.second;
            state.secondStartMilliseconds = displayTime.milliseconds;
        }
        // The glide is measured from the milliseconds the time had when this second was first
        // shown. A clock that carries its own milliseconds (the system clock does) would
        // otherwise count them twice and run the second hand up to twice as fast.
        count -= (int64_t(displayTime.milliseconds) - state.secondStartMilliseconds) *
                 kUnitsPerMillisecond;
        const uint32_t elapsed = now - state.secondStartTick;
        // 32-bit on purpose: the offset wraps after 429 496 ms without a new second.
        const uint32_t elapsedUnits = elapsed * uint32_t(kUnitsPerMillisecond);
        count = int64_t(uint64_t(count) + elapsedUnits);
        CountToCalendar(count, displayTime); // a count past the scale keeps the unadjusted time
    }

    HandRenderer& renderer = state.handRenderer;
    const HandAngles angles = ComputeHandAngles(displayTime, renderer.smoothMotion != 0,
                                                renderer.supersampleSurface.pixels != nullptr);
    renderer.hands[0].angle = angles.hour;
    renderer.hands[1].angle = angles.minute;
    renderer.hands[2].angle = angles.second;
}

void RestartClockTimer(AppState& state) {
    if (state.settings.Smooth != 0)
        WaitForNextLocalSecond();
    state.secondStartTick = 0;
    ForgetSecondStart(state);
    StopWindowTimer(state.windowTimers, TIMER_CLOCK);
    StartWindowTimer(state.windowTimers, state.mainWindow, TIMER_CLOCK,
                     ClockTimerPeriod(state.settings));
}

void ResumeClock(AppState& state) {
    ForgetSecondStart(state);
    StartWindowTimer(state.windowTimers, state.mainWindow, TIMER_CLOCK,
                     ClockTimerPeriod(state.settings));
    PostWindowMessage(state.mainWindow, MSG_REFRESH);
}

} // namespace mv
