#pragma once
// The one application record. Every long-lived resource of the program hangs here and is
// released by the code that made it.

#include "app/settings.h"
#include "clock/draw_records.h"
#include "platform/geometry.h"
#include "platform/gps_records.h"
#include "platform/window_paint.h"
#include "platform/window_timers.h"
#include "skin/skin.h"

#include <cstdint>
#include <mutex>

namespace mv {

struct AppState {
    Settings settings;
    Skin skin;
    HandRenderer handRenderer;
    DrawSurface backBuffer;
    bool gpsIndicatorDrawn = false; // gpsTimeValid as the back buffer was last drawn with it
    WindowPaint windowPaint;        // where the frames send their repaints

    // The face layout of the last full frame, window coordinates.
    Rect dialScreenRect;
    Rect hubScreenRect;
    Rect gpsIndicatorScreenRect;
    int32_t pivotX = 0;
    int32_t pivotY = 0;

    QObject* mainWindow = nullptr; // not owned; receives the timers and the private messages
    WindowTimers windowTimers;

    // The smooth-motion base: the tick at the first frame that showed the current second, and
    // that second (0xFFFF, which no second takes, until the first smooth frame).
    uint32_t secondStartTick = 0;
    uint16_t lastSecond = 0xFFFF;
    uint16_t secondStartMilliseconds = 0; // the milliseconds the time had at that first frame

    // GPS: the reader's state and the copies of the driver's last records. The worker thread
    // writes the copies under gpsLock; everything else belongs to the main thread.
    bool gpsConnected = false;
    std::mutex gpsLock;
    GPS_DEVICE gpsDevice{};
    GPS_POSITION gpsPosition{};

    bool gpsTimeValid = false; // the face shows GPS time
};

} // namespace mv
