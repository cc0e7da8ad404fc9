#pragma once
// The one application record. Every long-lived resource of the program hangs here and is
// released by the code that made it.

#include "app/settings.h"
#include "clock/draw_records.h"
#include "gps/gps_reader.h"
#include "platform/geometry.h"
#include "platform/gps_records.h"
#include "platform/window_paint.h"
#include "platform/window_timers.h"
#include "skin/skin.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QWidget;

namespace mv {

struct AppState {
    // The program's options. The face and the skin loader read them here; the start-up and the
    // main window hand them to the shell's functions as a Settings argument.
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

    // The main window's widgets that gps/ shows and hides; the window owns them and sets these.
    QWidget* connectBar = nullptr;    // "Connect" | "Menu"
    QWidget* disconnectBar = nullptr; // "Disconnect" | "Menu"
    QWidget* syncLabel = nullptr;     // "Synchronizing time...", shown while a sync runs

    // The skin picker: hidden entries listed too, and where the chosen path goes while it runs.
    int32_t viewAll = 0;
    QString* pickedPath = nullptr;

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
    uint32_t gpsPositionTick = 0;             // ReadTickCount() when gpsPosition was copied
    std::unique_ptr<GpsListener> gpsListener; // the application's listener while connected
    std::unique_ptr<GpsReader> gpsReader;     // the open reader while connected

    // The synchronisation procedure (main thread only).
    bool gpsTimeValid = false;        // the face shows GPS time
    int32_t samplesLeft = 0;          // 0: no synchronisation runs
    int64_t bestOffset = 0;           // the offset the last synchronisation's samples agreed on
    std::vector<int64_t> syncOffsets; // the samples of the running synchronisation
    uint32_t dataCount = 0;           // MSG_GPS_DATA notifications seen; wraps
    uint32_t sampledCount = 0;        // dataCount when the last sample was taken
    // Told each sample's offset (100-ns units) as it is taken, before the last one finishes the
    // synchronisation; empty in the program, the headless sync tool prints them.
    std::function<void(int64_t offset)> onSyncSample;
    // A clock change was asked for and has not answered yet; no other may start meanwhile.
    bool clockChangePending = false;
    // Called when a clock change starts or answers, so "Synchronize" can follow
    // SyncCommandAvailable (gps/sync.h); set by whoever shows the command.
    std::function<void()> syncCommandChanged;
};

} // namespace mv
