#pragma once
// The one application record. Every long-lived resource of the program hangs here and is
// released by the code that made it.

#include "app/settings.h"
#include "clock/face_renderer.h"
#include "platform/geometry.h"
#include "platform/window_timers.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace mv {

struct AppState {
    // The program's options. The face and the skin loader read them here; the start-up and the
    // main window hand them to the shell's functions as a Settings argument.
    Settings settings;
    FaceRenderer face;         // the skin, the back buffer and everything the frames draw with
    bool gpsTimeValid = false; // the face shows GPS time: the clock tick sets it
    // What follows a frame that turned the GPS indicator on or off; set by the main window.
    std::function<void()> onGpsIndicatorChanged;

    QObject* mainWindow = nullptr; // not owned; receives the timers
    WindowTimers windowTimers;
};

} // namespace mv
