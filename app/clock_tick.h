#pragma once
// The clock tick: the time the face shows (GPS or device), the frames it draws, and the clock
// timer that drives them: every 100 ms with smooth hand motion, else every 1000 ms.

#include "app/app_state.h"
#include "clock/face_renderer.h"

#include <cstdint>

namespace mv {

constexpr int32_t ClockTimerPeriod(const Settings& settings) {
    return settings.Smooth != 0 ? 100 : 1000;
}

// The drawing options the settings choose.
FaceOptions FaceOptionsOf(const Settings& settings);

// A full frame, or the back buffer made again for changed options; a change of the GPS indicator
// is then followed up (AppState::onGpsIndicatorChanged). The partial frames of the clock tick are
// the main window's.
void DrawFullClockFrame(AppState& state);
void RebuildClockFace(AppState& state);

// The face widget's size in device pixels changed.
void ResizeClockFace(AppState& state, int32_t width, int32_t height);

// With smooth motion, waits for the local second to change first, so that the 100 ms ticks fall
// just after whole seconds; then (re)starts TIMER_CLOCK with a fresh smooth-motion base.
void RestartClockTimer(AppState& state);

// Starts TIMER_CLOCK again after a pause; the window draws a frame at once itself.
void ResumeClock(AppState& state);

} // namespace mv
