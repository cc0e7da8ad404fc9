#include "app/clock_tick.h"

#include "platform/device_clock.h"
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

void FollowIndicator(const AppState& state, bool indicatorChanged) {
    if (indicatorChanged && state.onGpsIndicatorChanged)
        state.onGpsIndicatorChanged();
}

} // namespace

FaceOptions FaceOptionsOf(const Settings& settings) {
    return {settings.AntiAliased != 0, settings.Smooth != 0, settings.Shadow != 0};
}

void DrawFullClockFrame(AppState& state) {
    FollowIndicator(state, state.face.DrawFullFrame(state.gpsTimeValid));
}

void RebuildClockFace(AppState& state) {
    FollowIndicator(state, state.face.RebuildBackBuffer(state.gpsTimeValid));
}

void ResizeClockFace(AppState& state, int32_t width, int32_t height) {
    FollowIndicator(state, state.face.ResizeBackBuffer(width, height, state.gpsTimeValid));
}

void RestartClockTimer(AppState& state) {
    if (state.settings.Smooth != 0)
        WaitForNextLocalSecond();
    state.face.ForgetSecondStart();
    StopWindowTimer(state.windowTimers, TIMER_CLOCK);
    StartWindowTimer(state.windowTimers, state.mainWindow, TIMER_CLOCK,
                     ClockTimerPeriod(state.settings));
}

void ResumeClock(AppState& state) {
    state.face.ForgetSecondStart();
    StartWindowTimer(state.windowTimers, state.mainWindow, TIMER_CLOCK,
                     ClockTimerPeriod(state.settings));
}

} // namespace mv
