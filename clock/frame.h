#pragma once
// The clock face's frames. The whole picture lives in an off-screen back buffer of the window's
// size in device pixels; a frame is composed there, the changed part of the window is marked
// invalid, and the window's paint handling copies it to the screen with PresentBackBuffer.

#include "app/app_state.h"
#include "platform/calendar.h"
#include "platform/geometry.h"

#include <QPainter>
#include <cstdint>
#include <optional>

namespace mv {

constexpr double kNoPendingAngle = -1.0;

// Angles of the hour and minute hands that a partial pass put off to the next pass.
struct PendingAngles {
    double hour = kNoPendingAngle;
    double minute = kNoPendingAngle;
};

// The window's client area has this size: recreates the back buffer (16-bit pixels in smooth
// mode, else the display's format) and draws a full frame. The current size does nothing.
void ResizeBackBuffer(AppState& state, int32_t width, int32_t height);

// The drawing options changed: the back buffer is made again in the format the mode needs, and
// a full frame is drawn.
void RebuildBackBuffer(AppState& state);

// Lays the face out and draws all of it (background, dial, indicator, shadows, hands, hub) with
// the hands at the angles they hold; the whole window is repainted.
void DrawFullFrame(AppState& state);

// Without pending angles, takes the display time; then redraws the moved hands and a changed
// GPS indicator inside clip regions, one moved hand per pass (second, minute, hour) unless the
// indicator changed, and repaints only what changed. Each pass is on screen before the next.
// `shown` is the time to show; without it, the device's local time.
void DrawPartialFrame(AppState& state, std::optional<PendingAngles> pending = std::nullopt);
void DrawPartialFrame(AppState& state, const CalendarTime& shown);

// Copies rect (device pixels) of the back buffer to the same place of the painter's device.
void PresentBackBuffer(const AppState& state, QPainter& painter, const Rect& rect);

} // namespace mv
