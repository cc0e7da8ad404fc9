#pragma once
// The one application record. Every long-lived resource of the program hangs here and is
// released by the code that made it.

#include "app/settings.h"
#include "clock/draw_records.h"
#include "platform/geometry.h"
#include "platform/window_paint.h"
#include "platform/window_timers.h"
#include "skin/skin.h"

#include <QString>
#include <cstdint>
#include <optional>

class QWidget;

namespace mv {

struct AppState {
    // The program's options. The face and the skin loader read them here; the start-up and the
    // main window hand them to the shell's functions as a Settings argument.
    Settings settings;
    Skin skin;
    HandRenderer handRenderer;
    DrawSurface backBuffer;
    bool gpsTimeValid = false;      // the face shows GPS time: the clock tick sets it
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

    // The skin picker: hidden entries listed too, and where the chosen path goes while it runs.
    int32_t viewAll = 0;
    QString* pickedPath = nullptr;

    // The smooth-motion base: the tick at the first frame that showed the current second, and
    // that second (0xFFFF, which no second takes, until the first smooth frame).
    uint32_t secondStartTick = 0;
    uint16_t lastSecond = 0xFFFF;
    uint16_t secondStartMilliseconds = 0; // the milliseconds the time had at that first frame
};

} // namespace mv
